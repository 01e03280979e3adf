#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and starts the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
exec "${BUILD_DIR:-$root/build}/app/vexmor3d" "$@"
