#!/usr/bin/env bash
# The Windows zip unpacked: its layout and its 32-bit Windows console programs, then, where the
# machine can run Wine (32-bit x86 programs), the tool on the demo from the zip's folder and the
# player started with no argument, as a double click starts it, playing the demo headless, in a
# fresh Wine prefix inside Xvfb. Exit 0 when every check passed.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
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
for program in kestrune kestrune-player; do
  check "$program.exe is a 32-bit Windows console program" output_has "PE32 executable (console) Intel 80386" \
    file "bin/$program.exe"
done
if ! bash "$root/scripts/wine-repeat" --check 2>/dev/null; then
  echo "skipped: running the zip's programs (this machine cannot run 32-bit x86 programs for Wine)"
  exit $((failures > 0))
fi
export WINEDEBUG=-all WINEPREFIX=$work/wine
xvfb-run -a wineboot -i >/dev/null 2>&1
check "kestrune.exe --version" output_is "kestrune $version" xvfb-run -a wine bin/kestrune.exe --version
check "kestrune.exe info on the demo" output_has "frames: 300" \
  xvfb-run -a wine bin/kestrune.exe info 'Video\Stream\Recording_12_01_2013_13_41_13.%i.rec'
check "kestrune-player.exe with no argument plays the demo" output_is "Texture #1 (4B45535452554E31.bmp)
Texture #2 (4B45535452554E32.bmp)
Done." env KESTRUNE_PRESENTER=headless KESTRUNE_DESKTOP=640x480 \
  xvfb-run -a wine bin/kestrune-player.exe </dev/null
[ $failures -eq 0 ]
