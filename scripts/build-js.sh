#!/usr/bin/env bash
# Builds the JavaScript package's WebAssembly module (js/tessera_wasm.js) with Debian's emscripten,
# installing what is missing. PNG output needs no library: it is compressed by output/deflate.*, as
# in the native build. Prints the module's size gzipped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh js
command -v npm >/dev/null || scripts/install-packages.sh js-npm
export NODE_PATH=/usr/share/nodejs  # emscripten's optimizer needs Debian's acorn
build=build-js
jobs="$(nproc)"

emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF \
  -DTESSERA_WERROR=ON -DTESSERA_SANITIZE= -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target tessera_wasm
cp "$build/js/tessera_wasm.js" js/tessera_wasm.js

# The module inside the file, gzipped at the highest level.
wasm_gzip=$(grep -o 'data:application/octet-stream;base64,[A-Za-z0-9+/=]*' js/tessera_wasm.js \
  | cut -d, -f2 | base64 -d | gzip -9 | wc -c)
echo "scripts/build-js.sh: js/tessera_wasm.js ($(wc -c <js/tessera_wasm.js) bytes; the .wasm" \
  "inside it is $wasm_gzip bytes gzipped)"
