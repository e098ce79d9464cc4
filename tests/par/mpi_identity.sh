#!/usr/bin/env bash
# The MPI build run by 1, 2 and 3 processes of 1 and 2 threads each writes
# what the default build writes with one thread: the same result files byte
# for byte, the same screen output and log apart from the times, the build
# stamp and the echoed command line, and the same exit code; on the demo,
# the farm example and an input that fails at receptors of several
# processes.
# Usage: mpi_identity.sh MPIRUN MPI_PROGRAM SERIAL_PROGRAM SOURCE_DIR WORK_DIR
set -u
mpirun=$1 mpi=$2 serial=$3 src=$4 work=$5
if [ ! -x "$serial" ]; then
  echo "no program of the default build at $serial (build it first, or set ZIR_SERIAL_EXE)"
  exit 1
fi
# CI runs as root; the machine may have fewer cores than processes.
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
export OMPI_MCA_rmaps_base_oversubscribe=1
rm -rf "$work"
mkdir -p "$work"

# Times, the build stamp and the echoed command line differ between runs.
mask() {
  sed -E -e '/^>/d' -e 's/^Compiled at .*/Compiled at <BUILD>/' \
    -e 's/ at [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} [0-9]{4}$/ at <TIME>/' "$1"
}

# run DIR PROGRAM... : runs the program on DIR/odrcmd.txt, keeping the
# screen output in DIR.out and the exit code in DIR.exit. A run that hangs
# (processes waiting for one another) ends after two minutes, exit 124.
run() {
  local dir=$1
  shift
  timeout -k 10 120 "$@" "$dir" </dev/null >"$dir.out" 2>"$dir.err"
  echo $? >"$dir.exit"
}

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

for case in demo:examples/demo farm:examples/farm failure:tests/par/failure; do
  name=${case%%:*}
  mkdir -p "$work/$name"
  ref=$work/$name/serial
  mkdir "$ref" && cp "$src/${case#*:}/odrcmd.txt" "$ref/"
  run "$ref" "$serial" -t1
  results=$(cd "$ref" && ls | grep -v -e '^odrcmd.txt$' -e '^odrlog.txt$')
  echo "$name: exit $(cat "$ref.exit"), result files:" $results
  [ -n "$results" ] || fail "$name: the default build wrote no result file"
  [ "$name" != failure ] || [ "$(cat "$ref.exit")" != 0 ] || fail "failure: the default build did not fail"
  for n in 1 2 3; do
    for t in 1 2; do
      dir=$work/$name/n$n-t$t
      mkdir "$dir" && cp "$ref/odrcmd.txt" "$dir/"
      run "$dir" "$mpirun" -n "$n" "$mpi" -t"$t"
      cmp -s "$ref.exit" "$dir.exit" || fail "$name -n $n -t$t: exit $(cat "$dir.exit"), not $(cat "$ref.exit")"
      cmp -s <(mask "$ref.out") <(mask "$dir.out") || fail "$name -n $n -t$t: screen output differs"
      cmp -s <(mask "$ref/odrlog.txt") <(mask "$dir/odrlog.txt") || fail "$name -n $n -t$t: log differs"
      [ "$(cd "$dir" && ls | grep -v -e '^odrcmd.txt$' -e '^odrlog.txt$')" = "$results" ] ||
        fail "$name -n $n -t$t: other files:" $(ls "$dir")
      for f in $results; do
        cmp -s "$ref/$f" "$dir/$f" || fail "$name -n $n -t$t: $f differs"
      done
    done
  done
done
if [ $failures -gt 0 ]; then
  echo "$failures differences; the runs are in $work"
  exit 1
fi
echo "all 18 runs of the MPI build as the default build"
