#!/usr/bin/env bash
# Intake load figure: N agents (default 2000) upload at once, first to a
# minimal sink (baseline: read to the end marker, write the bytes), then to a
# headless QuorvaneServer. Both runs use the same fleet in burst mode: every
# agent audits first and holds its upload; then all connect at once, and the
# clock stops when every upload is in the receiver's files, byte for byte
# (nothing lost or mixed). Prints uploads/s of both, their ratio, and the
# server's peak memory. Loopback only. The server keeps its index database
# (SQLite) as it does by default; INDEX=off runs it without. RUNS=n repeats
# the pair n times (each receiver in a fresh folder) and prints the median
# ratio: one run depends much on what the file system did just before.
#
#   [INDEX=off] [RUNS=n] bench/load/intake_load.sh [AGENTS] [BIN]
set -euo pipefail
cd "$(dirname "$0")/../.."
agents=${1:-2000}
bin=${2:-${QUORVANE_BIN:-build/bin}}
runs=${RUNS:-1}
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

listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# 1. The sink, in its own folder.
sink_round() {  # sink_round ROUND
  local name=sink-$1
  "$bin/intake_sink" "$work/$name" 2> "$work/$name.err" &
  pids=($!)
  wait_line "$work/$name.err" 'listening on port' 30
  local port
  port=$(sed -n 's/.*listening on port \([0-9]*\).*/\1/p' "$work/$name.err")
  echo "sink:   $(run_fleet "$port" "$work/$name" "$name")"
  kill -TERM "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true; pids=()
}

# 2. The server, in its own folder; fails when an upload is lost or reported.
server_round() {  # server_round ROUND
  local name=server-$1 port
  mkdir -p "$work/$name"
  port=$(( 20000 + RANDOM % 12000 ))
  while listens "$port"; do port=$(( port + 1 )); done
  printf 'ListenPortNumber:%s\r\n' "$port" > "$work/$name/serverSettings.txt"
  if [[ "${INDEX:-}" == off ]]; then printf 'IndexDatabase:off\r\n' >> "$work/$name/serverSettings.txt"; fi
  "$bin/QuorvaneServer" --dir "$work/$name" --headless 2> "$work/$name.err" &
  local server_pid=$!
  pids=($server_pid)
  for _ in $(seq 300); do listens "$port" && break; sleep 0.2; done
  echo "server: $(run_fleet "$port" "$work/$name/DataStore" "$name")"
  local peak_kb stored errors
  peak_kb=$(awk '/VmHWM/ {print $2}' "/proc/$server_pid/status")
  stored=$(ls "$work/$name/DataStore" | grep -c '\.dat$' || true)
  errors=$(grep -c 'Error in' "$work/$name.err" || true)
  kill -TERM "$server_pid"; wait "$server_pid" 2>/dev/null || true; pids=()
  echo "agents: $agents; server files stored: $stored; server error reports: $errors"
  echo "server peak memory (VmHWM): $((peak_kb / 1024)) MiB ($((peak_kb * 1024 / agents)) bytes per client)"
  # Nothing lost: every agent's audit is in the server's files, no error report.
  if [[ $stored -ne $agents || $errors -ne 0 ]]; then
    echo "intake_load: $stored of $agents stored, $errors error reports" >&2
    exit 1
  fi
}

ratios=()
for round in $(seq "$runs"); do
  sink_round "$round"
  server_round "$round"
  ratio=$(awk -v s="$(rate_of "sink-$round")" -v v="$(rate_of "server-$round")" \
    'BEGIN { if (s > 0) printf "%.2f", v / s; else print "0" }')
  echo "server/sink rate ratio: $ratio (goal >= 0.70)"
  ratios+=("$ratio")
done
if (( runs > 1 )); then
  printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END {
    m = NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
    printf "ratios of %d runs: %s to %s, median %.2f (goal >= 0.70)\n", NR, r[1], r[NR], m }'
fi
