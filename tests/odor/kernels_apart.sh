#!/usr/bin/env bash
# The kernels compiled for AVX2 and AVX-512 lend no code to the rest of the
# program: every function of the program with an AVX instruction belongs to
# one of them, and their objects define no function that another object
# could take in place of its own (a library template compiled for AVX that
# the linker gives to every caller would crash a processor without AVX).
# Usage: kernels_apart.sh PROGRAM ODOR-LIBRARY
set -euo pipefail
exe=$1 lib=$2
# Names a kernel may define: those with its namespace in them, the
# library's vector templates that carry the instruction set in theirs, the
# pointer to the exception personality routine (data, no code).
own='kernel_avx(2|512)::|_MachineFlagsTemplate<|^DW\.ref\.__gxx_personality_v0$'

shared=$(nm -C --defined-only "$lib" | awk '
  /\.o:$/ { kernel = ($0 ~ /^kernel_avx(2|512)\.cpp\.o:$/); next }
  kernel && $2 ~ /^[A-Zu]$/ { $1 = $2 = ""; sub(/^ +/, ""); print }' | grep -Ev "$own" || true)
if [ -n "$shared" ]; then
  echo "kernel objects define functions other objects may take:"
  echo "$shared"
  exit 1
fi

# Functions with an instruction of the VEX or EVEX encoding (mnemonics
# beginning with v; the baseline has none) and whether they use zmm.
report=$(objdump -d -C --no-show-raw-insn "$exe" | awk '
  /^[0-9a-f]+ <.*>:$/ { fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn); next }
  /^ +[0-9a-f]+:\t/ {
    split($0, part, "\t"); split(part[2], word, " ")
    if (word[1] ~ /^v/) { avx[fn] = 1; if (part[2] ~ /%zmm/) zmm[fn] = 1 }
  }
  END { for (f in avx) print (f in zmm ? "zmm " : "avx ") f }')
stray=$(echo "$report" | cut -c5- | grep -Ev "$own" || true)
if [ -n "$stray" ]; then
  echo "AVX instructions outside the kernels:"
  echo "$stray"
  exit 1
fi
# The kernels were compiled for their instruction sets.
echo "$report" | grep -q '^avx .*kernel_avx2::' || { echo "no AVX in the AVX2 kernel"; exit 1; }
echo "$report" | grep -q '^zmm .*kernel_avx512::' || { echo "no zmm in the AVX-512 kernel"; exit 1; }
echo "AVX only in $(echo "$report" | wc -l) functions of the kernels"
