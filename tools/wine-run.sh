#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, creating the prefix
# on first use: wine-run.sh PREFIX PROGRAM [ARGUMENTS...]. The Wine server is
# kept alive for a while between programs, so each start is quick. Wine is
# $ZENTRADA_WINE when set (tools/wine32-emulated.sh), else wine.
set -euo pipefail
prefix="$1"
shift
wine="${ZENTRADA_WINE:-wine}"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
if [ ! -e "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # One creator at a time when tests start in parallel.
  exec 9> "$prefix.lock"
  flock 9
  if [ ! -e "$prefix/system.reg" ]; then
    "$wine" wineboot --init < /dev/null > /dev/null 2>&1 || true
    wineserver --wait < /dev/null > /dev/null 2>&1 || true
  fi
  exec 9>&-
fi
# Started here, away from this script's output: a server started by wine
# itself would hold the caller's pipes open for as long as it lives.
wineserver -p30 < /dev/null > /dev/null 2>&1 || true
exec "$wine" "$@"
