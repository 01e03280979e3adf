#!/usr/bin/env bash
# Runs the test suite of each build that .ci/run makes on a busy machine:
# ctest at twice the core count, with one busy loop per core beside it, for
# a number of rounds in a row. A test that fails here waits on a guess or
# races the program; it is mended, never retried.
# Before its rounds, each ctest entry of the sanitizer build runs alone and
# must end within its budget (scripts/entry_budget.sh): an entry that takes
# minutes alone runs into ctest's timeout beside the load.
#   scripts/load_check.sh [ROUNDS] [plain|asan|tsan ...]   (default: 3 rounds, all three builds)
#   ENTRY_BUDGET=S         seconds each entry may take alone (default 90)
#   BUDGET_BUILDS="..."    the builds whose entries are timed alone (default: asan)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
shift || true
builds=("$@")
[ ${#builds[@]} -eq 0 ] && builds=(plain asan tsan)
cores=$(nproc)
budget_builds=" ${BUDGET_BUILDS-asan} "

# The budget check must itself fail an entry past its budget.
"$root/scripts/entry_budget.sh" --self-test

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
  if [[ "$budget_builds" == *" $build "* ]]; then
    "$root/scripts/entry_budget.sh" "$build" || {
      echo "== load check failed: an entry of the $build build runs past its budget alone" >&2
      exit 1
    }
  fi
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
