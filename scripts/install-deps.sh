#!/bin/sh
# Installs the Debian 12 packages of one set, when any of them is missing.
# Run as root (or with sudo available).
#
#   install-deps.sh run    building and running the program
#   install-deps.sh web    building the browser version and serving it
#   install-deps.sh test   the run and web sets and everything the tests use
#                          (the default)
set -eu

# Building and running the program (run.sh configures without the tests);
# CLI11 reads the command lines (header-only; the Windows build uses the same
# headers); OSMesa (found through pkg-config) and giflib for pathwick-record,
# which draws offscreen and writes GIFs; help2man writes the man pages from
# the programs' --help in every build, dpkg-dev's dpkg-buildflags gives the
# hardening flags, and cpack makes the Debian package with dpkg-dev's
# dpkg-shlibdeps and file; gettext's msgfmt compiles the message catalogs.
RUN_PACKAGES="
  build-essential
  cmake
  libgl1-mesa-dev
  libglu1-mesa-dev
  libx11-dev
  libfltk1.3-dev
  libpng-dev
  libcli11-dev
  pkg-config
  libosmesa6-dev
  libgif-dev
  fonts-wqy-microhei
  help2man
  dpkg-dev
  file
  gettext
"

# The browser version (web.sh): emscripten's em++, which runs on Node, builds
# it, with CMake and make (which CMake only recommends); Python serves it.
WEB_PACKAGES="
  cmake
  make
  emscripten
  nodejs
  python3
"

# The tests, on top of the run set: GoogleTest, Python; a virtual display
# with window managers (openbox; icewm and fluxbox, which have a task bar;
# xfwm4, which keeps its settings in a D-Bus service, hence dbus-daemon for a
# session bus; metacity, whose frames have invisible borders; the tiling
# managers i3, its window manager and bar alone, and awesome; kwin, KDE's,
# with its Breeze frames and a session bus as xfwm4; mutter, GNOME's, on X;
# xterm, the other window that comes and goes over the program's), and the X
# tools that drive the program and look at its windows (ImageMagick also
# paints the desktop; xrdb sets Xft.dpi for the test on a dense screen);
# the MinGW-w64 cross compiler for the Windows program, and Wine with a
# Chinese locale to run it (without one, Wine draws the Chinese captions as
# empty boxes) and with the fonts "apt install wine" brings (its own, and the
# Liberation fonts it recommends, which change the Latin text of its boxes;
# they draw the English runs, each in a prefix made in English, whatever
# other fonts the machine has); nsis
# for the Windows installer (cpack -G NSIS), which the Wine tests install;
# clang with its fuzzing runtime for the fuzz targets; the checkers of the
# Debian package, its menu entry and its AppStream metadata, and man, which
# renders its man pages; headless Chromium, which the browser version's test
# drives over the DevTools protocol from Node (the web set's; Debian's 18 will
# do: the protocol goes over a pipe, with no WebSocket client); the X client
# library for Python, with which the frame-rate cap's benchmark counts the
# program's frames at the X server.
# The English locale runs the program and the Wine one in English.
TEST_PACKAGES="
  libgtest-dev
  python3
  xvfb
  xauth
  openbox
  icewm
  fluxbox
  xfwm4
  metacity
  i3-wm
  awesome
  kwin-x11
  kwin-style-breeze
  mutter
  xterm
  dbus-daemon
  xdotool
  imagemagick
  x11-utils
  x11-xserver-utils
  g++-mingw-w64-x86-64-win32
  mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64
  wine
  wine64
  fonts-wine
  fonts-liberation
  nsis
  locales
  clang
  libclang-rt-14-dev
  lintian
  man-db
  desktop-file-utils
  appstream
  chromium-headless-shell
  python3-xlib
"
TEST_LOCALES="zh_CN.UTF-8 en_US.UTF-8"

case "${1:-test}" in
  run) PACKAGES="$RUN_PACKAGES" LOCALES="" ;;
  web) PACKAGES="$WEB_PACKAGES" LOCALES="" ;;
  test) PACKAGES="$RUN_PACKAGES $WEB_PACKAGES $TEST_PACKAGES" LOCALES="$TEST_LOCALES" ;;
  *)
    echo "usage: install-deps.sh [run | web | test]" >&2
    exit 2
    ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

install_missing_packages() {
  missing=""
  for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $package"
    fi
  done
  if [ -n "$missing" ]; then
    echo "Installing:$missing"
    $SUDO apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
  fi
}

# Generates the UTF-8 locale $1 (such as zh_CN.UTF-8) when it is missing. It is
# enabled in /etc/locale.gen, so that a later upgrade of the locales package,
# which regenerates every enabled locale, keeps it.
generate_locale() {
  if locale -a | grep -qix "$(echo "$1" | sed 's/UTF-8/utf8/')"; then
    return
  fi
  echo "Generating the locale $1"
  if grep -q "^# *$1 UTF-8" /etc/locale.gen; then
    $SUDO sed -i "s/^# *$1 UTF-8/$1 UTF-8/" /etc/locale.gen
  elif ! grep -q "^$1 UTF-8" /etc/locale.gen; then
    echo "$1 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
}

install_missing_packages
for name in $LOCALES; do
  generate_locale "$name"
done
