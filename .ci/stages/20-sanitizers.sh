#!/usr/bin/env bash
# Sanitizers: the whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (LeakSanitizer runs at every test process's exit), then the 8-thread concurrency test built with
# ThreadSanitizer, both with the compiler of the main build (its sanitizer runtimes come with it;
# clang would leave the shared library without one). Any report fails the stage. The TSan build
# runs the tests labelled concurrency: the library from 8 threads, and the API from 8 threads.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh test
started=$SECONDS

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Light optimisation and line tables only: quick to build, quick enough to run, readable stacks.
# Warnings are the main build's concern: under the sanitizers the compiler warns falsely
# (maybe-uninitialized in the standard library), so they are not errors here.
flags="-O1 -g1"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$flags" \
  -DTESSERA_SANITIZE=address,undefined -DTESSERA_BUILD_TESTS=ON -DTESSERA_WERROR=OFF \
  -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF -DTESSERA_ROUNDTRIP_SOAK=OFF >/dev/null
cmake --build build-asan -j2
# Instrumented frames are larger: the SVG tests' std::regex searches recurse once per character
# of a path and overflow the default 8 MiB stack.
ulimit -s 65536
# Tests labelled python load the shared library into Python: they get the runtime preloaded, since
# Python itself is not instrumented; Python's own allocations at exit are not ours to report.
# The documented examples run Python and Node over the library as a reader would: what they check
# is the docs' words and numbers, which the main suite holds; here they would need the runtime
# preloaded into Node too.
ctest --test-dir build-asan --output-on-failure --no-tests=error -j2 -LE python -E '^docs_examples$'
LD_PRELOAD="$(c++ -print-file-name=libasan.so)" ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -L python
echo "--- ASan+UBSan+LSan suite passed ($((SECONDS - started)) s)"

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$flags" \
  -DTESSERA_SANITIZE=thread -DTESSERA_BUILD_TESTS=ON -DTESSERA_WERROR=OFF -DTESSERA_FUZZ=OFF \
  -DTESSERA_BUILD_BENCH=OFF -DTESSERA_ROUNDTRIP_SOAK=OFF >/dev/null
cmake --build build-tsan -j2 --target tessera_concurrency_tests tessera_api_threads_tests
ctest --test-dir build-tsan --output-on-failure --no-tests=error -L concurrency
echo "--- ThreadSanitizer concurrency test passed ($((SECONDS - started)) s)"
