#!/usr/bin/env bash
# Fuzzing: each libFuzzer target, built with AddressSanitizer and UndefinedBehaviorSanitizer, runs
# for TESSERA_FUZZ_SECONDS (60) from its committed corpus, side by side. A crash, a leak,
# a hang or a failed check fails the stage, and the input that caused it is copied into
# fuzz/corpus/<target>/ as a regression case to commit with the fix.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh fuzz
seconds=${TESSERA_FUZZ_SECONDS:-60}
targets=(encoder export api command_line png_reader)

# Warnings are the main build's gate; clang's own warnings are shown here but do not stop fuzzing.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSERA_FUZZ=ON -DTESSERA_SANITIZE=address,undefined -DTESSERA_BUILD_TESTS=OFF \
  -DTESSERA_WERROR=OFF -DTESSERA_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=build-fuzz/run
rm -rf "$work"
pids=()
for target in "${targets[@]}"; do
  dir="$work/$target"
  mkdir -p "$dir/corpus" "$dir/artifacts" "$dir/tmp"
  cp fuzz/corpus/"$target"/* "$dir/corpus/"
  # New inputs go to the working copy of the corpus, never into the checkout.
  TMPDIR="$(pwd)/$dir/tmp" build-fuzz/fuzz/fuzz_"$target" "$dir/corpus" \
    -max_total_time="$seconds" -max_len=8192 -timeout=25 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/artifacts/" -print_final_stats=1 >"$dir/log" 2>&1 &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  dir="$work/$target"
  status=0
  wait "${pids[$i]}" || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -1 || true)
  echo "fuzz_$target: exit $status, ${runs:-?} executions (${rate:-?}/s), ${cov:-no coverage line}"
  found=("$dir"/artifacts/*)
  if [ "$status" -ne 0 ] || [ -e "${found[0]}" ]; then
    failed=1
    tail -n 60 "$dir/log"
    for artifact in "${found[@]}"; do
      [ -e "$artifact" ] || continue
      cp "$artifact" "fuzz/corpus/$target/regression-$(basename "$artifact")"
      echo "fuzz_$target: $artifact copied to fuzz/corpus/$target/ as a regression case"
    done
  fi
done
exit "$failed"
