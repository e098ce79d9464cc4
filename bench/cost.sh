#!/usr/bin/env bash
# How the cost of a run grows: wall time and peak resident memory against
# the receptors, the source cells, the situations and the threads, each
# varied alone from a base case (not a test; run on request, minutes).
#   receptors   a point source at 20 m on grids of 51 x 51 to 801 x 801
#               nodes over 2 km x 2 km, one situation of 36 sectors
#   cells       an area source of 40 m x 20 m in cells of 4 m to 0.5 m
#               (50 to 3200 cells) on 101 x 101 nodes at 10 m, one situation
#   situations  the first 1, 5, 10 and 37 situations of the full year
#               (bench/year.txt) on 101 x 101 nodes at 20 m
# Each case runs with 1 and 2 threads; the best of the runs counts. Prints
# one line per case: receptors, cells, situations, threads, wall time (s),
# peak resident set (MB), the units of work (receptor x sub-sector x core
# plume x source cell) and the time per unit (ns).
# Usage: bench/cost.sh [-h] [-r runs] [-x program] (runs per case, default 2;
# the program, default the one bench/run.sh builds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=2 exe=""
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
while getopts "hr:x:" opt; do
  case $opt in
    h) usage; exit 0 ;;
    r) runs=$OPTARG ;;
    x) exe=$OPTARG ;;
    *) usage >&2; exit 2 ;;
  esac
done
exe=${exe:-$root/build-bench/ZIRidev}
[ -x "$exe" ] || { echo "no program $exe: run bench/run.sh first, or give -x" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A command file: grid of n x n nodes of mesh d around the origin, source
# section, the situations of run sections.
commands() {
  local n=$1 d=$2 source=$3 runs=$4
  printf '*DIMENSIONIERUNG\nmi 200\n*GITTER\nnx %d\nny %d\ndr %s\n' "$n" "$n" "$d"
  awk -v n="$n" -v d="$d" 'BEGIN { printf "xr %g\nyr %g\n", -(n - 1) * d / 2, -(n - 1) * d / 2 }'
  printf '*QUELLE\n%b' "$source"
  printf '%b*SPEICHERN cnc fro frh r90\n*ENDE\n' "$runs"
}
one='*PARAMETER run\nua 3.0\nlm 0\nz0 0.5\n'
# The first k situations of the full year, with the section before them.
year() { awk -v k="$1" '/^\*PARAMETER$/ { on = 1 } /^\*\* Situation/ && n >= k { exit }
  /^\*PARAMETER run/ { n++ } /^\*SPEICHERN/ { exit } on' "$here/year.txt"; }

measure() {  # command file, "receptors cells situations"
  local file=$1 units best peak t
  units=$(awk -f "$here/units.awk" "$file")
  for t in 1 2; do
    best="" peak=0
    for ((i = 0; i < runs; i++)); do
      rm -rf "${work:?}/run" && mkdir "$work/run" && cp "$file" "$work/run/odrcmd.txt"
      t0=$(date +%s.%N)
      /usr/bin/time -f %M -o "$work/rss" "$exe" "$work/run" -q -t$t > /dev/null
      t1=$(date +%s.%N)
      best=$(echo "$t0 $t1 ${best:-1e30}" | awk '{ d = $2 - $1; print (d < $3 ? d : $3) }')
      peak=$(awk -v p="$peak" '{ print ($1 > p ? $1 : p) }' "$work/rss")
    done
    echo "$2 $t $best $peak $units" | awk '{ printf "%9d %6d %4d %2d %9.3f %8.1f %14.0f %7.3f\n",
      $1, $2, $3, $4, $5, $6 / 1024, $7, 1e9 * $5 / $7 }'
  done
}

echo "receptors  cells sit th    wall/s   RSS/MB          units ns/unit"
point='xq 0\nyq 0\nhq 20\ncq 0\nli 10\neq 1000\n'
for n in 51 101 201 401 801; do
  d=$(awk -v n="$n" 'BEGIN { print 2000 / (n - 1) }')
  commands "$n" "$d" "$point" "$one" > "$work/case.txt"
  measure "$work/case.txt" "$((n * n)) 1 1"
done
for lq in 4 2 1 0.5; do
  area="xq -20\nyq -10\naq 40\nbq 20\nlq $lq\nhq 0\ncq 6\nli 5\neq 3000\n"
  commands 101 10 "$area" "$one" > "$work/case.txt"
  cells=$(awk -v l="$lq" 'BEGIN { print (40 / l) * (20 / l) }')
  measure "$work/case.txt" "10201 $cells 1"
done
filter='xq -10\nyq -10\naq 20\nbq 20\nlq 2\nhq 0\ncq 2\nli 10\neq 2000\n'
for k in 1 5 10 37; do
  commands 101 20 "$filter" "$(year "$k" | sed 's/\\/\\\\/g')\n" > "$work/case.txt"
  measure "$work/case.txt" "10201 100 $k"
done
