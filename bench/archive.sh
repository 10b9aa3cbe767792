#!/usr/bin/env bash
# Archive engine benchmark: our velmora-cli against zip, unzip and gzip, measured in the
# same run, alternating the two commands run by run. Prints the median wall time, user
# CPU and peak RSS of each side and the ratios ours/peer.
#
#   bench/archive.sh [BUILD_DIR]      (default: build)
# Environment: CORPUS (default /tmp/velmora-bench), RUNS (default 5), OUT_FS (journal, the
# default, or corpus: where extraction writes, see below), CASES (space-
# separated subset of: zip zip-pw unzip unzip-pw gunzip zip-big unzip-big; unzip-7z (against
# 7zz x), gunzip-igzip and gunzip-libdeflate (against igzip -dc and libdeflate-gunzip -c);
# small-zip, small-unzip
# and small-protect on 20,000 files of 40-60 bytes, the last being protect plus restore against
# zip -r -P plus unzip -P; and the method
# cases m-deflate64 m-bzip2 m-lzma m-xz m-zstd m-ppmd m-aes256, which extract an archive of
# the flat folder made by 7zz with that method against `7zz x`; 7zz writes no Zstandard
# entries, so m-zstd's archive is made by the zstd tool in a zipfile container), CORPUS_READY=1
# to skip the corpus check. Every method and small-file case line ends with the load average
# at its end. Cases with a budget print PASS or FAIL against it (wall time ours/peer, and
# archive size ours/Info-ZIP's for zip and zip-big).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$PWD/$build/bin/velmora-cli"
corpus=${CORPUS:-/tmp/velmora-bench}
runs=${RUNS:-5}
cases=${CASES:-"zip zip-pw unzip unzip-7z unzip-pw gunzip gunzip-igzip gunzip-libdeflate zip-big unzip-big small-zip small-unzip small-protect m-deflate64 m-bzip2 m-lzma m-xz m-zstd m-ppmd m-aes256"}
work="$corpus/work"
pw="bench-Pass7"

[ -x "$cli" ] || { echo "build velmora-cli first ($cli)" >&2; exit 2; }
for tool in zip unzip gzip python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
[ -n "${CORPUS_READY:-}" ] || python3 bench/make_archive_corpus.py "$corpus"
mkdir -p "$work"

# The extraction cases (and protect) write into $out. Each of their runs first removes the
# previous run's output, thousands of files. On ext4 without a journal (the file system
# of some virtual machines, this bench machine's among them), a new inode is only taken
# after passing over every free inode of its group that was freed within the last minute
# (six while that part of the inode table is not yet written back), so each file made
# right after such a removal pays a scan as long as the removal: about 1 s of system time
# per run for the flat folder, on both sides, which a person extracting into a new folder
# seldom pays. So, when run as root, the outputs go to a new journalled ext4 (mkfs.ext4's
# default, the file system of a usual Linux desktop) on a loop device that reads and
# writes its image directly, so its data is not cached twice; it is removed at exit.
# OUT_FS=corpus, or no root, writes them under $work, on the corpus's own file system.
out="$work"
out_note="outputs on the corpus's file system"
loop_dev=""
journal_img="$corpus/journal.img"
journal_mnt="$corpus/journal"
unmount_journal() {
  if [ -n "$loop_dev" ]; then
    umount "$journal_mnt" 2>/dev/null || true
    losetup -d "$loop_dev" 2>/dev/null || true
    rm -f "$journal_img"
  fi
}
if [ "${OUT_FS:-journal}" = journal ]; then
  if [ "$(id -u)" != 0 ] || ! command -v mkfs.ext4 >/dev/null || ! command -v losetup >/dev/null; then
    echo "note: not root or no mkfs.ext4/losetup: extraction outputs go to $work" >&2
  else
    mountpoint -q "$journal_mnt" 2>/dev/null && umount "$journal_mnt"
    mkdir -p "$journal_mnt"
    rm -f "$journal_img"
    truncate -s 8G "$journal_img"
    if mkfs.ext4 -q -F -O has_journal "$journal_img" &&
      loop_dev=$(losetup -f --show --direct-io=on "$journal_img") &&
      mount "$loop_dev" "$journal_mnt"; then
      trap unmount_journal EXIT
      out="$journal_mnt"
      out_note="outputs on a journalled ext4"
    else
      [ -z "$loop_dev" ] || losetup -d "$loop_dev"
      loop_dev=""
      rm -f "$journal_img"
      echo "note: could not mount a journalled ext4: extraction outputs go to $work" >&2
    fi
  fi
fi

# measure LABEL PREP -- COMMAND...: runs PREP (untimed), then COMMAND under /usr/bin/time.
# Appends "wall user rss_kib" to $work/LABEL.times.
measure() {
  local label=$1 prep=$2; shift 3
  eval "$prep"
  sync
  /usr/bin/time -f "%e %U %M" -o "$work/$label.one" "$@" >/dev/null
  cat "$work/$label.one" >> "$work/$label.times"
}

median() {  # column number, file
  sort -n -k"$1" "$2" | awk -v c="$1" '{v[NR]=$c} END {print v[int((NR+1)/2)]}'
}

report() {  # case, our label, peer label, extra text, wall-time budget (ours/peer, optional)
  local c=$1 o=$2 p=$3 extra=${4:-} budget=${5:-}
  local ow ou orss pw_ pu prss
  ow=$(median 1 "$work/$o.times"); ou=$(median 2 "$work/$o.times"); orss=$(median 3 "$work/$o.times")
  pw_=$(median 1 "$work/$p.times"); pu=$(median 2 "$work/$p.times"); prss=$(median 3 "$work/$p.times")
  awk -v c="$c" -v ow="$ow" -v ou="$ou" -v orss="$orss" -v pw="$pw_" -v pu="$pu" -v prss="$prss" -v x="$extra" \
    -v b="$budget" \
    'BEGIN { v = ""; if (b != "") v = sprintf("%s (<= %s) ", (ow / pw <= b ? "PASS" : "FAIL"), b);
             printf "| %-10s | %7.2f | %7.2f | %6.0f | %7.2f | %7.2f | %6.0f | %5.2f | %5.2f | %s%s\n",
             c, ow, ou, orss/1024, pw, pu, prss/1024, ow/pw, (pu > 0 ? ou/pu : 0), v, x }' | tee -a "$work/results.md"
}

size_check() {  # our archive, peer's archive: the size ratio and its budget (<= 1.000)
  awk -v a="$(stat -c %s "$1")" -v b="$(stat -c %s "$2")" \
    'BEGIN { printf "size x%.4f %s", a / b, (a <= b ? "PASS (<= 1.000)" : "FAIL (<= 1.000)") }'
}

run_case() {  # case, our prep, our command, peer prep, peer command
  local c=$1 oprep=$2 ocmd=$3 pprep=$4 pcmd=$5
  rm -f "$work/$c-ours.times" "$work/$c-peer.times"
  for ((i = 1; i <= runs; i++)); do
    if ((i % 2)); then
      measure "$c-ours" "$oprep" -- bash -c "$ocmd"
      measure "$c-peer" "$pprep" -- bash -c "$pcmd"
    else
      measure "$c-peer" "$pprep" -- bash -c "$pcmd"
      measure "$c-ours" "$oprep" -- bash -c "$ocmd"
    fi
  done
}

flat="$corpus/flat"
small="$corpus/small"
big="$corpus/big"
: > "$work/results.md"
echo "($out_note)"
echo "| case       | ours s  | ours cpu| ours MiB | peer s | peer cpu| peer MiB | wall× | cpu× | note"
echo "|------------|---------|---------|--------|---------|---------|--------|-------|-------|-----"

# Peer archives used by the extraction cases (both sides extract the same archive).
# (A corpus of only some folders, with CORPUS_READY=1, runs the cases that need only those.)
if [ -d "$flat" ]; then
  [ -f "$work/peer-flat.zip" ] || (cd "$flat" && zip -q -j -6 "$work/peer-flat.zip" ./*)
  [ -f "$work/peer-flat-pw.zip" ] || (cd "$flat" && zip -q -j -6 -P "$pw" "$work/peer-flat-pw.zip" ./*)
fi
for c in $cases; do
  case $c in
  zip)
    run_case zip "rm -f '$work/o.zip'" "'$cli' zip '$flat' '$work/o.zip'" \
      "rm -f '$work/p.zip'" "cd '$flat' && zip -q -j -6 '$work/p.zip' ./*"
    report zip zip-ours zip-peer "$(size_check "$work/o.zip" "$work/p.zip")" 0.25
    ;;
  zip-pw)
    run_case zip-pw "rm -f '$work/o.zip'" "'$cli' zip '$flat' '$work/o.zip' --password '$pw'" \
      "rm -f '$work/p.zip'" "cd '$flat' && zip -q -j -6 -P '$pw' '$work/p.zip' ./*"
    report zip-pw zip-pw-ours zip-pw-peer
    ;;
  unzip)
    run_case unzip "rm -rf '$out/ox'" "'$cli' unzip '$work/peer-flat.zip' '$out/ox'" \
      "rm -rf '$out/px'" "unzip -q -o '$work/peer-flat.zip' -d '$out/px'"
    diff -rq "$out/ox" "$flat" >/dev/null && check=identical || check=DIFFERENT
    report unzip unzip-ours unzip-peer "$check" 0.30
    rm -rf "$out/ox" "$out/px"
    ;;
  unzip-pw)
    run_case unzip-pw "rm -rf '$out/ox'" "'$cli' unzip '$work/peer-flat-pw.zip' '$out/ox' --password '$pw'" \
      "rm -rf '$out/px'" "unzip -q -o -P '$pw' '$work/peer-flat-pw.zip' -d '$out/px'"
    diff -rq "$out/ox" "$flat" >/dev/null && check=identical || check=DIFFERENT
    report unzip-pw unzip-pw-ours unzip-pw-peer "$check"
    rm -rf "$out/ox" "$out/px"
    ;;
  gunzip)
    mkdir -p "$work/gz"
    ln -f "$corpus/text.gz" "$work/gz/text.gz" 2>/dev/null || cp "$corpus/text.gz" "$work/gz/text.gz"
    run_case gunzip "rm -f '$work/gz/gzsrc.bin'" "'$cli' gunzip '$work/gz/text.gz'" \
      "rm -f '$work/gz/peer.bin'" "gzip -dc '$work/gz/text.gz' > '$work/gz/peer.bin'"
    cmp -s "$work/gz/gzsrc.bin" "$work/gz/peer.bin" && check=identical || check=DIFFERENT
    report gunzip gunzip-ours gunzip-peer "$check"
    rm -f "$work/gz/gzsrc.bin" "$work/gz/peer.bin"
    ;;
  gunzip-igzip | gunzip-libdeflate)
    # The same gzip file against the fastest single-stream inflaters' own tools.
    if [ "$c" = gunzip-igzip ]; then peer="igzip -dc"; budget=0.9; else peer="libdeflate-gunzip -c"; budget=0.75; fi
    command -v "${peer%% *}" >/dev/null || { echo "missing ${peer%% *} for $c" >&2; exit 2; }
    mkdir -p "$work/gz"
    ln -f "$corpus/text.gz" "$work/gz/text.gz" 2>/dev/null || cp "$corpus/text.gz" "$work/gz/text.gz"
    run_case "$c" "rm -f '$work/gz/gzsrc.bin'" "'$cli' gunzip '$work/gz/text.gz'" \
      "rm -f '$work/gz/peer.bin'" "$peer '$work/gz/text.gz' > '$work/gz/peer.bin'"
    cmp -s "$work/gz/gzsrc.bin" "$work/gz/peer.bin" && check=identical || check=DIFFERENT
    report "$c" "$c-ours" "$c-peer" "$check, load $(cut -d' ' -f1-3 /proc/loadavg)" "$budget"
    rm -f "$work/gz/gzsrc.bin" "$work/gz/peer.bin"
    ;;
  unzip-7z)
    # The Info-ZIP archive of the flat folder extracted by 7-Zip.
    command -v 7zz >/dev/null || { echo "missing 7zz for $c" >&2; exit 2; }
    run_case unzip-7z "rm -rf '$out/ox'" "'$cli' unzip '$work/peer-flat.zip' '$out/ox'" \
      "rm -rf '$out/px'" "7zz x -y -o'$out/px' '$work/peer-flat.zip'"
    diff -rq "$out/ox" "$out/px" >/dev/null && diff -rq "$out/ox" "$flat" >/dev/null && check=identical || check=DIFFERENT
    report unzip-7z unzip-7z-ours unzip-7z-peer "$check, load $(cut -d' ' -f1-3 /proc/loadavg)" 0.35
    rm -rf "$out/ox" "$out/px"
    ;;
  zip-big)
    run_case zip-big "rm -f '$work/ob.zip'" "'$cli' zip '$big' '$work/ob.zip'" \
      "rm -f '$work/pb.zip'" "zip -q -j -6 '$work/pb.zip' '$big/big.bin'"
    report zip-big zip-big-ours zip-big-peer "$(size_check "$work/ob.zip" "$work/pb.zip")" 0.25
    ;;
  unzip-big)
    [ -f "$work/pb.zip" ] || zip -q -j -6 "$work/pb.zip" "$big/big.bin"
    run_case unzip-big "rm -rf '$out/obx'" "'$cli' unzip '$work/pb.zip' '$out/obx'" \
      "rm -rf '$out/pbx'" "unzip -q -o '$work/pb.zip' -d '$out/pbx'"
    cmp -s "$out/obx/big.bin" "$big/big.bin" && check=identical || check=DIFFERENT
    report unzip-big unzip-big-ours unzip-big-peer "$check"
    rm -rf "$out/obx" "$out/pbx"
    ;;
  small-zip)
    # 20,000 files of 40-60 bytes: the cost per file (budget: 0.80 of zip's wall time).
    run_case small-zip "rm -f '$work/os.zip'" "'$cli' zip '$corpus/small' '$work/os.zip'" \
      "rm -f '$work/ps.zip'" "cd '$corpus/small' && zip -r -q '$work/ps.zip' ."
    [ "$(unzip -Z1 "$work/os.zip" | sort | md5sum)" = "$(unzip -Z1 "$work/ps.zip" | sort | md5sum)" ] && check=same-names || check=DIFFERENT
    report small-zip small-zip-ours small-zip-peer "$check, size ×$(awk -v a="$(stat -c %s "$work/os.zip")" -v b="$(stat -c %s "$work/ps.zip")" 'BEGIN{printf "%.3f", a/b}'), load $(cut -d' ' -f1-3 /proc/loadavg)"
    ;;
  small-unzip)
    # 20,000 files of 40-60 bytes: the cost per entry, in an archive made by Info-ZIP.
    [ -f "$work/peer-small.zip" ] || (cd "$small" && zip -q -r "$work/peer-small.zip" .)
    run_case small-unzip "rm -rf '$out/ox'" "'$cli' unzip '$work/peer-small.zip' '$out/ox'" \
      "rm -rf '$out/px'" "unzip -q -o '$work/peer-small.zip' -d '$out/px'"
    diff -rq "$out/ox" "$small" >/dev/null && check=identical || check=DIFFERENT
    report small-unzip small-unzip-ours small-unzip-peer "$check, load $(cut -d' ' -f1-3 /proc/loadavg)"
    rm -rf "$out/ox" "$out/px"
    ;;
  small-protect)
    # Protect (written, read back and checked, folder removed) and restore, against zip -r -P
    # and unzip -P of the same folder. The copy of the folder is made before the clock starts.
    run_case small-protect "rm -rf '$out/of' '$out/of.zip'; cp -r '$small' '$out/of'" \
      "'$cli' protect '$out/of' '$out/of.zip' --password '$pw' && '$cli' restore '$out/of.zip' '$out/of' --password '$pw'" \
      "rm -rf '$out/pf' '$out/pf.zip'" \
      "cd '$small' && zip -q -r -P '$pw' '$out/pf.zip' . && unzip -q -o -P '$pw' '$out/pf.zip' -d '$out/pf'"
    diff -rq "$out/of" "$small" >/dev/null && check=identical || check=DIFFERENT
    report small-protect small-protect-ours small-protect-peer "$check, load $(cut -d' ' -f1-3 /proc/loadavg)"
    rm -rf "$out/of" "$out/of.zip" "$out/pf" "$out/pf.zip"
    ;;
  m-*)
    command -v 7zz >/dev/null || { echo "missing 7zz for $c" >&2; exit 2; }
    method=${c#m-}; extra=""; ours_pw=""; peer_pw=""
    case $method in
    deflate64) extra="-mm=Deflate64" ;;
    bzip2) extra="-mm=BZip2" ;;
    lzma) extra="-mm=LZMA" ;;
    xz) extra="-mm=XZ" ;;
    zstd) extra="" ;;
    ppmd) extra="-mm=PPMd" ;;
    aes256) extra="-mm=Deflate -mem=AES256 -p$pw"; ours_pw="--password '$pw'"; peer_pw="-p'$pw'" ;;
    *) echo "unknown case $c" >&2; exit 2 ;;
    esac
    archive="$work/7z-$method.zip"
    if [ ! -f "$archive" ]; then
      if [ "$method" = zstd ]; then
        python3 bench/zstd_zip.py "$flat" "$archive"
      else
        (cd "$flat" && 7zz a -tzip $extra "$archive" ./* >/dev/null)
      fi
    fi
    run_case "$c" "rm -rf '$out/ox'" "'$cli' unzip '$archive' '$out/ox' $ours_pw" \
      "rm -rf '$out/px'" "7zz x -y $peer_pw -o'$out/px' '$archive'"
    diff -rq "$out/ox" "$flat" >/dev/null && check=identical || check=DIFFERENT
    report "$c" "$c-ours" "$c-peer" "$check, load $(cut -d' ' -f1-3 /proc/loadavg)"
    rm -rf "$out/ox" "$out/px"
    ;;
  esac
done
