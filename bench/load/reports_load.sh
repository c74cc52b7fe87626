#!/usr/bin/env bash
# Report figures over a DataStore of many audits (default 10,000, made by
# startup_bench --prepare-only): every report of Dovrel run from the server's
# command line, wall time, time per audit and peak memory of each (the
# server's own tables of the DataStore included).
#
#   bench/load/reports_load.sh [AUDITS] [BIN]
set -euo pipefail
cd "$(dirname "$0")/../.."
audits=${1:-10000}
bin=${2:-${QUORVANE_BIN:-build/bin}}
store=/tmp/quorvane-startup-$audits
"$bin/startup_bench" --audits "$audits" --store "$store" --prepare-only
cp "$bin/Dovrel.so" "$store/"
out=$(mktemp -d /tmp/quorvane-reports.XXXXXX)
trap 'rm -rf "$out"' EXIT
run() {  # run NAME FORMAT FILE
  /usr/bin/time -f '%e %M' -o "$out/time" \
    "$bin/QuorvaneServer" --dir "$store" --report "$1" --format "$2" --out "$out/$3" 2> "$out/$3.log" > /dev/null
  read -r secs kb < "$out/time"
  awk -v n="$audits" -v s="$secs" -v kb="$kb" -v name="$1" -v size="$(stat -c %s "$out/$3")" 'BEGIN {
    printf "%-34s %8.2f s  %8.1f us/audit  peak %6.0f MiB  output %d bytes\n", name, s, s * 1e6 / n, kb / 1024, size }'
}
run "XML Data Export" "Output to XML" audits.xml
run "Report Software Assets" "Output to HTML" software.html
run "Software by Version and Computer" "Output to HTML" by-version.html
run "Software Inventory" "Output to CSV" inventory.csv
run "Computer Summary" "Output to CSV" summary.csv
run "Fleet Export" "Output to JSON" fleet.json
