#!/usr/bin/env bash
# The control panel as a person uses it, under Wine in a virtual X display:
# the 32-bit Zentrada.exe and the recording InterfaceTorva.dll in a
# directory of their own, a Wine prefix made afresh. Clicks and typing go
# through the X server (xdotool); what the panel shows, its message boxes,
# the log viewer and the registry are read with tests/gui/panel_probe.exe.
# Screenshots of the panel and the log viewer land in docs/.
#   tools/gui-test.sh [win32|win64]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
preset="${1:-win32}"
if [ -z "${ZENTRADA_GUI_DISPLAY:-}" ]; then
  exec env ZENTRADA_GUI_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
cd "$root"
build="$root/build/$preset"
cmake --build --preset "$preset" --parallel 2 --target zentrada_panel zentrada panel_probe InterfaceTorva > /dev/null

work="$build/gui-test"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
wineboot --init < /dev/null > /dev/null 2>&1 || true
wineserver -p60 < /dev/null > /dev/null 2>&1 || true
trap 'kill -KILL $(jobs -p) 2> /dev/null || true; wineserver -k 2> /dev/null || true' EXIT

agent="$work/agent"
mkdir -p "$agent/in" "$agent/out"
cp "$build/bin/Zentrada.exe" "$build/bin/zentrada-console.exe" "$build/bin/InterfaceTorva.dll" "$build/bin/panel_probe.exe" "$agent/"
win() { winepath -w "$1" 2> /dev/null; }
agent_w="$(win "$agent")"
export TORVA_TRACE="$(win "$work")\\trace.txt" TORVA_SCRIPT="$(win "$work")\\script.txt"
# The recording library alone: unscripted calls succeed, so the slow files
# need no open receipt.
export TORVA_MODE=recorder
cp tools/samples/virtual_printer.txt "$work/script.txt"

failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
utf8() { iconv -f CP1252 -t UTF-8; }
probe() { timeout 30 wine "$agent/panel_probe.exe" "$@" 2> /dev/null; }
text_of() { probe text "$1" | utf8; }
text_is() { [ "$(text_of "$1")" = "$2" ]; }
eventually() {  # eventually SECONDS COMMAND...
  local seconds="$1"
  shift
  for _ in $(seq $((seconds * 4))); do
    if "$@"; then return 0; fi
    sleep 0.25
  done
  "$@"
}
control() { probe controls | awk -F'\t' -v id="$1" '$1 == id'; }
state_is() {  # state_is ID visible=1|enabled=0|checked=1 ...
  local line
  line="$(control "$1")"
  shift
  for expected in "$@"; do
    case "$line" in *"$expected"*) ;; *) return 1 ;; esac
  done
}
click() {  # clicks the centre of a control of the panel
  local rect
  rect="$(control "$1" | cut -f6)"
  IFS=, read -r left top right bottom <<< "$rect"
  xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
  sleep 0.3
}
type_into() {  # replaces an edit box's text by typing
  click "$1"
  xdotool key End shift+Home BackSpace
  xdotool type --delay 15 "$2"
}
shoot() {  # the panel's or another window's rectangle, cut from the screen
  local rect="$1" file="$2"
  IFS=, read -r left top right bottom <<< "$rect"
  import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$root/docs/$file"
}
hex() { printf '%s' "$1" | xxd -p | tr -d '\n'; }
registry_value() { probe registry | awk -F'\t' -v name="$1" '$1 == name { print $2 "\t" $3 }'; }
trace_count() { grep -c "^$1" "$work/trace.txt" 2> /dev/null || true; }
drop() {  # drop FILE DIRECTORY: written aside, renamed into place
  cp "$1" "$2/$(basename "$1").tmp"
  mv "$2/$(basename "$1").tmp" "$2/$(basename "$1")"
}
gone() { [ ! -e "$1" ]; }
start_agent() {  # start_agent DIRECTORY [ARGUMENTS...]; sets agent_pid
  local directory="$1"
  shift
  (cd "$directory" && exec wine ./Zentrada.exe "$@" > /dev/null 2>&1) &
  agent_pid=$!
}
ended_with_zero() {
  local status=0
  for _ in $(seq 240); do kill -0 "$agent_pid" 2> /dev/null || break; sleep 0.25; done
  kill -0 "$agent_pid" 2> /dev/null && return 1
  wait "$agent_pid" || status=$?
  [ "$status" -eq 0 ]
}
mkdir -p "$root/docs"

echo "== the dialog templates as built"
probe template "$agent_w\\Zentrada.exe" 102 > "$work/templates.txt"
probe template "$agent_w\\Zentrada.exe" 143 >> "$work/templates.txt"
check "templates 102 and 143 hold exactly the expected controls" \
  diff -u "$root/tests/gui/expected_templates.txt" "$work/templates.txt"

echo "== first start, no settings stored"
start_agent "$agent"
check "the panel opens" probe wait-panel 60
check "and is shown" eventually 10 eval '[ "$(probe panel | cut -f1)" = visible=1 ]'
shoot "$(probe panel | cut -f2)" panel-start.png
# The project's version, each number in two digits.
IFS=. read -r major minor patch < <(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
version_label="$(printf 'Versão %02d.%02d.%02d' "$major" "$minor" "$patch")"
check "the version label reads $version_label" text_is 1010 "$version_label"
check "the worker is active" eventually 10 text_is 1008 "Ativo"
check "the printer comes on line within a timer period" eventually 8 text_is 1023 "Online"
check "Iniciar disabled and Parar enabled" state_is 1004 enabled=0
check "Parar enabled" state_is 1005 enabled=1
check "the log viewer's button is there but hidden" state_is 1007 visible=0
check "the input directory defaults beside the executable" text_is 1001 "$agent_w\\in"
check "the output directory defaults beside the executable" text_is 1012 "$agent_w\\out"
check "auto-start unticked (no Run value)" state_is 1000 checked=0
check "the settings key is still absent" eval '[ "$(registry_value WorkDirectoryIn)" = "no key	" ]'
sleep 1
shoot "$(probe panel | cut -f2)" panel-online.png

echo "== a sale"
drop tools/samples/1VENDA.FPI "$agent/in"
check "the sale file is taken" eventually 20 gone "$agent/in/1VENDA.FPI"
response="$(ls "$agent/out"/1VENDA_*.fpo 2> /dev/null | head -1)"
# The sample's first line is a comment: its four commands are lines 2 to 5.
expected=$'Line 2: 0|\r\r\nLine 3: 0|\r\r\nLine 4: 0|\r\r\nLine 5: 0|COO 000123|\r\r\n'
check "its response holds the expected records, byte for byte" \
  eval '[ -n "$response" ] && [ "$(cat "$response"; printf x)" = "${expected}x" ]'

echo "== settings applied"
mkdir -p "$agent/in2" "$agent/out2"
type_into 1001 "$agent_w\\in2"
type_into 1012 "$agent_w\\out2"
click 1000
click 1017
check "the boxes are ticked" state_is 1000 checked=1
click 1
check "WorkDirectoryIn is REG_SZ without a NUL" \
  eval '[ "$(registry_value WorkDirectoryIn)" = "type=1	$(hex "$agent_w\\in2")" ]'
check "WorkDirectoryOut is REG_SZ without a NUL" \
  eval '[ "$(registry_value WorkDirectoryOut)" = "type=1	$(hex "$agent_w\\out2")" ]'
check "ShowTaskMsgs is one byte 01" eval '[ "$(registry_value ShowTaskMsgs)" = "type=3	01" ]'
check "SimgleMode is one byte 00" eval '[ "$(registry_value SimgleMode)" = "type=3	00" ]'
check "the Run value starts the agent minimized" \
  eval '[ "$(registry_value Zentrada)" = "type=1	$(hex "\"$agent_w\\Zentrada.exe\" -start_minimized")" ]'
drop tools/samples/1VENDA.FPI "$agent/in2"
check "the new input directory is used at once" eventually 20 gone "$agent/in2/1VENDA.FPI"
check "and the new output directory" eval 'ls "$agent/out2"/1VENDA_*.fpo > /dev/null 2>&1'
long="$agent_w\\$(printf 'd%.0s' $(seq 260))"
type_into 1001 "$long"
click 1
check "a directory too long for the agent is refused with a message" eventually 10 eval \
  'probe message-box | utf8 | grep -q "^Zentrada	O diretório tem mais de 254 caracteres e não foi aplicado:"'
probe dismiss-box
check "and nothing was stored" \
  eval '[ "$(registry_value WorkDirectoryIn)" = "type=1	$(hex "$agent_w\\in2")" ]'
type_into 1001 "$agent_w\\in2"
click 1000
click 1
check "unticked and applied, the Run value is gone" eval '[ "$(registry_value Zentrada)" = "absent	" ]'

echo "== Parar and Iniciar"
click 1005
check "Parar shows Inativo at once" text_is 1008 "Inativo"
check "Iniciar enabled" state_is 1004 enabled=1
check "Parar disabled" state_is 1005 enabled=0
check "the port is closed" eventually 10 eval '[ "$(trace_count TORVA_Serial_Fechar_Porta)" = 1 ]'
click 1004
check "Iniciar makes it active again" eventually 10 text_is 1008 "Ativo"

echo "== the printer off line and back"
printf 'TORVA_Obter_Estado_Impressora|1|\n' > "$work/script.txt"
check "Offline within a timer period" eventually 8 text_is 1023 "Offline"
cp tools/samples/virtual_printer.txt "$work/script.txt"
check "Online again" eventually 8 text_is 1023 "Online"

echo "== the log viewer"
probe command 1007
check "it opens" eventually 10 eval 'probe log-viewer > /dev/null'
probe log-viewer > "$work/viewer.txt"
sed 's/\r\r$/\r/' "$agent/Zentrada_log.txt" > "$work/log-folded.txt"
check "it shows the whole log" cmp "$work/viewer.txt" "$work/log-folded.txt"
shoot "$(xdotool search --name '^Zentrada - Log$' getwindowgeometry --shell 2> /dev/null |
  awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END {print x "," y "," x+w "," y+h}')" log-viewer.png
probe close-log-viewer
check "OK closes it" eventually 10 eval '! probe log-viewer > /dev/null'

echo "== a second instance"
cp "$agent/Zentrada.exe" "$work/Zentrada.exe"
(cd "$agent" && exec wine ./Zentrada.exe > /dev/null 2>&1) &
second=$!
check "it says the agent runs already" eventually 30 eval \
  '[ "$(probe message-box | utf8)" = "Aplicativo em Execução	Você já está executando este aplicativo.
Por favor, feche o outro programa antes de executá-lo novamente." ]'
probe dismiss-box
check "and ends" eventually 20 eval '! kill -0 $second 2> /dev/null'
check "the first one goes on" text_is 1008 "Ativo"

echo "== shut down"
click 2
check "Desligar Zentrada ends the agent with status 0" ended_with_zero
check "the worker ended in order" eval 'tail -c 34 "$agent/Zentrada_log.txt" | grep -q "Thread encerrada normalmente."'

echo "== the front of the Windows service"
service_state() { timeout 30 wine sc query Zentrada 2> /dev/null | tr -d '\r' | awk '$1 == "STATE" { print $4 }'; }
check "the service installs" eval 'timeout 60 wine "$agent/zentrada-console.exe" --install-service --in "$agent_w\\in2" --out "$agent_w\\out2" > /dev/null 2>&1'
# Wine may start an automatic service of its own accord soon after it is
# installed, holding the service database meanwhile; a first start in a
# prefix also takes a while. So: started if still stopped, until it runs.
start_service() {
  local state
  for _ in $(seq 12); do
    state="$(service_state)"
    [ "$state" = RUNNING ] && return 0
    [ "$state" = STOPPED ] && timeout 60 wine net start Zentrada > /dev/null 2>&1
    sleep 2.5
  done
  return 1
}
check "and runs, with nobody's panel" start_service
drop tools/samples/1VENDA.FPI "$agent/in2"
check "the service answers a sale" eventually 30 gone "$agent/in2/1VENDA.FPI"
start_agent "$agent"
check "the panel opens beside it" probe wait-panel 60
check "and shows the service active" eventually 10 text_is 1008 "Ativo"
check "and its printer on line" eventually 10 text_is 1023 "Online"
check "Iniciar disabled" state_is 1004 enabled=0
click 1005
check "Parar stops the service" eventually 30 eval '[ "$(service_state)" = STOPPED ]'
check "which ended in order" eval 'tail -c 34 "$agent/Zentrada_log.txt" | grep -q "Thread encerrada normalmente."'
check "the panel shows it inactive" eventually 10 text_is 1008 "Inativo"
check "Iniciar enabled" state_is 1004 enabled=1
click 1004
check "Iniciar starts the service" eventually 30 eval '[ "$(service_state)" = RUNNING ]'
check "the panel shows it active" eventually 10 text_is 1008 "Ativo"
mkdir -p "$agent/out3"
type_into 1012 "$agent_w\\out3"
click 1
drop tools/samples/1VENDA.FPI "$agent/in2"
check "Aplicar: the running service takes the new output directory" eventually 30 eval 'ls "$agent/out3"/1VENDA_*.fpo > /dev/null 2>&1'
type_into 1012 "$agent_w\\out2"
click 1
click 2
check "Desligar ends the panel with status 0" ended_with_zero
check "and leaves the service running" eval '[ "$(service_state)" = RUNNING ]'
check "the service uninstalls, stopped first" eval 'timeout 90 wine "$agent/zentrada-console.exe" --uninstall-service > /dev/null 2>&1'
check "and is gone" eval '[ -z "$(service_state)" ]'

echo "== start minimized, a slow printer"
export TORVA_DELAY_MS=200
: > "$work/trace.txt"
start_agent "$agent" -start_minimized
check "the panel exists" probe wait-panel 60
check "hidden" eval '[ "$(probe panel | cut -f1)" = visible=0 ]'
probe tray-click
check "the tray icon's click restores it" eventually 10 eval '[ "$(probe panel | cut -f1)" = visible=1 ]'
check "active" eventually 20 text_is 1008 "Ativo"
slow="$work/LENTO.FPI"
printf 'TORVA_Fiscal_Cancelar_Ultimo_Item|\r\n%.0s' 1 2 3 4 5 > "$slow"
printf '.\r\n' >> "$slow"
drop "$slow" "$agent/in2"
check "the slow file is in hand" eventually 20 eval '[ "$(trace_count TORVA_Fiscal_Cancelar_Ultimo_Item)" -ge 1 ]'
click 1005
click 1004
check "the file is finished" eventually 30 gone "$agent/in2/LENTO.FPI"
check "the restarted worker runs" eventually 30 text_is 1008 "Ativo"
check "no driver call of two workers overlapped" eval '! grep -q "^!overlap" "$work/trace.txt"'
check "the second port opened after the first closed" eval \
  'grep -n "^TORVA_Serial_" "$work/trace.txt" | cut -d: -f2 | tr "\n" " " | grep -q "Abrir_PortaEX| TORVA_Serial_Fechar_Porta| TORVA_Serial_Abrir_PortaEX|"'
rm -f "$agent/out2"/LENTO_*.fpo
drop "$slow" "$agent/in2"
check "another slow file is in hand" eventually 20 eval '[ "$(trace_count TORVA_Fiscal_Cancelar_Ultimo_Item)" -ge 6 ]'
click 2
check "the panel shows it is stopping" eventually 5 text_is 1008 "Encerrando..."
check "the agent ends with status 0" ended_with_zero
check "after the whole file was answered" eval \
  '[ "$(cat "$agent/out2"/LENTO_*.fpo | grep -c "^Line")" = 5 ]'
check "and the port closed" eval 'tail -1 "$work/trace.txt" | grep -q "^TORVA_Serial_Fechar_Porta|"'

rm -f "$agent/out2"/LENTO_*.fpo
start_agent "$agent"
check "started again" probe wait-panel 60
check "active again" eventually 20 text_is 1008 "Ativo"
drop "$slow" "$agent/in2"
check "a slow file is in hand when the session ends" eventually 20 eval \
  '[ "$(trace_count TORVA_Fiscal_Cancelar_Ultimo_Item)" -ge 11 ]'
check "the panel lets the session end" eval '[ "$(probe end-session)" = allowed=1 ]'
check "after answering the whole file" eval '[ "$(cat "$agent/out2"/LENTO_*.fpo | grep -c "^Line")" = 5 ]'
check "the agent ends with status 0" ended_with_zero
check "its port closed" eval 'tail -1 "$work/trace.txt" | grep -q "^TORVA_Serial_Fechar_Porta|"'
unset TORVA_DELAY_MS

echo "== no driver library"
nolib="$work/nolib"
mkdir -p "$nolib"
cp "$agent/Zentrada.exe" "$agent/panel_probe.exe" "$nolib/"
start_agent "$nolib"
check "the missing library's message" eventually 60 eval \
  '[ "$(probe message-box | utf8 | tr -d "\r")" = "Erro!	Erro ao carregar a biblioteca de alto nível!
O programa será finalizado." ]'
probe dismiss-box
check "then the agent ends with status 0" ended_with_zero
check "the log names the missing library" eval \
  'iconv -f CP1252 -t UTF-8 "$nolib/Zentrada_log.txt" | grep -q "^Erro! Dll InterfaceTorva não encontrada.
*$"'

echo
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; screenshots in docs/, work files in $work"
  exit 1
fi
echo "all checks passed"
