#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each for a
# bounded time. Fails on any crash, broken rule, hang (-timeout), leak or
# memory blow-up (-rss_limit_mb).
#
#   tools/fuzz-smoke.sh [entry ...]     default: every entry the build lists
#
# Environment:
#   FUZZ_SECONDS     seconds per target (default 35: nine targets and the
#                    clang build stay under about eight minutes on two cores)
#   FUZZ_BUILD_DIR   build folder (default <repo>/build-fuzz)
#   FUZZ_JOBS        parallel build jobs (default 2)
#
# The committed seeds (fuzz/corpus/<entry>) are read, never written: new
# inputs go to FUZZ_BUILD_DIR/fuzz-work/<entry>/corpus. The inputs of
# fuzz/regressions/<entry> are replayed first. A failing input is left in
# FUZZ_BUILD_DIR/fuzz-work/<entry>/ (crash-*, leak-*, timeout-*, oom-*); fix
# the fault, then commit the input under fuzz/regressions/<entry>/ so that
# fuzz_regressions_test replays it in every build.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_PER_TARGET=${FUZZ_SECONDS:-35}
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
JOBS=${FUZZ_JOBS:-2}

if ! command -v clang++ >/dev/null; then
  echo "fuzz-smoke: clang++ not found (Debian package clang)" >&2
  exit 2
fi

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON -DQUORVANE_BUILD_TESTS=OFF \
  -DQUORVANE_BUILD_BENCH=OFF -DQUORVANE_BUILD_SERVER=OFF >"$BUILD.configure.log" 2>&1 || {
  cat "$BUILD.configure.log" >&2
  echo "fuzz-smoke: configure failed" >&2
  exit 2
}
cmake --build "$BUILD" -j"$JOBS" --target fuzz_all || {
  echo "fuzz-smoke: build failed" >&2
  exit 2
}

if [ $# -gt 0 ]; then
  entries=("$@")
else
  mapfile -t entries <"$BUILD/fuzz/fuzz-targets.txt"
fi

failed=()
for entry in "${entries[@]}"; do
  [ -n "$entry" ] || continue
  binary="$BUILD/bin/fuzz_$entry"
  if [ ! -x "$binary" ]; then
    echo "fuzz-smoke: no fuzzer for $entry" >&2
    failed+=("$entry(missing)")
    continue
  fi
  work="$BUILD/fuzz-work/$entry"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  common=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/")
  dict="$ROOT/fuzz/dict/$entry.dict"
  [ -f "$dict" ] && common+=(-dict="$dict")

  regressions=("$ROOT/fuzz/regressions/$entry"/*)
  if [ -e "${regressions[0]}" ]; then
    echo "== $entry: replaying ${#regressions[@]} regression input(s)"
    if ! "$binary" "${common[@]}" "${regressions[@]}" >"$work/regressions.log" 2>&1; then
      tail -40 "$work/regressions.log" >&2
      failed+=("$entry(regression)")
      continue
    fi
  fi

  echo "== $entry: fuzzing for $SECONDS_PER_TARGET s"
  # The outer timeout only guards against a fuzzer that does not stop itself.
  timeout --signal=KILL $((SECONDS_PER_TARGET + 120)) \
    "$binary" "${common[@]}" -max_total_time="$SECONDS_PER_TARGET" -print_final_stats=1 \
    "$work/corpus" "$ROOT/fuzz/corpus/$entry" >"$work/fuzz.log" 2>&1
  rc=$?
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/fuzz.log" | sed "s/^/   /"
  if [ $rc -ne 0 ]; then
    echo "fuzz-smoke: $entry failed (exit $rc); log $work/fuzz.log" >&2
    grep -E 'ERROR|SUMMARY|fuzz rule broken|Test unit written' "$work/fuzz.log" | head -20 >&2
    failed+=("$entry")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz-smoke: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz-smoke: all ${#entries[@]} fuzz targets ran clean"
