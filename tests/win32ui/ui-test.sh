#!/usr/bin/env bash
# The Win32 UI test under Wine, then the files its windows made read back by the Linux
# tools: every archive of the zip tool tested by Info-ZIP unzip, every shortcut of the
# shortcut window read by lnkinfo.
#   ui-test.sh win32_ui_test.exe velmora.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
keep=$(mktemp -d)
trap 'rm -rf "$keep"' EXIT
status=0
bash "$here/ui-under-wine.sh" "$1" "$2" "Z:${keep//\//\\}" || status=$?
shopt -s nullglob
archives=("$keep"/*.zip)
links=("$keep"/*.lnk)
[ "${#archives[@]}" -eq 2 ] || { echo "FAIL expected 2 archives, found ${#archives[@]}"; status=1; }
[ "${#links[@]}" -eq 2 ] || { echo "FAIL expected 2 shortcuts, found ${#links[@]}"; status=1; }
for archive in "${archives[@]}"; do
  if unzip -tq "$archive"; then echo "ok   unzip -t $(basename "$archive")"; else echo "FAIL unzip -t $(basename "$archive")"; status=1; fi
done
for link in "${links[@]}"; do
  info=$(lnkinfo "$link" 2>&1) || true
  if grep -q 'notepad.exe' <<<"$info" && grep -q 'Größe.txt' <<<"$info"; then
    echo "ok   lnkinfo $(basename "$link") names the program and its parameter"
  else
    echo "FAIL lnkinfo $(basename "$link")"; echo "$info"; status=1
  fi
done
exit "$status"
