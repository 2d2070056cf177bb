#!/usr/bin/env bash
# Quick format of 1, 5 and 20 MB clipboard texts (200 linked sheets, served from memory so
# only our own work is timed), and the Flash header of a movie whose compressed body
# inflates to 1 GB. Each case in its own process, three times; the best time is kept.
#
# usage: bench/quickformat/run.sh [BUILD_DIR]   (default: build-bench, Release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARY_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target bench_quickformat >/dev/null
bench=$build/bench/quickformat/bench_quickformat
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

best() {
  local seconds= peak= size=
  for run in 1 2 3; do
    read -r time peak size < <("$@")
    seconds=$(awk -v a="$time" -v b="$seconds" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$seconds $peak $size"
}

printf '%-12s %6s %10s %9s\n' case size seconds peak-MiB
for size in 1 5 20; do
  read -r seconds peak _ < <(best "$bench" quickformat "$size")
  printf '%-12s %4sMB %10s %9s\n' quickformat "$size" "$seconds" "$peak"
done
read -r seconds peak width < <(best "$bench" flash 1024 "$scratch/movie.swf")
printf '%-12s %6s %10s %9s   (width %s, file %s bytes)\n' flash 1GB "$seconds" "$peak" "$width" \
  "$(stat -c %s "$scratch/movie.swf")"
