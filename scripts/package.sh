#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) and checks it: its control fields,
# that its contents are the install tree, and that apt can satisfy its
# dependencies on this system (apt-get install --simulate).
#   scripts/package.sh            build, pack and check
#   scripts/package.sh --install  also install it for real, run the installed
#                                 musicbox --version, and remove it again
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh run
cmake --preset default >/dev/null
cmake --build --preset default
rm -f build/musicbox_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/musicbox_*.deb)
echo "package: $deb ($(du -h "$deb" | cut -f1))"

fail() { echo "FAIL: $*" >&2; exit 1; }
dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb cannot read $deb"
contents=$(dpkg-deb --contents "$deb")
field() { dpkg-deb --field "$deb" "$1"; }
dpkg-deb --field "$deb" Package Version Depends Recommends
[ "$(field Package)" = musicbox ] || fail "package name $(field Package)"
depends=$(field Depends)
for needed in libqt6widgets6 libqt6network6 libcurl4 libgstreamer1.0-0 libpulse0 libtag1v5 libmp3lame0 \
  qt6-qpa-plugins gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-pulseaudio fluid-soundfont-gm; do
  grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

for path in ./usr/bin/musicbox ./usr/bin/catalogue-server ./usr/bin/make-demo-library \
  ./usr/share/applications/io.github.muxian.musicbox.desktop \
  ./usr/share/metainfo/io.github.muxian.musicbox.metainfo.xml \
  ./usr/share/icons/hicolor/48x48/apps/io.github.muxian.musicbox.png \
  ./usr/share/icons/hicolor/256x256/apps/io.github.muxian.musicbox.png \
  ./usr/share/doc/musicbox/LICENSE; do
  awk '{print $6}' <<<"$contents" | grep -qx "$path" || fail "the package lacks $path"
done
echo "contents: $(grep -c '^-' <<<"$contents") files, every installed file present"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
apt-get install --simulate "./$deb" >build/package-simulate.log 2>&1 \
  || { cat build/package-simulate.log; fail "apt-get cannot install the package"; }
grep -E '^(Inst|Conf) ' build/package-simulate.log || true
echo "apt-get install --simulate: dependencies satisfiable"

if [ "${1:-}" = --install ]; then
  $SUDO apt-get install -y -qq "./$deb" >/dev/null
  version=$(/usr/bin/musicbox --version)
  echo "installed: $version; $(dpkg -L musicbox | wc -l) paths"
  $SUDO apt-get remove -y -qq musicbox >/dev/null
  [ ! -e /usr/bin/musicbox ] || fail "removing the package left /usr/bin/musicbox"
  echo "removed again"
fi
