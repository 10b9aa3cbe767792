#!/usr/bin/env python3
"""Races a second process against real runs of velmora-cli: while unzip, restore, gunzip
and protect work, the swapper renames folders they work in away and puts symbolic links to
a victim folder in their place, again and again. Nothing may appear in the victim folder,
nothing in it may be deleted, and no file of it may end up in an archive.

usage: extraction_race.py VELMORA_CLI [TRIALS] [FILES]
"""
import gzip
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

CLI = sys.argv[1]
TRIALS = int(sys.argv[2]) if len(sys.argv) > 2 else 3
FILES = int(sys.argv[3]) if len(sys.argv) > 3 else 3000
FOLDERS = 10
PASSWORD = "race-password"
VICTIM_TEXT = b"victim file, never to be touched\n"


def make_victim(root):
    victim = os.path.join(root, "victim")
    os.makedirs(victim)
    # Named like the files the runs write, so a write or read through a link would hit them.
    for k in range(FOLDERS):
        for i in range(0, FILES // FOLDERS, 97):
            with open(os.path.join(victim, "f%05d.txt" % i), "wb") as f:
                f.write(VICTIM_TEXT)
    return victim


def victim_state(victim):
    state = {}
    for name in sorted(os.listdir(victim)):
        with open(os.path.join(victim, name), "rb") as f:
            state[name] = f.read()
    return state


def make_tree(root):
    for k in range(FOLDERS):
        folder = os.path.join(root, "d%d" % k)
        os.makedirs(folder)
        for i in range(FILES // FOLDERS):
            with open(os.path.join(folder, "f%05d.txt" % i), "wb") as f:
                f.write(b"file %d of folder %d\n" % (i, k))


class Swapper(threading.Thread):
    """Swaps each existing real folder among `folders` for a link to victim, moving the
    folder away first; removes its own links again after a moment so that the run may make
    the folder anew, and swaps again."""

    def __init__(self, folders, victim, delay, start_when):
        super().__init__(daemon=True)
        self.folders = folders
        self.victim = victim
        self.delay = delay
        self.start_when = start_when
        self.stop = False
        self.swaps = 0

    def run(self):
        n = 0
        time.sleep(self.delay)
        while self.start_when and not self.start_when() and not self.stop:
            time.sleep(0.0002)
        while not self.stop:
            for folder in self.folders:
                try:
                    if os.path.islink(folder):
                        os.unlink(folder)
                    elif os.path.isdir(folder):
                        n += 1
                        os.rename(folder, "%s.moved%d" % (folder, n))
                        os.symlink(self.victim, folder)
                        self.swaps += 1
                except OSError:
                    pass
            time.sleep(0.0005)


def run_raced(command, folders, victim, start_when=None):
    # The first swap comes at a different moment of each run: at once, or part way.
    swapper = Swapper(folders, victim, random.uniform(0, 0.15), start_when)
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    swapper.start()
    _, err = process.communicate(timeout=300)
    swapper.stop = True
    swapper.join()
    for folder in folders:
        if os.path.islink(folder):
            os.unlink(folder)
    return process.returncode, err.decode(errors="replace"), swapper.swaps


failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append("%s: %s" % (what, detail))


def trial_unzip(root, victim, archive):
    out = os.path.join(root, "out")
    os.makedirs(out)
    folders = [os.path.join(out, "d%d" % k) for k in range(FOLDERS)]
    return run_raced([CLI, "unzip", "--quiet", archive, out], folders, victim)


def trial_restore(root, victim, archive):
    out = os.path.join(root, "restored")
    os.makedirs(out)
    # The target itself is swapped once the restore works in it (a link given as the target
    # before the run starts is the user's own choice and is followed, as every unzip does).
    def started():
        try:
            return len(os.listdir(out)) > 0
        except OSError:
            return False

    return run_raced([CLI, "restore", "--quiet", archive, out, "--password", PASSWORD], [out], victim, started)


def trial_gunzip(root, victim, gz_source):
    folder = os.path.join(root, "g")
    os.makedirs(folder)
    shutil.copy(gz_source, os.path.join(folder, "big.bin.gz"))
    return run_raced([CLI, "gunzip", "--quiet", os.path.join(folder, "big.bin.gz")], [folder], victim)


def trial_protect(root, victim):
    src = os.path.join(root, "psrc")
    make_tree(src)
    archive = os.path.join(root, "p.zip")
    folders = [os.path.join(src, "d%d" % k) for k in range(FOLDERS)]
    code, err, swaps = run_raced([CLI, "protect", "--quiet", src, archive, "--password", PASSWORD], folders, victim)
    if code == 0 and os.path.exists(archive):
        # What was packed must not hold a victim file.
        back = os.path.join(root, "pback")
        os.makedirs(back)
        subprocess.run([CLI, "restore", "--quiet", archive, back, "--password", PASSWORD], check=True,
                       stdout=subprocess.DEVNULL)
        for dirpath, _, names in os.walk(back):
            for name in names:
                path = os.path.join(dirpath, name)
                if name.endswith(".zip"):
                    with zipfile.ZipFile(path) as z:
                        for info in z.infolist():
                            check("protect", z.read(info) != VICTIM_TEXT, "a victim file was packed: " + info.filename)
                else:
                    with open(path, "rb") as f:
                        check("protect", f.read() != VICTIM_TEXT, "a victim file was packed: " + name)
    return code, err, swaps


def main():
    base = tempfile.mkdtemp(prefix="velmora-race-")
    try:
        fixtures = os.path.join(base, "fixtures")
        tree = os.path.join(fixtures, "tree")
        make_tree(tree)
        archive = os.path.join(fixtures, "tree.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
            for k in range(FOLDERS):
                for i in range(FILES // FOLDERS):
                    z.write(os.path.join(tree, "d%d" % k, "f%05d.txt" % i), "d%d/f%05d.txt" % (k, i))
        protected = os.path.join(fixtures, "protected.zip")
        subprocess.run([CLI, "protect", "--quiet", tree, protected, "--password", PASSWORD], check=True,
                       stdout=subprocess.DEVNULL)
        gz = os.path.join(fixtures, "big.bin.gz")
        with gzip.open(gz, "wb", compresslevel=1) as f:
            block = os.urandom(1 << 16)
            for _ in range(1200):
                f.write(block)

        totals = {}
        for trial in range(TRIALS):
            for name in ("unzip", "restore", "gunzip", "protect"):
                root = os.path.join(base, "%s-%d" % (name, trial))
                os.makedirs(root)
                victim = make_victim(root)
                before = victim_state(victim)
                started = time.monotonic()
                if name == "unzip":
                    code, err, swaps = trial_unzip(root, victim, archive)
                elif name == "restore":
                    code, err, swaps = trial_restore(root, victim, protected)
                elif name == "gunzip":
                    code, err, swaps = trial_gunzip(root, victim, gz)
                else:
                    code, err, swaps = trial_protect(root, victim)
                elapsed = time.monotonic() - started
                after = victim_state(victim)
                check(name, before == after,
                      "the victim folder changed: %d files before, %d after" % (len(before), len(after)))
                check(name, code in (0, 1) and "Traceback" not in err, "exit %d: %s" % (code, err[-400:]))
                done = totals.setdefault(name, [0, 0, 0.0])
                done[0] += swaps
                done[1] += 1 if code == 0 else 0
                done[2] += elapsed
                shutil.rmtree(root, ignore_errors=True)
        for name, (swaps, ok, seconds) in totals.items():
            print("%s: %d trials (%.2f s each), %d swaps, %d runs succeeded" % (name, TRIALS, seconds / TRIALS, swaps, ok))
    finally:
        shutil.rmtree(base, ignore_errors=True)
    if failures:
        print("\n".join(failures), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
