#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a
# software centre read from it: the three programs, the .desktop file and the
# AppStream metainfo (each under the application id and accepted by its
# validator), the icons at every size, the licence, and --help/--version
# answered without a display.
# Usage: install-check.sh BUILD_DIR APP_ID VERSION
set -uo pipefail
build=$1 id=$2 version=$3

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 \
  || { cat "$prefix.log"; rm -f "$prefix.log"; echo "FAIL: cmake --install" >&2; exit 1; }
rm -f "$prefix.log"

for program in musicbox catalogue-server make-demo-library; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program not installed"
done

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
  grep -qx "Name=沐弦音乐盒" "$desktop" || fail "desktop Name is not 沐弦音乐盒"
  grep -qx "Exec=musicbox" "$desktop" || fail "desktop Exec is not musicbox"
  grep -qx "Icon=$id" "$desktop" || fail "desktop Icon is not $id"
else
  fail "share/applications/$id.desktop not installed"
fi
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $id.metainfo.xml"
  grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
  grep -q "<name>沐弦音乐盒</name>" "$metainfo" || fail "metainfo name is not 沐弦音乐盒"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "metainfo does not launch $id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
else
  fail "share/metainfo/$id.metainfo.xml not installed"
fi

# Width and height from the PNG header (big-endian, bytes 16 to 23).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  if [ -f "$icon" ]; then
    [ "$(head -c8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon"), not ${size}x${size}"
  else
    fail "icon ${size}x${size} not installed"
  fi
done

[ -n "$(find "$prefix/share/doc" -name LICENSE -print -quit 2>/dev/null)" ] || fail "LICENSE not installed"
grep -q "MIT License" "$(find "$prefix/share/doc" -name LICENSE -print -quit)" 2>/dev/null || fail "LICENSE is not MIT"

# --help and --version are answered before any window exists: no display needed.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
out=$("${headless[@]}" "$prefix/bin/musicbox" --version 2>&1) || fail "musicbox --version exit code $?"
[ "$out" = "musicbox $version" ] || fail "musicbox --version printed '$out'"
out=$("${headless[@]}" "$prefix/bin/musicbox" --help 2>&1) || fail "musicbox --help exit code $?"
grep -q "^用法: musicbox \[--help | --version\]" <<<"$out" || fail "musicbox --help printed '$out'"
out=$("${headless[@]}" "$prefix/bin/musicbox" --unknown --version 2>&1)
[ "$out" = "musicbox $version" ] || fail "an unknown argument changed --version: '$out'"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed" >&2
  exit 1
fi
echo "install tree under $prefix: all checks passed"
