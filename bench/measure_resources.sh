#!/usr/bin/env bash
# Resource figures of single exported calls: the time of the call itself and the peak resident
# memory of a process that makes one call for the largest symbol (version 40, scale 20), a 1 MiB
# "/T" value and a 5 GiB sparse "/I" file.
# Usage: bench/measure_resources.sh <build dir with libtessera.so>
set -euo pipefail
build=$(cd "${1:?usage: $0 <build dir>}" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One call of tessera() with the options given on the command line; "@file" reads an option from a
# file, so that a 1 MiB value need not pass through the argument list.
cat >"$work/call.c" <<'EOF'
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include "module/tessera.h"
static char* Option(const char* arg) {
    if (arg[0] != '@') return (char*)arg;
    FILE* f = fopen(arg + 1, "rb");
    if (f == NULL) exit(90);
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    rewind(f);
    char* text = calloc((size_t)size + 1, 1);
    if (text == NULL || fread(text, 1, (size_t)size, f) != (size_t)size) exit(91);
    fclose(f);
    return text;
}
int main(int argc, char** argv) {
    const char* o[4] = {"", "", "", ""};
    for (int i = 1; i < argc && i <= 4; ++i) o[i - 1] = Option(argv[i]);
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int result = tessera(o[0], o[1], o[2], o[3]);
    clock_gettime(CLOCK_MONOTONIC, &end);
    printf("%.3f\n", (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6);
    return result;
}
EOF
cc -O2 -I"$repo" "$work/call.c" -o "$work/call" -L"$build" -ltessera -Wl,-rpath,"$build"

python3 -c "import sys; sys.stdout.write('/T' + 'a' * (1 << 20))" >"$work/text1m"
python3 -c "import sys; sys.stdout.write(''.join(str(i * 7 % 10) for i in range(7089)))" >"$work/digits"
truncate -s 5G "$work/sparse5g"

measure() {
  local name=$1
  shift
  local status=0
  local ms
  ms=$(/usr/bin/time -f "%M" -o "$work/time" "$work/call" "$@") || status=$?
  printf '%-38s result %d  %8.3f ms  peak RSS %6d KiB\n' "$name" "$status" "$ms" "$(tail -n 1 "$work/time")"
}
measure "empty call (baseline)" ""
measure "version 40-L, scale 20 (7089 digits)" "/I$work/digits" /L0 /S20 "/O$work/v40s20.bmp"
measure "1 MiB /T" "@$work/text1m" "/O$work/text.bmp"
measure "5 GiB sparse /I" "/I$work/sparse5g" "/O$work/sparse.bmp"
