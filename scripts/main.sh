#!/usr/bin/env bash
# The main job: install what is missing, build, and run the example page script that
# drives the Tessarex object headlessly.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build -DTESSARY_BENCH=OFF -DTESSARY_TESTS=OFF
"$root/build/host/tessary" script "$root/examples/settings.js"
