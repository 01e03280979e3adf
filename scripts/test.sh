#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs all tests
# (those that need a display run under Xvfb).
#   SANITIZE=1 scripts/test.sh       builds with AddressSanitizer and UBSan into build-asan/
#   SANITIZE=thread scripts/test.sh  builds with ThreadSanitizer into build-tsan/ and runs
#                                    only the suites that run threads
#   STEP=build or STEP=run           only builds, or only runs the tests of a build made before
#   CTEST_JOBS=N                     tests run at once (default: the core count)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
step=${STEP:-all}
# Suites whose code runs worker threads: model, scene, layers, print files, converter,
# the network panels' file transfer.
tsan_areas="model;scene;layers;printfile;converter;netpanels"
tests=()
build_options=()
case "${SANITIZE:-0}" in
  1)
    export BUILD_DIR=${BUILD_DIR:-$root/build-asan}
    build_options=(-DVSL_SANITIZE=ON)
    ;;
  thread)
    export BUILD_DIR=${BUILD_DIR:-$root/build-tsan}
    build_options=(-DVSL_SANITIZE=thread -DVSL_BUILD_BENCH=OFF -DVSL_TEST_AREAS="$tsan_areas")
    tests=(-R "${tsan_areas//;/|}")
    ;;
esac
if [ "$step" != run ]; then
  "$root/scripts/deps.sh"
  "$root/scripts/build.sh" "${build_options[@]}"
fi
[ "$step" = build ] && exit 0
build=${BUILD_DIR:-$root/build}
# QtWebEngine refuses to start as root with its sandbox on.
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
export LIBGL_ALWAYS_SOFTWARE=1
# Compute threads level with the main threads: ten steps down, a busy
# machine's other programs left them a tenth of a core's share.
export VSL_WORKER_NICE_STEPS=0
cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j"${CTEST_JOBS:-$(nproc)}" --timeout 600 "${tests[@]}"
