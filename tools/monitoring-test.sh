#!/usr/bin/env bash
# Checks the monitoring files, then the status file of a real zentrada as
# headquarters sees it through the node exporter:
#   - the alert rules load and pass their unit tests; the dashboard is JSON
#     whose queries parse; every zentrada_ metric they name is one the
#     agent writes (as the agent below writes them, not from a list);
#   - zentrada, copied with the virtual printer to a scratch directory, writes
#     its status beside itself and in MetricsDirectory, in a form promtool
#     accepts when fresh, after a sale and after a failed file;
#   - the node exporter's textfile collector serves it whole, sees the
#     printer go off line and back within two seconds each, and sees the
#     agent stopped after SIGTERM.
# Usage: tools/monitoring-test.sh BUILD_DIR   (e.g. build/default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

fail() {
  echo "!! monitoring: $*" >&2
  exit 1
}

[ $# -eq 1 ] || fail "usage: tools/monitoring-test.sh BUILD_DIR"
build="$1"
for tool in promtool prometheus-node-exporter curl python3; do
  command -v "$tool" > /dev/null || fail "$tool is missing: run tools/install-deps.sh"
done
for file in zentrada libInterfaceTorva.so; do
  [ -e "$build/bin/$file" ] || fail "$build/bin/$file is missing: build the $(basename "$build") preset first"
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zentrada-monitoring.XXXXXX")"
agent_pid=
exporter_pid=
cleanup() {
  local status=$?
  for pid in $exporter_pid $agent_pid; do
    kill -KILL "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done
  if [ "$status" -eq 0 ]; then
    rm -rf "$work"
  else
    echo "!! kept for inspection: $work" >&2
    {
      echo "-- the end of Zentrada_log.txt"
      tail -n 15 "$work/Zentrada_log.txt" | iconv -f CP1252 -t UTF-8
      tail -n 15 "$work/zentrada.stderr" "$work/exporter.log"
    } >&2 2> /dev/null || true
  fi
}
trap cleanup EXIT

echo "-- alert rules"
promtool check rules monitoring/alerts.yml
promtool test rules monitoring/alerts_test.yml

echo "-- dashboard"
# Every query of the dashboard, its variables given plain values, becomes a
# recording rule for promtool to parse (JSON is YAML).
python3 - monitoring/dashboard.json "$work/dashboard_rules.yml" <<'PY'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    dashboard = json.load(f)
exprs = [t["expr"] for p in dashboard["panels"] for t in p.get("targets", [])]
if not exprs:
    sys.exit("the dashboard has no queries")
values = {"$__rate_interval": "5m", "${instance}": ".*", "$instance": ".*"}
rules = []
for number, expr in enumerate(exprs, 1):
    for name, value in values.items():
        expr = expr.replace(name, value)
    rules.append({"record": f"dashboard:query_{number}", "expr": expr})
with open(sys.argv[2], "w") as f:
    json.dump({"groups": [{"name": "dashboard", "rules": rules}]}, f)
PY
promtool check rules "$work/dashboard_rules.yml"

# --- the agent ---------------------------------------------------------------
cp "$build/bin/zentrada" "$build/bin/libInterfaceTorva.so" "$work/"
mkdir "$work/in" "$work/out" "$work/textfile" "$work/printer"
cat > "$work/zentrada.conf" <<CONF
WorkDirectoryIn=$work/in
WorkDirectoryOut=$work/out
MetricsDirectory=$work/textfile
CONF
faults="$work/falhas.txt"
: > "$faults"
published="$work/textfile/zentrada.prom"
local_status="$work/zentrada_estado.prom"

# The virtual printer's own model (not the recorder), so that faults take it
# off line as they would a real printer.
env -i PATH="$PATH" LANG=C.UTF-8 ZENTRADA_LOCK_DIR="$work" \
  TORVA_FAULTS="$faults" TORVA_PRINTER_DIR="$work/printer" \
  "$work/zentrada" > "$work/zentrada.stdout" 2> "$work/zentrada.stderr" &
agent_pid=$!

# now_us: the time in microseconds.
now_us() {
  echo "${EPOCHREALTIME/[.,]/}"
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it
# succeeds; fails, saying WHAT did not happen, after SECONDS or when the agent
# has exited.
wait_until() {
  local seconds="$1" what="$2"
  shift 2
  local start
  start="$(now_us)"
  until "$@" 2> /dev/null; do
    [ -z "$agent_pid" ] || kill -0 "$agent_pid" 2> /dev/null || fail "zentrada exited before $what"
    [ $(( $(now_us) - start )) -lt $((seconds * 1000000)) ] || fail "$what: not within $seconds s"
    sleep 0.1
  done
}

# value FILE SAMPLE: the value of the sample (name and labels as written) in
# a file of the text format.
value() {
  awk -v sample="$2" '$1 == sample { print $2; found = 1 } END { exit !found }' "$1"
}

# is FILE SAMPLE NUMBER; at_least FILE SAMPLE NUMBER
is() {
  local got
  got="$(value "$1" "$2")" && awk -v a="$got" -v b="$3" 'BEGIN { exit !(a + 0 == b + 0) }'
}
at_least() {
  local got
  got="$(value "$1" "$2")" && awk -v a="$got" -v b="$3" 'BEGIN { exit !(a + 0 >= b + 0) }'
}

# check_status WHEN: both status files pass promtool's lint.
check_status() {
  local file
  for file in "$published" "$local_status"; do
    promtool check metrics < "$file" || fail "promtool check metrics rejects $file $1"
  done
  echo "status files accepted $1"
}

# put NAME < TEXT: drops a command file into the input directory the way a
# point of sale should (written under another name, then renamed).
put() {
  cat > "$work/in/$1.tmp"
  mv "$work/in/$1.tmp" "$work/in/$1"
}

# names FILE: the metric names in a file of the text format, families (as
# their TYPE lines name them) and samples.
names() {
  awk '/^# TYPE / { print $3; next } /^[^#]/ { sub(/[{ ].*/, ""); print }' "$1" | sort -u
}

echo "-- status files"
wait_until 10 "zentrada.prom in MetricsDirectory" test -s "$published"
wait_until 5 "zentrada_estado.prom beside the executable" test -s "$local_status"
wait_until 5 "zentrada_agent_running 1" is "$published" zentrada_agent_running 1
check_status "from a fresh agent"

# Every zentrada_ name the rules, their tests and the dashboard use must be
# one the agent writes.
defined="$(names "$published")"
unknown="$(grep -ohE 'zentrada_[a-z0-9_]*[a-z0-9]' monitoring/alerts.yml monitoring/alerts_test.yml \
             monitoring/dashboard.json | sort -u | comm -23 - <(echo "$defined"))"
[ -z "$unknown" ] || fail "metrics the agent does not write: ${unknown//$'\n'/ }"
echo "every zentrada_ metric used in monitoring/ is written by the agent"

put VENDA.FPI < tools/samples/1VENDA.FPI
wait_until 10 "a sale counted in zentrada_files_answered_total" \
  at_least "$published" zentrada_files_answered_total 1
at_least "$published" 'zentrada_lines_total{outcome="success"}' 1 || fail "the sale's lines are not counted as successes"
is "$published" zentrada_files_failed_total 0 || fail "the sale counted as failed"
check_status "after a sale"

# No /NOSTOP: the unknown name ends the file before its second line.
printf 'TORVA_Comando_Inexistente|\r\nTORVA_Obter_Estado_Impressora|\r\n.\r\n' | put ERRO.FPI
wait_until 10 "an unknown command counted in zentrada_files_failed_total" \
  at_least "$published" zentrada_files_failed_total 1
at_least "$published" 'zentrada_lines_total{outcome="agent_error"}' 1 || fail "the unknown command is not an agent_error line"
check_status "after a failed file"

# --- the node exporter -------------------------------------------------------
echo "-- node exporter"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" \
  --collector.disable-defaults --collector.textfile --collector.textfile.directory="$work/textfile" \
  > "$work/exporter.log" 2>&1 &
exporter_pid=$!
scraped="$work/scraped.txt"
scrape() {
  curl -fsS --max-time 2 "http://127.0.0.1:$port/metrics" > "$scraped"
}
served() {
  scrape && is "$scraped" "$1" "$2"
}
wait_until 10 "the node exporter serving on 127.0.0.1:$port" scrape
is "$scraped" node_textfile_scrape_error 0 || fail "node_textfile_scrape_error is not 0"
missing="$(comm -23 <(echo "$defined") <(names "$scraped"))"
[ -z "$missing" ] || fail "the node exporter does not serve: ${missing//$'\n'/ }"
is "$scraped" zentrada_agent_running 1 || fail "the node exporter does not serve zentrada_agent_running 1"
echo "the node exporter serves every zentrada_ metric, node_textfile_scrape_error 0"

echo offline > "$faults"
wait_until 2 "zentrada_printer_online 0 served after the printer went off line" served zentrada_printer_online 0
echo "printer off line seen"
: > "$faults"
wait_until 2 "zentrada_printer_online 1 served after the printer came back" served zentrada_printer_online 1
echo "printer back on line seen"

kill -TERM "$agent_pid"
start="$(now_us)"
while kill -0 "$agent_pid" 2> /dev/null; do
  [ $(( $(now_us) - start )) -lt 10000000 ] || fail "zentrada still running 10 s after SIGTERM"
  sleep 0.1
done
status=0
wait "$agent_pid" || status=$?
agent_pid=
[ "$status" -eq 0 ] || fail "zentrada exited with status $status after SIGTERM"
served zentrada_agent_running 0 || fail "zentrada_agent_running 0 not served after SIGTERM"
is "$local_status" zentrada_agent_running 0 || fail "zentrada_estado.prom does not say zentrada_agent_running 0 after SIGTERM"
check_status "after the agent stopped"
echo "monitoring: all checks passed"
