#!/usr/bin/env bash
# One audit of this machine by the QuorvanePro program, uploaded to a
# loopback stand-in server, then read back with `quorvane-audit dump` and
# held against what the machine's own tools say: no error block on standard
# error, every drive's size and used bytes as `df` shows them (used within a
# margin, for programs that write meanwhile), the memory of /proc/meminfo,
# the installed packages of dpkg-query.
# Usage: LiveAudit_test.sh QUORVANEPRO QUORVANE-AUDIT
set -u
bin=$1
audit=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$(dirname "$0")/program_test_lib.sh"
makeWork qv-live-audit
WAIT_TENTHS=600  # a whole audit of a busy machine

mkdir -p "$work/agent"
python3 "$here/loopback_server.py" uploads "$work/server.port" "$work/upload" 1 &
server=$!
pids+=("$server")
waitFor test -s "$work/server.port" || { echo "FAIL the stand-in server did not start"; exit 1; }
lport=$(freePort)
printf 'ServerIP:127.0.0.1\r\nConnectPortNumber:%s\r\nListenPortNumber:%s\r\n' \
  "$(cat "$work/server.port")" "$lport" > "$work/agent/clientSettings.txt"
"$bin" --dir "$work/agent" --power dry-run > "$work/agent.out" 2> "$work/agent.err" &
agentPid=$!
pids+=("$agentPid")
waitFor test -s "$work/upload.1" || { echo "FAIL no upload arrived"; exit 1; }
waitFor listening "$lport"
python3 "$here/loopback_server.py" command "$lport" quit
wait "$agentPid"

file=$(ls "$work/agent"/*.dat 2>/dev/null | head -1)
[[ -n "$file" ]] || { echo "FAIL no audit file beside the agent"; exit 1; }
"$audit" dump "$file" > "$work/dump.json" || { echo "FAIL quorvane-audit dump"; exit 1; }
df -B1 --output=target,size,used,avail -x proc -x sysfs 2> /dev/null | tail -n +2 > "$work/df.txt"
dpkg-query -W -f '${db:Status-Status}\t${Package}\t${Version}\n' 2> /dev/null > "$work/dpkg.txt"

python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
failed = 0
def check(name, ok, detail=""):
    global failed
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else "  " + detail))
    if not ok:
        failed += 1

def figure(text):
    return int(text.split()[0].replace(",", ""))

err = open(os.path.join(work, "agent.err"), encoding="utf-8", errors="replace").read()
check("no error block on standard error", "Error in" not in err and "== " not in err, err[:400])
dump = json.load(open(os.path.join(work, "dump.json")))
hw = dump["Hardware"]

df = {}
for line in open(os.path.join(work, "df.txt")):
    parts = line.split()
    if len(parts) >= 4:
        size, used, avail = (int(p) for p in parts[-3:])
        # root may fill the blocks the file system reserves; another user
        # sees them as used
        df[" ".join(parts[:-3])] = (size, used if os.geteuid() == 0 else size - avail)
drives = [d for d in hw["Drives"] if d["DriveName"]]
check("drives listed, the root among them", any(d["DriveName"] == "/" for d in drives), str(drives))
margin = 256 * 1024 * 1024
for d in drives:
    if d["DriveName"] not in df:
        continue
    size, used = df[d["DriveName"]]
    check("drive %s: size as df" % d["DriveName"], figure(d["DriveSize"]) == size,
          "%s vs %d" % (d["DriveSize"], size))
    check("drive %s: used as df" % d["DriveName"], abs(figure(d["DriveUsed"]) - used) <= margin,
          "%s vs %d" % (d["DriveUsed"], used))
check("closing empty drive element", hw["Drives"][-1]["DriveName"] == "")

meminfo = {}
for line in open("/proc/meminfo"):
    key, value = line.split(":", 1)
    meminfo[key] = int(value.split()[0])
mem = hw["Memory"]
check("physical memory is MemTotal", figure(mem["TotalPhysicalMemory"]) == meminfo["MemTotal"],
      "%s vs %d" % (mem["TotalPhysicalMemory"], meminfo["MemTotal"]))
check("available memory near MemAvailable",
      abs(figure(mem["TotalAvailablePhysicalMemory"]) - meminfo["MemAvailable"]) <= 512 * 1024,
      "%s vs %d" % (mem["TotalAvailablePhysicalMemory"], meminfo["MemAvailable"]))

kb = hw["Keyboard"]
check("keyboard driver fields filled or missing, never half", (kb["DriverFile"] == "None") ==
      (kb["DriverVers"] == ""), str(kb))

installed = {}
for line in open(os.path.join(work, "dpkg.txt")):
    status, name, version = (line.rstrip("\n").split("\t") + ["", "", ""])[:3]
    if status == "installed":
        installed[name] = version
apps = dump["Software"]["Applications"]
check("closing empty application element", apps and apps[-1]["DisplayName"] == "")
listed = {a["DisplayName"]: a["DisplayVersion"] for a in apps if a["UninstallString"].startswith("dpkg ")}
missing = sorted(set(installed) - set(listed))
extra = sorted(set(listed) - set(installed))
# A package may be installed or removed while the test runs: a few differ at most.
check("dpkg packages as dpkg-query lists them (%d)" % len(installed),
      len(installed) > 0 and len(missing) + len(extra) <= 3, "missing %s extra %s" % (missing[:5], extra[:5]))
wrong = [n for n in listed if n in installed and listed[n] != installed[n]]
check("their versions as dpkg-query gives them", len(wrong) <= 3, str(wrong[:5]))
print("%d failed" % failed)
sys.exit(1 if failed else 0)
PY
