#!/usr/bin/env bash
# Benchmarks of the computing core (not tests; run on request):
#   P  point.txt   a point source, 201 x 201 receptors, one situation
#   A  area.txt    an area source of 800 cells, 101 x 101 receptors, one situation
#   M  sources.txt four buildings, a manure store and a stack (157 cells) on the
#                  201 x 201 receptors of P, one situation
#   G  groups.txt  M with its sources in three groups, one the applicant's: the
#                  statistics of five sums per receptor, and frw written
#   Y  the demo case examples/demo/odrcmd.txt
#   F  year.txt    a full year: 37 situations of 36 sectors, a biofilter of 100
#                  cells, 201 x 201 receptors (takes minutes; not in the default)
#   R  regional.txt fifty sources (610 cells of 2 m, and stacks), 500 x 500
#                  receptors, three situations of four sectors (minutes; not in
#                  the default)
# Builds a Release binary (portable code unless -n), runs each case and
# prints the best wall time of the runs, the peak resident memory, and the
# throughput in evaluations of the innermost unit of work (one receptor x
# sub-sector x core plume x source cell) per second, and the cost of one
# std::exp for comparison. The environment reaches the program: ZIR_ISA=avx2
# bench/run.sh times the AVX2 kernel of the portable build.
#
# Usage: bench/run.sh [-h] [-n] [-s] [-m processes] [-t threads] [-r runs] [-b build-dir] [-x program] [cases]
#   -h          print this text
#   -n          build for the local processor (-march=native)
#   -s          also time the straightforward loops once (bench/straight.cpp: the
#               reference loops of the tests, one thread) on the cases of one
#               source (P A Y F), and print how many times faster the program is
#   -m processes run the MPI build (-DZIR_MPI=ON, in build-bench-mpi) with mpirun -n
#               processes; -t then gives the threads of each process
#   -t threads  passed to the program as -t<threads> (default: the program's default)
#   -r runs     runs per case, the best counts (default 3)
#   -b dir      build directory (default build-bench or build-bench-native)
#   -x program  time this program instead of building one (e.g. an older build)
#   cases       any of P A M G Y F R (default: P A M Y)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
native=0 straight=0 threads="" runs=3 build="" exe="" ranks=""
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
while getopts "hnsm:t:r:b:x:" opt; do
  case $opt in
    h) usage; exit 0 ;;
    n) native=1 ;;
    s) straight=1 ;;
    m) ranks=$OPTARG ;;
    t) threads=$OPTARG ;;
    r) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    x) exe=$OPTARG ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
cases=${*:-P A M Y}
flags=""
[ "$native" = 1 ] && flags="-march=native"
build=${build:-$root/build-bench$([ "$native" = 1 ] && echo -native || true)$([ -n "$ranks" ] && echo -mpi || true)}
mpi=OFF launch=()
if [ -n "$ranks" ]; then
  mpi=ON
  export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
  # Threads of a process (-t) need cores of their own: no binding to one.
  launch=(mpirun --oversubscribe --bind-to none -n "$ranks")
fi

if [ -z "$exe" ] || [ "$straight" = 1 ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIR_TESTS=OFF \
    -DZIR_BENCH=ON -DZIR_MPI=$mpi -DCMAKE_CXX_FLAGS="$flags" > /dev/null
  ninja -C "$build" -j2 ZIRidev $([ "$straight" = 1 ] && echo straight || true) > /dev/null
  exe=${exe:-$build/ZIRidev}
fi
mkdir -p "$build"
g++ -std=c++20 -O2 -ffp-contract=off $flags "$here/expcost.cpp" -o "$build/expcost"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '*DIMENSIONIERUNG\n*ENDE\n' > "$work/odrcmd.txt"
kernel=$("$exe" "$work" -v2 -q -l- | awk '$1 == "ISA" { $1 = ""; print }')
echo "program: ${launch[*]}${launch:+ }$exe${threads:+ -t$threads} (kernel:${kernel:- none named})"
"$build/expcost"
for c in $cases; do
  case $c in
    P) file=$here/point.txt ;;
    A) file=$here/area.txt ;;
    M) file=$here/sources.txt ;;
    G) file=$here/groups.txt ;;
    Y) file=$root/examples/demo/odrcmd.txt ;;
    F) file=$here/year.txt ;;
    R) file=$here/regional.txt ;;
    *) echo "unknown case $c"; exit 2 ;;
  esac
  units=$(awk -f "$here/units.awk" "$file")
  best="" peak=0
  for ((i = 0; i < runs; i++)); do
    rm -rf "${work:?}"/*
    cp "$file" "$work/odrcmd.txt"
    t0=$(date +%s.%N)
    /usr/bin/time -f %M -o "$work/.rss" "${launch[@]}" "$exe" "$work" -q ${threads:+-t$threads} > /dev/null
    t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 ${best:-1e30}" | awk '{ t = $2 - $1; print (t < $3 ? t : $3) }')
    peak=$(awk -v p="$peak" '{ print ($1 > p ? $1 : p) }' "$work/.rss")
  done
  echo "$c $best $units $peak" | awk '{ printf "%s %9.3f s %8.1f MB %14.0f units %12.4g units/s %8.3f ns/unit\n",
    $1, $2, $4 / 1024, $3, $3 / $2, 1e9 * $2 / $3 }'
  if [ "$straight" = 1 ] && [ "$c" != M ] && [ "$c" != G ]; then
    rm -rf "${work:?}"/*
    cp "$file" "$work/odrcmd.txt"
    loops=$("$build/straight" "$work" | awk '{ print $1 }')
    echo "$c $loops $best" | awk '{ printf "%s %9.3f s the straightforward loops: %.1f times the time of the program\n",
      $1, $2, $2 / $3 }'
  fi
done
