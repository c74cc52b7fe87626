#!/usr/bin/env bash
# The main job: runs what the build holds on this machine, on loopback only.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
work=$(mktemp -d /tmp/quorvane-demo.XXXXXX)
echo "Working folder: $work"
if [[ -x $bin/quorvane-audit ]]; then
  printf 'Quorvane' | $bin/quorvane-audit he3 encode | $bin/quorvane-audit he3 decode; echo
fi
if [[ -x $bin/QuorvanePro && -x agent/demo-agent.sh ]]; then
  agent/demo-agent.sh "$bin" "$work"
fi
