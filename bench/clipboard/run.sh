#!/usr/bin/env bash
# Clipboard benchmark: 20 MB of text/html owned by our test owner on a private Xvfb, read
# (1) by `xclip -o -t text/html`, (2) by the components' reader (bench_clipboard_read),
# (3) end to end by a page: PasteWord in "html" mode, the clean-up, and the upload of the
# 50 pictures the HTML refers to, to `tessary receiver`.
#
#   bench/clipboard/run.sh BUILD_DIR [MEGABYTES]      (default 20)
#
# BUILD_DIR is a configured build folder with tests on; only `cmake --build` is run on it.
set -euo pipefail

build=${1:?usage: bench/clipboard/run.sh BUILD_DIR [MEGABYTES]}
megabytes=${2:-20}
cmake --build "$build" --target tessary clipboard_owner bench_clipboard_read >/dev/null
tessary=$(realpath "$build/host/tessary")
owner=$(realpath "$build/tests/clipboard/clipboard_owner")
reader=$(realpath "$build/bench/clipboard/bench_clipboard_read")

work=$(mktemp -d "${TMPDIR:-/tmp}/tessary-clipboard-bench.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# 50 pictures and a Word-like page of the wanted size that refers to them.
/usr/bin/python3 - "$work" "$megabytes" <<'PY'
import os, sys
from PIL import Image
work, size = sys.argv[1], int(sys.argv[2]) << 20
os.makedirs(work + "/pics")
for i in range(50):
    Image.new("RGB", (64 + i, 48), (i * 5, 100, 200 - i * 3)).save(f"{work}/pics/p{i:02d}.png")
row = ('<p class=MsoNormal style="margin:0cm"><span lang=DE style="font-size:11pt;'
       'font-family:Calibri">Zeile {n} mit Umlauten äöü und Text.</span></p>\n')
parts, total, n = ['<html><body>\n<!--StartFragment-->'], 0, 0
while total < size:
    line = row.format(n=n)
    if n % 2000 == 0 and n // 2000 < 50:
        line += f'<p><img width=64 height=48 src="file://{work}/pics/p{n // 2000:02d}.png"></p>\n'
    parts.append(line); total += len(line.encode()); n += 1
parts.append('<!--EndFragment-->\n</body></html>')
open(work + "/page.html", "w", encoding="utf-8").write("".join(parts))
PY
echo "text/html: $(($(stat -c %s "$work/page.html") / 1024 / 1024)) MiB, 50 pictures, in $work"

exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 20 number <&3
export DISPLAY=":$number"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

"$owner" text/html="$work/page.html" >"$work/owner.out" &
pids+=($!)
for _ in $(seq 100); do grep -q ready "$work/owner.out" 2>/dev/null && break; sleep 0.05; done

"$tessary" receiver --port 0 --folder "$work/store" >"$work/receiver.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do grep -q '^listening on ' "$work/receiver.out" 2>/dev/null && break; sleep 0.05; done
base=$(sed -n 's/^listening on \(http:[^ ]*\)$/\1/p' "$work/receiver.out")

cat >"$work/page.js" <<JS
var o = new ActiveXObject('Orvanta.Tessarex');
o.SendUrl = '${base}upload?bench=1';
o.LocalExt = 'png';
o.LocalSize = '1000';
o.PasteWord('mode:html;opt2image:1');
waitFor(function () { return o.Status == 'ok'; }, 600000);
print('saved ' + o.SavedFiles.split('|').length + ' error "' + o.Error + '"');
JS

runs=${RUNS:-5}
wall() { awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
         for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$1"; }
rss() { awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"; }
measure() { # NAME COMMAND...: the median of $runs runs
    local name=$1 r
    shift
    for r in $(seq "$runs"); do
        /usr/bin/time -v -o "$work/$name.$r" "$@" >"$work/$name.out.$r"
    done
    for r in $(seq "$runs"); do echo "$(wall "$work/$name.$r") $r"; done | tee -a "$work/all" | sort -n |
        sed -n "$(((runs + 1) / 2))p" | cut -d' ' -f2
}
r=$(measure xclip xclip -o -selection clipboard -t text/html)
echo "xclip -o -t text/html:     $(wall "$work/xclip.$r") s, max RSS $(rss "$work/xclip.$r") KB"
r=$(measure reader "$reader")
echo "GetClipboardHtml (reader): $(wall "$work/reader.$r") s whole process, max RSS $(rss "$work/reader.$r") KB, $(cat "$work/reader.out.$r")"
echo "  read inside the process, median of $runs: $(cat "$work"/reader.out.* | awk '{ print $4 }' | sort -n | sed -n "$(((runs + 1) / 2))p") s"
r=$(measure paste "$tessary" script "$work/page.js" 2>/dev/null)
echo "PasteWord html + upload:   $(wall "$work/paste.$r") s, max RSS $(rss "$work/paste.$r") KB, $(cat "$work/paste.out.$r")"
[ -z "${SHOW_RUNS:-}" ] || cat "$work/all" >&2
