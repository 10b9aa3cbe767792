#!/usr/bin/env python3
"""Writes a ZIP archive of a folder's files (flat) whose entries are Zstandard (method 93)
streams made by the zstd tool: the container by Python's zipfile module, each entry's
data by `zstd -3`. 7-Zip reads such archives but does not write them.
Usage: zstd_zip.py FOLDER ARCHIVE"""
import os
import struct
import subprocess
import sys
import zipfile
import zlib


def main():
    folder, archive = sys.argv[1], sys.argv[2]
    names = sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))
    plain_info = {}
    with zipfile.ZipFile(archive, "w") as z:
        for name in names:
            path = os.path.join(folder, name)
            packed = subprocess.run(["zstd", "-q", "-c", "-3", path], check=True, capture_output=True).stdout
            with open(path, "rb") as f:
                plain = f.read()
            plain_info[name] = (zlib.crc32(plain), len(plain))
            z.writestr(name, packed)
    data = bytearray(open(archive, "rb").read())
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
    for info in infos:
        crc, size = plain_info[info.filename]
        # Local header: method, CRC-32, packed size (unchanged), plain size.
        struct.pack_into("<H", data, info.header_offset + 8, 93)
        struct.pack_into("<I", data, info.header_offset + 14, crc)
        struct.pack_into("<I", data, info.header_offset + 22, size)
    # Central headers, in the same order.
    at = data.rfind(b"PK\x05\x06")
    cd = struct.unpack_from("<I", data, at + 16)[0]
    for info in infos:
        crc, size = plain_info[info.filename]
        struct.pack_into("<H", data, cd + 10, 93)
        struct.pack_into("<I", data, cd + 16, crc)
        struct.pack_into("<I", data, cd + 24, size)
        n, x, c = struct.unpack_from("<HHH", data, cd + 28)
        cd += 46 + n + x + c
    open(archive, "wb").write(data)


if __name__ == "__main__":
    main()
