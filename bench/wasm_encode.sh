#!/usr/bin/env bash
# The WebAssembly build's encode beside the encoder's own Encode (wasm_encode.cpp), built with
# Debian's emscripten (-O3, as the package's module) from each source tree given, this one by
# default, e.g. an older commit's beside it, and run under Node in turn:
#   bench/wasm_encode.sh [SOURCE_TREE...]
# Packages: scripts/install-packages.sh js.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
trees=("${@:-$here}")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export NODE_PATH=/usr/share/nodejs  # emscripten's optimizer needs Debian's acorn

# The library's sources on the encode road: the encoder, the pipeline and the API, with the
# BMP writer alone (nothing here renders).
sources=(encoder/*.cpp module/api.cpp module/pipeline.cpp output/bmp_file.cpp
         output/image_format.cpp output/writers_bmp.cpp platform/no_file_io.cpp
         platform/streams.cpp)

printf 'Node %s, %s; load average before: %s\n' "$(node --version)" \
  "$(sed -n 's/^model name\t*: //p' /proc/cpuinfo | head -1)" "$(cut -d' ' -f1-3 /proc/loadavg)"
for i in "${!trees[@]}"; do
  tree="$(cd "${trees[$i]}" && pwd)"
  program="$work/encode-$i.js"
  (cd "$tree" && em++ -std=c++17 -O3 -DTESSERA_BUILDING -DTESSERA_VERSION='"bench"' \
    -I"$tree" -I"$here" "${sources[@]}" "$here/bench/workloads.cpp" "$here/bench/wasm_encode.cpp" \
    -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=node -sSINGLE_FILE=1 -o "$program")
  printf '\n%s (%s)\n\n' "$tree" "$(git -C "$tree" rev-parse --short HEAD 2>/dev/null || echo "not a checkout")"
  node "$program"
done
printf '\nload average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
