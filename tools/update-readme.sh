#!/usr/bin/env bash
# Rewrites the README's command reference from the command tables.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target command_reference >/dev/null
reference=$(mktemp)
trap 'rm -f "$reference"' EXIT
./build/default/bin/command_reference >"$reference"
awk -v reference="$reference" '
  /^<!-- commands:end -->$/ { skipping = 0 }
  !skipping { print }
  /^<!-- commands:begin -->$/ { while ((getline line < reference) > 0) print line; skipping = 1 }
' README.md >README.md.new
mv README.md.new README.md
