#!/usr/bin/env python3
"""Writes a small sample of the Ostrel Dax payload: one folder per catalogue
("Bin", "Rtl", "Fonts") with a few generated files, ready for
publish_catalog.py. The version text changes every file's content.

    sample_payload.py FOLDER [VERSION]
"""
import sys
from pathlib import Path


def sample_tree(root: Path, version: str = "1") -> dict:
    """Writes the sample under root; returns the files' bytes by their path
    below the installation folder ("Bin/Dax.exe" ...)."""
    files = {
        "Bin/Dax.exe": b"MZ ide " + version.encode() * 5000,
        "Bin/daxc.exe": b"MZ compiler " + bytes(range(256)) * 40,
        "Bin/daxdbg.exe": b"MZ debugger",
        "Rtl/System.dax": "unidade System; // versão {}\n".format(version).encode() * 300,
        "Rtl/Zyl/Controls.dax": b"unidade Zyl.Controls;\n" * 200,
        "Fonts/DaxMono.ttf": bytes((i * 37) & 0xFF for i in range(70000)),
    }
    for name, data in files.items():
        path = Path(root) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return files


if __name__ == "__main__":
    sample_tree(Path(sys.argv[1]), sys.argv[2] if len(sys.argv) > 2 else "1")
