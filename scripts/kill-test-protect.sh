#!/usr/bin/env bash
# Kills "velmora-cli protect" at many moments of a run on a folder of a few hundred MB
# and checks after every kill that every byte of the folder can still be recovered:
# from the folder itself, or from the archive at the zip path (outer archive ->
# folder.zip -> the subfolder archives), read back with Info-ZIP's unzip.
#
# Usage: scripts/kill-test-protect.sh [velmora-cli] [size in MB] [kill points]
# Not part of CI (it takes minutes and a few GB of disk); run it by hand.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=${1:-build/bin/velmora-cli}
size_mb=${2:-300}
points=${3:-16}
password='kill test pass'
command -v unzip >/dev/null || { echo "unzip is needed (apt-get install unzip)"; exit 2; }
[ -x "$cli" ] || { echo "no $cli: build first"; exit 2; }
cli=$(realpath "$cli")

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-kill-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
pristine="$work/pristine"
mkdir -p "$pristine"

echo "Making a folder of about $size_mb MB in $pristine ..."
python3 - "$pristine" "$size_mb" <<'PY'
import os, random, sys
root, size_mb = sys.argv[1], int(sys.argv[2])
rng = random.Random(20261210)
budget = size_mb * 1024 * 1024
def write(path, n, compressible):
    global budget
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        left = n
        while left > 0:
            chunk = min(left, 1 << 20)
            if compressible:
                line = ("%08d the quick brown fox jumps over the lazy dog\n" % rng.randrange(10**8)).encode()
                data = (line * (chunk // len(line) + 1))[:chunk]
            else:
                data = rng.randbytes(chunk)
            f.write(data)
            left -= chunk
    budget -= n
# Top level: visible and hidden files, a file named like a subfolder archive's neighbour.
write(f"{root}/readme.txt", 4000, True)
write(f"{root}/.hidden-settings", 1200, True)
write(f"{root}/big-random.bin", budget // 4, False)
# Subfolders with deep trees, hidden folders and empty folders.
os.makedirs(f"{root}/Empty")
os.makedirs(f"{root}/Photos/2024/empty-deep")
write(f"{root}/.config/app/settings.ini", 800, True)
# Many small files, as real folders have: their removal takes a while.
for j in range(2000):
    write(f"{root}/Notes/{['inbox', 'old', 'old/2019', '.trash'][j % 4]}/n{j:04d}.txt", rng.randrange(200, 6000), True)
i = 0
while budget > 0:
    folder = rng.choice(["Photos/2024", "Photos/2025/summer", "Docs", "Docs/a/b/c", "Music"])
    n = min(budget, rng.choice([3000, 70000, 900000, 6 << 20, 12 << 20]))
    write(f"{root}/{folder}/file{i:04d}.{'txt' if i % 2 else 'dat'}", n, i % 2 == 1)
    i += 1
PY

manifest() {  # every file's hash and every folder, relative to $1
    (cd "$1" && find . -mindepth 1 -type d -printf 'D %p\n' | LC_ALL=C sort &&
        find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)
}
manifest "$pristine" > "$work/expected"
echo "$(grep -c '^D ' "$work/expected") folders, $(grep -vc '^D ' "$work/expected") files"

# What the archive at the zip path gives back: the outer archive, folder.zip inside it,
# and every subfolder archive unpacked into its folder.
recover_from_archive() {  # zip, destination
    local zip=$1 out=$2
    rm -rf "$out" && mkdir -p "$out"
    unzip -qq -P "$password" -o "$zip" folder.zip -d "$out/.outer" || return 1
    unzip -qq -o "$out/.outer/folder.zip" -d "$out" || return 1
    rm -rf "$out/.outer"
    local sub
    while IFS= read -r -d '' sub; do
        local name=${sub%.zip}
        [ -d "$pristine/${name#"$out"/}" ] || continue  # a file of the folder that ends in .zip
        mkdir -p "$name"
        # An empty folder's archive holds no entries: unzip warns (status 1) and that is fine;
        # the comparison of the manifests decides.
        unzip -qq -o "$sub" -d "$name" 2>/dev/null || [ $? -eq 1 ] || return 1
        rm -f "$sub"
    done < <(find "$out" -maxdepth 1 -type f -name '*.zip' -print0)
}

run_dir="$work/run"
fresh_copy() {
    rm -rf "$run_dir" && mkdir -p "$run_dir"
    cp -a "$pristine" "$run_dir/F"
}

echo "A full run to learn how long protecting takes ..."
fresh_copy
start=$(date +%s%N)
"$cli" protect "$run_dir/F" "$run_dir/F.zip" --password "$password" >/dev/null
total_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ ! -e "$run_dir/F" ] || { echo "FAIL: the folder is still there after a complete run"; exit 1; }
recover_from_archive "$run_dir/F.zip" "$work/recovered"
manifest "$work/recovered" 2>/dev/null | cmp -s - "$work/expected" || { echo "FAIL: the complete archive does not give the folder back"; exit 1; }
echo "A complete run takes ${total_ms} ms and gives every byte back."

check_recovery() {  # label
    local where
    if [ -d "$run_dir/F" ] && manifest "$run_dir/F" 2>/dev/null | cmp -s - "$work/expected"; then
        where="the folder is whole"
    elif [ -f "$run_dir/F.zip" ] && recover_from_archive "$run_dir/F.zip" "$work/recovered" &&
        manifest "$work/recovered" 2>/dev/null | cmp -s - "$work/expected"; then
        where="the archive holds everything"
        if [ -d "$run_dir/F" ]; then where="$where (folder partly removed)"; else where="$where (folder removed)"; fi
    else
        where="LOST DATA"
        failures=$((failures + 1))
    fi
    local leftovers
    leftovers=$(find "$run_dir" -maxdepth 1 -name '.F.zip.protect-*' | wc -l)
    printf '%s: %s; work folders left: %d\n' "$1" "$where" "$leftovers"
}

# Starts protect and kills it: after a delay; a delay after the archive appeared at the
# zip path; or a delay after the first file of the folder disappeared.
kill_run() {  # mode (time|archive|removal), delay in ms
    python3 - "$cli" "$run_dir" "$password" "$1" "$2" <<'PY'
import os, signal, subprocess, sys, time
cli, run, password, mode, delay = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
sentinels = []
for folder, _, files in os.walk(f"{run}/F"):
    sentinels += [os.path.join(folder, name) for name in files[:20]]
p = subprocess.Popen([cli, "protect", f"{run}/F", f"{run}/F.zip", "--password", password],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
if mode == "archive":
    while not os.path.exists(f"{run}/F.zip") and p.poll() is None:
        pass
if mode == "removal":
    while all(os.path.lexists(s) for s in sentinels) and p.poll() is None:
        pass
time.sleep(delay / 1000)
if p.poll() is None:
    p.send_signal(signal.SIGKILL)
p.wait()
PY
}

failures=0
for ((k = 1; k <= points; k++)); do
    # Kill moments spread over the whole run.
    delay_ms=$(( total_ms * k / (points + 1) ))
    fresh_copy
    kill_run time "$delay_ms"
    check_recovery "$(printf 'kill at %6d ms' "$delay_ms")"
done
for delay_ms in 0 1 2 5 10 20 50; do
    # And while the folder is being removed.
    fresh_copy
    kill_run archive "$delay_ms"
    check_recovery "$(printf 'kill %3d ms after the archive appeared' "$delay_ms")"
done
for delay_ms in 0 1 2 5; do
    fresh_copy
    kill_run removal "$delay_ms"
    check_recovery "$(printf 'kill %3d ms after the first file went' "$delay_ms")"
done

if ((failures)); then
    echo "FAIL: $failures kills lost data"
    exit 1
fi
echo "PASS: every kill left every byte recoverable"
