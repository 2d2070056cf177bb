#!/usr/bin/env bash
# Fuzzes the Word and Excel clean-ups with libFuzzer (ASan and UBSan on), then folds the
# inputs that add coverage into tests/fuzz/corpus, which the tests replay on every build.
# A crashing, leaking or hanging input is written to tests/fuzz/crashers/.
#
# With --long, inputs are recipes of repeated pieces expanded to up to 4 MB (see
# LongCleanFuzzInput), so a step slower than linear shows as a time-out; its findings go
# to tests/fuzz/crashers-long/ and nothing is merged into the corpus.
#
# usage: bash scripts/fuzz.sh [--long] [SECONDS]     (default 600)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
long=0
if [ "${1:-}" = --long ]; then
  long=1
  shift
fi
seconds="${1:-600}"

# Normal builds do not need clang; only this script does.
if ! command -v clang++ >/dev/null; then
  [ "$(id -u)" = 0 ] || { echo "fuzz.sh: clang++ is missing; run as root to install it" >&2; exit 1; }
  apt-get update -qq && apt-get install -y -qq clang >/dev/null
fi
bash "$root/scripts/install-deps.sh"

build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTESSARY_FUZZ=ON -DTESSARY_TESTS=OFF -DTESSARY_BENCH=OFF >/dev/null
cmake --build "$build" --target clean_fuzzer clean_long_fuzzer
fuzzer="$build/tests/fuzz/clean_fuzzer"

if [ "$long" = 1 ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$root/tests/fuzz/crashers-long"
  echo "== fuzzing long inputs for $seconds s"
  export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  status=0
  # A 4 MB clean-up takes well under a second; 20 s (sanitizers on) means it is not linear.
  "$build/tests/fuzz/clean_long_fuzzer" -dict="$root/tests/fuzz/clean.dict" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len=4096 -len_control=0 -report_slow_units=20 \
    -print_final_stats=1 -artifact_prefix="$root/tests/fuzz/crashers-long/" "$work" || status=$?
  [ "$status" = 0 ] || echo "fuzz.sh: the fuzzer stopped on a finding (exit $status); see tests/fuzz/crashers-long/" >&2
  exit "$status"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/new" "$work/merged" "$root/tests/fuzz/crashers"
echo "== fuzzing for $seconds s"
# Stacks for undefined-behaviour reports too; a finding still lets the new inputs merge.
export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
status=0
"$fuzzer" -dict="$root/tests/fuzz/clean.dict" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
  -artifact_prefix="$root/tests/fuzz/crashers/" "$work/new" "$root/tests/fuzz/corpus" || status=$?

echo "== keeping the inputs that add coverage"
# Edges only (no hit counts): every branch the run reached stays covered with a few dozen
# files instead of several hundred, which keeps the kept corpus small.
"$fuzzer" -merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 "$work/merged" \
  "$root/tests/fuzz/corpus" "$work/new" 2>&1 | tail -2
if [ -n "$(ls -A "$work/merged")" ]; then
  rm -f "$root"/tests/fuzz/corpus/*
  cp "$work"/merged/* "$root/tests/fuzz/corpus/"
fi
echo "corpus: $(ls "$root/tests/fuzz/corpus" | wc -l) inputs"
[ "$status" = 0 ] || echo "fuzz.sh: the fuzzer stopped on a finding (exit $status); see tests/fuzz/crashers/" >&2
exit "$status"
