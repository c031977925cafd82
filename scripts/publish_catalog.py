#!/usr/bin/env python3
"""Publishes a folder tree as an Ostrel Dax catalogue set.

Every top-level folder of SOURCE becomes one child catalogue named after it;
the files below it (any depth) are its entries. OUTPUT receives, flat:

  All.Inf.hash        descriptor of the top catalogue
  All.Inf             the top catalogue document "All.Inf.json", zlib-compressed
  <Child>.Inf.hash    descriptor of each child catalogue
  <Child>.Inf         each child document "<Child>.Inf.json", zlib-compressed
  <Child>/<path>      every file of the child, zlib-compressed

with every size and Base64 SHA-256 digest filled in. The top catalogue's
"sources" fetch the child catalogues from BASE_URL + "/($name)"; a child's
"sources" fetch its files from BASE_URL + "/<Child>/($name)". A child installs
into OUTPATH_ROOT + "\\<Child>".

    publish_catalog.py SOURCE OUTPUT --base-url https://localhost:8443
"""
import argparse
import base64
import hashlib
import json
import os
import sys
import zlib

DEFAULT_OUTPATH_ROOT = "%ProgramFiles%\\Ostrel"


def digest(data: bytes) -> str:
    """The catalogues' digest text: standard Base64 of the SHA-256."""
    return base64.b64encode(hashlib.sha256(data).digest()).decode("ascii")


def compress(data: bytes) -> bytes:
    """A zlib stream (RFC 1950, window bits 15)."""
    return zlib.compress(data, 9)


def to_json(value) -> bytes:
    return json.dumps(value, ensure_ascii=False, indent=1).encode("utf-8")


def write(path: str, data: bytes) -> None:
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def file_entry(name: str, data: bytes, packed: bytes) -> dict:
    return {
        "name": name,
        "size": len(data),
        "hash.sha256": digest(data),
        "zsize": len(packed),
        "zhash.sha256": digest(packed),
    }


def publish_document(output: str, descriptor_name: str, document: bytes) -> bytes:
    """Writes a catalogue document's compressed download and its descriptor;
    returns the descriptor's bytes. The download is named after the
    descriptor without ".hash"; the document after it plus ".json"."""
    assert descriptor_name.endswith(".hash")
    download = descriptor_name[: -len(".hash")]
    packed = compress(document)
    write(os.path.join(output, download), packed)
    descriptor = to_json(file_entry(download + ".json", document, packed))
    write(os.path.join(output, descriptor_name), descriptor)
    return descriptor


def publish_child(output: str, folder: str, child: str, base_url: str) -> bytes:
    """Compresses every file of one child folder and publishes its catalogue;
    returns the child descriptor's bytes."""
    files = []
    for top, dirs, names in os.walk(folder):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(top, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            with open(path, "rb") as f:
                data = f.read()
            packed = compress(data)
            write(os.path.join(output, child, relative), packed)
            files.append(file_entry(relative, data, packed))
    document = {"sources": [{"url": f"{base_url}/{child}/($name)"}], "files": files}
    return publish_document(output, child + ".Inf.hash", to_json(document))


def publish(source: str, output: str, base_url: str, outpath_root: str = DEFAULT_OUTPATH_ROOT) -> list:
    """Publishes SOURCE into OUTPUT; returns the child names in order."""
    base_url = base_url.rstrip("/")
    children = sorted(e.name for e in os.scandir(source) if e.is_dir())
    if any(child.lower() == "all" for child in children):
        raise ValueError('a child catalogue cannot be named "All": the top catalogue has that name')
    entries = []
    for child in children:
        descriptor = publish_child(output, os.path.join(source, child), child, base_url)
        entries.append({
            "name": child + ".Inf.hash",
            "size": len(descriptor),
            "hash.sha256": digest(descriptor),
            "outpath": f"{outpath_root}\\{child}",
        })
    index = {"sources": [{"url": f"{base_url}/($name)"}], "files": entries}
    publish_document(output, "All.Inf.hash", to_json(index))
    return children


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source", help="folder whose top-level folders are the child catalogues")
    parser.add_argument("output", help="folder to serve")
    parser.add_argument("--base-url", required=True, help="where OUTPUT will be served, e.g. https://localhost:8443")
    parser.add_argument("--outpath-root", default=DEFAULT_OUTPATH_ROOT,
                        help="installation root of the children (default %(default)s)")
    args = parser.parse_args(argv)
    children = publish(args.source, args.output, args.base_url, args.outpath_root)
    print(f"published {len(children)} catalogue(s) into {args.output}: {', '.join(children)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
