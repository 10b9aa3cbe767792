#!/usr/bin/env bash
# Installs velmora-setup.exe silently under Wine, starts the installed program on a file
# until its main window shows that file, uninstalls it silently and checks that nothing
# is left: no program folder, no Start-menu entry, no registry keys.
#   installer-under-wine.sh SETUP.exe UI_TEST.exe
set -euo pipefail
setup=$1
ui_test=$2
here=$(cd "$(dirname "$0")" && pwd)
run() { "$here/../../cmake/wine-run.sh" "$@"; }
fail() { echo "FAIL $*" >&2; exit 1; }

run "$setup" /S
dir='C:\Program Files\Velmora'
unix_dir=$(run winepath -u "$dir" 2>/dev/null | tr -d '\r')
for f in velmora.exe velmora-cli.exe tessalye.html tessalyd.html uninstall.exe; do
  [ -f "$unix_dir/$f" ] || fail "the installer did not place $f"
done
echo "ok   installed under $dir"
menu=$(run cmd /c echo %ProgramData% 2>/dev/null | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs\Velmora.lnk'
menu_unix=$(run winepath -u "$menu" 2>/dev/null | tr -d '\r')
[ -f "$menu_unix" ] || fail "no Start-menu entry at $menu"
echo "ok   Start-menu entry"
run reg query 'HKLM\Software\Classes\Applications\velmora.exe\shell\open\command' >/dev/null 2>&1 ||
  fail "no Open-with entry"
echo "ok   Open-with entry"
run "$unix_dir/velmora-cli.exe" --help >/dev/null || fail "the installed velmora-cli.exe does not run"
echo "ok   installed velmora-cli.exe runs"

sample=$(mktemp -d)
trap 'rm -rf "$sample"' EXIT
printf 'installed\r\n' > "$sample/sample file.txt"
sample_win=$(run winepath -w "$sample/sample file.txt" 2>/dev/null | tr -d '\r')
"$here/ui-under-wine.sh" "$ui_test" --appears "$dir\\velmora.exe" "$sample_win" || fail "the installed program"

run "$unix_dir/uninstall.exe" /S
# The uninstaller runs from a copy in the temporary folder and returns at once.
for _ in $(seq 1 100); do [ -e "$unix_dir" ] || break; sleep 0.2; done
[ ! -e "$unix_dir" ] || fail "the program folder is left: $(ls -A "$unix_dir")"
[ ! -e "$menu_unix" ] || fail "the Start-menu entry is left"
for key in 'HKLM\Software\Classes\Applications\velmora.exe' 'HKLM\Software\Classes\*\OpenWithList\velmora.exe' \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'; do
  if run reg query "$key" /reg:64 >/dev/null 2>&1; then fail "registry key left: $key"; fi
done
echo "ok   uninstalled, nothing left"
