#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, creating the prefix
# on first use: wine-run.sh PREFIX PROGRAM [ARGUMENTS...]. The Wine server is
# kept alive for a while between programs, so each start is quick.
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
if [ ! -e "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # One creator at a time when tests start in parallel.
  exec 9> "$prefix.lock"
  flock 9
  if [ ! -e "$prefix/system.reg" ]; then
    wineboot --init > /dev/null 2>&1 || true
    wineserver --wait || true
  fi
  exec 9>&-
fi
wineserver -p30 2> /dev/null || true
exec wine "$@"
