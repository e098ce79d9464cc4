#!/usr/bin/env bash
# Builds the program, runs the demo case in out/demo/ and, when the Python
# packages are there, draws maps of its results.
set -euo pipefail
cd "$(dirname "$0")/.."
# Build jobs: as many as the machine has cores, or ZIR_JOBS.
jobs="${ZIR_JOBS:-$(nproc)}"
bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target ZIRidev -j "$jobs"

rm -rf out/demo
mkdir -p out/demo
cp examples/demo/odrcmd.txt out/demo/
./build/ZIRidev out/demo -v

echo
echo "Demo results in out/demo/: odrlog.txt (protocol), cnc.dmna, fro.dmna, frh.dmna, r90.dmna"

# Maps of the four result grids (needs python3-numpy and python3-matplotlib).
if /usr/bin/python3 -c 'import numpy, matplotlib' 2>/dev/null; then
  tools/zirmap out/demo/cnc.dmna out/demo/fro.dmna out/demo/frh.dmna out/demo/r90.dmna \
      --area -20,-10,40,20,0 --points "130,75;260,150;433,250;-260,-150" \
      --title "Demo: livestock building" --asc out/demo
  echo "Maps in out/demo/: cnc.png fro.png frh.png r90.png (ESRI ASCII grids: *.asc)"
else
  echo "No maps: install python3-numpy python3-matplotlib (bash scripts/setup.sh does)"
fi

# Source groups: a pig farm that applies for a permit and its neighbour's
# dairy in one run: total load, each farm, the applicant's additional load
# and the weighted odor-hour frequency, mapped with the sources marked.
echo
rm -rf out/farm
mkdir -p out/farm
cp examples/farm/odrcmd.txt examples/farm/receptors.csv out/farm/
./build/ZIRidev out/farm -q
echo "Farm example in out/farm/: odrlog.txt, pnt.csv (values at the three houses), frh.dmna (total),"
echo "frw.dmna (weighted), frh-za.dmna (additional load), frh-pigs.dmna, frh-dairy.dmna, cnc*.dmna"
if /usr/bin/python3 -c 'import numpy, matplotlib' 2>/dev/null; then
  # The sources come from the files' headers, the houses' names from receptors.csv.
  farm=(--points "200,100;450,350;-250,-150" --names out/farm/receptors.csv)
  tools/zirmap out/farm/frh.dmna "${farm[@]}" --title "Farm example: total load"
  tools/zirmap out/farm/frw.dmna "${farm[@]}" --title "Farm example: weighted total load"
  tools/zirmap out/farm/frh-za.dmna "${farm[@]}" \
      --title "Farm example: additional load of the pig farm"
  echo "Maps in out/farm/: frh.png, frw.png, frh-za.png"
  # The assessment report of the run with these maps; printed to PDF when
  # Chromium is there (bash scripts/setup.sh --report installs it).
  pdf=()
  command -v chromium >/dev/null && pdf=(--pdf)
  tools/zirreport out/farm "${pdf[@]}"
fi

# Real weather in, real maps out: a synthetic year of hourly weather becomes
# the situations of a command file (zirmet), the model runs it, and zirmap
# draws the result in national coordinates (ETRS89 / UTM zone 32N).
if /usr/bin/python3 -c 'import numpy, matplotlib, pyproj' 2>/dev/null; then
  echo
  rm -rf out/weather
  bash examples/weather/build.sh out/weather > out/weather-summary.txt
  mv out/weather-summary.txt out/weather/zirmet-summary.txt
  ./build/ZIRidev out/weather -q
  tools/zirmap out/weather/frh.dmna --area -10,-10,20,20 --origin 497000,5427000 \
      --crs EPSG:25832 --asc out/weather --title "Weather example: biofilter"
  echo "Weather example in out/weather/: series.csv, zirmet-summary.txt, windrose.png,"
  echo "odrcmd.txt (situations by zirmet), odrlog.txt, frh.png and frh.asc/.prj in UTM 32N"
fi
