#!/usr/bin/env bash
# Builds everything and runs every test. Exit status 0 only when all pass.
#   1. the Linux build and its test suite (ctest)
#   2. every fuzz target for a bounded time (tools/fuzz-smoke.sh, clang)
#   3. the Windows agent, cross-built and tested under Wine (tools/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$jobs"
tools/fuzz-smoke.sh
tools/test-windows.sh build build-win
