#!/usr/bin/env bash
# Agent figure: one full audit of this machine by QuorvanePro (audit-once
# mode: no settings file, so it audits, writes its file and ends), wall time
# and peak memory, next to `dpkg-query -W` reading the same package database.
#
#   bench/load/agent_audit.sh [RUNS] [BIN]
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
bin=${2:-${QUORVANE_BIN:-build/bin}}
work=$(mktemp -d /tmp/quorvane-agent-audit.XXXXXX)
trap 'rm -rf "$work"' EXIT
measure() {  # measure NAME COMMAND...: best wall time and its peak memory over the runs
  shift
  local best=""
  for _ in $(seq "$runs"); do
    rm -rf "$work/agent"; mkdir -p "$work/agent"
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" > /dev/null 2> "$work/err" || true
    read -r s kb < <(tail -1 "$work/time")
    if [[ -z $best ]] || awk -v a="$s" -v b="${best% *}" 'BEGIN { exit !(a < b) }'; then best="$s $kb"; fi
  done
  echo "$best"
}
agent=$(measure QuorvanePro "$bin/QuorvanePro" --dir "$work/agent" --power dry-run)
dpkg=$(measure dpkg-query dpkg-query -W)
packages=$(dpkg-query -W | wc -l)
read -r as akb <<< "$agent"
read -r ds dkb <<< "$dpkg"
echo "packages in the database: $packages"
printf 'QuorvanePro full audit: %6.3f s, peak %6.1f MiB\n' "$as" "$(awk -v k="$akb" 'BEGIN{print k/1024}')"
printf 'dpkg-query -W:          %6.3f s, peak %6.1f MiB\n' "$ds" "$(awk -v k="$dkb" 'BEGIN{print k/1024}')"
awk -v a="$as" -v d="$ds" 'BEGIN { if (d > 0) printf "ratio (agent / dpkg-query): %.1f\n", a / d }'
