#!/usr/bin/env bash
# Builds and runs every test, first plain, then with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZIR_SANITIZE=ON >/dev/null
cmake --build build-san
ctest --test-dir build-san --output-on-failure -j2
