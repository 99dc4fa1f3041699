#!/usr/bin/env bash
# Builds the JavaScript package's WebAssembly module (js/tessera_wasm.js) with Debian's emscripten,
# installing what is missing. PNG output needs zlib and libpng built for WebAssembly: their Debian
# sources are fetched once with apt-get through a private source list (the machine's apt
# configuration is left as it is) and built into build-js/deps. Prints the module's size gzipped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh js
command -v npm >/dev/null || scripts/install-packages.sh js-npm
export NODE_PATH=/usr/share/nodejs  # emscripten's optimizer needs Debian's acorn
build=build-js
deps="$PWD/$build/deps"
jobs="$(nproc)"

# Debian's zlib and libpng sources, unpacked with Debian's patches into $deps/src.
fetch_sources() {
  local apt="$deps/apt"
  rm -rf "$apt" "$deps/src"
  mkdir -p "$apt/lists/partial" "$apt/parts" "$deps/src"
  cat >"$apt/parts/sources.sources" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  local options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/parts"
                 -o "Dir::State::Lists=$apt/lists" -o APT::Sandbox::User=root)
  apt-get "${options[@]}" update -qq
  (cd "$deps/src" && apt-get "${options[@]}" source --download-only -qq zlib libpng1.6)
  (cd "$deps/src" && dpkg-source -x zlib_*.dsc zlib && dpkg-source -x libpng1.6_*.dsc libpng) \
    >/dev/null
}

# libz.a and libpng.a for WebAssembly in $deps/lib, their headers in $deps/include.
build_libraries() {
  local src="$deps/src" objects="$deps/objects"
  rm -rf "$objects" "$deps/lib" "$deps/include"
  mkdir -p "$objects/z" "$objects/png" "$deps/lib" "$deps/include"
  cp "$src/zlib/zlib.h" "$src/zlib/zconf.h" "$src/libpng/png.h" "$src/libpng/pngconf.h" \
    "$deps/include/"
  cp "$src/libpng/scripts/pnglibconf.h.prebuilt" "$deps/include/pnglibconf.h"
  (cd "$objects/z" && emcc -O2 -c "$src"/zlib/{adler32,crc32,deflate,trees,zutil}.c)
  (cd "$objects/png" && emcc -O2 -c -I"$deps/include" \
    "$src"/libpng/{png,pngerror,pngget,pngmem,pngset,pngtrans,pngwio,pngwrite,pngwtran,pngwutil}.c)
  emar rcs "$deps/lib/libz.a" "$objects"/z/*.o
  emar rcs "$deps/lib/libpng.a" "$objects"/png/*.o
}

[ -f "$deps/src/libpng/png.c" ] && [ -f "$deps/src/zlib/deflate.c" ] || fetch_sources
[ -f "$deps/lib/libpng.a" ] && [ -f "$deps/lib/libz.a" ] || build_libraries

emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF \
  -DTESSERA_WERROR=ON -DTESSERA_SANITIZE= -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF \
  -DZLIB_LIBRARY="$deps/lib/libz.a" -DZLIB_INCLUDE_DIR="$deps/include" \
  -DPNG_LIBRARY="$deps/lib/libpng.a" -DPNG_PNG_INCLUDE_DIR="$deps/include" >/dev/null
cmake --build "$build" -j"$jobs" --target tessera_wasm
cp "$build/js/tessera_wasm.js" js/tessera_wasm.js

# The module inside the file, gzipped at the highest level.
wasm_gzip=$(grep -o 'data:application/octet-stream;base64,[A-Za-z0-9+/=]*' js/tessera_wasm.js \
  | cut -d, -f2 | base64 -d | gzip -9 | wc -c)
echo "scripts/build-js.sh: js/tessera_wasm.js ($(wc -c <js/tessera_wasm.js) bytes; the .wasm" \
  "inside it is $wasm_gzip bytes gzipped)"
