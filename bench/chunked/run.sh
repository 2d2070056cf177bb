#!/usr/bin/env bash
# Chunked upload benchmark: one file (1 GiB by default, random bytes) sent by the upload
# control with 50 KB, 1 MiB and 8 MiB blocks to a block sink on 127.0.0.1, and the same
# requests sent by libcurl over one connection. Every run is checked: the sink's SHA-256
# of the received blocks must equal the file's.
#
#   bench/chunked/run.sh BUILD_DIR [SIZE_MIB]
set -euo pipefail

build=${1:?usage: bench/chunked/run.sh BUILD_DIR [SIZE_MIB]}
size_mib=${2:-1024}
cmake --build "$build" --target bench_chunked_sink bench_chunked_control bench_chunked_curl >/dev/null
bin=$(realpath "$build/bench/chunked")

work=$(mktemp -d "${TMPDIR:-/tmp}/tessary-chunked-bench.XXXXXX")
sink_pid=
cleanup() {
    [ -n "$sink_pid" ] && kill "$sink_pid" 2>/dev/null && wait "$sink_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/big.bin"
expected=$(sha256sum "$work/big.bin" | cut -d' ' -f1)
"$bin/bench_chunked_sink" >"$work/sink.out" &
sink_pid=$!
for _ in $(seq 100); do grep -q '^listening' "$work/sink.out" && break; sleep 0.05; done
port=$(sed -n 's/^listening on //p' "$work/sink.out")
url="http://127.0.0.1:$port/upload?bench=1"

echo "file: $size_mib MiB"
for kb in 50 1024 8192; do
    for who in control curl; do
        before=$(grep -c '^file ' "$work/sink.out" || true)
        line=$("$bin/bench_chunked_$who" "$work/big.bin" "$url" "$kb")
        sleep 0.2
        got=$(grep '^file ' "$work/sink.out" | tail -n +"$((before + 1))" | head -1 | cut -d' ' -f2)
        [ "$got" = "$expected" ] && check=intact || check="DAMAGED ($got)"
        echo "$kb KB blocks: $line, $check"
    done
done
