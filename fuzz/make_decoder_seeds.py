#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_decoders: one valid stream per decoder, made by the
tools that write them (7zz for Deflate64 and AES, Python's bz2/lzma/zlib modules, the
zstd tool), each behind the target's 4-byte prefix (decoder, declared size).
Run from this folder; the output is committed under corpus/decoders, and small whole
archives of each method under corpus/zip."""
import bz2
import os
import random
import struct
import subprocess
import tempfile
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "decoders")


def sample():
    rng = random.Random(9)
    words = [b"seed ", b"window ", b"distance\n", b"length, "]
    text = b"".join(rng.choice(words) for _ in range(9000))
    return text + text[:40000] + bytes(rng.randrange(256) for _ in range(300)) + text[5000:30000]


def entry_data(archive, name):
    with zipfile.ZipFile(archive) as z:
        info = z.getinfo(name)
    raw = open(archive, "rb").read()
    off = info.header_offset
    nlen, xlen = struct.unpack_from("<HH", raw, off + 26)
    start = off + 30 + nlen + xlen
    return raw[start:start + info.compress_size]


def write(name, selector, declared, data, top=0):
    prefix = bytes([selector, declared & 0xFF, (declared >> 8) & 0xFF, ((declared >> 16) & 0x0F) | (top << 4)])
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(prefix + data)


def main():
    os.makedirs(OUT, exist_ok=True)
    plain = sample()
    n = len(plain)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "s.txt")
        open(src, "wb").write(plain)
        d64 = os.path.join(tmp, "d64.zip")
        subprocess.run(["7zz", "a", "-tzip", "-mm=Deflate64", "-mx=9", d64, src], check=True, capture_output=True)
        write("ok_deflate64", 0, n, entry_data(d64, "s.txt"))
        write("ok_bzip2", 1, n, bz2.compress(plain, 9))
        lz = os.path.join(tmp, "lz.zip")
        with zipfile.ZipFile(lz, "w", zipfile.ZIP_LZMA) as z:
            z.write(src, "s.txt")
        write("ok_lzma_eos", 3, n, entry_data(lz, "s.txt"))
        sized = os.path.join(tmp, "sized.zip")
        subprocess.run(["7zz", "a", "-tzip", "-mm=LZMA", sized, src], check=True, capture_output=True)
        write("ok_lzma_sized", 2, n, entry_data(sized, "s.txt"))
        import lzma
        write("ok_xz", 4, n, lzma.compress(plain))
        zst = subprocess.run(["zstd", "-q", "-c", "-19", src], check=True, capture_output=True).stdout
        write("ok_zstd", 5, n, zst)
        c = zlib.compressobj(9, zlib.DEFLATED, -15)
        write("ok_deflate", 6, n, c.compress(plain) + c.flush())
        c = zlib.compressobj(1, zlib.DEFLATED, -15, 9, zlib.Z_FIXED)
        write("ok_deflate_fixed", 6, n, c.compress(plain) + c.flush())
        c = zlib.compressobj(0, zlib.DEFLATED, -15)
        write("ok_deflate_stored", 6, 1000, c.compress(plain[:1000]) + c.flush())
        aes = os.path.join(tmp, "aes.zip")
        small = os.path.join(tmp, "small.txt")
        open(small, "wb").write(plain[:2000])
        subprocess.run(["7zz", "a", "-tzip", "-mm=Copy", "-mem=AES256", "-pfuzz", aes, small], check=True,
                       capture_output=True)
        write("ok_aes256", 7, 2000, entry_data(aes, "small.txt"), top=2)
        # Small whole archives of each method for fuzz_unzip (which verifies with "pw").
        zipdir = os.path.join(HERE, "corpus", "zip")
        for method, extra in [("Deflate64", []), ("BZip2", []), ("LZMA", []), ("XZ", []),
                              ("Deflate", ["-mem=AES256", "-ppw"]), ("LZMA", ["-mem=AES128", "-ppw"])]:
            # An AES archive cannot be extracted without its password: its seed is "bad_".
            name = ("bad_aes_%s_no_password.zip" if extra else "ok_method_%s.zip") % method.lower()
            target = os.path.join(zipdir, name)
            if os.path.exists(target):
                os.remove(target)
            subprocess.run(["7zz", "a", "-tzip", "-mm=" + method] + extra + [target, small], check=True,
                           capture_output=True)
    # A Deflate64 bomb: a fixed block of long matches declared as tiny.
    write("bad_deflate64_bomb", 0, 10, open(os.path.join(OUT, "ok_deflate64"), "rb").read()[4:])
    ppmd_seeds()


def ppmd_seeds():
    """Seeds of fuzz_ppmd (3-byte declared size, then the entry's data) made by 7zz with a
    1-4 MiB model, so the model fills up and is restarted or cut back, and a small PPMd
    archive for fuzz_unzip."""
    out = os.path.join(HERE, "corpus", "ppmd")
    os.makedirs(out, exist_ok=True)
    rng = random.Random(12)
    words = [b"model ", b"order ", b"context\n", b"escape, ", b"symbol; "]
    plain = b"".join(rng.choice(words) for _ in range(50000))
    plain += bytes(rng.randrange(256) for _ in range(2000)) + plain[1000:60000]
    n = len(plain)

    def put(name, declared, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(bytes([declared & 0xFF, (declared >> 8) & 0xFF, (declared >> 16) & 0x0F]) + data)

    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "s.txt")
        open(src, "wb").write(plain)
        made = {}
        for name, options in [("restart_o6", ["-mx=5", "-mm=PPMd:mem=1m:o=6"]),
                              ("cutoff_o16", ["-mx=9", "-mm=PPMd:mem=1m:o=16"]),
                              ("cutoff_o2", ["-mx=9", "-mm=PPMd:mem=2m:o=2"]),
                              ("restart_4m", ["-mx=5", "-mm=PPMd:mem=4m:o=8"])]:
            archive = os.path.join(tmp, name + ".zip")
            subprocess.run(["7zz", "a", "-tzip"] + options + [archive, src], check=True, capture_output=True)
            made[name] = entry_data(archive, "s.txt")
            put("ok_ppmd_" + name, n, made[name])
        data = made["restart_o6"]
        put("bad_ppmd_truncated", n, data[:len(data) // 2])
        put("bad_ppmd_declared_short", n - 1, data)
        put("bad_ppmd_declared_long", n + 1, data)
        put("bad_ppmd_freeze", n, bytes([data[0], data[1] & 0x0F | 0x20]) + data[2:])
        put("bad_ppmd_order1", n, bytes([data[0] & 0xF0, data[1]]) + data[2:])
        put("bad_ppmd_empty", 0, b"")
        small = os.path.join(tmp, "small.txt")
        open(small, "wb").write(plain[:3000])
        target = os.path.join(HERE, "corpus", "zip", "ok_method_ppmd.zip")
        if os.path.exists(target):
            os.remove(target)
        subprocess.run(["7zz", "a", "-tzip", "-mm=PPMd:mem=1m", target, small], check=True, capture_output=True)


if __name__ == "__main__":
    main()
