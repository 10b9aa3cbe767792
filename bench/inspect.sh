#!/usr/bin/env bash
# One inspection (every step of the main window) with many processes running, and the
# /proc scan for holders against fuser's scan of the same processes for the same file,
# measured in the same run. The file is held by nobody, so every scan runs to the end.
# Usage: bench/inspect.sh [PROCESSES] [RUNS]     (run from a configured build: build/)
# The holders figures of the README were taken with 1000 processes: bench/inspect.sh 1000 30
set -euo pipefail
cd "$(dirname "$0")/.."
processes=${1:-500}
runs=${2:-50}
bench=build/tests/inspect/inspect_bench
ninja -C build inspect_bench >/dev/null

source bench/lib-processes.sh

file="$work/sample.txt"
head -c 5000000 /dev/zero >"$file"
start_helpers "$processes"
procs=(/proc/[0-9]*)
running=${#procs[@]}

"$bench" "$file" "$runs" >"$work/ours"
ours=$(awk '/inspection_median_ms/ {print $2}' "$work/ours")
ours_max=$(awk '/inspection_max_ms/ {print $2}' "$work/ours")
inuse=$(awk '/inuse_median_ms/ {print $2}' "$work/ours")
scan=$(awk '/scan_median_ms/ {print $2}' "$work/ours")

command -v fuser >/dev/null || { echo "fuser (Debian package psmisc) is needed for the peer figure" >&2; exit 1; }
peer_times=()
for ((i = 0; i < runs; i++)); do
    # The shell's own clock, in microseconds: no fork inside the measured interval.
    start=${EPOCHREALTIME//[.,]/}
    fuser "$file" >/dev/null 2>&1 || true
    end=${EPOCHREALTIME//[.,]/}
    peer_times+=($((end - start)))
done
peer=$(median_ms "${peer_times[@]}")

echo "processes running:            $running"
echo "inspection, all steps:        ${ours} ms median, ${ours_max} ms max (budget 50 ms)"
echo "in-use test alone:            ${inuse} ms median (lease probe)"
echo "/proc scan (no-lease file systems): ${scan} ms median"
echo "fuser on the same file:       ${peer} ms median (process start included)"
awk -v a="$scan" -v b="$peer" 'BEGIN { printf "ratio /proc scan / fuser:     %.2f\n", a / b }'

# Who holds the file, against fuser -v and lsof: bench/holders.sh.
