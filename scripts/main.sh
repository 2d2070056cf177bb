#!/usr/bin/env bash
# The main job: install what is missing, build, start the browser host with the demo
# editor, print its address and open it in the user's browser when there is a display.
# Not on a terminal (or with CI set) it starts the host, checks that the demo page
# answers, and stops again, unless TESSARY_KEEP_RUNNING is set.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build -DTESSARY_BENCH=OFF -DTESSARY_TESTS=OFF

port="${TESSARY_PORT:-47801}"
log="$(mktemp)"
"$root/build/host/tessary" host --port "$port" "$@" > "$log" &
host_pid=$!
stop_host() { kill "$host_pid" 2> /dev/null || true; wait "$host_pid" 2> /dev/null || true; rm -f "$log"; }
trap stop_host EXIT
trap "exit 130" INT TERM

address=""
for _ in $(seq 1 100); do
  address="$(sed -n 's/^listening on //p' "$log")"
  [ -n "$address" ] && break
  kill -0 "$host_pid" 2> /dev/null || { echo "tessary host did not start" >&2; exit 1; }
  sleep 0.1
done
[ -n "$address" ] || { echo "tessary host did not answer in time" >&2; exit 1; }
echo "Tessary demo editor: $address"

if [ -z "${TESSARY_KEEP_RUNNING:-}" ] && { [ -n "${CI:-}" ] || [ ! -t 0 ]; }; then
  curl -fsS -o /dev/null "$address" && echo "the demo page answers; stopping (not interactive)"
  exit 0
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v xdg-open > /dev/null 2>&1; then
  xdg-open "$address" > /dev/null 2>&1 || echo "open $address in your browser"
else
  echo "open $address in your browser"
fi
echo "press Ctrl+C to stop the host"
wait "$host_pid"
