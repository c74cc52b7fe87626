#!/usr/bin/env bash
# The main job: a headless QuorvaneServer on loopback in a fresh folder, a
# real agent of this machine and a small fleet of fixture machines uploading
# to it, the HTML and XML reports of what it stored; then every process it
# started is stopped. Loopback only; power commands are dry runs.
#
#   tools/demo.sh [AGENTS]        (default 8 fleet agents)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${QUORVANE_BIN:-build/bin}
agents=${1:-8}
work=$(mktemp -d /tmp/quorvane-demo.XXXXXX)
server=$work/server
mkdir -p "$server" "$work/agent" "$work/reports"

for p in QuorvaneServer QuorvanePro quorvane-fleet; do
  if [[ ! -x $bin/$p ]]; then echo "demo: $bin/$p is not built" >&2; exit 1; fi
done

source tools/processes.sh
trap stop_started EXIT

echo "demo: working folder $work"

# The server: its own folder, a free port, the report library beside it.
listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# Ports below the ephemeral range (32768 up), so no outgoing connection holds one.
free_port() {
  local p=$(( 20000 + RANDOM % 12000 ))
  while listens "$p" || [[ $p == "${1:-}" ]]; do p=$(( 20000 + RANDOM % 12000 )); done
  echo "$p"
}
port=$(free_port)
printf 'ListenPortNumber:%s\r\n' "$port" > "$server/serverSettings.txt"
if [[ -f $bin/Dovrel.so ]]; then cp "$bin/Dovrel.so" "$server/"; fi
"$bin/QuorvaneServer" --dir "$server" --headless 2> "$work/server.log" &
pids+=($!)
server_pid=$!
if ! wait_for 60 listens "$port"; then
  echo "demo: the server did not start:" >&2; cat "$work/server.log" >&2; exit 1
fi
echo "demo: QuorvaneServer (pid $server_pid) listens on 127.0.0.1:$port"

# A real agent of this machine.
agent_port=$(free_port "$port")
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\n' "$port" "$agent_port" \
  > "$work/agent/clientSettings.txt"
"$bin/QuorvanePro" --dir "$work/agent" --power dry-run > "$work/agent.log" 2>&1 &
pids+=($!)
agent_pid=$!
echo "demo: QuorvanePro (pid $agent_pid) audits this machine"

# A small fleet of fixture machines on 127.0.1.x; it ends once the server
# has stored every one of their audits.
echo "demo: quorvane-fleet runs $agents fixture machines"
"$bin/quorvane-fleet" --server "127.0.0.1:$port" --agents "$agents" --work "$work/fleet" \
  --listen-base $(( 40000 + $$ % 20000 )) --datastore "$server/DataStore" \
  --until acknowledged --max-seconds 120 2> "$work/fleet.log" \
  || echo "demo: the fleet did not finish cleanly (see $work/fleet.log)" >&2

# The agent's audit is stored once DataStore holds the file it wrote.
agent_stored() {
  local f
  for f in "$work"/agent/*.dat; do
    [[ -f $f ]] || return 1
    local stored=$server/DataStore/$(basename "$f")
    [[ -f $stored ]] && [[ $(( $(stat -c %s "$stored") )) -eq $(( $(stat -c %s "$f") + 2 )) ]] && return 0
  done
  return 1
}
if wait_for 180 agent_stored; then
  echo "demo: this machine's audit is stored: $(ls "$work"/agent/*.dat | xargs -n1 basename)"
else
  echo "demo: this machine's audit did not arrive (see $work/agent.log)" >&2
fi
kill -TERM "$agent_pid" 2>/dev/null || true
wait "$agent_pid" 2>/dev/null || true

echo "demo: DataStore holds $(ls "$server/DataStore" | grep -c '\.dat$') audits"

# The reports, when the report library was built.
if [[ -f $server/Dovrel.so ]]; then
  "$bin/QuorvaneServer" --dir "$server" --report "Report Software Assets" --format "Output to HTML" \
    --out "$work/reports/software-assets.html" 2>> "$work/reports.log" \
    && echo "demo: HTML report  $work/reports/software-assets.html"
  "$bin/QuorvaneServer" --dir "$server" --report "XML Data Export" --format "Output to XML" \
    --out "$work/reports/audits.xml" 2>> "$work/reports.log" \
    && echo "demo: XML export   $work/reports/audits.xml"
else
  echo "demo: no report library built ($bin/Dovrel.so): no reports"
fi

kill -TERM "$server_pid"
wait "$server_pid" 2>/dev/null || true
pids=()
echo "demo: server and agents stopped."
echo "demo: open the console on these audits with:"
echo "    $bin/QuorvaneServer --dir $server"
