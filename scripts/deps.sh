#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs, with apt-get, every Debian package the build, the tests and the
# program need, skipping what is already there.
set -euo pipefail

PACKAGES=(
  cmake g++ clang libclang-rt-dev ccache ninja-build pkg-config
  qt6-base-dev libqt6printsupport6
  portaudio19-dev libpulse-dev libasound2-plugins libcli11-dev libsndfile1-dev libsamplerate0-dev libstb-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  pulseaudio pulseaudio-utils sox ffmpeg
  xvfb xauth xdotool imagemagick python3 python3-numpy python3-scipy
  dpkg-dev fakeroot lintian librsvg2-bin appstream desktop-file-utils bash-completion
  qt6-charts-dev libqt6opengl6-dev swh-plugins
  python3-pyvisa python3-pyvisa-py
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
