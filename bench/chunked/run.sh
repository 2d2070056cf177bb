#!/usr/bin/env bash
# Chunked upload benchmark: one file (1 GiB by default, random bytes) sent by the upload
# control with 50 KB, 1 MiB and 8 MiB blocks to `tessary receiver` on 127.0.0.1, and the
# same requests sent by libcurl over one connection. Every run is checked: the stored
# file's SHA-256 must equal the source's. SERVER=sink sends to a sink that only hashes the
# blocks instead (no disk writes on the server side).
#
#   bench/chunked/run.sh BUILD_DIR [SIZE_MIB]
set -euo pipefail

build=${1:?usage: bench/chunked/run.sh BUILD_DIR [SIZE_MIB]}
size_mib=${2:-1024}
server=${SERVER:-receiver}
cmake --build "$build" --target tessary bench_chunked_sink bench_chunked_control bench_chunked_curl >/dev/null
bin=$(realpath "$build/bench/chunked")
tessary=$(realpath "$build/host/tessary")

work=$(mktemp -d "${TMPDIR:-/tmp}/tessary-chunked-bench.XXXXXX")
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/big.bin"
expected=$(sha256sum "$work/big.bin" | cut -d' ' -f1)
mkdir "$work/store"
if [ "$server" = sink ]; then
    "$bin/bench_chunked_sink" >"$work/server.out" &
else
    "$tessary" receiver --port 0 --folder "$work/store" >"$work/server.out" 2>/dev/null &
fi
server_pid=$!
for _ in $(seq 100); do grep -q '^listening' "$work/server.out" && break; sleep 0.05; done
port=$(sed -n 's/^listening on http:\/\/127.0.0.1:\([0-9]*\).*/\1/p; s/^listening on \([0-9]*\)$/\1/p' "$work/server.out")
url="http://127.0.0.1:$port/upload?bench=1"

# The hash of what the server got from the latest run.
received() {
    if [ "$server" = sink ]; then
        grep '^file ' "$work/server.out" | tail -n +"$((before + 1))" | head -1 | cut -d' ' -f2
    else
        local stored
        stored=$(find "$work/store" -maxdepth 1 -type f -name '*.bin' | head -1)
        [ -n "$stored" ] && sha256sum "$stored" | cut -d' ' -f1 && rm -f "$stored"
    fi
}

echo "file: $size_mib MiB, server: $server"
for kb in 50 1024 8192; do
    for who in control curl; do
        before=$(grep -c '^file ' "$work/server.out" || true)
        sync
        line=$(/usr/bin/time -f '%U+%S s cpu' "$bin/bench_chunked_$who" "$work/big.bin" "$url" "$kb" 2>"$work/time.out")
        sleep 0.2
        got=$(received || true)
        [ "$got" = "$expected" ] && check=intact || check="DAMAGED ($got)"
        echo "$kb KB blocks: $line, $(tail -1 "$work/time.out"), $check"
    done
done
