#!/usr/bin/env bash
# Builds the program and starts it. Without a display it runs on a virtual one (Xvfb),
# takes a screenshot of the main window and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target velmora velmora-cli

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/velmora
fi

mkdir -p screenshots
shot="$PWD/screenshots/main-window.png"
echo "No display found: running Velmora on a virtual display (Xvfb)."
# The start screen closes by itself after a few seconds; the main window follows.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  build/bin/velmora & pid=$!
  for i in $(seq 1 40); do
    sleep 0.5
    if xwininfo -root -tree 2>/dev/null | grep -q "\"Velmora\": (\"velmora\""; then break; fi
  done
  sleep 1.5
  import -window root "'"$shot"'"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
'
echo "Screenshot of the main window: $shot"
