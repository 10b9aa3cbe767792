#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets: small valid archives and hostile ones
(unsafe names, wrong sizes and CRCs, truncation, bombs, broken Zip64 fields).
Run from this folder; the output is committed under corpus/."""
import gzip
import io
import os
import struct
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ZIP_DIR = os.path.join(HERE, "corpus", "zip")
GZ_DIR = os.path.join(HERE, "corpus", "gzip")
PROTECTED_DIR = os.path.join(HERE, "corpus", "protected")


def build_zip(entries, comment=b""):
    """entries: list of dicts name(bytes), data(bytes), method, flags, crc, csize, usize,
    extra, cextra, attrs, made_by, offset_delta. Returns archive bytes."""
    out = io.BytesIO()
    central = []
    for e in entries:
        data = e.get("data", b"")
        method = e.get("method", 0)
        payload = e.get("payload")
        if payload is None:
            if method == 8:
                c = zlib.compressobj(6, zlib.DEFLATED, -15)
                payload = c.compress(data) + c.flush()
            else:
                payload = data
        crc = e.get("crc", zlib.crc32(data) & 0xFFFFFFFF)
        csize = e.get("csize", len(payload))
        usize = e.get("usize", len(data))
        name = e["name"]
        extra = e.get("extra", b"")
        flags = e.get("flags", 0)
        offset = out.tell()
        out.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, 0, 0x5821, crc,
                              min(csize, 0xFFFFFFFF), min(usize, 0xFFFFFFFF), len(name), len(extra)))
        out.write(name + extra + payload)
        central.append((e, name, flags, method, crc, csize, usize, offset + e.get("offset_delta", 0)))
    cd_start = out.tell()
    for e, name, flags, method, crc, csize, usize, offset in central:
        cextra = e.get("cextra", b"")
        out.write(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, e.get("made_by", 20), 20, flags, method, 0, 0x5821,
                              crc, e.get("ccsize", min(csize, 0xFFFFFFFF)), e.get("cusize", min(usize, 0xFFFFFFFF)),
                              len(name), len(cextra), 0, 0, 0, e.get("attrs", 0x20), e.get("coffset", offset)))
        out.write(name + cextra)
    cd_end = out.tell()
    out.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), cd_end - cd_start, cd_start,
                          len(comment)) + comment)
    return out.getvalue()


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def zips():
    text = b"hello velmora\n" * 20
    write(ZIP_DIR, "ok_plain.zip", build_zip([{"name": b"a.txt", "data": text, "method": 8},
                                               {"name": b"dir/", "data": b""},
                                               {"name": b"dir/b.txt", "data": b"b"}]))
    write(ZIP_DIR, "bad_traversal.zip", build_zip([{"name": b"../evil.txt", "data": b"x"},
                                                   {"name": b"ok.txt", "data": b"y"}]))
    write(ZIP_DIR, "bad_traversal_nested.zip", build_zip([{"name": b"a/../../evil.txt", "data": b"x"}]))
    write(ZIP_DIR, "bad_backslash.zip", build_zip([{"name": b"..\\evil.txt", "data": b"x"}]))
    write(ZIP_DIR, "bad_absolute.zip", build_zip([{"name": b"/tmp/velmora-evil.txt", "data": b"x"}]))
    write(ZIP_DIR, "ok_posix_drive.zip", build_zip([{"name": b"C:/evil.txt", "data": b"x"}]))
    write(ZIP_DIR, "ok_symlink_outside.zip", build_zip([{"name": b"link", "data": b"/etc/passwd", "made_by": 0x0314,
                                                   "attrs": (0o120777 << 16)}]))
    write(ZIP_DIR, "bad_crc.zip", build_zip([{"name": b"a.txt", "data": text, "method": 8, "crc": 0x12345678}]))
    write(ZIP_DIR, "bad_size_small.zip", build_zip([{"name": b"a.txt", "data": text, "method": 8, "usize": 10}]))
    write(ZIP_DIR, "bad_size_large.zip", build_zip([{"name": b"a.txt", "data": text, "method": 8,
                                                     "usize": len(text) + 5}]))
    write(ZIP_DIR, "bad_stored_size.zip", build_zip([{"name": b"a.txt", "data": text, "usize": 3}]))
    full = build_zip([{"name": b"a.txt", "data": text, "method": 8}])
    write(ZIP_DIR, "bad_truncated.zip", full[: len(full) // 2])
    # Bomb: 50 MB of zeros declared as 1 KB.
    zeros = zlib.compressobj(9, zlib.DEFLATED, -15)
    bomb = zeros.compress(b"\0" * (50 << 20)) + zeros.flush()
    write(ZIP_DIR, "bad_bomb.zip", build_zip([{"name": b"bomb.bin", "payload": bomb, "method": 8,
                                               "crc": zlib.crc32(b"\0" * 1024), "usize": 1024}]))
    # Overlapping entries: two central records pointing at the same local header.
    one = {"name": b"a.txt", "data": text, "method": 8}
    two = dict(one, coffset=0)
    write(ZIP_DIR, "bad_overlap.zip", build_zip([one, two]))
    # Zip64 extra field that announces values it does not hold.
    write(ZIP_DIR, "bad_zip64_extra.zip", build_zip([{"name": b"a.txt", "data": b"x", "cusize": 0xFFFFFFFF,
                                                      "cextra": struct.pack("<HH", 1, 0)}]))
    # Zip64 locator pointing past the file: the classic end record, which holds real
    # values, is read instead.
    plain = build_zip([{"name": b"a.txt", "data": b"x"}])
    eocd = plain[-22:]
    locator = struct.pack("<IIQI", 0x07064B50, 0, 0xFFFFFFF0, 1)
    write(ZIP_DIR, "ok_zip64_locator_unfounded.zip", plain[:-22] + locator + eocd)
    write(ZIP_DIR, "bad_method.zip", build_zip([{"name": b"a.txt", "data": b"x", "method": 12}]))
    write(ZIP_DIR, "bad_encrypted.zip", build_zip([{"name": b"a.txt", "data": b"x" * 20, "flags": 1}]))
    write(ZIP_DIR, "bad_empty_name.zip", build_zip([{"name": b"", "data": b"x"}]))
    write(ZIP_DIR, "bad_not_zip.zip", b"This is plain text, not an archive.\n")
    # The same name twice: the second entry may not overwrite the first.
    write(ZIP_DIR, "bad_same_name_twice.zip", build_zip([{"name": b"a.txt", "data": b"first"},
                                                         {"name": b"a.txt", "data": b"second"}]))
    # Unix modes from host 3: kept, the setuid bit dropped.
    write(ZIP_DIR, "ok_unix_modes.zip", build_zip([{"name": b"key", "data": b"k", "made_by": 0x0314,
                                                    "attrs": (0o100600 << 16)},
                                                   {"name": b"suid", "data": b"s", "made_by": 0x0314,
                                                    "attrs": (0o104755 << 16)}]))


def pkware_encrypt(password, data):
    """Traditional PKWARE encryption of data (header included) with password."""
    crc = lambda c, b: zlib.crc32(bytes([b]), c ^ 0xFFFFFFFF) ^ 0xFFFFFFFF
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(p):
        keys[0] = crc(keys[0], p)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = crc(keys[2], keys[1] >> 24)

    for ch in password:
        update(ch)
    out = bytearray()
    for p in data:
        t = (keys[2] | 2) & 0xFFFF
        out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
        update(p)
    return bytes(out)


def protected():
    text = b"protected content\n" * 30
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    packed = c.compress(text) + c.flush()
    crc = zlib.crc32(text) & 0xFFFFFFFF
    # Check byte = high byte of the CRC (no descriptor flag), header of eleven fixed bytes.
    enc = pkware_encrypt(b"pw", bytes(range(1, 12)) + bytes([crc >> 24]) + packed)
    write(PROTECTED_DIR, "ok_deflated.zip", build_zip([{"name": b"dir/a.txt", "payload": enc, "method": 8,
                                                        "flags": 1, "crc": crc, "usize": len(text)}]))
    enc = pkware_encrypt(b"pw", bytes(range(1, 12)) + bytes([crc >> 24]) + text)
    write(PROTECTED_DIR, "ok_stored.zip", build_zip([{"name": b"b.txt", "payload": enc, "flags": 1, "crc": crc,
                                                      "usize": len(text)},
                                                     {"name": b"plain.txt", "data": b"not encrypted"}]))
    enc = pkware_encrypt(b"wrong", bytes(range(1, 12)) + bytes([crc >> 24]) + text)
    write(PROTECTED_DIR, "bad_password.zip", build_zip([{"name": b"c.txt", "payload": enc, "flags": 1, "crc": crc,
                                                         "usize": len(text)}]))
    enc = pkware_encrypt(b"pw", bytes(range(1, 12)) + bytes([crc >> 24]) + packed[:-5])
    write(PROTECTED_DIR, "bad_truncated_data.zip", build_zip([{"name": b"d.txt", "payload": enc, "method": 8,
                                                               "flags": 1, "crc": crc, "usize": len(text)}]))
    write(PROTECTED_DIR, "bad_traversal.zip", build_zip([{"name": b"../../x.txt", "data": b"x"}]))
    # Flattened, two folders' x.txt land on one path: the second fails the run.
    write(PROTECTED_DIR, "bad_clash.zip", build_zip([{"name": b"one/x.txt", "data": b"1"},
                                                     {"name": b"two/x.txt", "data": b"2"}]))
    # The protected layout itself: an encrypted "folder.zip" holding a plain archive.
    inner = build_zip([{"name": b"inside.txt", "data": text, "method": 8}, {"name": b"Sub.zip", "data": b"PK"}])
    icrc = zlib.crc32(inner) & 0xFFFFFFFF
    enc = pkware_encrypt(b"pw", bytes(range(1, 12)) + bytes([icrc >> 24]) + inner)
    write(PROTECTED_DIR, "ok_inner_folder_zip.zip", build_zip([{"name": b"folder.zip", "payload": enc, "flags": 1,
                                                               "crc": icrc, "usize": len(inner)}]))


def gzips():
    text = b"gzip seed data\n" * 50
    write(GZ_DIR, "ok_named.gz", gzip.compress(text, mtime=1685620801).replace(b"\x1f\x8b\x08\x00", b"\x1f\x8b\x08\x08", 1)[:10]
          + b"named.txt\0" + gzip.compress(text, mtime=1685620801)[10:])
    write(GZ_DIR, "ok_unnamed.gz", gzip.compress(text, mtime=0))
    good = gzip.compress(text, mtime=0)
    write(GZ_DIR, "bad_crc.gz", good[:-8] + struct.pack("<I", 0xDEADBEEF) + good[-4:])
    write(GZ_DIR, "bad_isize.gz", good[:-4] + struct.pack("<I", 7))
    write(GZ_DIR, "bad_truncated.gz", good[: len(good) // 2])
    write(GZ_DIR, "ok_traversal_name.gz", good[:3] + b"\x08" + good[4:10] + b"../../evil.txt\0" + good[10:])
    write(GZ_DIR, "ok_dot_name.gz", good[:3] + b"\x08" + good[4:10] + b"..\0" + good[10:])
    write(GZ_DIR, "bad_not_gzip.gz", b"plain text\n")
    # Several members make one file; damage in any of them, or bytes after the last, fail it.
    second = gzip.compress(b"second member\n", mtime=0)
    write(GZ_DIR, "ok_two_members.gz", good + second)
    write(GZ_DIR, "ok_zero_padding.gz", good + second + b"\0" * 512)
    write(GZ_DIR, "bad_second_member_crc.gz", good + second[:-8] + struct.pack("<I", 0xDEADBEEF) + second[-4:])
    write(GZ_DIR, "bad_trailing_garbage.gz", good + b"garbage")
    write(GZ_DIR, "ok_extra_comment_hcrc.gz", good[:3] + b"\x16" + good[4:10] + b"\x03\x00abc" + b"comment\0"
          + b"\x00\x00" + good[10:])


if __name__ == "__main__":
    os.makedirs(ZIP_DIR, exist_ok=True)
    os.makedirs(GZ_DIR, exist_ok=True)
    os.makedirs(PROTECTED_DIR, exist_ok=True)
    zips()
    protected()
    gzips()
