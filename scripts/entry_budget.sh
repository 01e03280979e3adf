#!/usr/bin/env bash
# Every ctest entry, run alone, must end within its budget: on a busy machine
# (scripts/load_check.sh) an entry runs several times slower, and one that
# takes minutes alone runs into ctest's timeout there.
#   scripts/entry_budget.sh [plain|asan|tsan]   runs the entries of that build (made
#                                               before) one at a time and checks them
#   scripts/entry_budget.sh --check LOG         checks the ctest output in LOG
#   scripts/entry_budget.sh --self-test         shows that the check passes and fails
#                                               the entries it should
#   ENTRY_BUDGET=S                              the budget in seconds (default 90)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
budget=${ENTRY_BUDGET:-90}

# Reads ctest output on stdin; prints each entry past the budget, or that
# names no entry at all, and fails then.
check() {
  awk -v budget="$1" '
    # "  3/60 Test  #3: name ......   Passed   12.34 sec" (or ***Failed, ***Timeout, ...)
    match($0, /Test +#[0-9]+: [^ ]+ /) {
      split(substr($0, RSTART, RLENGTH), head, ": ")
      name = head[2]; sub(/ +$/, "", name)
      if (!match($0, /[0-9]+(\.[0-9]+)? sec *$/)) next
      seconds = substr($0, RSTART) + 0
      ++entries
      if (seconds > budget) {
        printf "over its budget of %s s: %s took %s s\n", budget, name, seconds
        ++over
      }
    }
    END {
      if (entries == 0) { print "no ctest entry in the output"; exit 1 }
      printf "%d entries timed, %d over the budget of %s s\n", entries, over, budget
      exit over > 0
    }'
}

self_test() {
  local work status=0
  work=$(mktemp -d)
  # Entries of a ctest run as it prints them, and the verdict each list must get.
  printf '%s\n' "  1/3 Test  #1: quick .................   Passed    0.50 sec" \
                "  2/3 Test  #2: shard_1 ...............***Failed   12.00 sec" \
                "  3/3 Test  #3: slow ..................***Timeout  95.20 sec" > "$work/mixed.log"
  printf '%s\n' "  1/1 Test  #1: exactly ...............   Passed   90.00 sec" > "$work/at_budget.log"
  printf '%s\n' "Test project /tmp/x" "No tests were found!!!" > "$work/none.log"
  expect() { # VERDICT LOG BUDGET [TEXT]
    local out result=0
    out=$(check "$3" < "$work/$2") || result=$?
    if { [ "$1" = pass ] && [ "$result" -ne 0 ]; } || { [ "$1" = fail ] && [ "$result" -eq 0 ]; } ||
       { [ -n "${4:-}" ] && ! grep -qF "$4" <<< "$out"; }; then
      echo "self-test: $2 with a budget of $3 s should $1${4:+ naming \"$4\"}; the check said:" >&2
      echo "$out" >&2
      status=1
    fi
  }
  expect fail mixed.log 90 "slow took 95.2 s"
  expect pass mixed.log 100
  expect pass at_budget.log 90
  expect fail at_budget.log 89.5 "exactly took 90 s"
  expect fail none.log 90 "no ctest entry"
  # A real ctest run: an entry that sleeps 2 s is over a budget of 1 s.
  cat > "$work/CTestTestfile.cmake" <<'EOF'
add_test(sleeper "sleep" "2")
add_test(instant "true")
EOF
  (cd "$work" && ctest -j1 > real.log 2>&1) || true
  expect fail real.log 1 "sleeper took"
  expect pass real.log 600
  rm -rf "$work"
  [ "$status" -eq 0 ] && echo "self-test passed: the check fails entries past their budget"
  return "$status"
}

case "${1:-asan}" in
  --self-test) self_test ;;
  --check) check "$budget" < "$2" ;;
  plain|asan|tsan)
    case "$1" in
      plain) sanitize=0 ;;
      asan) sanitize=1 ;;
      tsan) sanitize=thread ;;
    esac
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    echo "== entry budget: each ctest entry of the $1 build alone, budget $budget s"
    # The run's own failures are the suite's matter; here only the times count.
    SANITIZE=$sanitize STEP=run CTEST_JOBS=1 "$root/scripts/test.sh" | tee "$log" || true
    check "$budget" < "$log"
    ;;
  *) echo "usage: $0 [plain|asan|tsan] | --check LOG | --self-test" >&2; exit 2 ;;
esac
