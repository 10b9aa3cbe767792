#!/usr/bin/env bash
# Takes pictures of the main window in English and in German on a virtual display,
# each with a throw-away settings folder, into screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/bin/velmora ] || { echo "Build first: scripts/run.sh or scripts/test.sh" >&2; exit 1; }
mkdir -p screenshots
for lang in en de; do
  config=$(mktemp -d)
  mkdir -p "$config/tessaly"
  [ "$lang" = de ] && printf '0\r\n' > "$config/tessaly/tessaly.ini"
  XDG_CONFIG_HOME="$config" xvfb-run -a -s "-screen 0 1024x768x24" \
    scripts/screenshot.sh build/bin/velmora "screenshots/main-window-$lang.png"
  rm -rf "$config"
  echo "screenshots/main-window-$lang.png"
done
