#!/usr/bin/env bash
# Instructions of one warm encode through the C API (tessera_encode + tessera_symbol_free) and of
# the door's encode step, beside the encoder's own Encode, under Callgrind (only that call is
# collected; these do not depend on the load):
#   bench/api_callgrind.sh BENCH_BUILD [BUILD...]     (WORKLOADS="W1 W3" by default: W1..W6)
# BENCH_BUILD is a build with -DTESSERA_BUILD_BENCH=ON; its api_loop loads the libraries of each
# BUILD in turn (default: its own), and each BUILD's own Encode is counted by its side_by_side.
# The door's encode step is what JobOptions::RenderAndWrite does besides Render and SaveBytes: the
# encoder record and the symbol taken and given back, the settings, Encode and the copy of the
# finished symbol.
set -euo pipefail
bench="$(cd "${1:?usage: api_callgrind.sh BENCH_BUILD [BUILD...]}" && pwd)"
shift
builds=("${@:-$bench}")
read -r -a workloads <<<"${WORKLOADS:-W1 W3}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

# Instructions collected by Callgrind in one run of the rest of the command line.
collected() {
  local file="$out/run"
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$file" "$@" >/dev/null 2>&1
  sed -n 's/^summary: //p;s/^totals: //p' "$file" | head -1
}

# The inclusive instructions of the first function of the last run whose name starts with $1.
inclusive() {
  callgrind_annotate --inclusive=yes "$out/run" 2>/dev/null |
    awk -v name="$1" '!found && index($0, name) { gsub(",", "", $1); print $1; found = 1 }'
}

printf '| build | workload | Encode | API | API / Encode | door encode step | door / Encode |\n'
printf '|---|---|---|---|---|---|---|\n'
for build in "${builds[@]}"; do
  build="$(cd "$build" && pwd)"
  for w in "${workloads[@]}"; do
    encode=$(collected "$build/bench/side_by_side" --one tessera "$w")
    api=$(collected "$bench/bench/api_loop" --one "$build/libtessera_api.so" "$w")
    collected "$bench/bench/api_loop" --one "$build/libtessera.so" "$w" "$out" >/dev/null
    step=$(($(inclusive "qr::JobOptions::RenderAndWrite") - $(inclusive "qr::Render(") -
      $(inclusive "qr::SaveBytes(")))
    awk -v b="$build" -v w="$w" -v e="$encode" -v a="$api" -v d="$step" 'BEGIN {
      printf "| %s | %s | %d | %d | %.2fx | %d | %.2fx |\n", b, w, e, a, a / e, d, d / e }'
  done
done
