#!/usr/bin/env bash
# The QuorvanePro program end to end on loopback: the critical settings
# dialog and a non-zero exit, a silent second instance, listening on
# ListenPortNumber, an orderly end on SIGTERM. Usage: QuorvanePro_test.sh BIN
set -u
bin=$1
source "$(dirname "$0")/program_test_lib.sh"
makeWork qv-program-test
passed=0 failed=0
check() {  # name, condition status
  if [[ $2 == 0 ]]; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); echo "FAIL $1"; fi
}

# 1. ConnectPortNumber:abc -> the critical dialog, exit status non-zero.
mkdir -p "$work/abc"
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:abc\r\n' > "$work/abc/clientSettings.txt"
"$bin" --dir "$work/abc" --power dry-run 2> "$work/abc.err"
status=$?
check "abc: non-zero exit status ($status)" $([[ $status != 0 ]]; echo $?)
expected=$(printf '== Quorvane Pro - Critical Error Message (style 16) ==\nError while reading in settings file...\n\nError Number : \t13\nError Desc. : \tType mismatch\n\nPossible Fault : \tabc\nError On Line  : \tConnectPortNumber:abc\nError On Type  : \tString\nExpected Type  : \tInteger\n==')
check "abc: the critical dialog on standard error" $([[ "$(cat "$work/abc.err")" == "$expected" ]]; echo $?)
check "abc: no audit file" $(! ls -A "$work/abc" | grep -q '\.dat$'; echo $?)

# 2. An agent listening on ListenPortNumber; a second one on the folder ends silently.
port=$(freePort)
mkdir -p "$work/run"
printf '# test agent\r\nListenPortNumber:%s\r\n' "$port" > "$work/run/clientSettings.txt"
"$bin" --dir "$work/run" --power dry-run 2> "$work/run.err" &
first=$!
pids+=("$first")
waitFor listening "$port"
check "listen: accepts connections on ListenPortNumber $port" $?
"$bin" --dir "$work/run" --power dry-run > "$work/second.out" 2> "$work/second.err"
status=$?
check "second instance: exit status 0 ($status)" $([[ $status == 0 ]]; echo $?)
check "second instance: silent" $([[ ! -s "$work/second.err" && ! -s "$work/second.out" ]]; echo $?)
check "first agent still runs" $(kill -0 "$first" 2>/dev/null; echo $?)

# 3. SIGTERM ends it through the orderly end, exit status 0.
kill -TERM "$first"
wait "$first"
status=$?
check "SIGTERM: exit status 0 ($status)" $([[ $status == 0 ]]; echo $?)
check "SIGTERM: the port is free again" $(! listening "$port"; echo $?)

# 4. A bad command line.
"$bin" --power on 2> "$work/usage.err"
status=$?
check "bad command line: status 2 and usage" $([[ $status == 2 ]] && grep -q '^usage: QuorvanePro' "$work/usage.err"; echo $?)

# 5. Audit, upload, re-audit on tokAudit, end on tokQuit (status 0).
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work/exchange"
python3 "$here/loopback_server.py" uploads "$work/server.port" "$work/upload" 2 &
server=$!
pids+=("$server")
waitFor test -s "$work/server.port"
lport=$(freePort)
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\n' \
  "$(cat "$work/server.port")" "$lport" > "$work/exchange/clientSettings.txt"
"$bin" --dir "$work/exchange" --power dry-run > "$work/exchange.out" 2> "$work/exchange.err" &
agentPid=$!
pids+=("$agentPid")
waitFor test -s "$work/upload.1"
check "exchange: first upload arrived" $?
waitFor listening "$lport"
python3 "$here/loopback_server.py" command "$lport" audit
waitFor test -s "$work/upload.2"
check "exchange: tokAudit brings a second upload" $?
wait "$server"
check "exchange: both uploads well formed" $?
python3 "$here/loopback_server.py" command "$lport" quit
wait "$agentPid"
status=$?
check "exchange: tokQuit ends with status 0 ($status)" $([[ $status == 0 ]]; echo $?)
check "exchange: the audit file is beside the agent" $(ls -A "$work/exchange" | grep -q '\.dat$'; echo $?)

# 6. --machine: an audit-once run (no settings) of a described machine.
mkdir -p "$work/fixture"
"$bin" --dir "$work/fixture" --machine "$here/../tests/fixtures/machines/winxp-pro.json" --power dry-run 2> /dev/null
status=$?
check "machine file: audit once, status 0 ($status)" $([[ $status == 0 ]]; echo $?)
check "machine file: the audit file is named after its address" $([[ -s "$work/fixture/192.0.2.51.dat" ]]; echo $?)
"$bin" --dir "$work/fixture" --machine "$work/no-such-machine.json" 2> /dev/null
check "machine file missing: status 1" $([[ $? == 1 ]]; echo $?)

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
