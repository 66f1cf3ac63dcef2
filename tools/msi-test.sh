#!/usr/bin/env bash
# The Windows Installer package under Wine: tools/msi-test.sh [win32|win64].
# Builds the `msi` target of the preset, then in a Wine prefix of its own,
# made afresh each run (build/<preset>/msi-test-prefix), with msiexec /qn:
#   1. the package, made an older version, installed with every property:
#      the programs and the virtual printer in INSTALLFOLDER with the in/out
#      directories and the shortcuts, the settings with the directories
#      given and the Run value, in the registry view of the build only, one
#      product in the programs list, no service; the installed console host
#      answers a sale dropped into INPUTDIR, in OUTPUTDIR;
#   2. the package itself, given OUTPUTDIR only, upgrades it in place: the
#      same folder and choices, the settings as the panel changed them but
#      the directory given, an administrator's value untouched, one product
#      of the package's version;
#   3. an uninstall removes the programs, the shortcuts, the values it wrote
#      and the product, and keeps the command and response files, the log
#      and the administrator's value;
#   4. SERVICE=1 alone: the default folder and directories, no Run value,
#      and the service "Zentrada", started automatically as LocalSystem,
#      running the installed console host with --service; the package
#      upgrades a rebuild of itself and keeps the service; an uninstall
#      removes it.
# Prints each check; exits non-zero at the first failure. The msiexec logs
# stay in build/<preset>/msi-test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# On (1, the default): the packages start the service, which must be
# running after the install and the upgrade and answer a sale dropped into
# its input directory. Off (0), the packages of step 4 are copies that
# register the service without starting it.
SERVICE_ANSWERS="${SERVICE_ANSWERS:-1}"

# shellcheck source=tools/installer-test-lib.sh
. "$root/tools/installer-test-lib.sh" "$@"

# The package and what it carries.
build_target msi
bits="${preset#win}"
if [ "$bits" = 32 ]; then arch=x86 other_bits=64; else arch=x64 other_bits=32; fi
msi="$build/Zentrada-$version-$arch.msi"
[ -f "$msi" ] || fail "no package at $msi"
bin="$build/bin"
work="$build/msi-test"
rm -rf "$work"
mkdir -p "$work"

fresh_prefix msi-test-prefix

# package COPY [VERSION]: a copy of the package in $work, its Windows path
# printed; with VERSION, a product of that version of its own (a rebuild,
# given the package's version). Without the service mode its ServiceControl
# does not start the service (event 163 less 1, the start at install).
package() {
  local copy="$work/$1"
  cp "$msi" "$copy"
  if [ -n "${2:-}" ]; then
    msibuild "$copy" -q "UPDATE \`Property\` SET \`Value\` = '$2' WHERE \`Property\` = 'ProductVersion'"
    msibuild "$copy" -q "UPDATE \`Property\` SET \`Value\` = '{$(uuid)}' WHERE \`Property\` = 'ProductCode'"
  fi
  if [ "$SERVICE_ANSWERS" != 1 ]; then
    msibuild "$copy" -q "UPDATE \`ServiceControl\` SET \`Event\` = 162 WHERE \`Name\` = 'Zentrada'"
  fi
  winepath -w "$copy"
}
uuid() { tr '[:lower:]' '[:upper:]' < /proc/sys/kernel/random/uuid; }
IFS=. read -r major _ _ <<< "$version"
older="$((major > 0 ? major - 1 : 0)).0.0"

# msiexec LOG ARGUMENTS...: msiexec, silent, logging to $work/LOG.log;
# checks it succeeded.
msiexec() {
  local log="$work/$1.log" status=0
  shift
  timeout 120 wine msiexec "$@" /qn /l*v "$(winepath -w "$log")" < /dev/null > /dev/null 2>&1 || status=$?
  [ "$status" -ne 124 ] || fail "msiexec $* did not end within 120 s (log: $log)"
  [ "$status" -eq 0 ] || fail "msiexec $*: exit status $status (log: $log)"
  ok "msiexec $*"
}

# The type and data of value $2 of HKLM\$1 as reg shows them ("REG_SZ C:\x"),
# in the registry view $3 (the build's by default); nothing when missing.
reg_value() {
  timeout 30 wine reg query "HKLM\\$1" /v "$2" "/reg:${3:-$bits}" < /dev/null 2> /dev/null | tr -d '\r' |
    sed -n "s/^    $2    \(REG_[A-Z_]*\)    /\1 /p"
}
expect_value() {  # key, value name, "TYPE data"[, view]
  local actual
  actual="$(reg_value "$1" "$2" "${4:-$bits}")"
  [ "$actual" = "$3" ] || fail "HKLM\\$1 [$2] (${4:-$bits}-bit view) is '$actual', expected '$3'"
  ok "HKLM\\$1 [$2]: $3"
}
expect_no_value() {  # key, value name[, view]
  [ -z "$(reg_value "$1" "$2" "${3:-$bits}")" ] || fail "HKLM\\$1 (${3:-$bits}-bit view) still has $2"
  ok "HKLM\\$1 (${3:-$bits}-bit view) has no $2"
}
settings='SOFTWARE\TORVA\Zentrada'
run_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
service_key='SYSTEM\CurrentControlSet\Services\Zentrada'

# The version of every programs list entry named Zentrada, in both views.
products() {
  for view in 32 64; do
    timeout 30 wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$view" \
      < /dev/null 2> /dev/null | tr -d '\r' | awk '
        /^HKEY/ { if (name == "Zentrada") print version; name = version = "" }
        sub(/^    DisplayName    REG_SZ    /, "") { name = $0 }
        sub(/^    DisplayVersion    REG_SZ    /, "") { version = $0 }
        END { if (name == "Zentrada") print version }'
  done
}
expect_products() {  # the versions expected, one a line
  local actual
  actual="$(products)"
  [ "$actual" = "$1" ] || fail "programs list entries of Zentrada: '${actual//$'\n'/, }', expected '$1'"
  ok "programs list: ${1:-no Zentrada}"
}

service_state() { timeout 30 wine sc query Zentrada < /dev/null 2> /dev/null | tr -d '\r' | awk '$1 == "STATE" { print $4 }'; }

# answered DIRECTORY NAME LINES: the response to NAME.FPI appears in
# DIRECTORY within 30 s with LINES records, every one a success.
answered() {
  local response=""
  for _ in $(seq 150); do
    response="$(compgen -G "$1/$2_*.fpo" || true)"
    if [ -n "$response" ] && [ "$(grep -c '^Line ' "$response")" -ge "$3" ]; then break; fi
    sleep 0.2
  done
  [ -n "$response" ] || fail "no response to $2.FPI in $1"
  [ "$(grep -c '^Line [0-9]*: 0|' "$response")" = "$3" ] && [ "$(grep -c '^Line ' "$response")" = "$3" ] ||
    { cat "$response" >&2; fail "$response is not $3 successes"; }
  ok "$2.FPI answered in ${response#"$WINEPREFIX"/}: $3 records, status 0"
}
# Drops command file $1 into directory $2, written under another name and
# renamed so the agent never sees half of it; it must be taken within 60 s.
drop() {
  local name
  name="$(basename "$1")"
  cp "$1" "$2/$name.tmp"
  mv "$2/$name.tmp" "$2/$name"
  for _ in $(seq 300); do
    [ -e "$2/$name" ] || return 0
    sleep 0.2
  done
  fail "$name was not taken from $2"
}
sale="$root/tools/samples/1VENDA.FPI"
sale_lines="$(grep -cv '^[;.]' "$sale")"  # its commands

instdir_w='C:\Loja\Zentrada Caixa'
instdir="$(unix_path "$instdir_w")"
in_w='C:\PDV\entrada' out_w='C:\PDV\saida' panel_in_w='C:\PDV\pedidos' upgrade_out_w='C:\PDV\respostas'
for directory in "$in_w" "$out_w" "$panel_in_w" "$upgrade_out_w"; do mkdir -p "$(unix_path "$directory")"; done
# Wine's msi puts the shortcuts of a per-machine package into the Start
# menu of the user who installs it; Windows into the one for all users.
menus=("$(start_menu)/Zentrada" "$(unix_path "$(wine_text 'echo %APPDATA%')")/Microsoft/Windows/Start Menu/Programs/Zentrada")
expect_shortcuts() {
  local menu
  for menu in "${menus[@]}"; do
    [ -d "$menu" ] || continue
    expect_file "$menu/Zentrada.lnk"
    expect_file "$menu/Desinstalar o Zentrada.lnk"
    return
  done
  fail "no Start menu folder Zentrada: ${menus[*]}"
}
run_data="REG_SZ \"$instdir_w\\Zentrada.exe\" -start_minimized"

echo "== an older version installed with every property"
msiexec install-older /i "$(package older.msi "$older")" \
  "INSTALLFOLDER=$instdir_w" "INPUTDIR=$in_w" "OUTPUTDIR=$out_w" DEMO=1 AUTOSTART=1
expect_file "$instdir/Zentrada.exe" "$bin/Zentrada.exe"
expect_file "$instdir/zentrada-console.exe" "$bin/zentrada-console.exe"
expect_file "$instdir/InterfaceTorva.dll" "$bin/InterfaceTorva.dll"
expect_dir "$instdir/in"
expect_dir "$instdir/out"
expect_shortcuts
expect_value "$settings" WorkDirectoryIn "REG_SZ $in_w"
expect_value "$settings" WorkDirectoryOut "REG_SZ $out_w"
expect_value "$settings" ShowTaskMsgs "REG_BINARY 00"
expect_value "$settings" SimgleMode "REG_BINARY 00"
expect_no_value "$settings" WorkDirectoryIn "$other_bits"
expect_value "$run_key" Zentrada "$run_data"
expect_products "$older"
[ -z "$(service_state)" ] || fail "a service was installed without SERVICE=1"
ok "no service"
# The installed console host on the settings the package wrote.
wine "$instdir/zentrada-console.exe" < /dev/null > "$work/host.out" 2>&1 &
host_pid=$!
drop "$sale" "$(unix_path "$in_w")"
answered "$(unix_path "$out_w")" 1VENDA "$sale_lines"
# Ended with the prefix's server: a 64-bit program may run under a 32-bit
# starter, which passes no Ctrl+C on.
stop_server
wait "$host_pid" || true
host_pid=""
start_server

echo "== the package upgrades it in place, given OUTPUTDIR only"
# What the panel stores, a text without its NUL, written into Wine's
# registry file while the server is down (reg adds the NUL), and an
# administrator's value.
timeout 30 wine reg add "HKLM\\$settings" /v ShowTaskMsgs /t REG_BINARY /d 01 /f "/reg:$bits" < /dev/null > /dev/null 2>&1 &&
  timeout 30 wine reg add "HKLM\\$settings" /v SyncRecords /t REG_DWORD /d 1 /f "/reg:$bits" < /dev/null > /dev/null 2>&1 ||
  fail "could not change the settings"
stop_server
settings_section='[software\\torva\\zentrada]'
[ "$bits" = 64 ] || settings_section='[software\\wow6432node\\torva\\zentrada]'
SECTION="$settings_section" LINE="\"WorkDirectoryIn\"=$(reg_sz_without_nul "$panel_in_w")" awk '
  /^\[/ { inside = index(tolower($0), ENVIRON["SECTION"]) == 1 }
  inside && /^"WorkDirectoryIn"=/ { $0 = ENVIRON["LINE"]; done = 1 }
  { print }
  END { exit !done }' "$WINEPREFIX/system.reg" > "$work/system.reg" || fail "no WorkDirectoryIn in system.reg"
cp "$work/system.reg" "$WINEPREFIX/system.reg"
start_server
expect_value "$settings" WorkDirectoryIn "REG_SZ $panel_in_w"
msiexec upgrade /i "$(winepath -w "$msi")" "OUTPUTDIR=$upgrade_out_w"
expect_file "$instdir/Zentrada.exe" "$bin/Zentrada.exe"
expect_file "$instdir/zentrada-console.exe" "$bin/zentrada-console.exe"
expect_file "$instdir/InterfaceTorva.dll" "$bin/InterfaceTorva.dll"
expect_gone "$(unix_path "$(program_files)")/Zentrada"
expect_value "$settings" WorkDirectoryIn "REG_SZ $panel_in_w"
expect_value "$settings" WorkDirectoryOut "REG_SZ $upgrade_out_w"
expect_value "$settings" ShowTaskMsgs "REG_BINARY 01"
expect_value "$settings" SimgleMode "REG_BINARY 00"
expect_value "$settings" SyncRecords "REG_DWORD 0x1"
expect_value "$run_key" Zentrada "$run_data"
expect_products "$version"

echo "== uninstall"
printf '01|\n' > "$instdir/in/VENDA.FPI"
printf '0|\n' > "$instdir/out/VENDA_000000.fpo"
expect_file "$instdir/Zentrada_log.txt"
msiexec uninstall /x "$(winepath -w "$msi")"
expect_gone "$instdir/Zentrada.exe"
expect_gone "$instdir/zentrada-console.exe"
expect_gone "$instdir/InterfaceTorva.dll"
for menu in "${menus[@]}"; do expect_gone "$menu"; done
expect_file "$instdir/in/VENDA.FPI"
expect_file "$instdir/out/VENDA_000000.fpo"
expect_file "$instdir/Zentrada_log.txt"
expect_file "$(compgen -G "$(unix_path "$out_w")/1VENDA_*.fpo")"
for name in WorkDirectoryIn WorkDirectoryOut ShowTaskMsgs SimgleMode; do expect_no_value "$settings" "$name"; done
expect_value "$settings" SyncRecords "REG_DWORD 0x1"
expect_no_value "$run_key" Zentrada
expect_products ""

echo "== SERVICE=1"
instdir_w="$(program_files)\\Zentrada"
instdir="$(unix_path "$instdir_w")"
# The sale again, under a name for each time the service answers it.
cp "$sale" "$work/SERVICO1.FPI"
cp "$sale" "$work/SERVICO2.FPI"
expect_service() {  # the command file the service answers
  # Wine's msi writes the program's path without quotes.
  local image
  image="$(reg_value "$service_key" ImagePath 64 | sed -E 's/^REG_(EXPAND_)?SZ //; s/"//g')"
  [ "$image" = "$instdir_w\\zentrada-console.exe --service" ] || fail "the service runs '$image'"
  ok "the service runs $image"
  expect_value "$service_key" Start "REG_DWORD 0x2" 64
  expect_value "$service_key" ObjectName "REG_SZ LocalSystem" 64
  if [ "$SERVICE_ANSWERS" = 1 ]; then
    [ "$(service_state)" = RUNNING ] || fail "the service is not running: $(service_state)"
    ok "the service is running"
    drop "$work/$1.FPI" "$instdir/in"
    answered "$instdir/out" "$1" "$sale_lines"
  fi
}
msiexec service-rebuild /i "$(package service-rebuild.msi "$version")" SERVICE=1 DEMO=1
expect_file "$instdir/zentrada-console.exe" "$bin/zentrada-console.exe"
expect_value "$settings" WorkDirectoryIn "REG_SZ $instdir_w\\in"
expect_value "$settings" WorkDirectoryOut "REG_SZ $instdir_w\\out"
expect_no_value "$run_key" Zentrada
expect_service SERVICO1
service_msi="$(package service.msi)"
# Wine's msiexec ends abruptly (status 91) when an upgrade replaces the
# program of a running service, which Windows stops first by its
# ServiceControl: stopped here beforehand, the upgrade starts it again.
stop_service() {
  if [ "$SERVICE_ANSWERS" = 1 ]; then
    timeout 60 wine net stop Zentrada < /dev/null > /dev/null 2>&1 || true
  fi
}
stop_service
msiexec service-upgrade /i "$service_msi"
expect_products "$version"
expect_service SERVICO2
# The same for the removal of a running service's program.
stop_service
msiexec service-uninstall /x "$service_msi"
[ -z "$(service_state)" ] || fail "the service is still there"
ok "no service"
expect_no_value "$service_key" ImagePath 64
expect_gone "$instdir/zentrada-console.exe"
expect_products ""

echo "PASS: msi ($preset)"
