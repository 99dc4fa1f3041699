#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test (installing missing packages).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSERA_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
