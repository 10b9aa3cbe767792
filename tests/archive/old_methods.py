#!/usr/bin/env python3
"""Test-only encoders of the three oldest ZIP methods, written from their format
description so that archives of them can be made at test time (no tool here writes
them): Shrink (LZW, 9-13 bit codes, partial clearing), Reduce (repeated strings behind a
DLE byte, then each byte coded against the follower set of the byte before) and Implode
(literals and distance/length pairs over a 4 or 8 KiB window, Shannon-Fano coded).

    old_methods.py OUTDIR   writes OUTDIR/shrink.zip, implode.zip, reduce.zip and the
                            plain contents of every entry under OUTDIR/expected/
The encoders aim at valid, varied streams (every code width, partial clears, matches
reaching before the first byte), not at small output."""
import heapq
import os
import random
import struct
import sys
import zlib


class Bits:
    """Bits, least significant first in each byte."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, n):
        self.acc |= (value & ((1 << n) - 1)) << self.count
        self.count += n
        while self.count >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.count -= 8

    def put_msb_first(self, code, n):
        for i in range(n - 1, -1, -1):
            self.put((code >> i) & 1, 1)

    def done(self):
        if self.count:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


# --- Shrink ------------------------------------------------------------------------

FREE = None


def shrink(data, clear_every=None):
    """clear_every: also clear partially about every that many codes (when safe)."""
    if not data:
        return b""
    bits = Bits()
    width = 9
    parent = [FREE] * 8192
    value = [0] * 8192
    lookup = {}
    last_slot = 256

    def emit(code):
        nonlocal width
        while code >= (1 << width):
            bits.put(256, width)
            bits.put(1, width)
            width += 1
        bits.put(code, width)

    def next_free():
        s = last_slot + 1
        while s < 8192 and parent[s] is not FREE:
            s += 1
        return s

    def clear_frees(w):
        """The slots a partial clear would free, and whether w survives it."""
        has_child = set()
        for s in range(257, last_slot + 1):
            if parent[s] is not FREE and parent[s] > 256:
                has_child.add(parent[s])
        freed = [s for s in range(257, last_slot + 1) if s not in has_child and parent[s] is not FREE]
        return freed, (w < 256 or w not in freed)

    w = data[0]
    since_clear = 0
    total_free = free_above = 8192 - 257  # free slots; those above last_slot
    for c in data[1:]:
        key = (w, c)
        if key in lookup:
            w = lookup[key]
            continue
        emit(w)
        since_clear += 1
        # The reader adds (w, c) when it reads the next code; a clear sent now comes first.
        # It is sent ahead of a full table, once the code just sent is not a leaf (a
        # cleared prefix would spoil the entry added next).
        forced = free_above == 0
        wanted = free_above < 400 or (clear_every is not None and since_clear >= clear_every)
        if forced or wanted:
            freed, safe = clear_frees(w)
            if safe:
                bits.put(256, width)
                bits.put(2, width)
                for s in freed:
                    del lookup[(parent[s], value[s])]
                    parent[s] = FREE
                last_slot = 256
                since_clear = 0
                total_free += len(freed)
                free_above = total_free
            elif forced:
                raise RuntimeError("table full while the last code would be cleared")
        slot = next_free()
        parent[slot] = w
        value[slot] = c
        lookup[key] = slot
        last_slot = slot
        total_free -= 1
        free_above -= 1
        w = c
    emit(w)
    return bits.done()


# --- matches for Reduce and Implode ------------------------------------------------

def find_matches(data, window, min_len, max_len, prefix=0):
    """Greedy tokens over data: ('lit', byte) or ('match', distance, length). Up to
    prefix zero bytes are taken to come before the data (the history starts as zeros)."""
    buf = bytes(prefix) + data
    heads = {}
    tokens = []
    pos = prefix

    def insert(p):
        if p + 3 <= len(buf):
            heads.setdefault(buf[p:p + 3], []).append(p)

    for p in range(prefix):
        insert(p)
    while pos < len(buf):
        best_len, best_dist = 0, 0
        for cand in reversed(heads.get(buf[pos:pos + 3], [])[-48:]):
            dist = pos - cand
            if dist > window:
                break
            n = 0
            while n < max_len and pos + n < len(buf) and buf[cand + n] == buf[pos + n]:
                n += 1
            if n > best_len:
                best_len, best_dist = n, dist
        if best_len >= min_len:
            tokens.append(("match", best_dist, best_len))
            for p in range(pos, pos + best_len):
                insert(p)
            pos += best_len
        else:
            tokens.append(("lit", buf[pos]))
            insert(pos)
            pos += 1
    return tokens


# --- Reduce ------------------------------------------------------------------------

def reduce(data, factor, max_followers=32):
    if not data:
        return b""
    stage = _stage(data, factor)
    counts = [dict() for _ in range(256)]
    last = 0
    for c in stage:
        counts[last][c] = counts[last].get(c, 0) + 1
        last = c
    followers = []
    for j in range(256):
        ranked = sorted(counts[j].items(), key=lambda kv: (-kv[1], kv[0]))
        followers.append([c for c, _ in ranked[:max_followers]])
    bits = Bits()
    for j in range(255, -1, -1):
        bits.put(len(followers[j]), 6)
        for c in followers[j]:
            bits.put(c, 8)
    last = 0
    for c in stage:
        s = followers[last]
        if not s:
            bits.put(c, 8)
        elif c in s:
            bits.put(0, 1)
            bits.put(s.index(c), max(1, (len(s) - 1).bit_length()))
        else:
            bits.put(1, 1)
            bits.put(c, 8)
        last = c
    return bits.done()


def _stage(data, factor):
    """The repeated-string layer: bytes (DLE as DLE 0) and DLE-led distance/length codes."""
    mask = 0x7F >> (factor - 1)
    stage = bytearray()
    pos = 0
    for t in find_matches(data, 256 << factor, 3, mask + 255 + 3, prefix=256 << factor):
        if t[0] == "lit":
            stage += bytes([144, 0]) if t[1] == 144 else bytes([t[1]])
            pos += 1
            continue
        _, dist, length = t
        extra = length - 3
        v = (((dist - 1) >> 8) << (8 - factor)) | min(extra, mask)
        if v == 0:  # would read as DLE 0: the bytes themselves instead
            for b in data[pos:pos + length]:
                stage += bytes([144, 0]) if b == 144 else bytes([b])
        else:
            stage += bytes([144, v])
            if extra >= mask:
                stage.append(extra - mask)
            stage.append((dist - 1) & 0xFF)
        pos += length
    return stage


def _expand(stage, factor):
    """The repeated-string layer read back (to check the encoder itself)."""
    mask = 0x7F >> (factor - 1)
    out = bytearray()
    i = 0
    while i < len(stage):
        c = stage[i]
        i += 1
        if c != 144:
            out.append(c)
            continue
        v = stage[i]
        i += 1
        if v == 0:
            out.append(144)
            continue
        length = v & mask
        if length == mask:
            length += stage[i]
            i += 1
        dist = ((v >> (8 - factor)) << 8) + stage[i] + 1
        i += 1
        for _ in range(length + 3):
            out.append(out[len(out) - dist] if len(out) >= dist else 0)
    return out


# --- Implode -----------------------------------------------------------------------

def code_lengths(freqs, limit=16):
    """Huffman code lengths (all symbols present, complete code, at most limit bits)."""
    freqs = [f + 1 for f in freqs]
    while True:
        depth = [0] * len(freqs)
        groups = {i: [i] for i in range(len(freqs))}
        heap = [(f, i) for i, f in enumerate(freqs)]
        heapq.heapify(heap)
        next_id = len(freqs)
        while len(heap) > 1:
            fa, a = heapq.heappop(heap)
            fb, b = heapq.heappop(heap)
            merged = groups.pop(a) + groups.pop(b)
            for s in merged:
                depth[s] += 1
            groups[next_id] = merged
            heapq.heappush(heap, (fa + fb, next_id))
            next_id += 1
        if max(depth) <= limit:
            return depth
        freqs = [(f >> 1) + 1 for f in freqs]


def canonical_codes(lengths):
    codes = [0] * len(lengths)
    code = 0
    for length in range(1, 17):
        for s in range(len(lengths)):
            if lengths[s] == length:
                codes[s] = code
                code += 1
        code <<= 1
    return codes


def put_tree(out, lengths):
    runs = []
    for n in lengths:
        if runs and runs[-1][0] == n and runs[-1][1] < 16:
            runs[-1][1] += 1
        else:
            runs.append([n, 1])
    out.append(len(runs) - 1)
    for n, count in runs:
        out.append(((count - 1) << 4) | (n - 1))


def implode(data, big_window, literal_tree, prefix=0):
    """Returns (packed, flags)."""
    flags = (2 if big_window else 0) | (4 if literal_tree else 0)
    if not data:
        return b"", flags
    low_bits = 7 if big_window else 6
    min_len = 3 if literal_tree else 2
    window = 8192 if big_window else 4096
    tokens = find_matches(data, window, min_len, min_len + 63 + 255, prefix=min(prefix, window))
    lit_f, len_f, dist_f = [0] * 256, [0] * 64, [0] * 64
    for t in tokens:
        if t[0] == "lit":
            lit_f[t[1]] += 1
        else:
            len_f[min(t[2] - min_len, 63)] += 1
            dist_f[(t[1] - 1) >> low_bits] += 1
    trees = []
    header = bytearray()
    if literal_tree:
        trees.append(code_lengths(lit_f))
    trees.append(code_lengths(len_f))
    trees.append(code_lengths(dist_f))
    for lengths in trees:
        put_tree(header, lengths)
    coded = [(lengths, canonical_codes(lengths)) for lengths in trees]
    lit_c = coded[0] if literal_tree else None
    len_c, dist_c = coded[-2], coded[-1]

    def put_symbol(bits, tree, s):
        lengths, codes = tree
        n = lengths[s]
        bits.put_msb_first(codes[s] ^ ((1 << n) - 1), n)  # every bit inverted

    bits = Bits()
    for b in header:
        bits.put(b, 8)
    for t in tokens:
        if t[0] == "lit":
            bits.put(1, 1)
            if literal_tree:
                put_symbol(bits, lit_c, t[1])
            else:
                bits.put(t[1], 8)
        else:
            _, dist, length = t
            bits.put(0, 1)
            bits.put((dist - 1) & ((1 << low_bits) - 1), low_bits)
            put_symbol(bits, dist_c, (dist - 1) >> low_bits)
            code = length - min_len
            put_symbol(bits, len_c, min(code, 63))
            if code >= 63:
                bits.put(code - 63, 8)
    return bits.done(), flags


# --- archives ----------------------------------------------------------------------

def write_zip(path, entries):
    """entries: (name, method, flags, plain, packed)."""
    out = bytearray()
    central = bytearray()
    for name, method, flags, plain, packed in entries:
        n = name.encode()
        crc = zlib.crc32(plain)
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, flags, method, 0, 0x21, crc, len(packed), len(plain),
                           len(n), 0) + n + packed
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 10, 10, flags, method, 0, 0x21, crc, len(packed),
                               len(plain), len(n), 0, 0, 0, 0, 0, offset) + n
    start = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), start, 0)
    with open(path, "wb") as f:
        f.write(out)


def samples():
    rng = random.Random(23)
    words = [bytes(rng.choice(b"etaoinshrdlucmfwyp") for _ in range(rng.randint(2, 9))) for _ in range(700)]
    text = b" ".join(rng.choice(words) for _ in range(5000))
    noisy = bytes(rng.randrange(256) for _ in range(20000))
    # Many different short strings: the Shrink table fills up, its codes reach 13 bits
    # and it must clear partially to go on.
    big = b"".join(rng.choice(words) + bytes([rng.randrange(256)]) for _ in range(30000))
    dle = bytes(rng.choice([144, 144, 0, 1, 2, 65, 66]) for _ in range(3000)) + text[:6000] + bytes([144]) * 700
    far = noisy[:6000] + text[:3000] + noisy[:6000]  # repeats 9000 bytes back
    return {
        "text": text,
        "noisy": noisy,
        "big": big,
        "dle": dle,
        "far": far,
        "zeros": bytes(300) + text[:2000],  # reaches back before the first byte
        "one": b"x",
        "empty": b"",
    }


def main(outdir):
    s = samples()
    os.makedirs(os.path.join(outdir, "expected"), exist_ok=True)
    archives = {
        "shrink.zip": [
            ("text.txt", 1, 0, s["text"], shrink(s["text"])),
            ("big.bin", 1, 0, s["big"], shrink(s["big"])),
            ("cleared.txt", 1, 0, s["text"], shrink(s["text"], clear_every=300)),
            ("noisy.bin", 1, 0, s["noisy"], shrink(s["noisy"], clear_every=1000)),
            ("one.txt", 1, 0, s["one"], shrink(s["one"])),
        ],
        "implode.zip": [],
        "reduce.zip": [],
    }
    for big_window in (False, True):
        for literal_tree in (False, True):
            for key in ("text", "far", "zeros", "noisy"):
                packed, flags = implode(s[key], big_window, literal_tree, prefix=8192)
                name = "%s-%s-%s.bin" % (key, "8k" if big_window else "4k", "3trees" if literal_tree else "2trees")
                archives["implode.zip"].append((name, 6, flags, s[key], packed))
    for factor in (1, 2, 3, 4):
        for key in ("dle", "text", "zeros"):
            plain = s[key]
            packed = reduce(plain, factor, max_followers=32 if key != "text" else 5)
            assert _expand_check(plain, factor)
            archives["reduce.zip"].append(("%s-f%d.bin" % (key, factor), 1 + factor, 0, plain, packed))
    for archive, entries in archives.items():
        write_zip(os.path.join(outdir, archive), entries)
        folder = os.path.join(outdir, "expected", archive[:-4])
        os.makedirs(folder, exist_ok=True)
        for name, _, _, plain, _ in entries:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(plain)


def _expand_check(plain, factor):
    return bytes(_expand(_stage(plain, factor), factor)) == plain


if __name__ == "__main__":
    main(sys.argv[1])
