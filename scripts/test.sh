#!/usr/bin/env bash
# Builds and runs every test: first a Debug build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and last a short run of every fuzz target.
# The exit code is the verdict.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=2
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXORIA_WERROR=ON "$@"
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

echo "== Debug build and tests"
run_suite build/debug

echo "== Sanitizer build and tests (address, undefined)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build/sanitize -DPIXORIA_SANITIZE=ON -DPIXORIA_BUILD_BENCH=OFF

echo "== Fuzzing every reader (${PIXORIA_FUZZ_SECONDS:-5} s each)"
scripts/fuzz.sh "${PIXORIA_FUZZ_SECONDS:-5}"
