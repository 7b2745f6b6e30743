#!/bin/sh
# Installs the Debian 12 packages of one set, when any of them is missing.
# Run as root (or with sudo available).
#
#   install-deps.sh run    building and running the program
#   install-deps.sh test   the run set and everything the tests use (the default)
set -eu

# Building and running. CMake looks for GoogleTest, OSMesa and Python whenever
# it configures the project, so the build needs them even if no test runs.
RUN_PACKAGES="
  build-essential
  cmake
  pkg-config
  python3
  libgtest-dev
  libgl1-mesa-dev
  libglu1-mesa-dev
  libosmesa6-dev
  libx11-dev
  libfltk1.3-dev
  fonts-wqy-microhei
"

# The tests, on top of the run set: a virtual display with a window manager,
# the X tools that drive the program and look at its windows, and clang with
# its fuzzing runtime for the fuzz targets.
TEST_PACKAGES="
  xvfb
  xauth
  openbox
  xdotool
  imagemagick
  x11-utils
  clang
  libclang-rt-14-dev
"

case "${1:-test}" in
  run) PACKAGES="$RUN_PACKAGES" ;;
  test) PACKAGES="$RUN_PACKAGES $TEST_PACKAGES" ;;
  *)
    echo "usage: install-deps.sh [run | test]" >&2
    exit 2
    ;;
esac

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
