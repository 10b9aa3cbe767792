#!/usr/bin/env bash
# Takes a picture of every Win32 window under Wine on a virtual display (Xvfb), in English
# and in German, into docs/windows/ (or OUT_FOLDER): the start screen, the main window,
# the update notice, "Held by", the folder tools, the zip tool, the shortcut window and
# About. The UI test program's tour (win32_ui_test.exe --tour) opens each window and
# says where it is; this script crops the screen there. Needs the cross build.
#   scripts/screenshots-windows.sh [BUILD_WIN_DIR] [OUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
out=${2:-docs/windows}
exe="$build/bin/velmora.exe"
tour="$build/bin/win32_ui_test.exe"
for f in "$exe" "$tour"; do [ -f "$f" ] || { echo "Cross-build first: $f is missing" >&2; exit 1; }; done
command -v import >/dev/null || { echo "ImageMagick (import, convert) is missing" >&2; exit 1; }
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wineprefix}
display=95
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
shots=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true; rm -rf "$shots"' EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export VELMORA_WINE_DISPLAY=":$display"

cmake/wine-run.sh "$tour" --tour "$exe" "Z:${shots//\//\\}" &
program=$!
count=0
while [ ! -e "$shots/tour.end" ] && kill -0 "$program" 2>/dev/null; do
  for ready in "$shots"/*.ready; do
    [ -e "$ready" ] || continue
    name=$(basename "$ready" .ready)
    read -r x y width height < "$ready"
    DISPLAY=":$display" import -window root -crop "${width}x${height}+${x}+${y}" +repage -strip \
      -define png:compression-level=9 "$out/$name.png"
    echo "$out/$name.png (${width} x ${height})"
    count=$((count + 1))
    rm -f "$ready"
    touch "$shots/$name.done"
  done
  sleep 0.1
done
wait "$program" || true
echo "$count pictures"
