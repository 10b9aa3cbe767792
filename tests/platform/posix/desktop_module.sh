#!/usr/bin/env bash
# velmora-cli starts without Qt and loads the desktop module only for the commands that
# need file types or locale formats; without the module those commands still work, say
# once what is missing, and the others say nothing.
# Usage: desktop_module.sh BIN_DIR
set -euo pipefail
bin=$1
cli="$bin/velmora-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if readelf -d "$cli" | grep -q 'NEEDED.*libQt'; then fail "velmora-cli links Qt at start"; fi

printf 'hello\n' >"$work/a.txt"
# With the module: inspect shows its record and says nothing on the standard error.
out=$("$cli" inspect "$work/a.txt" 2>"$work/err") || fail "inspect failed: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "inspect wrote errors: $(cat "$work/err")"
grep -q '^Modified:' <<<"$out" || fail "inspect printed no dates"

# Without it: a copy of the program alone in a folder.
mkdir "$work/alone"
cp "$cli" "$work/alone/"
"$work/alone/velmora-cli" holders "$work/a.txt" >/dev/null 2>"$work/err" || true
[ ! -s "$work/err" ] || fail "holders needs the module: $(cat "$work/err")"
out=$("$work/alone/velmora-cli" inspect "$work/a.txt" 2>"$work/err") || fail "inspect without the module failed"
grep -q '^Modified:' <<<"$out" || fail "inspect without the module printed no dates"
[ "$(grep -c 'desktop services could not be loaded' "$work/err")" = 1 ] ||
    fail "the missing module was not said once: $(cat "$work/err")"
echo "desktop module: OK"
