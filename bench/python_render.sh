#!/usr/bin/env bash
# The Python module's PNG beside the C API's, in instructions per call (Callgrind):
#   bench/python_render.sh BUILD_DIR [PYTHON_DIR]
# For W1 (the 40-byte URL, level M, PNG at scale 4): a C loop of tessera_encode, tessera_render
# into a buffer of the program's and tessera_symbol_free, and Python's
# tessera.make(W1, level="M").to_bytes("png") with the module of PYTHON_DIR (default: this
# checkout's python/), both over BUILD_DIR's libtessera_api.so. Each runs 0 and 200 calls after a
# warm-up call under Callgrind (the whole process); the difference over 200 is the cost of a call.
set -euo pipefail
build="$(cd "${1:?usage: python_render.sh BUILD_DIR [PYTHON_DIR]}" && pwd)"
cd "$(dirname "$0")/.."
python_dir="$(cd "${2:-python}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/render_loop.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "module/tessera_api.h"

static const char kW1[] = "https://example.org/products/item?id=123";

static int Call(unsigned char* buffer, size_t capacity) {
    tessera_settings settings;
    tessera_settings_init(&settings);
    settings.level = TESSERA_LEVEL_M;
    tessera_symbol* symbol = NULL;
    if (tessera_encode(kW1, strlen(kW1), &settings, &symbol) != TESSERA_OK) return 0;
    size_t size = 0;
    const int status = tessera_render(symbol, TESSERA_FORMAT_PNG, NULL, buffer, capacity, &size);
    tessera_symbol_free(symbol);
    return status == TESSERA_OK;
}

int main(int argc, char** argv) {
    static unsigned char buffer[1 << 16];
    const long count = argc > 1 ? atol(argv[1]) : 0;
    int ok = Call(buffer, sizeof buffer);
    for (long c = 0; c < count; ++c) ok &= Call(buffer, sizeof buffer);
    return ok ? 0 : 1;
}
C
cc -O2 -I. "$work/render_loop.c" -L"$build" -ltessera_api -Wl,-rpath,"$build" -o "$work/render_loop"
cat >"$work/render_loop.py" <<'PY'
import sys
import tessera

W1 = "https://example.org/products/item?id=123"
tessera.make(W1, level="M").to_bytes("png")
for _ in range(int(sys.argv[1])):
    tessera.make(W1, level="M").to_bytes("png")
PY
instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/cg" "$@" >/dev/null 2>&1
  sed -n 's/^summary: //p;s/^totals: //p' "$work/cg" | head -1
}
export TESSERA_API_LIBRARY="$build/libtessera_api.so" PYTHONPATH="$python_dir"
python="$(python3 -c 'import sys; print(sys.executable)')"  # the interpreter, not a wrapper
calls=200
c0=$(instructions "$work/render_loop" 0)
c1=$(instructions "$work/render_loop" "$calls")
p0=$(instructions "$python" "$work/render_loop.py" 0)
p1=$(instructions "$python" "$work/render_loop.py" "$calls")
awk -v c0="$c0" -v c1="$c1" -v p0="$p0" -v p1="$p1" -v n="$calls" 'BEGIN {
  c = (c1 - c0) / n; p = (p1 - p0) / n
  printf "C API encode + PNG render + free: %.0f instructions per call\n", c
  printf "Python make(W1).to_bytes(\"png\"): %.0f instructions per call, %.2fx the C API\n", p, p / c
}'
