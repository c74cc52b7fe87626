#!/usr/bin/env bash
# The Debian packages from their files, as an administrator gets them:
#   1. cpack makes quorvane-agent_*.deb and quorvane-server_*.deb from the build;
#   2. lintian reports no error (its warnings are printed);
#   3. their control data: dependencies found by dpkg-shlibdeps, the settings
#      files as conffiles, the maintainer scripts;
#   4. systemd-analyze verify accepts both units;
#   5. both packages unpacked into a temporary root run there with the
#      command lines of their units (paths moved under that root): the agent
#      audits once; the headless server, unprivileged, stores the agent's
#      upload; the console's command line (desktop entry) finds the report
#      library and exports the stored audit; SIGTERM ends both with status 0;
#   6. `cmake --install` into a prefix of its own names that prefix in the units.
# Loopback only; every wait has a deadline; the temporary folder goes away.
# Usage: debian_packages_test.sh BUILD_DIR
set -u
build=$(realpath "$1")
work=$(mktemp -d /tmp/qv-packages.XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0
check() {  # check NAME STATUS
  if [[ $2 == 0 ]]; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); echo "FAIL $1"; fi
}
fatal() { echo "FAIL $*"; exit 1; }
waitFor() {  # waitFor SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    (( SECONDS >= deadline )) && return 1
    sleep 0.2
  done
}
freePort() { python3 -c '
import random, socket
for p in random.sample(range(20000, 32000), 200):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", p)); print(p); break
    except OSError:
        pass
    finally:
        s.close()
'; }
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

for tool in cpack lintian systemd-analyze dpkg-deb python3; do
  command -v "$tool" >/dev/null || fatal "$tool is missing (tools/install-deps.sh test)"
done

# ---- 1. the packages ------------------------------------------------------------------
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; fatal "cpack"
fi
agent_deb=$(ls "$work"/out/quorvane-agent_*_*.deb 2>/dev/null)
server_deb=$(ls "$work"/out/quorvane-server_*_*.deb 2>/dev/null)
[[ -f $agent_deb && -f $server_deb ]] || fatal "cpack made no quorvane-agent and quorvane-server packages"
check "cpack: $(basename "$agent_deb") $(basename "$server_deb")" 0

# ---- 2. lintian -----------------------------------------------------------------------
TMPDIR="$work" lintian --tag-display-limit 0 "$agent_deb" "$server_deb" > "$work/lintian.log" 2>&1
grep -E '^[WI]: ' "$work/lintian.log" | sed 's/^/     lintian /'
check "lintian: no error" $(! grep -E '^E: ' "$work/lintian.log"; echo $?)

# ---- 3. control data ------------------------------------------------------------------
field() { dpkg-deb -f "$1" "$2"; }
check "agent depends on what its program links (dpkg-shlibdeps)" \
  $([[ $(field "$agent_deb" Depends) == *libc6* && $(field "$agent_deb" Depends) == *zlib1g* ]]; echo $?)
check "server depends on Qt and on adduser" \
  $([[ $(field "$server_deb" Depends) == *libqt6network6* && $(field "$server_deb" Depends) == *adduser* ]]; echo $?)
control() { dpkg-deb --ctrl-tarfile "$1" | tar -xO "./$2" 2>/dev/null; }
check "agent conffile /etc/quorvane/clientSettings.txt" \
  $([[ $(control "$agent_deb" conffiles) == /etc/quorvane/clientSettings.txt ]]; echo $?)
check "server conffile /etc/quorvane/serverSettings.txt" \
  $([[ $(control "$server_deb" conffiles) == /etc/quorvane/serverSettings.txt ]]; echo $?)
for deb in "$agent_deb" "$server_deb"; do
  for script in postinst prerm postrm; do
    control "$deb" "$script" > "$work/$script"
    check "$(field "$deb" Package) $script: shell syntax" $(sh -n "$work/$script"; echo $?)
  done
done
check "server postrm purge removes DataStore and the user" \
  $(grep -q 'rm -rf /var/lib/quorvane-server' "$work/postrm" && grep -q 'deluser --system' "$work/postrm"; echo $?)

# ---- 4. the unpacked root and systemd-analyze verify -----------------------------------------
root=$work/root
mkdir -p "$root"
dpkg-deb -x "$agent_deb" "$root" && dpkg-deb -x "$server_deb" "$root" || fatal "dpkg-deb -x"
units=$root/lib/systemd/system
for f in usr/bin/QuorvanePro usr/bin/QuorvaneServer usr/bin/quorvane-audit usr/lib/quorvane/Dovrel.so \
         usr/lib/quorvane/Template/Template0.htm etc/quorvane/clientSettings.txt etc/quorvane/serverSettings.txt \
         lib/systemd/system/quorvane-agent.service lib/systemd/system/quorvane-server.service \
         usr/share/applications/quorvane-console.desktop; do
  [[ -e $root/$f ]] || { check "unpacked: /$f" 1; continue; }
done
# The units' absolute paths, moved under the temporary root.
rooted() { sed -e "s#\(^\|[ =]\)/\(usr\|etc\|var\)/#\1$root/\2/#g" "$1"; }
mkdir -p "$work/units"
for unit in quorvane-agent.service quorvane-server.service; do
  rooted "$units/$unit" > "$work/units/$unit"
done
systemd-analyze verify "$work/units/quorvane-agent.service" "$work/units/quorvane-server.service" \
  > "$work/verify.log" 2>&1
status=$?
sed 's/^/     /' "$work/verify.log"
check "systemd-analyze verify: both units, no complaint" $([[ $status == 0 && ! -s $work/verify.log ]]; echo $?)
unitKey() { sed -n "s/^$2=//p" "$1"; }
check "agent unit: boot, restart on failure, SIGTERM, root" \
  $([[ $(unitKey "$units/quorvane-agent.service" WantedBy) == multi-user.target &&
       $(unitKey "$units/quorvane-agent.service" Restart) == on-failure &&
       $(unitKey "$units/quorvane-agent.service" KillSignal) == SIGTERM &&
       -z $(unitKey "$units/quorvane-agent.service" User) ]]; echo $?)
check "server unit: the system user, hardened" \
  $([[ $(unitKey "$units/quorvane-server.service" User) == quorvane &&
       $(unitKey "$units/quorvane-server.service" ProtectSystem) == strict &&
       $(unitKey "$units/quorvane-server.service" NoNewPrivileges) == yes &&
       $(unitKey "$units/quorvane-server.service" PrivateTmp) == yes ]]; echo $?)

# ---- 5. run from the unpacked root with the units' command lines ---------------------------------
exec_line() { unitKey "$work/units/$1" ExecStart; }
read -r -a agent_cmd <<< "$(exec_line quorvane-agent.service)"
read -r -a server_cmd <<< "$(exec_line quorvane-server.service)"
agent_state=$root/var/lib/quorvane-agent
server_state=$root/var/lib/quorvane-server
mkdir -p "$agent_state" "$server_state"
export LD_LIBRARY_PATH="" QT_QPA_PLATFORM=offscreen

# The shipped settings are valid: comments only for the agent, so it stays
# (no server to upload to, no port) until SIGTERM ends it with status 0.
"${agent_cmd[@]}" > "$work/agent0.out" 2> "$work/agent0.err" &
pid=$!
pids+=("$pid")
sleep 2
check "agent with the shipped settings runs" $(kill -0 "$pid" 2>/dev/null; echo $?)
kill -TERM "$pid"; wait "$pid"; status=$?
check "agent: SIGTERM ends it, status 0 ($status)" $([[ $status == 0 ]]; echo $?)
# (A collector may report a fact this machine lacks; the settings must pass.)
check "agent with the shipped settings: no settings error" \
  $(! grep -q -e 'settings file' -e 'Error in : QuorvanePro.frmMain' "$work/agent0.err"; echo $?)
rm -f "$agent_state"/*.dat

# Audit once: an empty settings file means audit, store in the state folder, end.
cp "$root/etc/quorvane/clientSettings.txt" "$work/clientSettings.shipped"
: > "$root/etc/quorvane/clientSettings.txt"
timeout 120 "${agent_cmd[@]}" > "$work/once.out" 2> "$work/once.err"
status=$?
check "agent audit-once: status 0 ($status)" $([[ $status == 0 ]]; echo $?)
once=$(ls "$agent_state"/*.dat 2>/dev/null | head -1)
check "agent audit-once: the audit file in /var/lib/quorvane-agent" $([[ -s $once ]]; echo $?)
check "agent audit-once: its lock beside it" $([[ -e $agent_state/QuorvanePro.lock ]]; echo $?)
"$root/usr/bin/quorvane-audit" dump "$once" > "$work/once.json" 2>&1
check "agent audit-once: the audit decodes" $?
rm -f "$agent_state"/*.dat

# The headless server as an unprivileged user when this runs as root (the
# unit's user may not write /etc or the programs), on a free port.
port=$(freePort)
sed -i "s/^ListenPortNumber:.*/ListenPortNumber:$port/" "$root/etc/quorvane/serverSettings.txt"
check "shipped server settings name the listen port" \
  $(grep -q "^ListenPortNumber:$port\$" "$root/etc/quorvane/serverSettings.txt"; echo $?)
as_service_user=()
if [[ $(id -u) == 0 ]] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
  chown nobody "$server_state"
  chmod 0750 "$server_state"
  chmod a+rx "$work"  # mktemp made it 0700; the server must reach its folder
  as_service_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
fi
(umask 0027; exec "${as_service_user[@]}" "${server_cmd[@]}") > "$work/server.out" 2> "$work/server.err" &
server=$!
pids+=("$server")
waitFor 60 listening "$port" || { cat "$work/server.err"; fatal "the packaged server does not listen on $port"; }
check "server (--headless, /etc settings) listens on $port${as_service_user:+ as nobody}" 0

printf 'ServerIP:127.0.0.1\nConnectPortNumber:%s\n' "$port" > "$root/etc/quorvane/clientSettings.txt"
"${agent_cmd[@]}" > "$work/agent.out" 2> "$work/agent.err" &
agent=$!
pids+=("$agent")
stored=$server_state/DataStore/127.0.0.1.dat
waitFor 120 test -s "$stored"
check "server stored the agent's upload in /var/lib/quorvane-server/DataStore" $?
"$root/usr/bin/quorvane-audit" dump "$stored" > "$work/stored.json" 2> "$work/dump.err"
check "the stored audit decodes" $?
check "the stored audit is this machine's" \
  $(python3 -c 'import json,sys; a=json.load(open(sys.argv[1])); sys.exit(0 if a["Hardware"]["Network"]["IP"]=="127.0.0.1" else 1)' \
      "$work/stored.json"; echo $?)

# The console's command line (the desktop entry) with a report instead of a
# window: the report library from the packaged folder, beside the service.
desktop_exec=$(rooted "$root/usr/share/applications/quorvane-console.desktop" | sed -n 's/^Exec=//p')
read -r -a console_cmd <<< "$desktop_exec"
chmod a+rx "$server_state" "$server_state/DataStore"
timeout 120 "${console_cmd[@]}" --report "XML Data Export" --format "Output to XML" --out "$work/export.xml" \
  > "$work/report.out" 2> "$work/report.err"
status=$?
check "console command line: XML export with the packaged report library ($status)" $([[ $status == 0 ]]; echo $?)
check "the export holds the uploaded machine" $(grep -q '127.0.0.1' "$work/export.xml" 2>/dev/null; echo $?)
[[ $status == 0 ]] || cat "$work/report.err"

kill -TERM "$agent"; wait "$agent"; status=$?
check "agent: SIGTERM, status 0 ($status)" $([[ $status == 0 ]]; echo $?)
kill -TERM "$server"; wait "$server"; status=$?
check "server: SIGTERM, status 0 ($status)" $([[ $status == 0 ]]; echo $?)
check "no message from the server" $([[ ! -s $work/server.err ]]; echo $?)
cat "$work/server.err"
pids=()

# ---- 6. cmake --install ---------------------------------------------------------------
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1
check "cmake --install: status 0" $?
check "cmake --install: programs, settings and units under the prefix" \
  $([[ -x $prefix/bin/QuorvanePro && -x $prefix/bin/QuorvaneServer && -f $prefix/lib/quorvane/Dovrel.so &&
       -f $prefix/etc/quorvane/clientSettings.txt && -f $prefix/lib/systemd/system/quorvane-agent.service ]]; echo $?)
check "cmake --install: the units name the prefix's programs and settings" \
  $(grep -q "^ExecStart=$prefix/bin/QuorvanePro .*--settings $prefix/etc/quorvane/clientSettings.txt\$" \
      "$prefix/lib/systemd/system/quorvane-agent.service"; echo $?)

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
