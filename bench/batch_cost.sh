#!/usr/bin/env bash
# The time of a batch, two builds of the command side by side in one run:
#   bench/batch_cost.sh COMMAND_A COMMAND_B [FOLDER...]     (default folders: /dev/shm /var/tmp)
# In each FOLDER, 10,000 lines of 45-byte URLs (version 3, level M, PNG) are written as new files
# (into a fresh folder) and then again over the same files (replacing them), by A and B in turns,
# RUNS times each (default 7), the order alternating. Prints the median wall time of each and B's
# time over A's, then the median processor time (user and system, all threads) of each and its
# ratio, which other programs on the machine disturb less; with the load average (1 minute)
# before and after.
set -euo pipefail
a="$(realpath "${1:?usage: batch_cost.sh COMMAND_A COMMAND_B [FOLDER...]}")"
b="$(realpath "${2:?usage: batch_cost.sh COMMAND_A COMMAND_B [FOLDER...]}")"
shift 2
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(/dev/shm /var/tmp)
runs="${RUNS:-7}"
lines=10000
list="$(mktemp)"
trap 'rm -f "$list"' EXIT
seq -f 'https://example.org/products/item?id=%05g' "$lines" >"$list"

# seconds COMMAND FOLDER: runs the batch and prints its wall time and its processor time.
seconds() {
  local TIMEFORMAT='%R %U %S'
  { time "$1" --batch "$list" -o "$2/{n}.png" 2>/dev/null; } 2>&1 |
    awk '{ printf "%.4f,%.4f\n", $1, $2 + $3 }'
}
median() {
  sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# pick "SIDE FILES" COLUMN: the median of a side's runs, wall time (1) or processor time (2).
pick() {
  tr ' ' '\n' <<<"${times[$1]}" | grep . | cut -d, -f"$2" | median
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %-8s %10s %10s %8s %10s %10s %8s\n' folder files "A (s)" "B (s)" "B / A" \
  "A cpu (s)" "B cpu (s)" "B / A"
for folder in "${folders[@]}"; do
  work="$(mktemp -d "$folder/tessera-batch-cost.XXXXXX")"
  declare -A times=([A new]="" [B new]="" [A replace]="" [B replace]="")
  for ((run = 0; run < runs; run++)); do
    order=(A B)
    ((run % 2 == 0)) || order=(B A)
    for side in "${order[@]}"; do
      command=$a
      [ "$side" = A ] || command=$b
      rm -rf "$work/out"
      times[$side new]+="$(seconds "$command" "$work/out") "
      times[$side replace]+="$(seconds "$command" "$work/out") "
    done
  done
  for files in new replace; do
    awk -v f="$folder" -v k="$files" -v a="$(pick "A $files" 1)" -v b="$(pick "B $files" 1)" \
      -v ca="$(pick "A $files" 2)" -v cb="$(pick "B $files" 2)" 'BEGIN { printf "%-10s %-8s %10.3f %10.3f %7.2fx %10.3f %10.3f %7.2fx\n",
        f, k, a, b, b / a, ca, cb, cb / ca }'
  done
  rm -rf "$work"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
