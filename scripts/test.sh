#!/usr/bin/env bash
# Install what is missing, build, run the whole test suite; then run it again in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
# The browser tests' driver, exactly as the lock file pins it (no browser download).
# Without the npm registry (no network, or a proxy whose certificate the machine does not
# trust) the browser tests cannot run: they are then reported as skipped, with the reason.
if ! (cd "$root/tests/browser" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund); then
  echo "test.sh: npm ci failed; the browser tests will be reported as skipped" >&2
fi

jobs="$(nproc)"
echo "== build and test"
bash "$root/scripts/build.sh" build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$root/build-test" && ctest --output-on-failure -j"$jobs" --timeout 600)

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
bash "$root/scripts/build.sh" build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARY_SANITIZE=ON \
  -DTESSARY_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$root/build-sanitize" && ctest --output-on-failure -j"$jobs" --timeout 900)
