#!/usr/bin/env python3
"""Runs the "Software Inventory", "Computer Summary" and "Fleet Export"
reports from the server's command line over a DataStore of hostile audits
and reads the files back with Python's csv and json modules: every value must
be the stored text (Windows-1252, shown as Unicode), every audit must be the
JSON that `quorvane-audit dump` prints for its file. A damaged file in the
DataStore is left out; an empty DataStore gives a header alone and "[]".

Usage: export_readback_test.py SERVER LIBRARY SAMPLER AUDITTOOL

Exit status 0 passed, 1 failed.
"""
import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile

# The five byte values Windows-1252 leaves undefined stand for U+0081 and kin.
UNDEFINED = (0x81, 0x8D, 0x8F, 0x90, 0x9D)

INVENTORY_HEADER = ["IP Address", "Host Name", "Domain", "Product", "Version", "Publisher",
                    "Install Location", "Audit Date"]
SUMMARY_HEADER = ["IP Address", "Host Name", "Domain", "User", "Operating System", "Version",
                  "Processor", "Processor Vendor", "CPU Speed", "Number of CPUs", "Memory", "Drives",
                  "Number of Applications", "Audit Date"]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def text(hex_bytes):
    return "".join(chr(b) if b in UNDEFINED else bytes([b]).decode("cp1252")
                   for b in bytes.fromhex(hex_bytes))


def run_report(server, folder, name, caption, out):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    run = subprocess.run([server, "--dir", folder, "--report", name, "--format", caption, "--out", out],
                         env=env, capture_output=True, timeout=300)
    check(run.returncode == 0, "%s ended with %d: %r" % (name, run.returncode, run.stderr[-2000:]))
    return out


def read_csv(path):
    with open(path, "rb") as f:
        raw = f.read()
    check(raw.startswith(b"\xef\xbb\xbf"), path + ": no UTF-8 byte-order mark")
    check(raw.endswith(b"\r\n"), path + ": the last record does not end in CR LF")
    with open(path, newline="", encoding="utf-8-sig") as f:
        return list(csv.reader(f, strict=True))


def expected_inventory(audits):
    rows = []
    for a in audits:
        for app in a["apps"]:
            if text(app["name"]).strip(" "):
                rows.append([text(a["ip"]), text(a["host"]), text(a["domain"]), text(app["name"]),
                             text(app["version"]), text(app["publisher"]), text(app["location"]),
                             text(a["date"])])
    return rows


def expected_summary(audits):
    rows = []
    for a in audits:
        drives = "; ".join("%s %s (%s free)" % (text(d["name"]), text(d["size"]), text(d["free"]))
                           for d in a["drives"] if d["name"])
        count = sum(1 for app in a["apps"] if text(app["name"]).strip(" "))
        rows.append([text(a["ip"]), text(a["host"]), text(a["domain"]), text(a["user"]), text(a["os"]),
                     text(a["osVersion"]), text(a["cpuClass"]), text(a["cpuVendor"]), text(a["cpuSpeed"]),
                     text(a["cpus"]), text(a["memory"]), drives, str(count), text(a["date"])])
    return rows


def compare_rows(name, got, want):
    check(len(got) == len(want), "%s: %d records, expected %d" % (name, len(got), len(want)))
    for i, (g, w) in enumerate(zip(got, want)):
        for col, (gv, wv) in enumerate(zip(g, w)):
            check(gv == wv, "%s record %d column %d: %r... != %r..." % (name, i, col, gv[:60], wv[:60]))
        check(len(g) == len(w), "%s record %d: %d fields, expected %d" % (name, i, len(g), len(w)))


def fleet_order(fleet, manifest):
    """The manifest entries in the order of the export (matched by address)."""
    by_ip = {text(a["ip"]): a for a in manifest}
    order = [by_ip.get(element["Hardware"]["Network"]["IP"]) for element in fleet]
    check(None not in order and len(order) == len(manifest),
          "the export's audits %r are not the stored ones" % [e["Hardware"]["Network"]["IP"] for e in fleet])
    return [a for a in order if a is not None]


def hostile_store(server, sampler, tool, work):
    subprocess.run([sampler, "hostile", work], check=True)
    with open(os.path.join(work, "DataStore", "127.0.0.9.dat"), "wb") as damaged:
        damaged.write(b"12345\0this is no zlib stream")
    with open(os.path.join(work, "expected.json"), encoding="ascii") as f:
        manifest = json.load(f)

    fleet_path = run_report(server, work, "Fleet Export", "Output to JSON", os.path.join(work, "fleet.json"))
    with open(fleet_path, "rb") as f:
        fleet_bytes = f.read()
    fleet = json.loads(fleet_bytes.decode("utf-8"))
    audits = fleet_order(fleet, manifest)
    dumps = []
    for a in audits:
        dump = subprocess.run([tool, "dump", os.path.join(work, "DataStore", a["file"])],
                              check=True, capture_output=True).stdout
        dumps.append(dump.decode("utf-8").rstrip("\n"))
    check(fleet_bytes.decode("utf-8") == "[\n" + ",\n".join(dumps) + "\n]\n",
          "the export is not the dumps of the audits in one array")
    for element, a in zip(fleet, audits):
        network = element["Hardware"]["Network"]
        check(network["Hostname"] == text(a["host"]), a["file"] + ": host name in the export")
        check(element["Software"]["Windows"]["OperatingSystem"] == text(a["os"]), a["file"] + ": OS")
        names = [app["DisplayName"] for app in element["Software"]["Applications"] or []]
        check(names == [text(app["name"]) for app in a["apps"]], a["file"] + ": application names")

    inventory = read_csv(run_report(server, work, "Software Inventory", "Output to CSV",
                                    os.path.join(work, "inventory.csv")))
    check(inventory[:1] == [INVENTORY_HEADER], "inventory header %r" % inventory[:1])
    compare_rows("inventory", inventory[1:], expected_inventory(audits))
    summary = read_csv(run_report(server, work, "Computer Summary", "Output to CSV",
                                  os.path.join(work, "summary.csv")))
    check(summary[:1] == [SUMMARY_HEADER], "summary header %r" % summary[:1])
    compare_rows("summary", summary[1:], expected_summary(audits))
    check(len(audits) == 3, "%d audits in the export, expected 3" % len(audits))


def empty_store(server, work):
    os.makedirs(os.path.join(work, "DataStore"))
    fleet = run_report(server, work, "Fleet Export", "Output to JSON", os.path.join(work, "fleet.json"))
    with open(fleet, encoding="utf-8") as f:
        check(json.load(f) == [], "the export of an empty DataStore is not []")
    for name, header in (("Software Inventory", INVENTORY_HEADER), ("Computer Summary", SUMMARY_HEADER)):
        rows = read_csv(run_report(server, work, name, "Output to CSV", os.path.join(work, "out.csv")))
        check(rows == [header], "%s of an empty DataStore: %r" % (name, rows))


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    server, library, sampler, tool = sys.argv[1:]
    csv.field_size_limit(1 << 24)
    for case in ("hostile", "empty"):
        work = tempfile.mkdtemp(prefix="dovrel-readback-")
        try:
            shutil.copy(library, os.path.join(work, os.path.basename(library)))
            if case == "hostile":
                hostile_store(server, sampler, tool, work)
            else:
                empty_store(server, work)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    for message in failures[:40]:
        print("FAIL: " + message)
    if failures:
        return 1
    print("PASS: CSV and JSON read back to the stored values")
    return 0


if __name__ == "__main__":
    sys.exit(main())
