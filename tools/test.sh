#!/usr/bin/env bash
# Builds Zentrada and runs every test three times: a plain debug build, then
# under AddressSanitizer with UndefinedBehaviorSanitizer, then under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

for preset in default asan tsan; do
  echo "== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" --parallel 2
  ctest --preset "$preset" --parallel 2
done
