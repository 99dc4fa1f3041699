#!/usr/bin/env bash
# The writers of an earlier commit and of this checkout, side by side on this machine:
#   bench/render_side_by_side.sh BUILD_DIR OLD_COMMIT [ROUNDS]
# BUILD_DIR is this checkout built with -DTESSERA_BUILD_BENCH=ON. The earlier commit is built in a
# temporary folder and bench/render_cost.cpp compiled against it. Prints the load average, then
# ROUNDS (3) tables of each build in turn, then Callgrind's instructions of one warm call of each
# step for both and the mispredicted branches of W3's SVG and EPS; and the batch (`tessera
# --batch`, PNG files on tmpfs) of both, in turn.
set -euo pipefail
build="$(cd "${1:?usage: render_side_by_side.sh BUILD_DIR OLD_COMMIT [ROUNDS]}" && pwd)"
old="${2:?usage: render_side_by_side.sh BUILD_DIR OLD_COMMIT [ROUNDS]}"
rounds="${3:-3}"
cd "$(dirname "$0")/.."
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
git archive "$old" | tar -x -C "$work/src"
cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF \
  -DTESSERA_BUILD_BENCH=ON >/dev/null
cmake --build "$work/build" -j2 --target tessera_core tessera_bench_workloads tessera_cli \
  >/dev/null
# shellcheck disable=SC2046
g++ -O3 -std=c++17 -I"$work/src" bench/render_cost.cpp \
  "$work/build/bench/libtessera_bench_workloads.a" "$work/build/libtessera_core.a" \
  $(pkg-config --libs libpng) -lpthread -o "$work/render_cost_old"
declare -A program=([old]="$work/render_cost_old" [new]="$build/bench/render_cost")
declare -A command=([old]="$work/build/tessera" [new]="$build/tessera")

echo "old: $(git rev-parse --short "$old"), new: $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' with changes')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((r = 1; r <= rounds; r++)); do
  for side in old new; do
    echo "round $r, $side:"
    "${program[$side]}"
  done
done

echo "Callgrind, instructions of one warm call:"
echo "| workload | step | old | new |"
echo "|---|---|---|---|"
for w in W1 W3; do
  for step in encode bmp png svg eps pdf; do
    declare -A count=()
    for side in old new; do
      valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$work/cg.$side" \
        "${program[$side]}" --one "$w" "$step" >/dev/null 2>&1
      count[$side]=$(sed -n 's/^summary: //p;s/^totals: //p' "$work/cg.$side" | head -1)
    done
    echo "| $w | $step | ${count[old]} | ${count[new]} |"
  done
done

echo "Callgrind --branch-sim=yes, mispredicted conditional branches of one warm call:"
echo "| workload | step | old | new |"
echo "|---|---|---|---|"
for step in svg eps; do
  declare -A missed=()
  for side in old new; do
    valgrind --tool=callgrind --branch-sim=yes --collect-atstart=no \
      --callgrind-out-file="$work/cg.$side" "${program[$side]}" --one W3 "$step" >/dev/null 2>&1
    # Events Ir Bc Bcm Bi Bim: the third is the conditional branches mispredicted.
    missed[$side]=$(sed -n 's/^summary: //p;s/^totals: //p' "$work/cg.$side" | head -1 | cut -d' ' -f3)
  done
  echo "| W3 | $step | ${missed[old]} | ${missed[new]} |"
done

# The batch: 4,000 lines of W1-like URLs to PNG files in a folder on tmpfs, each build in turn.
shm="$(mktemp -d /dev/shm/tessera-batch.XXXXXX)"
trap 'rm -rf "$work" "$shm"' EXIT
for ((i = 0; i < 4000; i++)); do echo "https://example.org/products/item?id=$i"; done >"$shm/lines"
echo "batch of 4000 PNG files on tmpfs (codes per second):"
for ((r = 1; r <= rounds; r++)); do
  for side in old new; do
    rm -rf "$shm/out"
    start=$(date +%s%N)
    "${command[$side]}" --batch "$shm/lines" -o "$shm/out/{n}.png" >/dev/null
    end=$(date +%s%N)
    awk -v n=4000 -v ns=$((end - start)) -v s="$side" -v r="$r" \
      'BEGIN { printf "round %d, %s: %.0f codes/s\n", r, s, n / (ns / 1e9) }'
  done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
