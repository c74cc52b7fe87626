#!/usr/bin/env bash
# Builds the Windows agent with MinGW-w64 and tests it under Wine:
#   1. the codec, record, socket and agent-service tests, cross-built, under Wine;
#   2. the Windows backend and collectors against Wine's real registry
#      (tests/wine: seeds the registry, system.ini, msdos.sys);
#   3. QuorvanePro.exe, installed as on a PC (the executable and
#      clientSettings.txt in one folder), audits once; its audit shows Wine's
#      Windows facts in the record's text forms;
#   4. end to end: the Windows agent uploads to the Linux headless server on
#      127.0.0.1, the server stores it and reads it back, "Request Re-Audit"
#      makes the agent upload again, "Close Quorvane" ends it; with a command
#      key: the server's signed commands are obeyed, a rogue console with its
#      own key and a console without one are refused (no action), and every
#      row of the signed command test (agent/SignedCommandRows: a genuine
#      message and power-off obeyed, each forgery refused with no action and
#      reported once, the agent listening again) is played against it; the
#      same agent without the key: the server's signed command times out
#      unsent, a console without a key commands it as ever;
#   5. the MSI (packaging/windows): msiexec /i with SERVERIP, CONNECTPORT and
#      LISTENPORT installs the program, its settings and the Run key; the
#      Run key's command uploads to the same server; msiexec /x ends it and
#      removes all;
#   6. the Win32 desktop (icon callback, password dialog, message box) on an
#      Xvfb display.
# Exit status 0 only when every step passes. Every wait has a deadline.
#
# Usage: tools/test-windows.sh [HOST_BUILD_DIR] [WINDOWS_BUILD_DIR]
#   HOST_BUILD_DIR     Linux build with he3pack, QuorvaneServer and
#                      quorvane-audit (default build/, configured if needed)
#   WINDOWS_BUILD_DIR  the cross build (default build-win/)
# Needs g++-mingw-w64-x86-64, libz-mingw-w64-dev, wine64 and wixl
# (tools/install-deps.sh test installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
host=$(realpath -m "${1:-build}")
win=$(realpath -m "${2:-build-win}")
jobs=$(nproc)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
started=$SECONDS

say() { echo "test-windows: $*"; }
fail() { echo "test-windows: FAILED: $*" >&2; exit 1; }

for tool in x86_64-w64-mingw32-g++-posix "$wine" "$wineserver" xvfb-run wixl; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test)"
done

# ---- build ---------------------------------------------------------------------
if [[ ! -f $host/CMakeCache.txt ]]; then
  cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$host" -j "$jobs" --target he3pack QuorvaneServer quorvane-audit signedcommandrows_test
if [[ ! -f $win/CMakeCache.txt ]]; then
  cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_SERVER=OFF -DQUORVANE_BUILD_BENCH=OFF \
    -DQUORVANE_HOST_TOOLS_DIR="$host/bin" >/dev/null
fi
wine_tests=(clshuffman_test clsb64_test modcompression_test modzlib_test auditrecordio_test
            auditstoredform_test text8_test errorreport_test wholefile_test
            dottedipv4_test msocketsupport_test hostresolver_test csocket_test timer_test
            desktop_test instancelock_test power_test commandsignature_test
            windowsplatform_test)
# The desktop's windows need a display: that test runs last, under Xvfb.
desktop_test=windowsnativedesktop_test
cmake --build "$win" -j "$jobs" --target QuorvanePro quorvane-agent-msi "${wine_tests[@]}" "$desktop_test"
say "built in $((SECONDS - started)) s"

# ---- a fresh Wine prefix -------------------------------------------------------------
work=$(mktemp -d /tmp/quorvane-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine keeps its server's socket folder in TMPDIR: inside the run's folder, it goes with it.
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"
unset DISPLAY WAYLAND_DISPLAY  # no window may wait for a person
source tools/processes.sh
cleanup() {
  stop_started
  if [[ -d $WINEPREFIX ]]; then timeout 30 "$wineserver" -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
winpath() { echo "Z:${1//\//\\}"; }  # a host path as Wine sees it

t=$SECONDS
mkdir -p "$WINEPREFIX"
# One server for the whole run, so that seeded volatile keys stay.
"$wineserver" -p || fail "wineserver -p"
timeout 120 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot (see $work/wineboot.log)"
# Windows 10, so that only the agent's manifest makes GetVersionExA tell 10.0.
timeout 60 "$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1 \
  || fail "reg add Version"
say "Wine prefix ready in $((SECONDS - t)) s"

# ---- 1 and 2: test programs under Wine -------------------------------------------------
for test in "${wine_tests[@]}"; do
  log=$work/$test.log
  if ! (cd "$win" && timeout 300 "$wine" "bin/$test.exe" --gtest_color=no >"$log" 2>&1); then
    grep -v '^ALSA' "$log" | tail -40 >&2
    fail "$test under Wine"
  fi
  say "$test: $(grep -E '^\[  PASSED  \]' "$log")"
done

# ---- 3: the installed agent audits once --------------------------------------------------
install_agent() {  # install_agent FOLDER: the executable as a PC gets it
  mkdir -p "$1"
  x86_64-w64-mingw32-strip -o "$1/QuorvanePro.exe" "$win/bin/QuorvanePro.exe"
}
once=$work/once
install_agent "$once"
: > "$once/clientSettings.txt"  # empty settings: audit once, store beside the program, end
(cd "$once" && timeout 120 "$wine" QuorvanePro.exe >"$work/once.log" 2>&1) \
  || fail "QuorvanePro.exe audit-once run (see $work/once.log)"
if grep -q '^Error in : ' "$work/once.log"; then
  cat "$work/once.log" >&2; fail "the audit reported errors"
fi
audit=$(ls "$once"/*.dat 2>/dev/null | head -1)
[[ -n $audit ]] || fail "no audit file beside QuorvanePro.exe"
"$host/bin/quorvane-audit" dump "$audit" > "$work/once.json"

check_audit() {  # check_audit JSON: Wine's Windows facts in the record's forms
  python3 - "$1" <<'PY'
import json, sys
a = json.load(open(sys.argv[1]))
w, hw = a["Software"]["Windows"], a["Hardware"]
bad = []
def want(cond, what):
    if not cond: bad.append(what)
want(w["OperatingSystem"].startswith("Microsoft Windows NT"), "OperatingSystem " + w["OperatingSystem"])
want(w["Version"].startswith("10.00 Build ") and w["Version"].endswith("Service Pack  0.0"),
     "Version " + w["Version"])
want(w["RegisteredOwner"] == "Quorvane Tester", "RegisteredOwner " + w["RegisteredOwner"])
want(w["WindowsID"] == "55274-OEM-0011903-00102", "WindowsID " + w["WindowsID"])
want(w["EnhancementPack"] == "&H7CD", "EnhancementPack " + w["EnhancementPack"])
want(w["CommandInterpreter"].lower().endswith("\\system32\\cmd.exe"), "CommandInterpreter")
apps = {x["DisplayName"]: x for x in a["Software"]["Applications"] or []}
want(apps.get("Alpha Office 2000", {}).get("UninstallString") == "C:\\Program Files\\Alpha\\uninst.exe /S",
     "application Alpha Office 2000")
want(apps.get("Beta Tools", {}).get("DisplayVersion") == "01 0A FF", "application Beta Tools")
want("Gamma Viewer" in apps, "application Gamma Viewer")
drives = {d["DriveName"]: d for d in hw["Drives"] or []}
want(drives.get("C:\\", {}).get("DriveType") == "Fixed drive", "drive C:\\")
want(drives.get("C:\\", {}).get("DriveSize", "").endswith(" Bytes"), "drive C:\\ size")
m = hw["Memory"]
want(m["TotalPhysicalMemory"].endswith(" KBytes") and int(m["TotalPhysicalMemory"].split()[0]) > 0,
     "TotalPhysicalMemory " + m["TotalPhysicalMemory"])
want(m["MemoryLoad"].endswith(" %"), "MemoryLoad")
want(hw["Processor"]["CPUVersion"] == "GenuineQuorvane &H7CD", "CPUVersion " + hw["Processor"]["CPUVersion"])
want(hw["Keyboard"]["DriverFile"] == "QVKEYB.DRV", "keyboard driver")
want(hw["Network"]["IsNT"] is True, "IsNT")
if bad:
    print("wrong or missing: " + "; ".join(bad))
    sys.exit(1)
PY
}
check_audit "$work/once.json" || fail "the audit of $audit"
say "QuorvanePro.exe audit: $(basename "$audit"), Windows facts in their text forms"

# ---- 4: end to end with the Linux server ---------------------------------------------------
listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() {
  local p=$(( 20000 + RANDOM % 12000 ))
  while listens "$p"; do p=$(( p + 1 )); done
  echo "$p"
}
server=$work/server
mkdir -p "$server"
server_port=$(free_port)
printf 'ListenPortNumber:%s\r\n' "$server_port" > "$server/serverSettings.txt"
"$host/bin/QuorvaneServer" --dir "$server" --headless > "$work/server.log" 2>&1 &
pids+=($!)
wait_for 60 listens "$server_port" || { cat "$work/server.log" >&2; fail "the server did not listen"; }

agent=$work/agent
install_agent "$agent"
agent_port=$(free_port)
[[ $agent_port != "$server_port" ]] || agent_port=$(( agent_port + 1 ))
# The server signs every command; the agent holds its public key.
"$host/bin/QuorvaneServer" --dir "$server" --new-command-key > "$work/key.txt" \
  || fail "--new-command-key"
grep -q '^CommandPublicKey:' "$work/key.txt" || fail "no CommandPublicKey line"
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\nReauditDelayTime:0\r\n%s\r\n' \
  "$server_port" "$agent_port" "$(head -1 "$work/key.txt")" > "$agent/clientSettings.txt"
(cd "$agent" && exec timeout 300 "$wine" QuorvanePro.exe --power dry-run) > "$work/agent.log" 2>&1 &
agent_pid=$!
pids+=($agent_pid)

stored=$server/DataStore/127.0.0.1.dat
stamp() { stat -c %y "$stored" 2>/dev/null; }
upload_complete() {  # the server's copy is the agent's file plus CR LF
  [[ -f $stored && -f $agent/127.0.0.1.dat ]] &&
    (( $(stat -c %s "$stored") == $(stat -c %s "$agent/127.0.0.1.dat") + 2 ))
}
wait_for 120 upload_complete || { cat "$work/agent.log" >&2; fail "no upload from the Windows agent"; }
wait_for 30 listens "$agent_port" || fail "the Windows agent does not listen on $agent_port"
"$host/bin/quorvane-audit" dump "$stored" > "$work/stored1.json" || fail "the stored audit does not decode"
check_audit "$work/stored1.json" || fail "the server's copy of the audit"
first=$(stamp)
say "upload stored and decoded: DataStore/127.0.0.1.dat"

# The server reads its DataStore back to find the agent's listening port.
sleep 1.1  # a later modification time, whatever the file system's clock grain
"$host/bin/QuorvaneServer" --dir "$server" --send "Request Re-Audit" --to 127.0.0.1 \
  > "$work/send.log" 2>&1 || { cat "$work/send.log" >&2; fail "Request Re-Audit was not sent"; }
reuploaded() { [[ $(stamp) != "$first" ]] && upload_complete; }
wait_for 120 reuploaded || { cat "$work/agent.log" >&2; fail "no second upload after Request Re-Audit"; }
"$host/bin/quorvane-audit" dump "$stored" > "$work/stored2.json" || fail "the second audit does not decode"
check_audit "$work/stored2.json" || fail "the second upload"
say "Request Re-Audit: the agent uploaded again"

# Consoles that cannot sign: a rogue with its own key, one without a key.
for other in rogue plain; do
  mkdir -p "$work/$other"
  cp -r "$server/DataStore" "$work/$other/"
done
"$host/bin/QuorvaneServer" --dir "$work/rogue" --new-command-key >/dev/null || fail "the rogue's key"
# send_answered DIR CAPTION LOG: --send from DIR; sent again (up to 5 times)
# while the agent is still busy with the previous connection ("Timed out...":
# it serves one command connection at a time). Leaves the status in $status.
send_answered() {
  local try
  for try in 1 2 3 4 5; do
    status=0
    "$host/bin/QuorvaneServer" --dir "$1" --send "$2" --to 127.0.0.1 > "$3" 2>&1 || status=$?
    grep -q '^127.0.0.1: Timed out...$' "$3" || return 0
  done
}
send_answered "$work/rogue" "Shutdown Windows" "$work/rogue.log"
[[ $status == 3 ]] && grep -q '^127.0.0.1: Refused by client$' "$work/rogue.log" \
  || { cat "$work/rogue.log" >&2; fail "the rogue console was not refused (status $status)"; }
send_answered "$work/plain" "Reboot Windows" "$work/plain.log"
[[ $status == 0 ]] && grep -q '^127.0.0.1: Request Sent$' "$work/plain.log" \
  || { cat "$work/plain.log" >&2; fail "the plain console did not send"; }
send_answered "$server" "Log-Off Windows" "$work/logoff.log"
[[ $status == 0 ]] || { cat "$work/logoff.log" >&2; fail "the signed Log-Off was not accepted"; }
logged_off() { grep -q '^dry-run: log-off' "$work/agent.log"; }
wait_for 30 logged_off || { cat "$work/agent.log" >&2; fail "the signed Log-Off was not obeyed"; }
if grep -qE '^dry-run: (power-off|reboot)' "$work/agent.log"; then
  cat "$work/agent.log" >&2; fail "a refused command was obeyed"
fi
# The one report the agent may make so far: the refusals (once).
refusals=$(grep -c '^Error Number : 70' "$work/agent.log" || true)
errors=$(grep -c '^Error in : ' "$work/agent.log" || true)
if [[ $refusals != 1 || $errors != 1 ]]; then
  cat "$work/agent.log" >&2; fail "the agent reported $errors errors ($refusals refusal reports; 1 expected)"
fi
say "signed commands: obeyed from the server, refused from a rogue key and from a console without one"

# Every row of the signed command test against this agent, back to back.
t=$SECONDS
QUORVANE_AGENT_PORT=$agent_port QUORVANE_AGENT_KEY=$server/commandKey.pem QUORVANE_AGENT_LOG=$work/agent.log \
  timeout 120 "$host/bin/signedcommandrows_test" --gtest_color=no > "$work/rows.log" 2>&1 \
  || { cat "$work/rows.log" "$work/agent.log" >&2; fail "the signed command rows against the Windows agent"; }
say "signed command rows: genuine ones obeyed, forgeries refused, in $((SECONDS - t)) s"

"$host/bin/QuorvaneServer" --dir "$server" --send "Close Quorvane" --to 127.0.0.1 \
  > "$work/close.log" 2>&1 || { cat "$work/close.log" >&2; fail "Close Quorvane was not sent"; }
ended() { ! kill -0 "$agent_pid" 2>/dev/null; }
wait_for 60 ended || fail "the Windows agent did not end on Close Quorvane"
wait "$agent_pid" || fail "the Windows agent ended with status $?"
say "Close Quorvane: the agent ended"

# The same agent without the key: the server, which signs, gets no challenge
# and sends nothing ("Timed out..."); a console without a key commands it.
t=$SECONDS
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\nReauditDelayTime:0\r\n' \
  "$server_port" "$agent_port" > "$agent/clientSettings.txt"
(cd "$agent" && exec timeout 300 "$wine" QuorvanePro.exe --power dry-run) > "$work/agent-nokey.log" 2>&1 &
agent_pid=$!
pids+=($agent_pid)
wait_for 60 listens "$agent_port" || { cat "$work/agent-nokey.log" >&2; fail "the agent without the key does not listen"; }
sleep 1  # the probe's connection served: a plain console's send is not answered, so it must not meet a busy agent
send_answered "$work/plain" "Reboot Windows" "$work/plain-nokey.log"
[[ $status == 0 ]] || { cat "$work/plain-nokey.log" >&2; fail "the plain console did not reach the agent without the key"; }
rebooted() { grep -q '^dry-run: reboot' "$work/agent-nokey.log"; }
wait_for 30 rebooted || { cat "$work/agent-nokey.log" >&2; fail "the agent without the key did not obey a plain Reboot"; }
# Idle again now, so the agent's silence is all the server gets: it times
# out, or, when the agent's own 5 s deadline closes the connection first, the
# close without a challenge counts as refused. Either way nothing is sent.
status=0
"$host/bin/QuorvaneServer" --dir "$server" --send "Shutdown Windows" --to 127.0.0.1 > "$work/signed-nokey.log" 2>&1 \
  || status=$?
{ [[ $status == 2 ]] && grep -q '^127.0.0.1: Timed out...$' "$work/signed-nokey.log"; } \
  || { [[ $status == 3 ]] && grep -q '^127.0.0.1: Refused by client$' "$work/signed-nokey.log"; } \
  || { cat "$work/signed-nokey.log" >&2; fail "the signing server's command to an agent without the key (status $status)"; }
send_answered "$work/plain" "Close Quorvane" "$work/close-nokey.log"
wait_for 60 ended || { cat "$work/agent-nokey.log" >&2; fail "the agent without the key did not end on Close Quorvane"; }
wait "$agent_pid" || fail "the agent without the key ended with status $?"
if grep -q '^dry-run: power-off' "$work/agent-nokey.log" || grep -q '^Error in : ' "$work/agent-nokey.log"; then
  cat "$work/agent-nokey.log" >&2; fail "the agent without the key acted on the signed command or reported an error"
fi
say "without the key: the signing server's command unsent ($(sed -n 's/^127.0.0.1: //p' "$work/signed-nokey.log" | tail -1)),"\
  "a plain Reboot and Close Quorvane obeyed, in $((SECONDS - t)) s"

# ---- 5: the MSI, as a deployment script runs it ---------------------------------------------
msi=$win/packages/quorvane-agent.msi
[[ -f $msi ]] || fail "no MSI at $msi"
program_files="$WINEPREFIX/drive_c/Program Files/Quorvane"
program_data="$WINEPREFIX/drive_c/ProgramData/Quorvane"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
msi_port=$(free_port)
[[ $msi_port != "$server_port" ]] || msi_port=$(( msi_port + 1 ))
timeout 300 "$wine" msiexec /i "$(winpath "$msi")" SERVERIP=127.0.0.1 CONNECTPORT="$server_port" \
  LISTENPORT="$msi_port" /qn > "$work/msi-install.log" 2>&1 || { cat "$work/msi-install.log" >&2; fail "msiexec /i"; }
[[ -f $program_files/QuorvanePro.exe ]] || fail "the MSI installed no Program Files\\Quorvane\\QuorvanePro.exe"
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\n' "$server_port" "$msi_port" \
  > "$work/want-settings.txt"
cmp -s "$work/want-settings.txt" "$program_files/clientSettings.txt" ||
  { od -c "$program_files/clientSettings.txt" >&2; fail "clientSettings.txt does not hold the MSI's properties"; }
run_value=$(timeout 60 "$wine" reg query "$run_key" /v QuorvanePro 2>/dev/null | tr -d '\r' |
            sed -n 's/^ *QuorvanePro *REG_SZ *//p')
[[ -n $run_value ]] || fail "no Run key value QuorvanePro"
say "msiexec /i: program, settings from SERVERIP/CONNECTPORT/LISTENPORT, Run key $run_value"

# The Run key's command, as Windows starts it at log-on.
mapfile -t run_args < <(python3 -c 'import shlex, sys; print("\n".join(shlex.split(sys.argv[1])))' "$run_value")
msi_audit=$program_data/127.0.0.1.dat
before=$(stamp)
timeout 300 "$wine" "${run_args[@]}" > "$work/msi-agent.log" 2>&1 &
msi_agent=$!
pids+=($msi_agent)
msi_uploaded() {
  [[ $(stamp) != "$before" && -f $msi_audit ]] && (( $(stat -c %s "$stored") == $(stat -c %s "$msi_audit") + 2 ))
}
sleep 1.1  # a later modification time than the last upload's
wait_for 120 msi_uploaded || { cat "$work/msi-agent.log" >&2; fail "no upload from the MSI-installed agent"; }
wait_for 30 listens "$msi_port" || fail "the MSI-installed agent does not listen on $msi_port"
[[ -e $program_data/QuorvanePro.lock ]] || fail "no lock file in ProgramData\\Quorvane"
"$host/bin/quorvane-audit" dump "$stored" > "$work/stored3.json" || fail "the MSI agent's audit does not decode"
check_audit "$work/stored3.json" || fail "the MSI agent's upload"
say "the installed agent (audit and lock in ProgramData\\Quorvane) uploaded to the server"

# Uninstalling ends the running agent first.
timeout 300 "$wine" msiexec /x "$(winpath "$msi")" /qn > "$work/msi-remove.log" 2>&1 \
  || { cat "$work/msi-remove.log" >&2; fail "msiexec /x"; }
[[ ! -e $program_files ]] || { ls -la "$program_files" >&2; fail "msiexec /x left Program Files\\Quorvane"; }
[[ ! -e $program_data ]] || { ls -laR "$program_data" >&2; fail "msiexec /x left ProgramData\\Quorvane"; }
if timeout 60 "$wine" reg query "$run_key" /v QuorvanePro > /dev/null 2>&1; then
  fail "msiexec /x left the Run key value"
fi
msi_ended() { ! kill -0 "$msi_agent" 2>/dev/null; }
wait_for 60 msi_ended || fail "msiexec /x did not end the running agent"
say "msiexec /x: the running agent ended; program, settings, audit file, lock and Run key removed"

# ---- 6: the Win32 desktop on a display (Xvfb) ------------------------------------------------
# A prefix of its own: a Wine session that began without a display keeps
# none for its later programs.
log=$work/desktop.log
timeout 30 "$wineserver" -k 2>/dev/null || true
export WINEPREFIX=$work/prefix-display
mkdir -p "$WINEPREFIX"
if ! (cd "$win" && timeout 180 xvfb-run -a sh -c '"$0" wineboot -i && "$0" "$1" --gtest_color=no' \
        "$wine" "bin/$desktop_test.exe" >"$log" 2>&1); then
  grep -v '^ALSA' "$log" | tail -40 >&2
  fail "the Win32 desktop tests under Xvfb"
fi
say "Win32 desktop (tray callback, password dialog, message box): $(grep -E '^\[  PASSED  \]' "$log")"
say "all Windows tests passed in $((SECONDS - started)) s"
