#!/usr/bin/env bash
# Fuzzes every reader of the image library for SECONDS each (default 60): builds the libFuzzer
# targets with clang in build/fuzz, runs each on a copy of its seeds in build/fuzz/corpus/<name>
# (the corpus grows from run to run; fuzz/seeds is never written), two targets at a time, and
# prints the executions and inputs per second of each target, naming the slowest at the end (each
# should try at least 1,000 a second). Exits non-zero when a target found a crash, leak, timeout
# or memory blow-up, naming the input that reproduces it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS per target]" >&2
  exit 2
fi

scripts/install-deps.sh

build=build/fuzz
parallel=2
started=$(date +%s)
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPIXORIA_FUZZ=ON -DPIXORIA_BUILD_TESTS=OFF -DPIXORIA_BUILD_BENCH=OFF -DPIXORIA_SANITIZE=OFF
cmake --build "$build" -j"$parallel"
built=$(date +%s)

# Our own settings, whatever the caller exported for its sanitizer tests.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
cat tests/lsan.supp fuzz/lsan.supp > "$build/lsan.supp"
export LSAN_OPTIONS="suppressions=$PWD/$build/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

rm -rf "$build/results"
mkdir -p "$build/logs" "$build/results"
# One row per target: name, executable, longest input, dictionary or "-", seed folders.
mapfile -t targets < "$build/fuzz-targets.tsv"

# Runs one target and writes "status executions rate reproducer" to results/<name>, the rate in
# inputs per second over the time libFuzzer reports it ran.
fuzz_one() {
  local name=$1 executable=$2 max_len=$3 dictionary=$4
  shift 4
  local result=$build/results/$name log=$build/logs/$name.log
  local corpus=$build/corpus/$name artifacts=$build/artifacts/$name/
  local probe
  probe=$("$executable" -runs=0 2>&1 || true)
  if [[ $probe == *"pixoria-fuzz: no reader for format"* ]]; then
    echo "absent - - -" > "$result"
    printf 'fuzz: %-5s no reader yet\n' "$name"
    return 0
  fi
  mkdir -p "$corpus" "$artifacts"
  local seeds seed copy
  for seeds in "$@"; do
    for seed in "$seeds"/*; do
      copy=$corpus/$(basename "$seeds")-$(basename "$seed")
      if [[ -f $seed && ! -e $copy ]]; then
        cp "$seed" "$copy"
      fi
    done
  done
  # The largest picture the library accepts (2^28 pixels) legitimately takes a decoder a few GiB
  # of scratch memory, and a 16-bit page of that size some seconds: the limits leave room for it.
  local options=(-max_total_time="$seconds" -rss_limit_mb=6144 -malloc_limit_mb=4096 -timeout=30 -max_len="$max_len"
                 -print_final_stats=1 -artifact_prefix="$artifacts")
  if [[ $dictionary != - ]]; then
    options+=(-dict="$dictionary")
  fi
  local status=ok
  "$executable" "${options[@]}" "$corpus" > "$log" 2>&1 || status=FAULT
  local executions ran rate=- reproducer
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  ran=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
  if [[ -n $executions ]]; then
    rate=$((executions / (${ran:-$seconds} > 0 ? ${ran:-$seconds} : 1)))
  fi
  reproducer=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
  echo "$status ${executions:--} $rate ${reproducer:--}" > "$result"
  printf 'fuzz: %-5s %-6s %10s executions %8s/s\n' "$name" "$status" "${executions:--}" "$rate"
}

echo "== Fuzzing ${#targets[@]} targets for $seconds s each, $parallel at a time"
running=0
for row in "${targets[@]}"; do
  IFS=$'\t' read -r -a fields <<< "$row"
  if ((running >= parallel)); then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "${fields[@]}" < /dev/null &
  running=$((running + 1))
done
wait

echo
printf '%-12s %-7s %12s %10s  %s\n' target status executions inputs/s reproducer
faults=()
rates=()
for row in "${targets[@]}"; do
  name=${row%%$'\t'*}
  status=MISSING executions=- rate=- reproducer=-
  if [[ -f $build/results/$name ]]; then
    read -r status executions rate reproducer < "$build/results/$name"
  fi
  printf '%-12s %-7s %12s %10s  %s\n' "$name" "$status" "$executions" "$rate" "${reproducer/#-/}"
  if [[ $status != ok && $status != absent ]]; then
    faults+=("$name")
  fi
  if [[ $rate != - ]]; then
    rates+=("$rate $name")
  fi
done
finished=$(date +%s)
echo "fuzz: build $((built - started)) s, fuzzing $((finished - built)) s"
# The slowest targets, and any under the 1,000 inputs a second every target should reach.
slowest=$(printf '%s\n' "${rates[@]}" | sort -n | head -n 3 | awk '{ printf "%s%s %d/s", sep, $2, $1; sep = ", " }')
echo "fuzz: slowest: $slowest"
slow=$(printf '%s\n' "${rates[@]}" | awk '$1 < 1000 { printf "%s%s", sep, $2; sep = " " }')
if [[ -n $slow ]]; then
  echo "fuzz: under 1,000 inputs/s: $slow"
fi

for name in "${faults[@]}"; do
  log=$build/logs/$name.log
  echo
  echo "== $name: fault (whole log: $log)"
  # The sanitizer's or libFuzzer's report, from its first line on (libraries print errors too).
  sed -n '/^==[0-9]*== \?ERROR: \|runtime error: \|contract broken: \|^ALARM: working/,$p' "$log" | head -n 60
done
if ((${#faults[@]} > 0)); then
  echo "fuzz: ${#faults[@]} target(s) found faults: ${faults[*]}; reproduce with $build/bin/fuzz_<target> <reproducer>"
  exit 1
fi
