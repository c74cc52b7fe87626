# Helpers of the scripts that start programs (sourced): the processes a
# script started, ended by their ids, and waiting on a condition.

pids=()  # the ids of the processes this script started

# Ends the processes listed in `pids`: TERM, then KILL after five seconds.
stop_started() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
}

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    if (( SECONDS >= deadline )); then return 1; fi
    sleep 0.2
  done
}
