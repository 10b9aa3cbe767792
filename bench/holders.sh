#!/usr/bin/env bash
# Who holds a file, with many processes running: velmora-cli holders FILE against
# fuser -v FILE and lsof FILE, each a whole command run (process start included), run in
# pairs in turn (ours, peer, ours, peer...) and compared by their medians. The file is
# held by one process that maps it into memory and keeps no descriptor, behind a long
# list of other mappings, so every command has to read memory maps to their end to
# find it; the other processes hold a few open files each, as real programs do.
# Usage: bench/holders.sh [PROCESSES] [RUNS]     (run from a configured build: build/)
# Budgets: holders <= 0.50 x fuser -v and <= 0.30 x lsof.
set -euo pipefail
cd "$(dirname "$0")/.."
processes=${1:-1000}
runs=${2:-30}
cli=build/bin/velmora-cli
ninja -C build velmora-cli >/dev/null
for peer in fuser lsof python3; do
    command -v "$peer" >/dev/null || { echo "$peer is needed (Debian packages psmisc, lsof, python3)" >&2; exit 1; }
done

source bench/lib-processes.sh

file="$work/sample.dat"
head -c 1000000 /dev/zero >"$file"
start_helpers "$processes"

# The holder: 400 anonymous pages at low addresses first, then the file, descriptor closed.
cat >"$work/holder.py" <<'PY'
import ctypes, mmap, os, sys, time
libc = ctypes.CDLL(None, use_errno=True)
libc.mmap.restype = ctypes.c_void_p
libc.mmap.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_long]
page = mmap.PAGESIZE
for i in range(400): libc.mmap(0x10000000 + i * 2 * page, page, mmap.PROT_READ, 0x22, -1, 0)
fd = os.open(sys.argv[1], os.O_RDONLY)
libc.mmap(0x20000000, page, mmap.PROT_READ, mmap.MAP_SHARED, fd, 0)
os.close(fd)
open(sys.argv[2], 'w').close()
time.sleep(600)
PY
python3 "$work/holder.py" "$file" "$work/ready" &
holder=$!
pids+=("$holder")
for ((i = 0; i < 500; i++)); do [ -e "$work/ready" ] && break; sleep 0.02; done
[ -e "$work/ready" ] || { echo "the holding process did not start" >&2; exit 1; }
procs=(/proc/[0-9]*)
echo "processes running:            ${#procs[@]}"

# Every command must name the holder, or its time says nothing.
"$cli" holders "$file" | grep -q "^$holder " || { echo "velmora-cli holders did not list $holder" >&2; exit 1; }
fuser "$file" 2>/dev/null | grep -qw "$holder" || { echo "fuser did not list $holder" >&2; exit 1; }
lsof -t "$file" 2>/dev/null | grep -qx "$holder" || { echo "lsof did not list $holder" >&2; exit 1; }

# timed TIMES COMMAND...: runs the command once and appends its wall time in microseconds to
# the array TIMES. The clock is the shell's own (EPOCHREALTIME without its point): a command
# substitution would fork, and that fork and the start of date(1) would land inside the
# measured interval, the same for every command, pulling every ratio towards 1.
timed() {
    local -n times=$1
    shift
    local a=${EPOCHREALTIME//[.,]/}
    "$@" >/dev/null 2>&1 || true
    local b=${EPOCHREALTIME//[.,]/}
    times+=($((b - a)))
}
# Each peer is measured against ours in a run of pairs of its own, the two commands
# alternated (ours, peer, ours, peer...), so that each command always follows the other.
# In the earlier three-way order ours followed itself at every second turn, and a run of
# ours straight after another measured 58-63 ms where one after lsof took 46-54 ms.
t_ours_f=() t_fuser=() t_ours_l=() t_lsof=()
for ((i = 0; i < runs; i++)); do
    timed t_ours_f "$cli" holders "$file"
    timed t_fuser fuser -v "$file"
done
for ((i = 0; i < runs; i++)); do
    timed t_ours_l "$cli" holders "$file"
    timed t_lsof lsof "$file"
done
h_ours=$(median_ms "${t_ours_f[@]}")
h_fuser=$(median_ms "${t_fuser[@]}")
h_ours_l=$(median_ms "${t_ours_l[@]}")
h_lsof=$(median_ms "${t_lsof[@]}")
echo "velmora-cli holders FILE:     ${h_ours} ms median of $runs (beside fuser), ${h_ours_l} ms (beside lsof)"
echo "fuser -v FILE:                ${h_fuser} ms median"
echo "lsof FILE:                    ${h_lsof} ms median"
awk -v a="$h_ours" -v b="$h_fuser" 'BEGIN { r = a / b; printf "ratio holders / fuser -v:     %.2f (budget 0.50)%s\n", r, r <= 0.5 ? "" : "  OVER BUDGET" }'
awk -v a="$h_ours_l" -v b="$h_lsof" 'BEGIN { r = a / b; printf "ratio holders / lsof:         %.2f (budget 0.30)%s\n", r, r <= 0.3 ? "" : "  OVER BUDGET" }'
