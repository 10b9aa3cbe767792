#!/usr/bin/env python3
"""Deterministic benchmark corpus for the archive engine (about 2.6 GB):
  flat/      ~300 MB: 2,000 small text files, 50 binaries of 0.1-5 MB,
             5 random 10 MB files, 3 highly compressible 20 MB files
  big/big.bin  one 2 GB file of mixed content
  text.gz      a gzip file of about 300 MB (made with gzip -6)
  small/       20,000 text files of 40-60 bytes (a folder of many small files)
Usage: make_archive_corpus.py FOLDER   (skips what already exists)"""
import os
import random
import subprocess
import sys

MIB = 1 << 20
WORDS = ("the of and to in is that for it as was with be by on not he this are or his from at which but have an "
         "they you were her she there been one all we their has would when if so no will more can out other some what "
         "about into than them only time could new these two may first then do any like my now over such our man me "
         "even most made after also did many before must through back years where much your way well down should "
         "because each just those people how too little state good very make world still own see men work long get "
         "here between both life being under never day same another know while last might us great old year off come "
         "since against go came right used take three archive velmora folder protected window settings").split()


def text_block(rng, size):
    out = []
    n = 0
    while n < size:
        line = " ".join(rng.choices(WORDS, k=rng.randint(4, 16)))
        if rng.random() < 0.1:
            line = "%d;%s;%0.3f;%s" % (rng.randint(0, 10**6), rng.choice(WORDS), rng.random() * 1000, rng.choice(WORDS))
        out.append(line)
        n += len(line) + 1
    return ("\n".join(out) + "\n").encode()[:size]


def binary_block(rng, size, pool):
    """Executable-like: structured records, small integers, repeated tables, some noise."""
    parts = []
    n = 0
    while n < size:
        kind = rng.random()
        if kind < 0.35:
            chunk = bytes(rng.choice((0, 0, 0, 1, 2, 0xFF, rng.randrange(256))) for _ in range(rng.randint(64, 2048)))
        elif kind < 0.6:
            chunk = rng.randbytes(rng.randint(64, 4096))
        elif kind < 0.85:
            chunk = rng.choice(pool)
        else:
            chunk = b"".join(rng.randint(0, 4096).to_bytes(4, "little") for _ in range(rng.randint(16, 512)))
        parts.append(chunk)
        n += len(chunk)
    return b"".join(parts)[:size]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_flat(root):
    flat = os.path.join(root, "flat")
    if os.path.isdir(flat):
        return
    tmp = flat + ".tmp"
    os.makedirs(tmp, exist_ok=True)
    rng = random.Random(20261210)
    for i in range(2000):
        write(os.path.join(tmp, "note%04d.txt" % i), text_block(rng, rng.randint(2_000, 60_000)))
    pool = [rng.randbytes(rng.randint(256, 8192)) for _ in range(64)]
    for i in range(50):
        write(os.path.join(tmp, "program%02d.bin" % i), binary_block(rng, rng.randint(100_000, 5_000_000), pool))
    for i in range(5):
        write(os.path.join(tmp, "random%d.dat" % i), rng.randbytes(10 * MIB))
    for i in range(3):
        block = text_block(rng, 4096)
        write(os.path.join(tmp, "log%d.txt" % i), (block * (20 * MIB // len(block) + 1))[: 20 * MIB])
    os.rename(tmp, flat)


def make_small(root):
    small = os.path.join(root, "small")
    if os.path.isdir(small):
        return
    tmp = small + ".tmp"
    os.makedirs(tmp, exist_ok=True)
    rng = random.Random(18)
    for i in range(20000):
        line = " ".join(rng.choices(WORDS, k=12)).encode()
        write(os.path.join(tmp, "f%05d.txt" % i), line[: rng.randint(40, 60)].ljust(40, b"."))
    os.rename(tmp, small)


def mixed_stream(rng, total, mix=(0.45, 0.75, 0.9)):
    """1 MiB blocks: text, binary, random and runs, drawn from pools (deflate sees 32 KiB).
    mix gives the cumulative shares of text, binary and random blocks; the rest are runs."""
    pool = [rng.randbytes(rng.randint(256, 8192)) for _ in range(64)]
    texts = [text_block(rng, MIB) for _ in range(24)]
    bins = [binary_block(rng, MIB, pool) for _ in range(24)]
    done = 0
    while done < total:
        k = rng.random()
        if k < mix[0]:
            block = rng.choice(texts)
        elif k < mix[1]:
            block = rng.choice(bins)
        elif k < mix[2]:
            block = rng.randbytes(MIB)
        else:
            block = bytes([rng.randrange(256)]) * MIB
        block = block[: total - done]
        done += len(block)
        yield block


def make_big(root):
    path = os.path.join(root, "big", "big.bin")
    if os.path.exists(path):
        return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    rng = random.Random(77)
    with open(path + ".tmp", "wb") as f:
        for block in mixed_stream(rng, 2048 * MIB):
            f.write(block)
    os.rename(path + ".tmp", path)


def make_gz(root):
    path = os.path.join(root, "text.gz")
    if os.path.exists(path):
        return
    rng = random.Random(5)
    src = os.path.join(root, "gzsrc.bin")
    with open(src, "wb") as f:
        # Mostly text with some binary: gzip -6 brings ~900 MB down to about 300 MB.
        for block in mixed_stream(rng, 900 * MIB, mix=(0.85, 0.95, 0.97)):
            f.write(block)
    with open(path + ".tmp", "wb") as out:
        subprocess.run(["gzip", "-6", "-n", "-c", src], stdout=out, check=True)
    # Store a name so the output goes under it.
    data_name = b"gzsrc.bin"
    with open(path + ".tmp", "rb") as f, open(path, "wb") as g:
        head = bytearray(f.read(10))
        head[3] |= 0x08
        g.write(head + data_name + b"\0")
        while True:
            chunk = f.read(8 * MIB)
            if not chunk:
                break
            g.write(chunk)
    os.remove(path + ".tmp")
    os.remove(src)


if __name__ == "__main__":
    root = sys.argv[1]
    os.makedirs(root, exist_ok=True)
    make_flat(root)
    make_small(root)
    make_big(root)
    make_gz(root)
