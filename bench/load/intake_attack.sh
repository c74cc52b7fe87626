#!/usr/bin/env bash
# Intake attack figure: a headless QuorvaneServer under a mixed attack of
# HOSTILE connections at once (zlib bombs, huge arrays, slow senders, idle
# connections, endless streams) while GOOD uploads from other addresses are
# sent (bench/load/intake_attack.cpp). Reports the good uploads stored and
# their worst latency (end marker sent -> file in DataStore), the server's
# peak memory, and how long SIGTERM takes to end it. Unless SECONDS is
# followed by "attack-only", it then runs the intake rate figure of 2,000
# plain uploads against the minimal sink (intake_load.sh) in the same run.
# Loopback only; bounded in count and time.
#
#   bench/load/intake_attack.sh [HOSTILE] [GOOD] [SECONDS] [attack-only] [BIN]
#
# Fails when a good upload is lost or the server does not end with status 0
# on SIGTERM; the goals (worst latency <= 2 s, peak memory < 512 MiB, SIGTERM
# within 1 s) are printed beside the figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
hostile=${1:-1000}
good=${2:-200}
seconds=${3:-20}
mode=${4:-full}
bin=${5:-${QUORVANE_BIN:-build/bin}}
work=$(mktemp -d /tmp/quorvane-attack.XXXXXX)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill -KILL "$server_pid" 2>/dev/null || true
  [[ -n $server_pid ]] && wait "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=$(( 20000 + RANDOM % 12000 ))
while listens "$port"; do port=$(( port + 1 )); done
mkdir -p "$work/server/DataStore"
printf 'ListenPortNumber:%s\r\n' "$port" > "$work/server/serverSettings.txt"
"$bin/QuorvaneServer" --dir "$work/server" --headless 2> "$work/server.err" &
server_pid=$!
for _ in $(seq 300); do listens "$port" && break; sleep 0.1; done

status=0
"$bin/intake_attack" --port "$port" --datastore "$work/server/DataStore" \
  --hostile "$hostile" --good "$good" --seconds "$seconds" || status=$?
peak_kb=$(awk '/VmHWM/ {print $2}' "/proc/$server_pid/status")
echo "server peak memory (VmHWM): $((peak_kb / 1024)) MiB (goal < 512 MiB)"
echo "server error reports: $(grep -c 'Error in' "$work/server.err" || true)"

start_ns=$(date +%s%N)
kill -TERM "$server_pid"
server_status=0
for _ in $(seq 200); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.005; done
wait "$server_pid" || server_status=$?
end_ns=$(date +%s%N)
server_pid=
echo "SIGTERM to exit: $(( (end_ns - start_ns) / 1000000 )) ms, status $server_status (goal: within 1000 ms, 0)"

if [[ $mode != attack-only ]]; then
  bash bench/load/intake_load.sh 2000 "$bin"
fi
if [[ $status -ne 0 || $server_status -ne 0 ]]; then
  echo "intake_attack: good uploads lost (status $status) or server status $server_status" >&2
  exit 1
fi
