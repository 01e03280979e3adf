#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs; does nothing when all are present.
set -euo pipefail
packages=(
  cmake ninja-build ccache g++ clang libclang-rt-14-dev pkg-config
  qtbase5-dev qtdeclarative5-dev qml-module-qtquick2 qml-module-qtquick-controls
  qml-module-qtquick-window2 qml-module-qtquick-layouts
  libqt5opengl5-dev libqt5serialport5-dev libqt5svg5-dev
  qtwebengine5-dev libqt5webchannel5-dev qttools5-dev-tools qttranslations5-l10n
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libpolyclipping-dev libquazip1-qt5-dev zlib1g-dev
  xvfb xauth libx11-dev
  fonts-liberation2 fonts-wqy-microhei
  libgtest-dev libgmock-dev libbenchmark-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
