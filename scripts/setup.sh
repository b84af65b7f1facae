#!/usr/bin/env bash
# Installs every Debian package the music box needs to build, run and test.
# Safe to run again: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # window and widgets
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev fonts-wqy-microhei
  # HTTP client, catalogue server, tags, demo library encoding
  libcurl4-openssl-dev libboost-dev libtag1-dev libmp3lame-dev
  # fuzz targets (libFuzzer with clang's sanitizers)
  clang libclang-rt-14-dev
  # playback
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-pulseaudio gstreamer1.0-plugins-base-apps
  fluid-soundfont-gm
  # system volume
  libpulse-dev pulseaudio pulseaudio-utils
  # benchmarks
  libbenchmark-dev
  # desktop smoke runs: virtual display, window manager, tray host, screenshots
  xvfb openbox trayer imagemagick xdotool x11-utils x11-xserver-utils
)

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
