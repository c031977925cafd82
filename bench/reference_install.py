#!/usr/bin/env python3
"""The install benchmark's reference: the same work done with ordinary tools.
Reads the catalogue documents in SERVED, downloads every listed file from
BASE with 8 parallel curl processes (one keep-alive connection each), then
checks the SHA-256 of the compressed bytes, inflates them with zlib, checks
the SHA-256 of the result and writes it under OUT. Prints the seconds the
downloads and the checks took together."""
import base64
import hashlib
import json
import os
import subprocess
import sys
import time
import urllib.parse
import zlib


def digest(data: bytes) -> str:
    return base64.b64encode(hashlib.sha256(data).digest()).decode()


def main(served: str, base: str, ca: str, out: str) -> None:
    entries = []
    for name in sorted(os.listdir(served)):
        if name.endswith(".Inf") and name != "All.Inf":
            with open(os.path.join(served, name), "rb") as f:
                document = json.loads(zlib.decompress(f.read()))
            child = name[: -len(".Inf")]
            entries += [(child, e) for e in document["files"]]
    download = os.path.join(out, "download")
    os.makedirs(download)
    start = time.perf_counter()
    # Eight curl processes, each fetching its share over one connection.
    jobs = []
    for worker in range(8):
        args = ["curl", "-sS", "--fail", "--cacert", ca]
        for child, e in entries[worker::8]:
            url = f"{base}/{child}/{urllib.parse.quote(e['name'])}"
            args += ["-o", os.path.join(download, child, e["name"]), "--create-dirs", url]
        jobs.append(subprocess.Popen(args))
    if any(job.wait() for job in jobs):
        sys.exit("a download failed")
    for child, e in entries:
        with open(os.path.join(download, child, e["name"]), "rb") as f:
            packed = f.read()
        if len(packed) != e["zsize"] or digest(packed) != e["zhash.sha256"]:
            sys.exit(f"{e['name']}: compressed bytes differ")
        content = zlib.decompress(packed)
        if len(content) != e["size"] or digest(content) != e["hash.sha256"]:
            sys.exit(f"{e['name']}: content differs")
        target = os.path.join(out, "app", child, e["name"])
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(content)
    print(f"{time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main(*sys.argv[1:])
