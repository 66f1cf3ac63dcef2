#!/usr/bin/env bash
# End to end on Windows, under Wine: the console host and InterfaceTorva.dll
# of a Windows build (win32 or win64 preset), copied into an empty
# directory, answer a command file with every command and the sample files;
# their response files, log lines (times aside) and the driver's trace must
# be byte for byte those of the Linux build. Then Ctrl+C stops the host in
# order. The sample files then run on the virtual printer itself: records
# and paper roll as on Linux. Needs the default and the Windows preset built.
# The host runs under $ZENTRADA_WINE when set (tools/wine32-emulated.sh runs
# the 32-bit build where the kernel runs no 32-bit programs), else wine; then
# in a prefix of its own, made by that command too (one made by native
# 32-bit Wine would hide what the other lacks).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
preset="${1:-win32}"
linux="$root/build/default/bin"
windows="$root/build/$preset/bin"
export WINEPREFIX="$root/build/$preset/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
wine="${ZENTRADA_WINE:-wine}"
[ -z "${ZENTRADA_WINE:-}" ] || WINEPREFIX="$WINEPREFIX-$(basename "$ZENTRADA_WINE" .sh)"

work="$(mktemp -d "${TMPDIR:-/tmp}/zentrada-e2e.XXXXXX")"
trap 'kill -KILL $(jobs -p) 2> /dev/null || true' EXIT
"$linux/every_command" > "$work/TODOS.FPI"
printf '*|0|7|7|7|7|\n' > "$work/script.txt"
files=("$work/TODOS.FPI" "$root"/tools/samples/*.FPI)

# Drops the files one by one into $1/in, renamed into place, each waited for.
drop_all() {
  for file in "${files[@]}"; do
    name="$(basename "$file")"
    cp "$file" "$1/in/$name.tmp"
    mv "$1/in/$name.tmp" "$1/in/$name"
    for _ in $(seq 600); do
      [ -e "$1/in/$name" ] || break
      sleep 0.1
    done
    if [ -e "$1/in/$name" ]; then
      echo "!! $name was not taken in $1" >&2
      return 1
    fi
  done
}

# Stops the host ($2, a pid) with SIGINT, which Wine passes on as Ctrl+C,
# and checks it ended with status 0.
stop() {
  kill -INT "$2"
  status=0
  wait "$2" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "!! the host in $1 exited with status $status after Ctrl+C" >&2
    cat "$1/stderr" >&2
    return 1
  fi
}

winpath() { winepath -w "$1" 2> /dev/null; }
"$root/tools/wine-run.sh" "$WINEPREFIX" cmd /c exit > /dev/null 2>&1 || true  # the prefix, made once

# run_linux DIR [VARIABLE=VALUE...] and run_windows DIR [...]: the host and
# the library copied into DIR, given every file of $files, stopped.
run_linux() {
  local dir="$1"
  shift
  mkdir -p "$dir/in" "$dir/out" "$dir/printer"
  cp "$linux/zentrada" "$linux/libInterfaceTorva.so" "$dir/"
  env ZENTRADA_LOCK_DIR="$dir" TORVA_TRACE="$dir/trace.txt" "$@" \
    "$dir/zentrada" --in "$dir/in" --out "$dir/out" 2> "$dir/stderr" &
  drop_all "$dir"
  stop "$dir" $!
}
run_windows() {
  local dir="$1"
  shift
  mkdir -p "$dir/in" "$dir/out" "$dir/printer"
  cp "$windows/zentrada-console.exe" "$windows/InterfaceTorva.dll" "$dir/"
  env TORVA_TRACE="$(winpath "$dir/trace.txt")" "$@" \
    "$wine" "$dir/zentrada-console.exe" --in "$(winpath "$dir/in")" --out "$(winpath "$dir/out")" 2> "$dir/stderr" &
  drop_all "$dir"
  stop "$dir" $!
}

# Every command answered by the script.
run_linux "$work/linux" TORVA_SCRIPT="$work/script.txt"
run_windows "$work/windows" TORVA_SCRIPT="$(winpath "$work/script.txt")"
# The samples on the virtual printer itself, each host with a fresh memory.
all_files=("${files[@]}")
files=("$root"/tools/samples/*.FPI)
run_linux "$work/linux-printer" TORVA_PRINTER_DIR="$work/linux-printer/printer"
run_windows "$work/windows-printer" TORVA_PRINTER_DIR="$(winpath "$work/windows-printer/printer")"
files=("${all_files[@]}")

# The response files, named after the time they were taken, compared in
# the order of their command files; log lines without their time stamps.
failed=0
compare() {
  if ! cmp -s "$1" "$2"; then
    echo "!! differs: $1 $2" >&2
    diff <(od -c "$1") <(od -c "$2") | head -20 >&2 || true
    failed=1
  fi
}
for file in "${files[@]}"; do
  stem="$(basename "${file%.*}")"
  compare "$(ls "$work/linux/out/${stem}"_*.fpo)" "$(ls "$work/windows/out/${stem}"_*.fpo)"
done
for file in "$root"/tools/samples/*.FPI; do
  stem="$(basename "${file%.*}")"
  compare "$(ls "$work/linux-printer/out/${stem}"_*.fpo)" "$(ls "$work/windows-printer/out/${stem}"_*.fpo)"
done
# The paper rolls, the dates and times of their documents aside.
for host in linux-printer windows-printer; do
  sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}#<data e hora>#' \
    "$work/$host/printer/bobina.txt" > "$work/$host/roll-untimed.txt"
done
compare "$work/linux-printer/roll-untimed.txt" "$work/windows-printer/roll-untimed.txt"
for host in linux windows; do
  cut -c18- "$work/$host/Zentrada_log.txt" > "$work/$host/log-untimed.txt"
done
compare "$work/linux/log-untimed.txt" "$work/windows/log-untimed.txt"
# Between files the printer is polled once or more, as the files' timing
# falls: each run of idle polls counts as one.
idle_polls_as_one() {
  awk '
    function idle() { if (last != "<idle>") print last = "<idle>" }
    state == 0 && $0 == "TORVA_Sys_Log||0|" { state = 1; next }
    state == 1 && $0 == "TORVA_Obter_Estado_Impressora|<out>|" { state = 2; next }
    state == 1 { print last = "TORVA_Sys_Log||0|"; state = 0 }
    state >= 2 && $0 == "TORVA_Sys_Log||0|" { state = 1; next }
    state == 2 && /^TORVA_Sys_Log\|[^|]*\|(1000|2000)\|$/ { state = 3; next }
    state >= 2 { idle(); state = 0 }
    { print last = $0 }
    END { if (state >= 2) idle() }
  ' "$1"
}
for host in linux windows; do
  idle_polls_as_one "$work/$host/trace.txt" > "$work/$host/trace-polls.txt"
done
compare "$work/linux/trace-polls.txt" "$work/windows/trace-polls.txt"
if ! tail -c 34 "$work/windows/Zentrada_log.txt" | grep -q 'Thread encerrada normalmente.'; then
  echo "!! the Windows log does not end with the orderly stop" >&2
  failed=1
fi

records=$(cat "$work"/windows/out/*.fpo | grep -c '^Line ')
calls=$(wc -l < "$work/windows/trace.txt")
if [ "$failed" -ne 0 ]; then
  echo "$preset end to end: FAILED (files kept in $work)" >&2
  exit 1
fi
sale=$(ls "$work"/windows-printer/out/2VENDA2_*.fpo)
echo "$preset end to end: $records records, $calls driver calls and the log identical to Linux; stopped in order by Ctrl+C"
echo "the samples on the virtual printer: records and paper roll identical to Linux; the sale:"
sed 's/^/    /' "$sale"
rm -rf "$work"
