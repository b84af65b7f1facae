#!/usr/bin/env bash
# Installs the Debian packages the music box needs. Safe to run again:
# packages already present are left alone.
#   scripts/setup.sh run    building and running it (scripts/run.sh)
#   scripts/setup.sh test   the same plus what the tests and benchmarks use
#                           (scripts/test.sh); the default
set -euo pipefail
list=${1:-test}

RUN_PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # window and widgets
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev fonts-wqy-microhei libpng-dev
  # Qt's own dialog texts in Chinese
  qt6-translations-l10n
  # HTTP client, catalogue server, tags, demo library encoding
  libcurl4-openssl-dev libboost-dev libtag1-dev libmp3lame-dev
  # playback, and gst-launch-1.0 for the demo library's WMA songs
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-pulseaudio
  fluid-soundfont-gm
  # system volume (the desktop's own sound server plays the sound)
  libpulse-dev
  # run.sh names what holds the catalogue port
  iproute2
)

TEST_PACKAGES=(
  # a private sound server with a null sink, read back with pactl
  pulseaudio pulseaudio-utils gstreamer1.0-plugins-base-apps
  # benchmarks
  libbenchmark-dev
  # desktop smoke runs: virtual display, window manager, tray host, screenshots
  xvfb openbox trayer imagemagick xdotool x11-utils x11-xserver-utils
  # the install tree's validators
  desktop-file-utils appstream
  # fuzz targets (libFuzzer with clang's sanitizers)
  clang libclang-rt-14-dev
  # a private session bus for the MPRIS test
  dbus-daemon
  # the accessibility bus, read as a screen reader reads it
  at-spi2-core python3-gi gir1.2-atspi-2.0
)

case $list in
  run) PACKAGES=("${RUN_PACKAGES[@]}") ;;
  test) PACKAGES=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *) echo "usage: scripts/setup.sh [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${#missing[@]} packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
