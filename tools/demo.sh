#!/usr/bin/env bash
# Shows Zentrada at work: builds it, sets it up with the virtual printer in a
# scratch directory, drops the sample command files of tools/samples into its
# input directory one by one (a sale, a cancelled receipt, a voucher with its
# CCD, the day's totals, an X reading, a Z reduction, two faulty lines),
# prints what comes back and what the printer printed on its paper roll, and
# stops it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

tools/install-deps.sh
cmake --preset default
cmake --build --preset default --parallel 2 --target zentrada InterfaceTorva

demo="$(mktemp -d "${TMPDIR:-/tmp}/zentrada-demo.XXXXXX")"
cp build/default/bin/zentrada build/default/bin/libInterfaceTorva.so "$demo/"
mkdir "$demo/in" "$demo/out"
cat > "$demo/zentrada.conf" <<CONF
# Zentrada demo
WorkDirectoryIn=$demo/in
WorkDirectoryOut=$demo/out
SimgleMode=0
CONF
echo "Demo directory: $demo"

# Shows a file of code page 1252 text on this terminal, carriage returns
# made visible.
show() {
  iconv -f CP1252 -t UTF-8 "$1" | sed -e 's/\r/<CR>/g' -e 's/^/    /'
}

mkdir "$demo/printer"
ZENTRADA_LOCK_DIR="$demo" TORVA_PRINTER_DIR="$demo/printer" \
  "$demo/zentrada" > "$demo/zentrada.stdout" 2> "$demo/zentrada.stderr" &
pid=$!
trap 'kill -KILL "$pid" 2> /dev/null || true' EXIT

failed=0
for sample in tools/samples/*.FPI; do
  name="$(basename "$sample")"
  echo
  echo "== $name"
  show "$sample"
  # Written under another name and renamed, so the agent never sees half a file.
  cp "$sample" "$demo/in/$name.tmp"
  mv "$demo/in/$name.tmp" "$demo/in/$name"
  for _ in $(seq 200); do
    [ -e "$demo/in/$name" ] || break
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.1
  done
  if [ -e "$demo/in/$name" ]; then
    echo "!! $name was not taken within 20 s" >&2
    failed=1
    break
  fi
  for response in "$demo/out/${name%.*}"_*.fpo; do
    if [ ! -e "$response" ]; then
      echo "!! no response to $name" >&2
      failed=1
      break
    fi
    echo "-- $(basename "$response")"
    show "$response"
  done
done

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
trap - EXIT

echo
echo "== the virtual printer's paper roll (printer/bobina.txt)"
show "$demo/printer/bobina.txt"
echo
echo "== Zentrada_log.txt"
show "$demo/Zentrada_log.txt"
if [ -s "$demo/zentrada.stderr" ]; then
  echo "== standard error"
  cat "$demo/zentrada.stderr"
fi
echo
echo "zentrada exited with status $status after SIGTERM"
if [ "$status" -ne 0 ] || [ "$failed" -ne 0 ]; then
  exit 1
fi
