#!/usr/bin/env bash
# Intake load figure: N agents (default 2000) upload at once, first to a
# minimal sink (baseline: read to the end marker, write the bytes), then to a
# headless QuorvaneServer. Both runs use the same fleet in burst mode: every
# agent audits first and holds its upload; then all connect at once, and the
# clock stops when every upload is in the receiver's files, byte for byte
# (nothing lost or mixed). Prints uploads/s of both, their ratio, and the
# server's peak memory. Loopback only. The server keeps its index database
# (SQLite) as it does by default; INDEX=off runs it without.
#
#   [INDEX=off] bench/load/intake_load.sh [AGENTS] [BIN]
set -euo pipefail
cd "$(dirname "$0")/../.."
agents=${1:-2000}
bin=${2:-${QUORVANE_BIN:-build/bin}}
work=$(mktemp -d /tmp/quorvane-intake.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_line() {  # wait_line FILE PATTERN SECONDS
  local deadline=$((SECONDS + $3))
  until grep -q "$2" "$1" 2>/dev/null; do
    (( SECONDS < deadline )) || return 1
    sleep 0.1
  done
}

machines=$(( agents < 200 ? agents : 200 ))
"$bin/quorvane-fleet" --generate "$work/machines" --count "$machines" --seed 2000 > /dev/null

run_fleet() {  # run_fleet PORT DATASTORE NAME
  "$bin/quorvane-fleet" --server "127.0.0.1:$1" --agents "$agents" --machines "$work/machines" \
    --listen-base 0 --burst --work "$work/fleet-$3" --datastore "$2" --until acknowledged \
    --max-seconds 600 2> "$work/fleet-$3.err" | tee "$work/fleet-$3.out" | grep 'uploads in' || true
}
rate_of() { sed -n 's/.*(\([0-9.]*\) uploads\/s).*/\1/p' "$work/fleet-$1.out" | tail -1; }

# 1. The sink.
"$bin/intake_sink" "$work/sink" 2> "$work/sink.err" &
pids+=($!)
wait_line "$work/sink.err" 'listening on port' 30
sink_port=$(sed -n 's/.*listening on port \([0-9]*\).*/\1/p' "$work/sink.err")
echo "sink:   $(run_fleet "$sink_port" "$work/sink" sink)"
kill -TERM "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true; pids=()

# 2. The server.
mkdir -p "$work/server"
listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
server_port=$(( 20000 + RANDOM % 12000 ))
while listens "$server_port"; do server_port=$(( server_port + 1 )); done
printf 'ListenPortNumber:%s\r\n' "$server_port" > "$work/server/serverSettings.txt"
if [[ "${INDEX:-}" == off ]]; then printf 'IndexDatabase:off\r\n' >> "$work/server/serverSettings.txt"; fi
"$bin/QuorvaneServer" --dir "$work/server" --headless 2> "$work/server.err" &
server_pid=$!
pids+=($server_pid)
for _ in $(seq 300); do listens "$server_port" && break; sleep 0.2; done
echo "server: $(run_fleet "$server_port" "$work/server/DataStore" server)"
peak_kb=$(awk '/VmHWM/ {print $2}' "/proc/$server_pid/status")
stored=$(ls "$work/server/DataStore" | grep -c '\.dat$' || true)
errors=$(grep -c 'Error in' "$work/server.err" || true)
kill -TERM "$server_pid"; wait "$server_pid" 2>/dev/null || true; pids=()

sink_rate=$(rate_of sink)
server_rate=$(rate_of server)
echo "agents: $agents; server files stored: $stored; server error reports: $errors"
echo "server peak memory (VmHWM): $((peak_kb / 1024)) MiB ($((peak_kb * 1024 / agents)) bytes per client)"
awk -v s="$sink_rate" -v v="$server_rate" 'BEGIN {
  if (s > 0) printf "server/sink rate ratio: %.2f (goal >= 0.70)\n", v / s }'
# Nothing lost: every agent's audit is in the server's files, no error report.
if [[ $stored -ne $agents || $errors -ne 0 ]]; then
  echo "intake_load: $stored of $agents stored, $errors error reports" >&2
  exit 1
fi
