#!/usr/bin/env python3
"""Writes the install benchmark's source tree into FOLDER: "Small" holds
2,000 files of 1-8 KiB in 20 folders, "Large" 4 files of 64 MiB. The content
is text-like, so it compresses about as well as program files do; it is the
same on every run."""
import os
import random
import sys

WORDS = [f"{w}{i}" for i, w in enumerate("alfa beta gama delta epsilon zeta eta teta iota capa lambda mi ni csi "
                                         "omicron pi ro sigma tau ipsilon fi qui psi omega".split())] * 4


def text(rng: random.Random, size: int) -> bytes:
    out = bytearray()
    while len(out) < size:
        out += (" ".join(rng.choices(WORDS, k=12)) + f" {rng.getrandbits(32):08x}\n").encode()
    return bytes(out[:size])


def main(folder: str) -> None:
    rng = random.Random(20261210)
    for i in range(2000):
        path = os.path.join(folder, "Small", f"pasta{i % 20:02d}", f"arquivo{i:04d}.txt")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text(rng, rng.randint(1024, 8192)))
    block = text(rng, 1 << 20)
    for i in range(4):
        os.makedirs(os.path.join(folder, "Large"), exist_ok=True)
        with open(os.path.join(folder, "Large", f"grande{i}.bin"), "wb") as f:
            for j in range(64):
                # Each MiB differs a little, so the stream is not one repeat.
                f.write(bytes([i, j]) + block[2:])


if __name__ == "__main__":
    main(sys.argv[1])
