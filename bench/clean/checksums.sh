#!/usr/bin/env bash
# Prints a checksum of the clean-up's output for every generated document (Word paste,
# Word import, Excel; 1, 5 and 20 MB) in every benchmark mode, for the real Office
# fixtures under the same modes, and for every kept fuzz input, so that the output of
# two builds can be compared case for case: run it on both and diff the two listings.
#
# usage: bench/clean/checksums.sh BUILD_DIR [generated|fixtures|corpus]...  (default: all)
set -euo pipefail
build=${1:?usage: checksums.sh BUILD_DIR [generated|fixtures|corpus]...}
shift
parts=${*:-generated fixtures corpus}
root=$(cd "$(dirname "$0")/../.." && pwd)
inputs=$(mktemp -d)
trap 'rm -rf "$inputs"' EXIT
declare -A options=(
  [word-mode1]="optimizemode:1;opt1vml:1;opt1absolute:1;opt1space:1;opt1eq:1;opt1margin:1;pagewidth:1;pagemargin:1;pageeffect:1;pagescroll:1"
  [word-mode2]=""
  [word-mode2-all]="opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;opt2ptobr:1;pagewidth:1"
  [excel-mode1]="optimizemode:1;opt1vml:1;opt1space:1;opt1table:1;opt1overflow:1"
  [excel-mode2]=""
  [excel-mode2-all]="opt2image:1;opt2space:1;opt2table:1"
)
clean() { # pipeline flag options file
  # The table identifier is the time of day: the same in every run only after this.
  "$build/host/tessary" clean "$1" "$2" "$3" "$4" | sed -E "s/t[0-9]{9}/tIDENTIFIER/g" |
    sha256sum | cut -c1-16
}
if [[ " $parts " == *" generated "* ]]; then
for kind in word-paste word-import excel; do
  pipeline=${kind%%-*}
  flag=paste
  [ "$kind" = word-import ] && flag=import
  for size in 1 5 20; do
    input=$inputs/$kind-$size.html
    "$build/bench/clean/bench_clean_gen" "$kind" "$size" "$input"
    for mode in mode1 mode2 mode2-all; do
      sum=$(clean "$pipeline" "$flag" "${options[$pipeline-$mode]}" "$input")
      printf '%-12s %4sMB %-10s %s\n' "$kind" "$size" "$mode" "$sum"
    done
  done
done
fi
if [[ " $parts " == *" fixtures "* ]]; then
  for fixture in "$root"/tests/conversion/fixtures/*.html; do
    pipeline=word
    [[ $(basename "$fixture") == excel-* ]] && pipeline=excel
    for flag in paste import; do
      for mode in mode1 mode2 mode2-all; do
        printf '%-18s %-6s %-10s %s\n' "$(basename "$fixture")" "$flag" "$mode" \
          "$(clean "$pipeline" "$flag" "${options[$pipeline-$mode]}" "$fixture")"
      done
    done
  done
fi
if [[ " $parts " == *" corpus "* ]]; then
  # A kept input: a selector byte (bit 0 Excel, bit 1 import), the option line, the HTML.
  for input in "$root"/tests/fuzz/corpus/*; do
    read -r pipeline flag < <(od -An -tu1 -N1 "$input" | awk '{ s = $1 + 0;
      print ((s % 2) ? "excel" : "word"), ((int(s / 2) % 2) ? "import" : "paste") }')
    python3 - "$input" "$inputs/options" "$inputs/html" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()[1:]
end = data.find(b'\n')
end = 0 if end < 0 or end > 1024 else end
open(sys.argv[2], 'wb').write(data[:end])
open(sys.argv[3], 'wb').write(data[end + 1 if end else 0:])
PY
    options_text=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().decode("utf-8", "replace"), end="")' "$inputs/options")
    for kind in "$pipeline" $([ "$pipeline" = word ] && echo excel || echo word); do
      printf '%-42s %-5s %s\n' "$(basename "$input")" "$kind" \
        "$(clean "$kind" "$flag" "$options_text" "$inputs/html" 2>&1)"
    done
  done
fi
