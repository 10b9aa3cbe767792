#!/usr/bin/env bash
# Runs a Windows program that needs a display under Wine, on its own virtual display.
#   ui-under-wine.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null || { echo "ui-under-wine: Xvfb is missing" >&2; exit 1; }
# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
VELMORA_WINE_DISPLAY=":$display" "$here/../../cmake/wine-run.sh" "$@"
