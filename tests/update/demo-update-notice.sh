#!/bin/bash
# Runs the built program with the stand-in updater beside it, in a throw-away home, on
# the current display (use xvfb-run for a virtual one). Expected: the start screen, the
# main window, one "Updater" box and, once it is closed, the product page. Web pages are
# not opened but listed at the end.
#   tests/update/demo-update-notice.sh [BUILD-DIR] [LANGUAGE: 1 English, 0 German]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
language=${2:-1}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/bin" "$home/tmp" "$home/config/tessaly" "$home/fake"
cp "$build/bin/velmora" "$build"/bin/*.html "$home/bin/"
cp "$here/checkup" "$home/bin/checkup"
printf '%s\r\n' "$language" > "$home/config/tessaly/tessaly.ini"
printf '#!/bin/sh\necho "$@" >> "%s/opened.txt"\n' "$home" > "$home/fake/xdg-open"
chmod +x "$home/fake/xdg-open"
TMPDIR="$home/tmp" XDG_CONFIG_HOME="$home/config" PATH="$home/fake:$PATH" "$home/bin/velmora" || true
echo "release file: $(head -n 1 "$home/tmp/velmora.dat" 2>/dev/null || echo '(none)')"
echo "pages opened: $(cat "$home/opened.txt" 2>/dev/null || echo '(none)')"
