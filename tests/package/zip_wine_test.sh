#!/usr/bin/env bash
# The Windows zip unpacked and run under Wine (WINEPREFIX and a display set by the caller): its
# layout, the tool on the demo from the zip's folder, and the player started with no argument,
# as a double click starts it, playing the demo headless. Exit 0 when every check passed.
set -uo pipefail
cd "$(dirname "$0")/../.."
version=$(sed -n 's/^project(kestrune VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=$PWD/dist/kestrune-${version}-win32.zip
failures=0
check() {  # description, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# Output without the console's carriage returns.
output_is() { [ "$("${@:2}" 2>/dev/null | tr -d '\r')" = "$1" ]; }
output_has() { "${@:2}" 2>/dev/null | tr -d '\r' | grep -qF -- "$1"; }

[ -f "$zip" ] || { echo "FAILED: no zip $zip (scripts/package zip)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
cd "$work/kestrune-$version-win32"

check "the zip's layout" test -f bin/kestrune-player.exe -a -f bin/kestrune.exe -a -f README.txt \
  -a -f Video/Stream/Recording_12_01_2013_13_41_13.0.rec -a -f Video/TexDump/4B45535452554E31.bmp
check "kestrune.exe --version" output_is "kestrune $version" wine bin/kestrune.exe --version
check "kestrune.exe info on the demo" output_has "frames: 300" \
  wine bin/kestrune.exe info 'Video\Stream\Recording_12_01_2013_13_41_13.%i.rec'
check "kestrune-player.exe with no argument plays the demo" output_is "Texture #1 (4B45535452554E31.bmp)
Texture #2 (4B45535452554E32.bmp)
Done." env KESTRUNE_PRESENTER=headless KESTRUNE_DESKTOP=640x480 wine bin/kestrune-player.exe </dev/null
[ $failures -eq 0 ]
