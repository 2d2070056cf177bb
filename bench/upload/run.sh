#!/usr/bin/env bash
# Local-file upload benchmark: one LocalUpload of a page referring to COUNT pictures (random
# bytes, 10 KB to 2 MB, fixed seed) against `tessary receiver`, then the same files posted by
# curl to the same receiver, as one curl process per file and as one curl with --next.
#
#   bench/upload/run.sh BUILD_DIR [COUNT...]      (default counts: 50 200)
#
# BUILD_DIR is a configured build folder; only `cmake --build` is run on it.
set -euo pipefail

build=${1:?usage: bench/upload/run.sh BUILD_DIR [COUNT...]}
shift
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(50 200)
largest=0
for n in "${counts[@]}"; do [ "$n" -gt "$largest" ] && largest=$n; done

cmake --build "$build" --target tessary bench_upload_files >/dev/null
tessary=$(realpath "$build/host/tessary")
generate=$(realpath "$build/bench/upload/bench_upload_files")

work=$(mktemp -d "${TMPDIR:-/tmp}/tessary-upload-bench.XXXXXX")
receiver_pid=
cleanup() {
    if [ -n "$receiver_pid" ]; then
        kill -TERM "$receiver_pid" 2>/dev/null || true
        wait "$receiver_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

total=$("$generate" "$largest" "$work/pics")
echo "generated $largest pictures, $((total / 1024 / 1024)) MiB, in $work/pics"

"$tessary" receiver --port 0 --folder "$work/store" >"$work/receiver.out" 2>"$work/receiver.err" &
receiver_pid=$!
for _ in $(seq 200); do
    grep -q '^listening on ' "$work/receiver.out" 2>/dev/null && break
    sleep 0.05
done
base=$(sed -n 's/^listening on \(http:[^ ]*\)$/\1/p' "$work/receiver.out")
[ -n "$base" ] || { echo "receiver did not start" >&2; cat "$work/receiver.err" >&2; exit 1; }
url="${base}upload?bench=1"
echo "receiver at $base (pid $receiver_pid)"

runs=3 # each measurement is repeated; the median run is reported

# Seconds and max RSS (KB) from a `/usr/bin/time -v` report.
wall() { awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
         for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$1"; }
rss() { awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"; }
# CPU seconds (user + system): steadier than wall time on a shared machine.
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$1"; }
# The report of the median run among NAME.1 .. NAME.$runs, copied to NAME.
median() {
    local name=$1 r
    for r in $(seq "$runs"); do echo "$(wall "$name.$r") $name.$r"; done | sort -n |
        sed -n "$(((runs + 1) / 2))p" | cut -d' ' -f2 | xargs -I{} cp {} "$name"
}

# Writes the page that uploads the first N pictures in one LocalUpload.
write_page() {
    cat >"$work/page-$1.js" <<EOF
var o = new ActiveXObject("Orvanta.Tessarex");
o.SendUrl = "$url";
o.LocalExt = "png";
o.LocalSize = "4096";
var html = "<p>";
for (var i = 1; i <= $1; ++i)
    html += '<img src="file://$work/pics/pic' + ("00" + i).slice(-3) + '.png">';
o.LocalUpload(html + "</p>");
var done = waitFor(function () { return o.Status == "ok"; }, 600000);
print("done=" + done + " error=[" + o.Error + "] saved=" +
      (o.SavedFiles == "" ? 0 : o.SavedFiles.split("|").length));
EOF
}

# Every stored copy is byte-identical to one of the first N sources, and all N are there.
check_store() {
    diff <(cd "$work/pics" && ls | head -n "$1" | xargs sha256sum | cut -d' ' -f1 | sort) \
         <(cd "$work/store" && sha256sum -- * | cut -d' ' -f1 | sort) >/dev/null ||
        { echo "$2: stored files differ from their sources" >&2; exit 1; }
}

# Times one run into NAME.time.RUN, from an empty store and with no dirty pages pending.
measure() {
    local name=$1 r=$2
    shift 2
    find "$work/store" -mindepth 1 -delete
    sync
    /usr/bin/time -v -o "$work/$name.time.$r" "$@" >"$work/$name.out"
}

n=$largest
files=()
for i in $(seq 1 "$n"); do files+=("$work/pics/pic$(printf %03d "$i").png"); done

# One curl process per file: the same multipart form (path field, then the file part).
cat >"$work/curl-each.sh" <<'EOF'
url=$1; shift; i=0
for f in "$@"; do
    i=$((i + 1))
    curl -sS -o /dev/null -F "originalfile=$f" -F "uploadfile=@$f;type=application/octet-stream" \
        "$url&action=local&type=local&rnd=$(printf %03d "$i")"
done
EOF

# One curl process for all files, with --next (one connection, kept alive).
args=()
i=0
for f in "${files[@]}"; do
    i=$((i + 1))
    [ $i -gt 1 ] && args+=(--next)
    args+=(-sS -o /dev/null -F "originalfile=$f" -F "uploadfile=@$f;type=application/octet-stream"
           "$url&action=local&type=local&rnd=$(printf %03d "$i")")
done

for c in "${counts[@]}"; do write_page "$c"; done
# Each round runs every contender once, so that a slow moment of the machine hits them alike.
for r in $(seq "$runs"); do
    for c in "${counts[@]}"; do
        measure "page-$c" "$r" "$tessary" script "$work/page-$c.js"
        grep -q "done=true error=\[\] saved=$c\$" "$work/page-$c.out" ||
            { echo "page run with $c files failed:" >&2; cat "$work/page-$c.out" >&2; exit 1; }
        check_store "$c" "page run with $c files"
    done
    measure curl-each "$r" bash "$work/curl-each.sh" "$url" "${files[@]}"
    check_store "$n" "curl, one process per file"
    measure curl-next "$r" curl "${args[@]}"
    check_store "$n" "curl --next"
done

declare -A page_time page_rss
for c in "${counts[@]}"; do
    median "$work/page-$c.time"
    page_time[$c]=$(wall "$work/page-$c.time")
    page_rss[$c]=$(rss "$work/page-$c.time")
done
median "$work/curl-each.time"
median "$work/curl-next.time"

echo
echo "median of $runs runs each"
printf '%-40s %10s %10s %14s\n' "run" "seconds" "CPU s" "max RSS (KB)"
for c in "${counts[@]}"; do
    printf '%-40s %10s %10s %14s\n' "tessary script, LocalUpload of $c" "${page_time[$c]}" \
        "$(cpu "$work/page-$c.time")" "${page_rss[$c]}"
done
printf '%-40s %10s %10s %14s\n' "curl, one process per file ($n)" "$(wall "$work/curl-each.time")" \
    "$(cpu "$work/curl-each.time")" "$(rss "$work/curl-each.time")"
printf '%-40s %10s %10s %14s\n' "curl --next, one process ($n)" "$(wall "$work/curl-next.time")" \
    "$(cpu "$work/curl-next.time")" "$(rss "$work/curl-next.time")"
awk -v ours="${page_time[$n]}" -v each="$(wall "$work/curl-each.time")" \
    -v next_="$(wall "$work/curl-next.time")" 'BEGIN {
    printf "ratio tessary / curl per file: %.2f   tessary / curl --next: %.2f   (target <= 1.1)\n",
           ours / each, ours / next_ }'
