#!/usr/bin/env bash
# The Windows installer under Wine: tools/installer-test.sh [win32|win64].
# Builds the `installer` target of the preset, then in a Wine prefix of its
# own, made afresh each run (build/<preset>/installer-test-prefix):
#   1. a silent install puts the programs, the in/out directories, the
#      shortcuts, the settings, the Run value and the programs list entry in
#      place, with exactly the expected registry types and data, in the
#      registry view of the build, and no virtual printer;
#   2. a reinstall keeps settings the user changed;
#   3. a silent uninstall removes the programs and the keys and keeps the
#      command, response and log files;
#   4. /DEMO installs the virtual printer; with the agent running, neither
#      setup nor uninstall touches anything; once it stopped, the uninstall
#      removes the virtual printer too.
# Prints each check; exits non-zero at the first failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# shellcheck source=tools/installer-test-lib.sh
. "$root/tools/installer-test-lib.sh" "$@"

# The installer and what it carries.
build_target installer
setup="$build/Zentrada-$version-setup.exe"
[ -f "$setup" ] || fail "no installer at $setup"
bin="$build/bin"
panel="$bin/Zentrada.exe"
if ! ninja -C "$build" -t query zentrada_panel > /dev/null 2>&1; then
  echo "note: no zentrada_panel target yet; the installer carries zentrada-console.exe as Zentrada.exe"
  panel="$bin/zentrada-console.exe"
fi

fresh_prefix installer-test-prefix

# Where the installer puts things, and in which registry view: a 32-bit
# installer on a 64-bit prefix writes under Wow6432Node.
view=""
if [ "$preset" = win32 ]; then
  view="Wow6432Node\\\\"
fi
instdir_w="$(program_files)\\Zentrada"
instdir="$(unix_path "$instdir_w")"
menu="$(start_menu)/Zentrada"
echo "installing into $instdir_w ($instdir)"

# Runs a setup or uninstall program ($1) with arguments, waiting for it;
# prints its exit status.
run() {
  local status=0
  timeout 60 wine "$@" < /dev/null > /dev/null 2>&1 || status=$?
  [ "$status" -ne 124 ] || fail "$(basename "$1") did not end within 60 s"
  echo "$status"
}
# The uninstaller waits only when told the directory with _?=, which must be
# the last argument and unquoted: wine quotes an argument with spaces, so
# the path goes in as words that wine joins again with single spaces.
uninstall() {
  # shellcheck disable=SC2086
  run "$instdir/Uninst.exe" /S _?=$instdir_w
}

# The registry as Wine stores it (flush_registry): a text value appears as
# "name"="text" only when it is a REG_SZ whose data is the text in UTF-16
# with exactly one terminating NUL (other data as hex).
# The value lines of HKLM\Software\$1 (the key's path as stored: \\
# between names, any letter case).
key_lines() {
  KEY="[software\\\\$1]" awk '
    BEGIN { key = tolower(ENVIRON["KEY"]) }
    found && /^$/ { exit }
    found && !/^#/ {
      # Long hex data goes on over lines ending with a backslash.
      line = $0
      while (line ~ /\\$/ && (getline next_line) > 0) {
        sub(/^[ \t]+/, "", next_line)
        line = substr(line, 1, length(line) - 1) next_line
      }
      print line
    }
    tolower($0) == key || index(tolower($0), key " ") == 1 { found = 1; print "[key]" }
  ' "$WINEPREFIX/system.reg"
}
# A stored key path as Windows shows it.
shown() { printf 'HKLM\\Software\\%s' "${1//\\\\/\\}"; }
key_values() { key_lines "$1" | grep -vxF '[key]' || true; }
key_exists() { key_lines "$1" | grep -qxF '[key]'; }
expect_values() {  # key, expected lines in order
  local key="$1" actual expected
  shift
  actual="$(key_values "$key" | sort)"
  expected="$(printf '%s\n' "$@" | sort)"
  if [ "$actual" != "$expected" ]; then
    echo "!! $(shown "$key") holds:" >&2
    echo "$actual" >&2
    echo "!! expected:" >&2
    echo "$expected" >&2
    fail "registry values of $(shown "$key")"
  fi
  ok "$(shown "$key") holds exactly:"
  printf '      %s\n' "$@"
}
expect_value() {  # key, expected line among others
  key_values "$1" | grep -qxF -- "$2" || fail "$(shown "$1") lacks $2"
  ok "$(shown "$1"): $2"
}
expect_no_value() {  # key, value name
  ! key_values "$1" | grep -q "^\"$2\"=" || fail "$(shown "$1") still has $2"
  ok "$(shown "$1") has no $2"
}
# Registry texts as stored: a REG_SZ with one terminating NUL as the text
# with backslashes and quotes escaped; without the NUL, as reg_sz_without_nul
# writes it.
reg_text() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }
in_data="$(reg_sz_without_nul "$instdir_w\\in")"
out_data="$(reg_sz_without_nul "$instdir_w\\out")"
run_data="$(reg_sz_without_nul "\"$instdir_w\\Zentrada.exe\" -start_minimized")"
settings_key="${view}TORVA\\\\Zentrada"
run_key="${view}Microsoft\\\\Windows\\\\CurrentVersion\\\\Run"
uninst_key="${view}Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Zentrada"
if [ -n "$view" ]; then other_settings_key='TORVA\\Zentrada'; else other_settings_key='Wow6432Node\\TORVA\\Zentrada'; fi
uninst_text="$(reg_text "\"$instdir_w\\Uninst.exe\"")"
# Wine stores characters beyond ASCII as \x escapes: "comunicação".
comments='"Comments"="Agente de comunica\xe7\xe3o com a impressora fiscal"'

echo "== silent install, default components"
expect_status 0 "$(run "$setup" /S)" "setup /S"
expect_file "$instdir/Zentrada.exe" "$panel"
expect_file "$instdir/zentrada-console.exe" "$bin/zentrada-console.exe"
expect_file "$instdir/Uninst.exe"
expect_dir "$instdir/in"
expect_dir "$instdir/out"
expect_gone "$instdir/InterfaceTorva.dll"
expect_file "$menu/Zentrada.lnk"
expect_file "$menu/Desinstalar o Zentrada.lnk"
flush_registry
expect_values "$settings_key" \
  "\"WorkDirectoryIn\"=$in_data" \
  "\"WorkDirectoryOut\"=$out_data" \
  '"ShowTaskMsgs"=hex:00' \
  '"SimgleMode"=hex:00'
! key_exists "$other_settings_key" || fail "settings also written in the other registry view"
ok "no settings in the other registry view ($(shown "$other_settings_key"))"
echo "      (REG_SZ without NUL: $instdir_w\\in, $instdir_w\\out)"
expect_value "$run_key" "\"Zentrada\"=$run_data"
echo "      (REG_SZ without NUL: \"$instdir_w\\Zentrada.exe\" -start_minimized)"
expect_value "$uninst_key" '"DisplayName"="Zentrada"'
expect_value "$uninst_key" "\"DisplayVersion\"=\"$version\""
expect_value "$uninst_key" '"Publisher"="Zentrada"'
expect_value "$uninst_key" "\"UninstallString\"=\"$uninst_text\""
expect_value "$uninst_key" "\"QuietUninstallString\"=\"$uninst_text /S\""
expect_value "$uninst_key" "$comments"

echo "== reinstall keeps the user's settings"
timeout 30 wine reg add "HKLM\\SOFTWARE\\TORVA\\Zentrada" /v WorkDirectoryIn /t REG_SZ /d 'D:\caixa\in' /f \
  "/reg:${preset#win}" < /dev/null > /dev/null 2>&1 || fail "could not change the settings"
expect_status 0 "$(run "$setup" /S)" "setup /S again"
flush_registry
expect_value "$settings_key" '"WorkDirectoryIn"="D:\\caixa\\in"'

echo "== silent uninstall"
printf '01|\n' > "$instdir/in/VENDA.FPI"
printf '0|\n' > "$instdir/out/VENDA_000000.fpo"
printf 'registro\n' > "$instdir/Zentrada_log.txt"
expect_status 0 "$(uninstall)" "Uninst.exe /S"
expect_gone "$instdir/Zentrada.exe"
expect_gone "$instdir/zentrada-console.exe"
expect_gone "$menu"
expect_file "$instdir/in/VENDA.FPI"
expect_file "$instdir/out/VENDA_000000.fpo"
expect_file "$instdir/Zentrada_log.txt"
flush_registry
expect_no_value "$run_key" Zentrada
! key_exists "$settings_key" || fail "the settings key is still there"
ok "gone: $(shown "$settings_key")"
! key_exists "${view}TORVA" || fail "the empty TORVA key is still there"
ok "gone: $(shown "${view}TORVA") (empty)"
! key_exists "$uninst_key" || fail "the programs list entry is still there"
ok "gone: $(shown "$uninst_key")"

echo "== /DEMO installs the virtual printer; a running agent blocks setup and uninstall"
expect_status 0 "$(run "$setup" /S /DEMO)" "setup /S /DEMO"
expect_file "$instdir/InterfaceTorva.dll" "$bin/InterfaceTorva.dll"
# The console host with the installed printer, on directories of its own;
# it is up once the printer traced a call.
scratch="$WINEPREFIX/drive_c/scratch"
mkdir -p "$scratch/in" "$scratch/out"
TORVA_TRACE="$(winepath -w "$scratch/trace.txt")" timeout 120 wine "$instdir/zentrada-console.exe" \
  --in "$(winepath -w "$scratch/in")" --out "$(winepath -w "$scratch/out")" \
  < /dev/null > "$scratch/host.out" 2>&1 &
host_pid=$!
for _ in $(seq 100); do
  [ -s "$scratch/trace.txt" ] && break
  kill -0 "$host_pid" 2> /dev/null || break
  sleep 0.2
done
[ -s "$scratch/trace.txt" ] || { cat "$scratch/host.out" >&2; fail "the installed agent did not start"; }
ok "the installed agent runs with the virtual printer"
# Marked, so a replaced Zentrada.exe shows (setup keeps the files' times).
printf 'marca' >> "$instdir/Zentrada.exe"
marked="$(sha256sum < "$instdir/Zentrada.exe")"
expect_status 2 "$(run "$setup" /S /DEMO)" "setup /S /DEMO with the agent running"
expect_status 2 "$(uninstall)" "Uninst.exe /S with the agent running"
kill -0 "$host_pid" 2> /dev/null || fail "the agent ended during setup or uninstall"
[ "$(sha256sum < "$instdir/Zentrada.exe")" = "$marked" ] || fail "Zentrada.exe was replaced or removed while the agent ran"
ok "Zentrada.exe untouched"
expect_file "$instdir/zentrada-console.exe"
expect_file "$instdir/InterfaceTorva.dll"
kill -INT "$host_pid"
wait "$host_pid" || true
host_pid=""
flush_registry
expect_value "$settings_key" "\"WorkDirectoryIn\"=$in_data"
expect_value "$run_key" "\"Zentrada\"=$run_data"
expect_status 0 "$(uninstall)" "Uninst.exe /S once the agent stopped"
expect_gone "$instdir/InterfaceTorva.dll"
expect_gone "$instdir/zentrada-console.exe"
expect_dir "$instdir/in"

echo "PASS: installer ($preset)"
