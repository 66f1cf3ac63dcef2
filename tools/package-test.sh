#!/usr/bin/env bash
# The Debian package from end to end: built by CPack from a build tree, its
# systemd unit checked by systemd-analyze, installed with dpkg -i, the
# installed agent run as its unit runs it (its own user, the settings in
# /etc/zentrada, the directories in /var/lib/zentrada) against the virtual
# printer, asked --status, stopped, and the package removed with dpkg -r and
# purged. Changes this machine's packages and users: run as root, in CI.
#   tools/package-test.sh build/release
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/package-test.sh BUILD_DIR}

if dpkg -s zentrada > /dev/null 2>&1; then
  echo "package test: zentrada is installed on this machine; not touched" >&2
  exit 1
fi
work=$(mktemp -d)
chmod 755 "$work"
agent=
cleanup() {
  if [ -n "$agent" ]; then kill "$agent" 2> /dev/null || true; fi
  dpkg --purge zentrada > /dev/null 2>&1 || true
  rm -f /var/lib/zentrada/in/VENDA* /var/lib/zentrada/out/VENDA_*
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "package test: $*" >&2
  for log in /var/lib/zentrada/Zentrada_log.txt "$work/agent.out"; do
    if [ -e "$log" ]; then echo "--- $log" >&2; tail -20 "$log" >&2; fi
  done
  exit 1
}
wait_for() {  # a shell condition, up to 10 s
  for _ in $(seq 100); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}

cmake --build "$build" --target zentrada InterfaceTorva > /dev/null
(cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/package/zentrada_*.deb)
echo "built $(basename "$deb")"
dpkg-deb --field "$deb" Depends | grep -q '^libc6' || fail "unexpected Depends: $(dpkg-deb --field "$deb" Depends)"

dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
for file in /usr/lib/zentrada/zentrada /usr/bin/zentrada /etc/zentrada/zentrada.conf \
            /lib/systemd/system/zentrada.service /usr/lib/zentrada/virtual/libInterfaceTorva.so; do
  [ -e "$file" ] || fail "$file not installed"
done
[ "$(readlink /usr/lib/zentrada/zentrada.conf)" = /etc/zentrada/zentrada.conf ] || fail "settings link missing"
getent passwd zentrada > /dev/null || fail "user zentrada not created"
for directory in /var/lib/zentrada/in /var/lib/zentrada/out; do
  [ "$(stat -c %U:%G:%a "$directory")" = zentrada:zentrada:2775 ] || fail "$directory: $(stat -c %U:%G:%a "$directory")"
done
grep -qx /etc/zentrada/zentrada.conf /var/lib/dpkg/info/zentrada.conffiles || fail "settings not a conffile"
systemd-analyze verify /lib/systemd/system/zentrada.service > "$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "systemd-analyze verify refused the unit"; }
echo "installed; systemd-analyze accepts the unit"

# As the unit starts it, with the virtual printer keeping its memory in a
# directory of the test's own.
mkdir -p "$work/lock" "$work/printer"
chown zentrada:zentrada "$work/lock" "$work/printer"
# setpriv runs the agent in its own place, so the stop below reaches it.
setpriv --reuid zentrada --regid zentrada --init-groups \
  env -i PATH=/usr/bin:/bin ZENTRADA_LOCK_DIR="$work/lock" TORVA_PRINTER_DIR="$work/printer" \
  /usr/bin/zentrada --driver /usr/lib/zentrada/virtual/libInterfaceTorva.so > "$work/agent.out" 2>&1 &
agent=$!
printf 'TORVA_Obter_Estado_Impressora|\r\n.\r\n' > /var/lib/zentrada/in/venda.tmp
mv /var/lib/zentrada/in/venda.tmp /var/lib/zentrada/in/VENDA.FPI
wait_for '[ ! -e /var/lib/zentrada/in/VENDA.FPI ]' || fail "the installed agent took no file"
head -c 10 /var/lib/zentrada/out/VENDA_*.fpo | grep -q '^Line 1: 0|' || fail "unexpected response"
[ "$(stat -c %U /var/lib/zentrada/out/VENDA_*.fpo)" = zentrada ] || fail "response not written by the agent's user"
wait_for 'zentrada --status > "$work/status.txt"' || fail "--status: $(cat "$work/status.txt")"
grep -q '^Agente: em execu' "$work/status.txt" || fail "--status said: $(cat "$work/status.txt")"
kill -TERM "$agent"
wait "$agent" || fail "the agent ended with status $?"
agent=
status=0
zentrada --status > "$work/status.txt" || status=$?
[ "$status" = 2 ] || fail "--status after the stop exited $status"
echo "ran a file as user zentrada; --status 0 while running, 2 once stopped"

dpkg -r zentrada > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r failed"; }
[ ! -e /usr/lib/zentrada/zentrada ] && [ ! -e /usr/bin/zentrada ] || fail "program left after dpkg -r"
ls /var/lib/zentrada/out/VENDA_*.fpo > /dev/null || fail "response files removed with the package"
[ -e /etc/zentrada/zentrada.conf ] || fail "settings removed before purge"
dpkg --purge zentrada > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge failed"; }
[ ! -e /etc/zentrada/zentrada.conf ] || fail "settings left after purge"
echo "package test: removed, data kept; purged, settings gone"
