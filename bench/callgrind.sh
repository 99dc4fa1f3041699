#!/usr/bin/env bash
# Instructions of one warm encode (Callgrind), per encoder and workload:
#   bench/callgrind.sh BUILD_DIR [WORKLOAD...]     (default W1 W3)
# BUILD_DIR is a build with -DTESSERA_BUILD_BENCH=ON; only the one call is collected.
set -euo pipefail
build="${1:?usage: callgrind.sh BUILD_DIR [WORKLOAD...]}"
shift
workloads=("${@:-W1}")
[ $# -gt 0 ] || workloads=(W1 W3)
program="$build/bench/side_by_side"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
printf '| workload | tessera | libqrencode | zxing-cpp | qrcodegen | libqrencode / tessera |\n|---|---|---|---|---|---|\n'
for w in "${workloads[@]}"; do
  declare -A count=()
  for e in tessera libqrencode zxing-cpp qrcodegen; do
    valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/$e.$w" \
      "$program" --one "$e" "$w" > /dev/null 2>&1
    count[$e]=$(sed -n 's/^summary: //p;s/^totals: //p' "$out/$e.$w" | head -1)
  done
  ratio=$(awk -v a="${count[libqrencode]}" -v b="${count[tessera]}" 'BEGIN { printf "%.1fx", a / b }')
  printf '| %s | %s | %s | %s | %s | %s |\n' "$w" "${count[tessera]}" "${count[libqrencode]}" \
    "${count[zxing-cpp]}" "${count[qrcodegen]}" "$ratio"
done
