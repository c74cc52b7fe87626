#!/usr/bin/env bash
# The signed command rows against the QuorvanePro program: the console's key
# made as a person makes it (QuorvaneServer --new-command-key), its line in
# the agent's settings, the agent running with the dry-run power backend and
# its output in a log the rows read. tools/test-windows.sh does the same with
# QuorvanePro.exe under Wine.
# Usage: SignedCommandRows_test.sh QUORVANEPRO QUORVANESERVER SIGNEDCOMMANDROWS_TEST
set -u
bin=$1 server=$2 rows=$3
source "$(dirname "$0")/program_test_lib.sh"
makeWork qv-signed-rows

mkdir -p "$work/console" "$work/agent"
"$server" --dir "$work/console" --new-command-key > "$work/key.txt" || { echo "FAIL --new-command-key"; exit 1; }
port=$(freePort)
printf 'ListenPortNumber:%s\r\n%s\r\n' "$port" "$(head -1 "$work/key.txt")" > "$work/agent/clientSettings.txt"
"$bin" --dir "$work/agent" --power dry-run > "$work/agent.log" 2>&1 &
agent=$!
pids+=("$agent")
waitFor listening "$port" || { cat "$work/agent.log"; echo "FAIL the agent does not listen on $port"; exit 1; }

QUORVANE_AGENT_PORT=$port QUORVANE_AGENT_KEY=$work/console/commandKey.pem QUORVANE_AGENT_LOG=$work/agent.log \
  timeout 100 "$rows" --gtest_color=no
status=$?
if [[ $status != 0 ]]; then
  echo "--- the agent's log"
  cat "$work/agent.log"
fi

kill -TERM "$agent"
wait "$agent"
ended=$?
[[ $ended == 0 ]] || { echo "FAIL the agent ended with status $ended"; status=1; }
exit "$status"
