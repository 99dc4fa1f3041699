#!/usr/bin/env bash
# The main job: builds the library and the command, then encodes a sample text to sample.bmp.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tessera tessera_cli
./build/tessera "/THello from tessera: https://example.org/tessera" /Osample.bmp /L1 /S8
echo "wrote $(pwd)/sample.bmp ($(stat -c %s sample.bmp) bytes)"
