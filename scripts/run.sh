#!/usr/bin/env bash
# The main job: builds the library, the API library (which the Python module loads from here) and
# the command, then encodes a sample text to sample.bmp.
# It builds in its own folder (build-run) and names every cache option it relies on, so it and
# scripts/test.sh may run in any order.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh build cli
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF -DTESSERA_WERROR=OFF \
  -DTESSERA_SANITIZE= -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF >/dev/null
cmake --build build-run -j"$(nproc)" --target tessera tessera_api tessera_cli
./build-run/tessera "/THello from tessera: https://example.org/tessera" /Osample.bmp /L1 /S8
echo "wrote $(pwd)/sample.bmp ($(stat -c %s sample.bmp) bytes)"
echo "the Python module: PYTHONPATH=python python3 -c 'import tessera; print(tessera.make(\"Hello\"))'"
