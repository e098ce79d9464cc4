#!/usr/bin/env bash
# Builds the program, runs the demo case in out/demo/ and, when the Python
# packages are there, draws maps of its results.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target ZIRidev

rm -rf out/demo
mkdir -p out/demo
cp examples/demo/odrcmd.txt out/demo/
./build/ZIRidev out/demo -v

echo
echo "Demo results in out/demo/: odrlog.txt (protocol), cnc.dmna, fro.dmna, frh.dmna, r90.dmna"
