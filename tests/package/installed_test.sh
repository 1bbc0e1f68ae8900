#!/usr/bin/env bash
# The Debian package installed for real: installs dist/kestrune_VERSION_amd64.deb with dpkg (and
# apt-get -f install when dependencies are missing), uses the installed programs from another
# folder on the installed demo, checks the manual pages, the desktop entry and the recordings'
# MIME type, and removes the package again. Needs root (or sudo). Exit 0 when every check passed.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
version=$(sed -n 's/^project(kestrune VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$PWD/dist/kestrune_${version}_amd64.deb
demo=/usr/share/kestrune/demo/Video/Stream/Recording_12_01_2013_13_41_13
failures=0
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
check() {  # description, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
output_is() { [ "$("${@:2}" 2>&1)" = "$1" ]; }
output_has() { "${@:2}" 2>&1 | grep -qF -- "$1"; }

[ -f "$deb" ] || { echo "FAILED: no package $deb (scripts/package deb)"; exit 1; }
as_root dpkg -i "$deb" >/dev/null || as_root env DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

check "the installed version" output_is "kestrune $version" kestrune --version
check "the installed demo's frames" output_has "frames: 300" kestrune info "$demo.%i.rec"
# The installed tool's frames are the build's, byte for byte.
check "render from another folder" kestrune render "$demo.%i.rec" --frames 10-12 --desktop 640x480 --out frames
check "rendered frames equal the build's" bash -c "
  $root/build/bin/kestrune render '$demo.%i.rec' --frames 10-12 --desktop 640x480 --out build-frames >/dev/null &&
  diff -r frames build-frames >/dev/null && [ \$(ls frames | wc -l) -eq 3 ]"
check "the player with no argument plays the demo" output_is "Texture #1 (4B45535452554E31.bmp)
Texture #2 (4B45535452554E32.bmp)
Done." env KESTRUNE_PRESENTER=headless KESTRUNE_DESKTOP=640x480 kestrune-player </dev/null
check "kestrune view with no argument opens the demo" output_is "present 0 frame 299
end 299
quit" bash -c "KESTRUNE_PRESENTER=headless kestrune view --start 299 --exit-at-end \
  --desktop 640x480 --log log </dev/null >/dev/null 2>&1 && cat log"
for page in kestrune kestrune-player; do
  check "man page $page" output_has "$page" man -l "/usr/share/man/man1/$page.1.gz"
done
check "man kestrune lists the view command's keys" output_has "pause / resume" man -P cat kestrune
check "desktop entry validates" desktop-file-validate /usr/share/applications/kestrune.desktop
check "a recording's MIME type" output_is "application/x-kestrune-recording" \
  xdg-mime query filetype "$demo.0.rec"
check "the desktop entry opens recordings" output_is "kestrune.desktop" \
  xdg-mime query default application/x-kestrune-recording

as_root dpkg -r kestrune >/dev/null
check "removed again" bash -c "! command -v kestrune >/dev/null && [ ! -e /usr/share/kestrune ]"
[ $failures -eq 0 ]
