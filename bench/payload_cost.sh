#!/usr/bin/env bash
# What a payload's fields cost a batch, in Callgrind instructions (exact, whatever the load):
#   bench/payload_cost.sh COMMAND [LINES]     (default 2000 lines)
# Runs COMMAND's batch once over LINES WiFi networks given as JSON objects (--payload wifi), and
# once over the same networks' texts, as text output into a scratch folder; checks that both write
# the same files, and prints the instructions of each, the difference per line and the ratio,
# with the load average (1, 5, 15 minutes) before and after.
set -euo pipefail
command="$(realpath "${1:?usage: payload_cost.sh COMMAND [LINES]}")"
lines="${2:-2000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for ((i = 0; i < lines; i++)); do
  hidden=$([ $((i % 2)) -eq 0 ] && echo true || echo false)
  printf '{"ssid": "Net %d", "password": "p;w%d", "hidden": %s}\n' "$i" "$i" "$hidden" >>"$work/fields.jsonl"
  printf 'WIFI:T:WPA;S:Net %d;P:p\\;w%d;%s;\n' "$i" "$i" \
    "$([ "$hidden" = true ] && echo 'H:true;')" >>"$work/texts.txt"
done

# instructions OUTPUT ARGS...: the batch's instructions under Callgrind, its files in OUTPUT.
instructions() {
  local out="$1"
  shift
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" \
    "$command" --batch "$@" -t txt -o "$work/$out/{n}.txt" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\)/\1/p'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
fields=$(instructions out-fields "$work/fields.jsonl" --payload wifi)
texts=$(instructions out-texts "$work/texts.txt")
diff -r "$work/out-fields" "$work/out-texts" >/dev/null || { echo "the two batches wrote different files"; exit 1; }
awk -v f="$fields" -v t="$texts" -v n="$lines" 'BEGIN {
  printf "%d lines: fields %d, texts %d instructions; %.0f more per line (%.3fx)\n",
         n, f, t, (f - t) / n, f / t }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
