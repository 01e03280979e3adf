#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# a while (seconds, default 60) from its seeds in tests/fuzz/seeds/<target>/.
# The corpus grows in build-fuzz/corpus/, inputs that fail land in
# build-fuzz/findings/<target>/; the exit status is non-zero when any did.
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=${BUILD_DIR:-$root/build-fuzz}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_stl fuzz_archive fuzz_taskfile fuzz_slc fuzz_settings_ranges fuzz_transfer_replies
           fuzz_printer_reply fuzz_http_reply fuzz_ini fuzz_gcode_file fuzz_shells fuzz_open_joining)
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVSL_FUZZ=ON -DVSL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"
export QT_QPA_PLATFORM=offscreen
failed=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  seeds=()
  [ -d "$root/tests/fuzz/seeds/$t" ] && seeds=("$root/tests/fuzz/seeds/$t")
  echo "== $t (${seconds} s)"
  # Seeds hold whole archives and print files: let inputs be as long.
  if ! "$build/tests/fuzz/$t" -max_total_time="$seconds" -max_len=20000 -rss_limit_mb=4096 \
       -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$build/$t.log" 2>&1; then
    echo "   failed: see $build/$t.log and $findings/"
    failed=1
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE" "$build/$t.log" | tail -n 1 || true
done
exit $failed
