#!/usr/bin/env bash
# Takes pictures of the Win32 windows under Wine on a virtual display (Xvfb), in English
# and in German, into screenshots/windows/: the start screen and the main window showing
# a file. Needs the cross build (build-win/bin/velmora.exe).
#   scripts/screenshots-windows.sh [BUILD_WIN_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
exe="$build/bin/velmora.exe"
[ -f "$exe" ] || { echo "Cross-build first: $exe is missing" >&2; exit 1; }
out=screenshots/windows
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wineprefix}
display=95
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export VELMORA_WINE_DISPLAY=":$display"

# Waits until the X11 window of that title and size (Wine gives each top-level window its
# own) is viewable, then writes the screen's part under it.
shoot() { # title size file
  local id="" geometry=""
  for _ in $(seq 1 300); do
    id=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null |
      awk -v t="\"$1\"" -v s="$2+" 'index($0, t) && index($0, s) { print $1; exit }')
    if [ -n "$id" ] && DISPLAY=":$display" xwininfo -id "$id" | grep -q IsViewable; then break; fi
    id=""
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window \"$1\" of $2" >&2; return 1; }
  sleep 0.5
  geometry=$(DISPLAY=":$display" xwininfo -id "$id" | awk '/-geometry/ { print $2 }')
  local size=${geometry%%+*} x y
  x=$(DISPLAY=":$display" xwininfo -id "$id" | awk '/Absolute upper-left X/ { print $4 }')
  y=$(DISPLAY=":$display" xwininfo -id "$id" | awk '/Absolute upper-left Y/ { print $4 }')
  DISPLAY=":$display" import -window root -crop "$size+$x+$y" +repage "$3"
  echo "$3"
}

sample=$(mktemp -d)
printf 'Velmora sample\r\n' > "$sample/sample.txt"
sample_win=$(WINEDEBUG=-all wine winepath -w "$sample/sample.txt" 2>/dev/null | tr -d '\r')
appdata=$(WINEDEBUG=-all wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
appdata_unix=$(WINEDEBUG=-all wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')
for lang in en de; do
  mkdir -p "$appdata_unix/tessaly"
  if [ "$lang" = de ]; then printf '0\r\n' > "$appdata_unix/tessaly/tessaly.ini"; else printf '1\r\n' > "$appdata_unix/tessaly/tessaly.ini"; fi
  cmake/wine-run.sh "$exe" "$sample_win" &
  program=$!
  shoot Velmora 340x180 "$out/start-screen-$lang.png"
  # The main window appears when the start screen's bar is full.
  sleep 7
  shoot Velmora 454x386 "$out/main-window-$lang.png"
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  wait "$program" 2>/dev/null || true
done
rm -rf "$sample"
