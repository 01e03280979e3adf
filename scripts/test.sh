#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs all tests
# (those that need a display run under Xvfb).
#   SANITIZE=1 scripts/test.sh       builds with AddressSanitizer and UBSan into build-asan/
#   SANITIZE=thread scripts/test.sh  builds with ThreadSanitizer into build-tsan/ and runs
#                                    only the suites that run threads
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# Suites whose code runs worker threads: model, scene, layers, print files, converter,
# the network panels' file transfer.
tsan_areas="model;scene;layers;printfile;converter;netpanels"
tests=()
case "${SANITIZE:-0}" in
  1)
    export BUILD_DIR=${BUILD_DIR:-$root/build-asan}
    "$root/scripts/build.sh" -DVSL_SANITIZE=ON
    ;;
  thread)
    export BUILD_DIR=${BUILD_DIR:-$root/build-tsan}
    "$root/scripts/build.sh" -DVSL_SANITIZE=thread -DVSL_BUILD_BENCH=OFF -DVSL_TEST_AREAS="$tsan_areas"
    tests=(-R "${tsan_areas//;/|}")
    ;;
  *)
    "$root/scripts/build.sh"
    ;;
esac
build=${BUILD_DIR:-$root/build}
# QtWebEngine refuses to start as root with its sandbox on.
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
export LIBGL_ALWAYS_SOFTWARE=1
cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j"$(nproc)" --timeout 600 "${tests[@]}"
