#!/usr/bin/env bash
# velmora-cli.exe end to end under Wine, on Windows paths (C:\...), against the Linux
# build of the companion and Info-ZIP, lnkinfo and Wine's own cmd.exe as peers.
#   cli-under-wine.sh WINDOWS-BUILD-DIR LINUX-VELMORA-CLI
set -uo pipefail
build=$(cd "$1" && pwd)
linux_cli=$2
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../cmake/wine-run.sh"
exe="$build/bin/velmora-cli.exe"
export WINEPREFIX="$build/wineprefix"
# Wine maps Unix file names and arguments through the locale's character set: UTF-8.
export LC_ALL=C.UTF-8

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { command -v "$1" >/dev/null 2>&1 || { echo "FAIL: $1 is missing ($2)" >&2; exit 1; }; }
need unzip "Debian package unzip"
need zip "Debian package zip"
need python3 "Debian package python3"
need lnkinfo "Debian package liblnk-utils"
[ -x "$linux_cli" ] || { echo "FAIL: the Linux velmora-cli is missing: $linux_cli (build it first)" >&2; exit 1; }
[ -f "$exe" ] || { echo "FAIL: $exe is missing" >&2; exit 1; }

# Runs velmora-cli.exe; its output with the console's CR removed.
win() { "$run" "$exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
wincmd() { "$run" cmd.exe /c "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
expect_code() { # expected actual what
  [ "$1" = "$2" ] || fail "$3: exit $2, expected $1"
}

# Wine must be able to start at all; wine-run.sh fails loudly otherwise.
"$run" cmd.exe /c echo ready >/dev/null || { echo "FAIL: Wine cannot start" >&2; exit 1; }

name="velmora-e2e-$$"
unix="$WINEPREFIX/drive_c/$name"
dos="C:\\$name"
rm -rf "$unix"
mkdir -p "$unix"
trap 'rm -rf "$unix"' EXIT

# Every plain file directly in folder $1 has the same bytes in folder $2.
same_files() {
  local f
  for f in "$1"/*; do
    [ -f "$f" ] || continue
    cmp -s "$f" "$2/$(basename "$f")" || return 1
  done
}

# A restored protected folder holds each subfolder as <name>.zip: Info-ZIP unpacks them,
# so the tree can be compared with the original.
expand_subfolders() {
  local z
  for z in "$1"/*.zip; do
    [ -f "$z" ] || continue
    unzip -q "$z" -d "${z%.zip}" </dev/null && rm "$z" || return 1
  done
}

# 1. A folder made by Windows tools under Wine: zip (the folder's files), unzip and
#    protect (the whole tree) round trips.
wincmd "mkdir $dos\\made & mkdir $dos\\made\\sub & echo hello> $dos\\made\\a.txt & echo deeper> $dos\\made\\sub\\b.txt & attrib +h $dos\\made\\sub\\b.txt" ||
  fail "cmd.exe could not make the folder"
[ -f "$unix/made/sub/b.txt" ] || fail "the folder made by cmd.exe is not there"
head -c 300000 /dev/urandom >"$unix/made/random.bin"
head -c 200000 /dev/urandom >"$unix/made/sub/random.bin"

win zip "$dos\\made" "$dos\\made.zip" >/dev/null; expect_code 0 $? "zip of the folder made by cmd.exe"
unzip -tq "$unix/made.zip" >/dev/null || fail "Info-ZIP unzip rejects the archive of velmora-cli.exe"
win zip "$dos\\made" "$dos\\made.zip" >/dev/null 2>&1; expect_code 1 $? "zip onto an existing archive without --overwrite"
win unzip "$dos\\made.zip" "$dos\\back" >/dev/null; expect_code 0 $? "unzip"
same_files "$unix/made" "$unix/back" || fail "unzip by velmora-cli.exe differs from the folder's files"

cp -r "$unix/made" "$unix/keep"
win protect "$dos\\made" "$dos\\made-p.zip" --password "s3cret" >/dev/null; expect_code 0 $? "protect"
[ ! -e "$unix/made" ] || fail "protect left the folder"
[ -f "$unix/made-p.zip" ] || fail "protect wrote no archive"
win restore "$dos\\made-p.zip" "$dos\\restored" --password "wrong" >/dev/null 2>&1; expect_code 1 $? "restore with a wrong password"
win restore "$dos\\made-p.zip" "$dos\\restored" --password "s3cret" >/dev/null; expect_code 0 $? "restore"
expand_subfolders "$unix/restored" && diff -r "$unix/keep" "$unix/restored" >/dev/null || fail "the protected folder did not come back whole"

# 2. Archives cross between the two builds: a folder's files with a password, and a
#    protected folder with its whole tree, in both directions.
mkdir -p "$unix/lin/deep/er"
printf 'from linux\n' >"$unix/lin/one.txt"
head -c 500000 /dev/urandom >"$unix/lin/two.bin"
head -c 100000 /dev/urandom >"$unix/lin/deep/er/three.bin"
cp -r "$unix/lin" "$unix/lin-keep"
"$linux_cli" zip "$unix/lin" "$unix/lin.zip" --password pw >/dev/null 2>&1 || fail "the Linux build could not zip"
win unzip "$dos\\lin.zip" "$dos\\lin-out" --password pw >/dev/null; expect_code 0 $? "Windows unzip of the Linux archive"
same_files "$unix/lin" "$unix/lin-out" || fail "the Linux archive extracted by Windows differs"
win zip "$dos\\lin" "$dos\\win.zip" --password pw >/dev/null; expect_code 0 $? "Windows zip for the Linux build"
"$linux_cli" unzip "$unix/win.zip" "$unix/win-out" --password pw >/dev/null 2>&1 || fail "the Linux build could not unzip"
same_files "$unix/lin" "$unix/win-out" || fail "the Windows archive extracted by Linux differs"
unzip -tq -P pw "$unix/win.zip" >/dev/null || fail "Info-ZIP rejects the encrypted archive of velmora-cli.exe"

"$linux_cli" protect "$unix/lin" "$unix/lin-p.zip" --password pw >/dev/null 2>&1 || fail "the Linux build could not protect"
win restore "$dos\\lin-p.zip" "$dos\\lin-tree" --password pw >/dev/null; expect_code 0 $? "Windows restore of a Linux protected folder"
cp -r "$unix/lin-tree" "$unix/lin-tree-open"
cp -r "$unix/lin-tree" "$unix/lin-tree-keep"
expand_subfolders "$unix/lin-tree-open" && diff -r "$unix/lin-keep" "$unix/lin-tree-open" >/dev/null || fail "the Linux protected folder restored by Windows differs"
win protect "$dos\\lin-tree" "$dos\\win-p.zip" --password pw >/dev/null; expect_code 0 $? "Windows protect"
"$linux_cli" restore "$unix/win-p.zip" "$unix/win-tree" --password pw >/dev/null 2>&1 || fail "the Linux build could not restore"
diff -r "$unix/lin-tree-keep" "$unix/win-tree" >/dev/null || fail "the Windows protected folder restored by Linux differs"

# gunzip of a gzip file from the Linux gzip.
printf 'packed text\n' >"$unix/g.txt"
gzip -k "$unix/g.txt" && rm "$unix/g.txt"
out=$(win gunzip "$dos\\g.txt.gz"); expect_code 0 $? "gunzip"
[ "$(cat "$unix/g.txt" 2>/dev/null)" = "packed text" ] || fail "gunzip wrote '$out' with the wrong content"

# 3. A shortcut read back by lnkinfo.
win lnk 'C:\windows\notepad.exe' "$dos\\note.lnk" --args "a b.txt" >/dev/null; expect_code 0 $? "lnk"
info=$(lnkinfo "$unix/note.lnk" 2>&1) || fail "lnkinfo cannot read the shortcut"
grep -qi 'notepad.exe' <<<"$info" || fail "lnkinfo does not show the target: $info"
grep -q 'a b.txt' <<<"$info" || fail "lnkinfo does not show the arguments: $info"

# 4. inspect --json after cmd's attrib +h +s; attrib and touch through the backend.
printf 'x' >"$unix/flags.txt"
# (Wine's attrib applies only the last of several switches, so one call each.)
wincmd "attrib +h $dos\\flags.txt & attrib +s $dos\\flags.txt" >/dev/null || fail "attrib +h +s failed"
json=$(win inspect --json "$dos\\flags.txt"); expect_code 0 $? "inspect --json"
grep -q '"hidden": *true' <<<"$json" || fail "inspect does not see hidden: $json"
grep -q '"system": *true' <<<"$json" || fail "inspect does not see system: $json"
grep -q '"readOnly": *false' <<<"$json" || fail "inspect sees read-only: $json"
grep -q '"extension": *".txt"' <<<"$json" || fail "inspect extension: $json"
set_=$(win attrib "$dos\\flags.txt" R 2>/dev/null); expect_code 0 $? "attrib R"
listing=$(wincmd "attrib $dos\\flags.txt")
grep -q 'R' <<<"${listing%%C:*}" || fail "cmd's attrib does not show R after 'attrib R': $listing"
grep -q 'H' <<<"${listing%%C:*}" && fail "H stayed after 'attrib R': $listing"
win attrib "$dos\\flags.txt" - >/dev/null 2>&1; expect_code 0 $? "attrib -"
printf 'y' >"$unix/dated.txt"
stored=$(win touch "$dos\\dated.txt" "2011-07-14 09:30:17"); expect_code 0 $? "touch"
grep -q '2011' <<<"$stored" || fail "touch printed '$stored'"
win touch "$dos\\dated.txt" "1979-12-31" >/dev/null 2>&1; expect_code 1 $? "touch before 1980"
mkdir -p "$unix/fd"
win folder-date 2003-04-05 "$dos\\fd" >/dev/null; expect_code 0 $? "folder-date"
[ "$(date -r "$unix/fd" +%Y)" = 2003 ] || fail "folder-date did not reach the folder"

# 5. Names outside ASCII: German umlauts, CJK and an emoji outside the BMP (a surrogate
#    pair in UTF-16), in folder, file and archive names, through every command that takes
#    a path, with Info-ZIP, 7-Zip, the Linux build and Wine's cmd.exe on the other side.
intl="$unix/intl-Größe"
idos="$dos\\intl-Größe"
mkdir -p "$intl/src/日本語/Ünter😀"
printf 'Größe\n' >"$intl/src/Größe.txt"
printf 'データ\n' >"$intl/src/日本語/データ.txt"
head -c 70000 /dev/urandom >"$intl/src/日本語/Ünter😀/😀 smile.bin"
head -c 1000 /dev/urandom >"$intl/src/plain.bin"
# cmd.exe makes a folder and a file of such names, and sees the names written on Linux.
wincmd "mkdir $idos\\src\\Ordner-日本😀 & echo von cmd> $idos\\src\\Ordner-日本😀\\ä😀.txt" >/dev/null ||
  fail "cmd.exe could not make names outside ASCII"
[ -f "$intl/src/Ordner-日本😀/ä😀.txt" ] || fail "the file cmd.exe made is not under its name"
# (cmd /u writes redirected output as UTF-16, so the listing keeps every character.)
"$run" cmd.exe /u /c "dir /b /s $idos\\src > $idos\\listing.txt" >/dev/null 2>&1
listing=$(iconv -f UTF-16LE -t UTF-8 "$intl/listing.txt" 2>/dev/null | tr -d '\r')
for n in 'Größe.txt' '日本語\データ.txt' '日本語\Ünter😀\😀 smile.bin' 'Ordner-日本😀\ä😀.txt'; do
  grep -qF "src\\$n" <<<"$listing" || fail "cmd's dir does not show $n: $listing"
done
cp -r "$intl/src" "$intl/keep"

# zip --recursive and unzip by the Windows build; Info-ZIP reads the names back.
win zip "$idos\\src" "$idos\\Ärchiv😀.zip" --recursive >/dev/null; expect_code 0 $? "zip --recursive of names outside ASCII"
names=$(unzip -Z1 "$intl/Ärchiv😀.zip" 2>/dev/null)
for n in 'Größe.txt' '日本語/データ.txt' '日本語/Ünter😀/😀 smile.bin' 'Ordner-日本😀/ä😀.txt'; do
  grep -qxF "$n" <<<"$names" || fail "Info-ZIP does not list $n in the Windows archive: $names"
done
unzip -tq "$intl/Ärchiv😀.zip" >/dev/null || fail "Info-ZIP rejects the Windows archive of names outside ASCII"
win unzip "$idos\\Ärchiv😀.zip" "$idos\\zurück日本" >/dev/null; expect_code 0 $? "unzip of names outside ASCII"
diff -r "$intl/keep" "$intl/zurück日本" >/dev/null || fail "unzip by Windows did not give back the tree under its names"
"$linux_cli" unzip "$intl/Ärchiv😀.zip" "$intl/linux-out" >/dev/null 2>&1 || fail "the Linux build could not unzip the Windows archive"
diff -r "$intl/keep" "$intl/linux-out" >/dev/null || fail "the Windows archive extracted by Linux differs"
out=$(win list "$idos\\Ärchiv😀.zip"); expect_code 0 $? "list"
grep -qF '日本語/Ünter😀/😀 smile.bin' <<<"$out" || fail "list does not print the name in UTF-8: $out"

# Archives of Info-ZIP zip and 7-Zip made on Linux, extracted by the Windows build.
(cd "$intl/keep" && zip -qr "$intl/infozip.zip" .) || fail "Info-ZIP zip failed"
win unzip "$idos\\infozip.zip" "$idos\\from-infozip" >/dev/null; expect_code 0 $? "unzip of Info-ZIP's archive"
diff -r "$intl/keep" "$intl/from-infozip" >/dev/null || fail "Info-ZIP's archive extracted by Windows differs"
if command -v 7zz >/dev/null 2>&1; then
  (cd "$intl/keep" && 7zz a -tzip -bd -bso0 "$intl/7z.zip" . >/dev/null) || fail "7zz failed"
  win unzip "$idos\\7z.zip" "$idos\\from-7z" >/dev/null; expect_code 0 $? "unzip of 7-Zip's archive"
  diff -r "$intl/keep" "$intl/from-7z" >/dev/null || fail "7-Zip's archive extracted by Windows differs"
else
  fail "7zz is missing (Debian package 7zip)"
fi

# Names Windows would turn into something else: a device ("nul.txt" would swallow the data,
# "CON" would print it) or a shorter name (trailing dot or blank). Each is skipped with its
# reason; the rest is extracted.
python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in ("ok.txt", "nul.txt", "sub/CON", "notes.", "dir /x.txt"): z.writestr(name, "data of " + name)' \
  "$intl/devices.zip" || fail "python3 could not write the archive of device names"
out=$(win unzip "$idos\\devices.zip" "$idos\\devices-out" 2>&1); expect_code 1 $? "unzip of device names"
[ "$(cat "$intl/devices-out/ok.txt" 2>/dev/null)" = "data of ok.txt" ] || fail "ok.txt was not extracted beside the device names"
for reason in "'nul.txt' is the name of a device on Windows" "'CON' is the name of a device on Windows" \
  "'notes.' ends in a dot or a blank" "'dir ' ends in a dot or a blank" "1 file extracted, 4 entries skipped"; do
  grep -qF "$reason" <<<"$out" || fail "unzip of device names does not say: $reason ($out)"
done
[ "$(ls -A "$intl/devices-out")" = ok.txt ] || fail "unzip of device names left more than ok.txt: $(ls -A "$intl/devices-out")"

# Entries whose names differ only in letter case are one file on Windows: the second is a
# clash, reported, and the first keeps its data.
python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, data in (("A.txt", "first"), ("a.txt", "second"), ("D/x.txt", "dx"), ("d/X.TXT", "dx2")): z.writestr(name, data)' \
  "$intl/case.zip" || fail "python3 could not write the archive of names differing in case"
out=$(win unzip "$idos\\case.zip" "$idos\\case-out" 2>&1); expect_code 1 $? "unzip of names differing in case"
[ "$(cat "$intl/case-out/A.txt" 2>/dev/null)" = first ] && [ "$(cat "$intl/case-out/D/x.txt" 2>/dev/null)" = dx ] ||
  fail "an entry differing only in case replaced the first one: $out"
grep -qF "2 files extracted, 2 entries failed" <<<"$out" || fail "unzip of names differing in case says: $out"

# protect and restore: the folder, the archive and the target folder all carry such names.
cp -r "$intl/keep" "$intl/Schütz-日本😀"
win protect "$idos\\Schütz-日本😀" "$idos\\Schütz-日本😀.zip" --password 'pässwörd' >/dev/null; expect_code 0 $? "protect of names outside ASCII"
[ ! -e "$intl/Schütz-日本😀" ] && [ -f "$intl/Schütz-日本😀.zip" ] || fail "protect did not replace the folder by its archive"
win restore "$idos\\Schütz-日本😀.zip" "$idos\\wieder-😀" --password 'pässwörd' >/dev/null; expect_code 0 $? "restore of names outside ASCII"
expand_subfolders "$intl/wieder-😀" && diff -r "$intl/keep" "$intl/wieder-😀" >/dev/null || fail "the protected folder with names outside ASCII did not come back whole"

# inspect, attrib, touch, gunzip and lnk on such names.
f="$intl/keep/日本語/Ünter😀/😀 smile.bin"
fdos="$idos\\keep\\日本語\\Ünter😀\\😀 smile.bin"
json=$(win inspect --json "$fdos"); expect_code 0 $? "inspect of a name outside ASCII"
grep -qF '😀 smile.bin' <<<"$json" && grep -q '"extension": *".bin"' <<<"$json" || fail "inspect --json: $json"
win attrib "$fdos" RH >/dev/null; expect_code 0 $? "attrib of a name outside ASCII"
# (dir is cmd's own, so /u keeps the name; /a:rh lists only what is read-only and hidden.)
"$run" cmd.exe /u /c "dir /b /a:rh $idos\\keep\\日本語\\Ünter😀 > $idos\\attrib.txt" >/dev/null 2>&1
flags=$(iconv -f UTF-16LE -t UTF-8 "$intl/attrib.txt" 2>/dev/null | tr -d '\r')
[ "$flags" = '😀 smile.bin' ] || fail "cmd's dir /a:rh does not list the emoji name after attrib RH: '$flags'"
win attrib "$fdos" - >/dev/null; expect_code 0 $? "attrib - of a name outside ASCII"
win touch "$fdos" "2012-03-04 05:06:07" >/dev/null; expect_code 0 $? "touch of a name outside ASCII"
[ "$(date -r "$f" +%Y)" = 2012 ] || fail "touch did not reach the emoji name"
printf 'gepackt\n' >"$intl/Größe-日本😀.txt"
gzip "$intl/Größe-日本😀.txt"
out=$(win gunzip "$idos\\Größe-日本😀.txt.gz"); expect_code 0 $? "gunzip of a name outside ASCII"
[ "$(cat "$intl/Größe-日本😀.txt" 2>/dev/null)" = gepackt ] || fail "gunzip wrote '$out', not Größe-日本😀.txt"
grep -qF 'Größe-日本😀.txt' <<<"$out" || fail "gunzip printed '$out'"
win lnk "$idos\\keep\\日本語\\データ.txt" "$idos\\Verknüpfung😀.lnk" --args "ä 日本" >/dev/null; expect_code 0 $? "lnk with names outside ASCII"
info=$(lnkinfo "$intl/Verknüpfung😀.lnk" 2>&1) || fail "lnkinfo cannot read the shortcut with names outside ASCII"
grep -qF 'データ.txt' <<<"$info" || fail "lnkinfo does not show the CJK target: $info"
grep -qF 'ä 日本' <<<"$info" || fail "lnkinfo does not show the arguments: $info"

# 6. UNC names: Wine serves \\server\share from the prefix's dosdevices/unc/server/share,
#    here the test folder, so the commands run on real UNC paths (no network involved).
server="velmora-srv-$$"
mkdir -p "$WINEPREFIX/dosdevices/unc/$server"
ln -sfn "$unix" "$WINEPREFIX/dosdevices/unc/$server/share"
trap 'rm -rf "$unix" "$WINEPREFIX/dosdevices/unc/$server"' EXIT
unc="\\\\$server\\share"
win zip "$unc\\intl-Größe\\keep" "$unc\\unc.zip" --recursive >/dev/null; expect_code 0 $? "zip on UNC paths"
win unzip "$unc\\unc.zip" "$unc\\unc-out" >/dev/null; expect_code 0 $? "unzip on UNC paths"
diff -r "$intl/keep" "$unix/unc-out" >/dev/null || fail "the tree packed and unpacked on UNC paths differs"
json=$(win inspect --json "$unc\\unc-out\\Größe.txt"); expect_code 0 $? "inspect on a UNC path"
grep -q '"extension": *".txt"' <<<"$json" && grep -qF "$server" <<<"$json" || fail "inspect on a UNC path: $json"
win attrib "$unc\\unc-out\\Größe.txt" H >/dev/null; expect_code 0 $? "attrib on a UNC path"
grep -q H <<<"$(win attrib "$dos\\unc-out\\Größe.txt")" || fail "attrib on the UNC path did not reach the file"
win touch "$unc\\unc-out\\Größe.txt" "2013-01-02 03:04:05" >/dev/null; expect_code 0 $? "touch on a UNC path"
[ "$(date -r "$unix/unc-out/Größe.txt" +%Y)" = 2013 ] || fail "touch on the UNC path did not reach the file"

# 7. Same exit codes and messages as the Linux build.
for args in "" "zip" "unzip only-one" "touch" "attrib a b c" "nonsense"; do
  # shellcheck disable=SC2086
  w=$("$run" "$exe" $args 2>&1 | tr -d '\r'); wc=${PIPESTATUS[0]}
  # shellcheck disable=SC2086
  l=$("$linux_cli" $args 2>&1); lc=$?
  [ "$wc" = "$lc" ] || fail "'$args': exit $wc on Windows, $lc on Linux"
  [ "$w" = "$l" ] || fail "'$args': messages differ: Windows '$w' / Linux '$l'"
done
win inspect "$dos\\missing.txt" >/dev/null 2>&1; expect_code 1 $? "inspect of a missing path"
win terminate "velmora-nobody-$$.exe" >/dev/null 2>&1; expect_code 1 $? "terminate of nothing"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "velmora-cli.exe end to end under Wine: all checks passed"
