#!/usr/bin/env bash
# Demo of the agent on loopback: a stand-in server takes one upload from a
# real QuorvanePro auditing this machine, the agent is told to quit, and the
# stored audit is shown. Power commands are dry-run only.
# Usage: agent/demo-agent.sh BIN_DIR WORK_DIR
set -euo pipefail
bin=$1
work=$2/agent
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work/pc"
python3 "$here/loopback_server.py" uploads "$work/server.port" "$work/upload" 1 &
server=$!
for _ in $(seq 300); do [[ -s $work/server.port ]] && break; sleep 0.1; done
listen=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\n' \
  "$(cat "$work/server.port")" "$listen" > "$work/pc/clientSettings.txt"
echo "Agent: QuorvanePro --dir $work/pc --power dry-run (server port $(cat "$work/server.port"), commands on $listen)"
"$bin/QuorvanePro" --dir "$work/pc" --power dry-run &
agent=$!
wait "$server"
python3 "$here/loopback_server.py" command "$listen" quit
wait "$agent" && echo "Agent ended with status 0"
if [[ -x $bin/quorvane-audit ]]; then
  "$bin/quorvane-audit" dump "$work/upload.1" > "$work/upload.1.json"
  head -60 "$work/upload.1.json"
  echo "(first 60 lines of the stored audit; all of it in $work/upload.1.json)"
fi
