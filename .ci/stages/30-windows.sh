#!/usr/bin/env bash
# tessera.dll: cross-built with MinGW-w64 and tested under Wine (the GoogleTest suite and the DLL
# client), plus the PE file read without Wine. A fresh Wine prefix and one persistent Wine server
# serve every test; the server is stopped on exit so that CI ends.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
scripts/install-packages.sh windows

wine_dir=/usr/lib/wine  # Debian's wine64 puts nothing on PATH
export WINEPREFIX
WINEPREFIX="$(mktemp -d)"
export WINEDEBUG=-all
cleanup() {
  "$wine_dir/wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

build=build-windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTESSERA_WERROR=ON -DTESSERA_BUILD_TESTS=ON -DTESSERA_SANITIZE= \
  -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF >/dev/null
# The persistent server comes first, so that every Wine process, wineboot's included, uses it;
# the prefix is then made while the first objects compile.
"$wine_dir/wineserver" -p
"$wine_dir/wine64" wineboot --init >/dev/null 2>&1 &
boot=$!
cmake --build "$build" -j2
wait "$boot"
echo "Wine prefix and build ready in $((SECONDS - started)) s"

ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 --output-junit junit.xml
# The count behind the DLL client's byte comparison (it passed above only if every call matched).
grep -a 'matched the Linux library' "$build/junit.xml" | tr -d '\r' || true
echo "tessera.dll: $(stat -c %s "$build/tessera.dll") bytes; Windows stage took $((SECONDS - started)) s"
