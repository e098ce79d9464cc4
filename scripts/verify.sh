#!/usr/bin/env bash
# Rebuilds the evidence that the model computes what it should: analytic
# limits (closed-form solutions) and the Prairie Grass field experiment.
# Builds the program if needed, writes out/verify/report.md and the plots,
# and ends with exit code 0 only when every analytic check passes and the
# field data lie inside the acceptance band (FAC2 >= 0.8, |FB| <= 0.3,
# MG 0.7 to 1.3, for CY/Q and for sigma-y); it prints what failed.
#   bash scripts/verify.sh              analytic checks and field data
#   bash scripts/verify.sh --analytic   analytic checks only (seconds)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target ZIRidev

exec /usr/bin/python3 verification/verify --exe build/ZIRidev --out out/verify "$@"
