#!/usr/bin/env bash
# Builds and runs every test, first plain, then with AddressSanitizer and
# UndefinedBehaviorSanitizer. With --mpi also the MPI build, and its
# comparison with the plain build; with --report the setup installs Chromium,
# so that zirreport's browser tests run instead of being skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
# Build jobs: as many as the machine has cores, or ZIR_JOBS.
jobs="${ZIR_JOBS:-$(nproc)}"
mpi="" report=""
for arg in "$@"; do
  case "$arg" in
    --mpi) mpi="--mpi" ;;
    --report) report="--report" ;;
    *) echo "test: unknown option $arg (--mpi, --report)" >&2; exit 2 ;;
  esac
done
bash scripts/setup.sh $mpi $report

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j2

if [ -n "$mpi" ]; then
  # The program and its comparison alone: the other tests are the plain build's.
  cmake -S . -B build-mpi -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIR_MPI=ON -DZIR_TESTS=OFF \
    -DZIR_SERIAL_EXE="$PWD/build/ZIRidev" >/dev/null
  cmake --build build-mpi -j "$jobs"
  ctest --test-dir build-mpi --output-on-failure
fi

cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZIR_SANITIZE=ON >/dev/null
cmake --build build-san -j "$jobs"
ctest --test-dir build-san --output-on-failure -j2
