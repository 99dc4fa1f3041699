#!/usr/bin/env bash
# The system calls that take memory from the kernel or give it back (brk, mmap, munmap, mremap)
# during COUNT encodes after a warm-up call, counted by strace between the two marks that
# `api_loop --calls` makes: through the C API (tessera_encode + tessera_symbol_free) and through
# the library's tessera() (which also writes a BMP file each time, here on tmpfs).
#   bench/allocation_calls.sh BENCH_BUILD [BUILD...]     (COUNT=10000 by default)
# BENCH_BUILD is a build with -DTESSERA_BUILD_BENCH=ON; its api_loop loads the libraries of each
# BUILD in turn (default: its own), e.g. an older build's beside this one.
set -euo pipefail
bench="$(cd "${1:?usage: allocation_calls.sh BENCH_BUILD [BUILD...]}" && pwd)"
shift
builds=("${@:-$bench}")
count="${COUNT:-10000}"
program="$bench/bench/api_loop"
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base="${TMPDIR:-/tmp}"
work="$(mktemp -d "$base/tessera-allocation-calls.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Counts of each call between the two getpid() marks of one strace log.
count_marked() {
  awk '/^getpid\(/ { marks++; next }
       marks == 1 { split($0, call, "("); n[call[1]]++ }
       END { printf "%d | %d | %d | %d", n["brk"], n["mmap"], n["munmap"], n["mremap"] }' "$1"
}

printf 'COUNT = %s calls after a warm-up call; load average %s\n\n' "$count" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '| build | road | workload | brk | mmap | munmap | mremap |\n|---|---|---|---|---|---|---|\n'
for build in "${builds[@]}"; do
  build="$(cd "$build" && pwd)"
  for road in api door; do
    for w in W1 W2 W3 W4 W5 W6; do
      log="$work/$road.$w.log"
      if [ "$road" = api ]; then
        args=(--calls "$build/libtessera_api.so" "$w" "$count")
      else
        args=(--calls "$build/libtessera.so" "$w" "$count" "$work")
      fi
      strace -o "$log" -e trace=brk,mmap,munmap,mremap,getpid "$program" "${args[@]}"
      printf '| %s | %s | %s | %s |\n' "$build" "$road" "$w" "$(count_marked "$log")"
    done
  done
done
