#!/usr/bin/env bash
# Installs what the build and the tests need, from the distribution's
# packages, when it is missing; with --mpi also Open MPI, for the MPI build;
# with --report also Chromium and poppler-utils, for zirreport --pdf and its
# browser tests (both options may be given).
set -euo pipefail
mpi="" report=""
for arg in "$@"; do
  case "$arg" in
    --mpi) mpi=1 ;;
    --report) report=1 ;;
    *) echo "setup: unknown option $arg (--mpi, --report)" >&2; exit 2 ;;
  esac
done

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v ninja >/dev/null || need+=(ninja-build)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
/usr/bin/python3 -c 'import numpy, matplotlib' 2>/dev/null || need+=(python3-numpy python3-matplotlib)
# pyproj gives the coordinate systems of zirmap --crs.
/usr/bin/python3 -c 'import pyproj' 2>/dev/null || need+=(python3-pyproj)
# GDAL writes zirmap's GeoTIFFs and GeoPackages and reads base maps.
/usr/bin/python3 -c 'from osgeo import gdal' 2>/dev/null || need+=(python3-gdal)
if [ -n "$mpi" ]; then
  command -v mpirun >/dev/null || need+=(openmpi-bin)
  command -v mpicxx >/dev/null || need+=(libopenmpi-dev)
fi
if [ -n "$report" ]; then
  command -v chromium >/dev/null || need+=(chromium)
  command -v pdftoppm >/dev/null || need+=(poppler-utils)
fi

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
