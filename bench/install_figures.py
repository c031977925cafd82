#!/usr/bin/env python3
"""Prints the figures of bench/install.sh from its work folder: the
catalogue's size, the rounds, our median wall time with MB/s and files/s, the
peak memory against its goal and the ratio to the reference pipeline."""
import json
import os
import statistics
import sys
import zlib

MIB = 1 << 20


def catalogue(served):
    """(files, installed bytes, downloaded bytes, largest size + zsize)."""
    files = size = zsize = largest = 0
    for name in os.listdir(served):
        if name.endswith(".Inf") and name != "All.Inf":
            with open(os.path.join(served, name), "rb") as f:
                for e in json.loads(zlib.decompress(f.read()))["files"]:
                    files += 1
                    size += e["size"]
                    zsize += e["zsize"]
                    largest = max(largest, e["size"] + e["zsize"])
    return files, size, zsize, largest


def main(work):
    files, size, zsize, largest = catalogue(os.path.join(work, "served"))
    # Each round: our wall seconds, our peak RSS in KiB, our peak working set, the reference's seconds.
    rounds = [line.split() for line in open(os.path.join(work, "rounds.txt"))]
    ours = statistics.median(float(r[0]) for r in rounds)
    reference = statistics.median(float(r[3]) for r in rounds)
    rss = max(int(r[1]) for r in rounds) * 1024
    peak = max(int(r[2]) for r in rounds)
    idle = int(open(os.path.join(work, "idle.time")).read().split()[-1]) * 1024
    bound = 8 * largest + 64 * MIB
    print(f"catalogue: {files} files, {size / MIB:.1f} MiB installed, {zsize / MIB:.1f} MiB downloaded")
    print("rounds (ours s / reference s): " + ", ".join(f"{float(r[0]):.2f}/{float(r[3]):.2f}" for r in rounds))
    print(f"ours (median): {ours:.2f} s wall, {size / MIB / ours:.1f} MB/s installed, "
          f"{zsize / MIB / ours:.1f} MB/s downloaded, {files / ours:.0f} files/s")
    print(f"ours: peak working set {peak / MIB:.1f} MiB, process peak RSS {rss / MIB:.1f} MiB "
          f"(Wine alone {idle / MIB:.1f} MiB); goal under 8 x (largest zsize + size) + 64 MiB = "
          f"{bound / MIB:.1f} MiB: {'met' if max(peak, rss) < bound else 'MISSED'}")
    print(f"reference (8 x curl, then Python SHA-256 + inflate + write), median: {reference:.2f} s; "
          f"ours/reference = {ours / reference:.2f} ({'no slower' if ours <= reference else 'SLOWER'})")


if __name__ == "__main__":
    main(sys.argv[1])
