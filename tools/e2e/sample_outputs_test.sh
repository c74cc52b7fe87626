#!/usr/bin/env bash
# The system's outputs for fixed inputs, byte for byte against the files kept
# in testdata/sample-outputs:
#   - every report of the report library (HTML, XML, CSV, JSON) and what the
#     report run writes on standard error, over a DataStore of six sample
#     audits;
#   - the JSON dump (quorvane-audit dump) of each of those DataStore files;
#   - the audit the agent makes of each fixture machine (the two machine files
#     of tests/fixtures/machines and three the fleet generator makes from a
#     fixed seed), as a JSON dump, and what the agent writes on standard error.
# Only the clock is normalised: the time a report was made ("on DATE",
# "Made on DATE") and a fixture audit's AuditDate. Error reports keep their
# text; their "On line : N" (a source line) reads "On line : LINE".
#
#   sample_outputs_test.sh BIN_DIR           compare
#   sample_outputs_test.sh BIN_DIR --update  rewrite the kept files
set -u
bin=$1
mode=${2:-compare}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
golden=$here/testdata/sample-outputs

for p in QuorvaneServer QuorvanePro quorvane-audit quorvane-fleet dovrel_sample_datastore Dovrel.so; do
  if [[ ! -e $bin/$p ]]; then echo "FAIL $bin/$p is not built"; exit 1; fi
done

work=$(mktemp -d /tmp/qv-sample-outputs.XXXXXX)
trap 'rm -rf "$work"' EXIT
out=$work/out
mkdir -p "$out"
export TZ=UTC LC_ALL=C QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY
failed=0
fail() { echo "FAIL $*"; failed=1; }

normaliseLines() { sed -E 's/^On line : [0-9]+/On line : LINE/'; }

# Reports over the sample DataStore.
server=$work/server
"$bin/dovrel_sample_datastore" "$server" 6 || fail "dovrel_sample_datastore"
cp "$bin/Dovrel.so" "$server/"
reports=(
  "Report Software Assets|Output to HTML|software-assets.html"
  "XML Data Export|Output to XML|audits.xml"
  "Software by Version and Computer|Output to HTML|software-by-version.html"
  "Software Inventory|Output to CSV|software-inventory.csv"
  "Computer Summary|Output to CSV|computer-summary.csv"
  "Fleet Export|Output to JSON|fleet-export.json"
)
for row in "${reports[@]}"; do
  IFS='|' read -r name caption file <<< "$row"
  "$bin/QuorvaneServer" --dir "$server" --report "$name" --format "$caption" --out "$work/$file" \
    2> "$out/$file.stderr" < /dev/null
  status=$?
  [[ $status == 0 ]] || fail "report \"$name\" exit status $status"
  sed -E -e 's/ on [0-9]{1,2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}/ on DATE/' \
         -e 's/Made on [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}/Made on DATE/' \
    "$work/$file" > "$out/$file"
done
for f in "$server"/DataStore/*.dat; do
  "$bin/quorvane-audit" dump "$f" > "$out/datastore-$(basename "$f" .dat).json" \
    || fail "dump of $(basename "$f")"
done

# The agent's audit of fixture machines (an audit-once run: no settings, no network).
machines=$work/machines
mkdir -p "$machines"
cp "$root/tests/fixtures/machines/win98se.json" "$root/tests/fixtures/machines/winxp-pro.json" "$machines/"
"$bin/quorvane-fleet" --generate "$work/generated" --count 3 --seed 1 > /dev/null 2>&1 \
  || fail "quorvane-fleet --generate"
for f in "$work"/generated/*.json; do cp "$f" "$machines/generated-$(basename "$f")"; done
for m in "$machines"/*.json; do
  name=$(basename "$m" .json)
  dir=$work/agent-$name
  mkdir -p "$dir"
  "$bin/QuorvanePro" --dir "$dir" --machine "$m" --power dry-run 2> "$work/$name.stderr" < /dev/null
  status=$?
  [[ $status == 0 ]] || fail "agent on $name: exit status $status"
  normaliseLines < "$work/$name.stderr" > "$out/fixture-$name.stderr"
  audits=("$dir"/*.dat)
  if [[ ${#audits[@]} != 1 || ! -f ${audits[0]} ]]; then fail "agent on $name: no single audit file"; continue; fi
  "$bin/quorvane-audit" dump "${audits[0]}" \
    | sed -E 's/^(  "AuditDate": )"[^"]*"/\1"DATE"/' > "$out/fixture-$name.json"
  echo "$(basename "${audits[0]}")" > "$out/fixture-$name.file"
done

if [[ $mode == --update ]]; then
  rm -rf "$golden"
  mkdir -p "$golden"
  cp "$out"/* "$golden/"
  echo "kept $(ls "$golden" | wc -l) files in $golden"
  exit $failed
fi

# Same set of files, each byte for byte.
diff <(cd "$golden" && ls) <(cd "$out" && ls) > "$work/names.diff" \
  || { fail "the set of outputs differs (< kept, > made):"; cat "$work/names.diff"; }
for f in "$golden"/*; do
  name=$(basename "$f")
  [[ -f $out/$name ]] || continue
  if cmp -s "$f" "$out/$name"; then
    echo "ok   $name"
  else
    fail "$name differs from the kept file (first lines of the difference):"
    diff -u "$f" "$out/$name" | head -40
  fi
done
[[ $failed == 0 ]]
