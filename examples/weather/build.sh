#!/usr/bin/env bash
# Makes the weather example in DIR: the synthetic series, the command file
# from the template (examples/weather/odrcmd.txt is this file) and the wind
# rose. Usage: examples/weather/build.sh DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:?usage: build.sh DIR}"
mkdir -p "$out"
/usr/bin/python3 "$here/make_series.py" "$out/series.csv"
"$here/../../tools/zirmet" "$out/series.csv" --lm L --z0 0.5 --template "$here/template.txt" \
    -o "$out/odrcmd.txt" --rose "$out/windrose.png"
