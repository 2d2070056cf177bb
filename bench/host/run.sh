#!/usr/bin/env bash
# Browser host against headless runner: bench/host/run.sh [BUILD_DIR]  (default: build)
# Needs a build with the tessary command and tests/browser/node_modules (npm ci there).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target tessary > /dev/null
[ -d "$root/tests/browser/node_modules" ] || (cd "$root/tests/browser" && npm ci --no-audit --no-fund)
node "$root/bench/host/bench.mjs" "$build"
