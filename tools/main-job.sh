#!/usr/bin/env bash
# Builds the system and runs the main job on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only what the demo runs; the test command builds every test and benchmark.
cmake --build build -j "$(nproc)" --target QuorvaneServer QuorvanePro quorvane-fleet \
  quorvane-audit Dovrel
exec tools/demo.sh
