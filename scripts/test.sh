#!/usr/bin/env bash
# Builds everything with warnings as errors (the JavaScript package too) and runs every test
# (installing missing packages).
# It names every cache option it relies on, so a build folder configured otherwise (by run.sh, or
# by hand) is set back to the full test build; a run that finds no test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh test
scripts/build-js.sh  # the JavaScript package's WebAssembly module, which its tests load
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=ON -DTESSERA_WERROR=ON \
  -DTESSERA_SANITIZE= -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF -DTESSERA_ROUNDTRIP_SOAK=OFF \
  >/dev/null
cmake --build build -j"$(nproc)"
log=build/test-summary.log
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)" | tee "$log"
count=$(sed -n 's/.*tests failed out of \([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
echo "scripts/test.sh: ${count:-no} tests run, all passed"
