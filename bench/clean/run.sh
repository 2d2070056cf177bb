#!/usr/bin/env bash
# Word and Excel clean-up benchmark: builds the generator and the timer, writes Word
# (paste and import) and Excel HTML of 1, 5 and 20 MB, and times each pipeline in
# mode 1 (every switch on), mode 2 (defaults) and mode 2 with its switches on, each
# case in its own process, three times (the best time is kept, so a busy moment of the
# machine does not count). Prints a table and the 20 MB / 1 MB time ratios.
#
# usage: bench/clean/run.sh [BUILD_DIR]   (default: build-bench, Release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARY_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target bench_clean bench_clean_gen >/dev/null
inputs=$(mktemp -d)
trap 'rm -rf "$inputs"' EXIT

printf '%-12s %6s %-10s %8s %9s\n' pipeline size mode seconds peak-MiB
declare -A one
for kind in word-paste word-import excel; do
  pipeline=${kind%%-*}
  flag=paste
  [ "$kind" = word-import ] && flag=import
  for size in 1 5 20; do
    input=$inputs/$kind-$size.html
    "$build/bench/clean/bench_clean_gen" "$kind" "$size" "$input"
    for mode in mode1 mode2 mode2-all; do
      seconds=
      for run in 1 2 3; do
        read -r time peak _ < <("$build/bench/clean/bench_clean" "$pipeline" "$flag" "$mode" "$input")
        seconds=$(awk -v a="$time" -v b="$seconds" 'BEGIN { print (b == "" || a < b) ? a : b }')
      done
      printf '%-12s %4sMB %-10s %8s %9s\n' "$kind" "$size" "$mode" "$seconds" "$peak"
      [ "$size" = 1 ] && one[$kind-$mode]=$seconds
      if [ "$size" = 20 ]; then
        ratio=$(awk -v a="$seconds" -v b="${one[$kind-$mode]}" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }')
        ratios+="$kind $mode: $ratio"$'\n'
      fi
    done
  done
done
echo
echo "20 MB / 1 MB time ratio:"
printf '%s' "$ratios"
