#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_shrink, fuzz_reduce and fuzz_implode: small streams made
by the test encoders of tests/archive/old_methods.py, each behind the targets' 4-byte
prefix (variant, declared size; see OldMethodFuzz.h), and a few cut or misdeclared ones.
Run from this folder; the output is committed under corpus/shrink, corpus/reduce and
corpus/implode."""
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "archive"))
import old_methods  # noqa: E402


def write(folder, name, variant, declared, data):
    out = os.path.join(HERE, "corpus", folder)
    os.makedirs(out, exist_ok=True)
    prefix = bytes([variant, declared & 0xFF, (declared >> 8) & 0xFF, (declared >> 16) & 0x0F])
    with open(os.path.join(out, name), "wb") as f:
        f.write(prefix + data)


def main():
    rng = random.Random(5)
    words = [bytes(rng.choice(b"abcdefgh\x90") for _ in range(rng.randint(2, 6))) for _ in range(60)]
    text = b" ".join(rng.choice(words) for _ in range(700))
    zeros = bytes(40) + text[:500]
    packed = old_methods.shrink(text)
    write("shrink", "ok_shrink_text", 0, len(text), packed)
    write("shrink", "ok_shrink_cleared", 0, len(text), old_methods.shrink(text, clear_every=40))
    write("shrink", "bad_shrink_cut", 0, len(text), packed[: len(packed) // 2])
    write("shrink", "bad_shrink_declared_short", 0, len(text) - 1, packed)
    for factor in (1, 2, 3, 4):
        write("reduce", "ok_reduce_f%d" % factor, factor - 1, len(text), old_methods.reduce(text, factor))
    write("reduce", "ok_reduce_zeros", 1, len(zeros), old_methods.reduce(zeros, 2, max_followers=3))
    packed = old_methods.reduce(text, 3)
    write("reduce", "bad_reduce_cut", 2, len(text), packed[: len(packed) // 2])
    for flags in (0, 2, 4, 6):
        packed, _ = old_methods.implode(text, flags & 2, flags & 4)
        write("implode", "ok_implode_flags%d" % flags, flags, len(text), packed)
    packed, _ = old_methods.implode(zeros, True, False, prefix=8192)
    write("implode", "ok_implode_zeros", 2, len(zeros), packed)
    write("implode", "bad_implode_cut", 2, len(zeros), packed[: len(packed) // 2])
    write("implode", "bad_implode_declared_long", 2, len(zeros) + 5, packed)


if __name__ == "__main__":
    main()
