#!/usr/bin/env bash
# Runs the test suite of each build that .ci/run makes on a busy machine:
# ctest at twice the core count, with one busy loop per core beside it, for
# a number of rounds in a row. A test that fails here waits on a guess or
# races the program; it is mended, never retried.
#   scripts/load_check.sh [ROUNDS] [plain|asan|tsan ...]   (default: 3 rounds, all three builds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
shift || true
builds=("$@")
[ ${#builds[@]} -eq 0 ] && builds=(plain asan tsan)
cores=$(nproc)

loops=()
stop_loops() {
  for pid in "${loops[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${loops[@]}"; do wait "$pid" 2>/dev/null || true; done
  loops=()
}
trap stop_loops EXIT

for build in "${builds[@]}"; do
  case "$build" in
    plain) sanitize=0 ;;
    asan) sanitize=1 ;;
    tsan) sanitize=thread ;;
    *) echo "unknown build '$build' (plain, asan or tsan)" >&2; exit 2 ;;
  esac
  SANITIZE=$sanitize STEP=build "$root/scripts/test.sh"
  for round in $(seq 1 "$rounds"); do
    echo "== load check: $build build, round $round of $rounds, ctest -j$((2 * cores)) beside $cores busy loops"
    for _ in $(seq 1 "$cores"); do
      ( while :; do :; done ) &
      loops+=($!)
    done
    status=0
    SANITIZE=$sanitize STEP=run CTEST_JOBS=$((2 * cores)) "$root/scripts/test.sh" || status=$?
    stop_loops
    if [ "$status" -ne 0 ]; then
      echo "== load check failed: $build build, round $round" >&2
      exit "$status"
    fi
  done
done
echo "== load check passed: ${builds[*]}, $rounds rounds each"
