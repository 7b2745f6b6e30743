#!/bin/sh
# Installs the Debian 12 packages that building, running and testing Pathwick
# need, when any of them is missing. Run as root (or with sudo available).
set -eu

PACKAGES="
  build-essential cmake pkg-config python3
  libgtest-dev
  libgl1-mesa-dev libglu1-mesa-dev libosmesa6-dev libx11-dev
  libfltk1.3-dev fonts-wqy-microhei
  xvfb xauth openbox xdotool imagemagick x11-utils
  clang libclang-rt-14-dev
"

missing=""
for package in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done

if [ -z "$missing" ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing:$missing"
$SUDO apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
