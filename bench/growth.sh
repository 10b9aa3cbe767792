#!/usr/bin/env bash
# Growth benchmark: zip, list, unzip, protect and restore of many small entries, at several
# counts, on tmpfs so the disk does not dominate. Prints per operation and count the wall
# and CPU time per entry and the peak RSS, then checks the budgets:
#   - per-entry wall time at the largest count <= 1.2 x that at the smallest;
#   - peak RSS grows by <= 200 bytes per entry (from the smallest count to the largest);
#   - the listing of the largest archive takes < 1 s of CPU when that count is 1,000,000.
#
#   bench/growth.sh [BUILD_DIR]       (default: build)
# Environment: COUNTS (default "10000 100000 1000000"), WORK (default /dev/shm/velmora-growth).
# Entries are 40-60 byte text files, 1,000 to a folder. Needs python3 and GNU time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$PWD/$build/bin/velmora-cli"
counts=${COUNTS:-"10000 100000 1000000"}
work=${WORK:-/dev/shm/velmora-growth}
pw="bench-Pass7"
[ -x "$cli" ] || { echo "build velmora-cli first ($cli)" >&2; exit 2; }
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

make_tree() {  # folder, count
  python3 - "$1" "$2" <<'EOF'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(count)
words = b"the of and to in is that for it as was with be by on not this are or from at which".split()
for i in range(count):
    folder = os.path.join(root, "d%04d" % (i // 1000))
    if i % 1000 == 0:
        os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.txt" % i), "wb") as f:
        f.write(b" ".join(rng.choices(words, k=14))[: rng.randint(40, 60)].ljust(40, b"."))
EOF
}

# timed OP COUNT -- COMMAND...: one run under GNU time; appends "op count wall cpu rss_kib".
timed() {
  local op=$1 n=$2; shift 3
  /usr/bin/time -f "%e %U %S %M" -o "$work/one" "$@" >/dev/null
  awk -v op="$op" -v n="$n" '{ printf "%s %d %.3f %.3f %d\n", op, n, $1, $2 + $3, $4 }' "$work/one" >> "$work/results"
}

: > "$work/results"
for n in $counts; do
  src="$work/src-$n"
  make_tree "$src" "$n"
  timed zip "$n" -- "$cli" zip "$src" "$work/a.zip" --recursive --quiet
  timed list "$n" -- "$cli" list "$work/a.zip"
  timed unzip "$n" -- "$cli" unzip "$work/a.zip" "$work/out" --quiet
  diff -rq "$src" "$work/out" >/dev/null || echo "unzip of $n entries: DIFFERENT" >&2
  rm -rf "$work/out" "$work/a.zip"
  timed protect "$n" -- "$cli" protect "$src" "$work/p.zip" --password "$pw" --quiet
  timed restore "$n" -- "$cli" restore "$work/p.zip" "$src" --password "$pw" --quiet
  rm -rf "$src" "$work/p.zip"
done

echo "| operation | entries | wall s | µs per entry | CPU s | µs CPU per entry | peak RSS MiB |"
echo "|---|---|---|---|---|---|---|"
awk '{ printf "| %s | %d | %.2f | %.1f | %.2f | %.1f | %.1f |\n", $1, $2, $3, $3 / $2 * 1e6, $4, $4 / $2 * 1e6, $5 / 1024 }' \
  "$work/results"
echo
awk '
  { wall[$1, $2] = $3; cpu[$1, $2] = $4; rss[$1, $2] = $5; ops[$1] = 1
    if (min == "" || $2 < min) min = $2; if ($2 > max) max = $2 }
  END {
    for (op in ops) {
      a = wall[op, min] / min; b = wall[op, max] / max
      printf "%-8s per-entry wall %d vs %d: %.2f x %s (<= 1.20)\n", op, max, min, b / a, (b <= 1.2 * a ? "PASS" : "FAIL")
      g = (rss[op, max] - rss[op, min]) * 1024 / (max - min)
      printf "%-8s peak RSS growth: %.0f bytes per entry %s (<= 200)\n", op, g, (g <= 200 ? "PASS" : "FAIL")
    }
    if (max >= 1000000)
      printf "list     CPU for %d entries: %.2f s %s (< 1 s)\n", max, cpu["list", max], (cpu["list", max] < 1 ? "PASS" : "FAIL")
  }' "$work/results"
