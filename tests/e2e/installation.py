"""What the installer's end-to-end tests share: the built installer, the
sample payload published on the catalogue server, and what an installation
leaves in the Wine prefix (files, registry values, shortcuts, temporary
uninstaller copies), read from the host side."""
import re
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import BUILD, WINE
from publish_catalog import publish
from sample_payload import sample_tree
from ui import run_program

APP_ID = "{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + APP_ID
ENVIRONMENT_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"


def installer() -> Path:
    exe = BUILD / "ksetup" / "OstrelDaxSetup.exe"
    if not exe.is_file():
        pytest.fail(f"{exe} is missing: build first (scripts/build.sh)")
    return exe


def publish_sample(server, tmp_path, version="1", extra=None):
    """Publishes the sample into the server's folder; extra maps more child
    folders' files (e.g. the "Update" catalogue) to their bytes."""
    source = tmp_path / f"payload-{version}"
    shutil.rmtree(source, ignore_errors=True)
    files = sample_tree(source, version)
    for name, data in (extra or {}).items():
        path = source / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    publish(str(source), server.folder, server.url(""))
    return files


def prefix(wine) -> Path:
    return Path(wine.env["WINEPREFIX"])


def host_path(wine, windows_path: str) -> Path:
    """The host path of a C: path inside the prefix."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return prefix(wine) / "drive_c" / windows_path[3:].replace("\\", "/")


ROOT_NAMES = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER", "HKCR": "HKEY_CLASSES_ROOT",
              "HKU": "HKEY_USERS"}


def reg_values(wine, key, view=64):
    """The values of a key by lower-cased name (value names ignore case; ""
    for the default value), None when the key is missing. Read through "reg export", whose file is UTF-16 ("reg
    query" prints in code page 437, which has no "ã"): strings and
    expandable strings as text, DWORDs as numbers."""
    exported = prefix(wine) / "drive_c" / "ks-e2e-export.reg"
    done = subprocess.run([WINE, "reg", "export", key, "C:\\ks-e2e-export.reg", f"/reg:{view}", "/y"],
                          env=wine.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    if done.returncode != 0 or not exported.exists():
        return None
    text = exported.read_bytes().decode("utf-16")
    exported.unlink()
    root, _, rest = key.partition("\\")
    section = f"[{ROOT_NAMES.get(root.upper(), root)}\\{rest}]".lower()
    unescape = lambda quoted: re.sub(r"\\(.)", r"\1", quoted[1:-1])  # noqa: E731
    values, inside = {}, False
    # Long hex data goes on over several lines, each but the last ending in "\".
    for line in re.sub(r"\\\r?\n\s*", "", text).splitlines():
        if line.startswith("["):
            inside = line.lower() == section
            continue
        found = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line) if inside else None
        if not found:
            continue
        name, data = ("" if found[1] == "@" else unescape(found[1]).lower()), found[2]
        if data.startswith('"'):
            values[name] = unescape(data)
        elif data.startswith("dword:"):
            values[name] = int(data[6:], 16)
        elif data.startswith("hex(2):"):
            values[name] = bytes.fromhex(data[7:].replace(",", "")).decode("utf-16-le").rstrip("\0")
        else:
            values[name] = data
    return values


def reg_value(wine, key, name=None, view=64):
    """A value's data (name None: the default value); None when missing."""
    values = reg_values(wine, key, view)
    return None if values is None else values.get((name or "").lower())


def reg_key_exists(wine, key, view=64) -> bool:
    return reg_values(wine, key, view) is not None


def shortcuts(wine):
    """The product's shortcuts: "common" or "user", then the place and name."""
    users = prefix(wine) / "drive_c" / "users"
    places = {
        "common group": [prefix(wine) / "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ostrel Dax"],
        "user group": list(users.glob("*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Ostrel Dax")),
        "common desktop": [users / "Public" / "Desktop"],
        # The user's desktop may be a link out of the prefix.
        "user desktop": [p for p in users.glob("*/Desktop") if p.parent.name != "Public"],
    }
    return sorted(f"{place}: {link.name}" for place, folders in places.items()
                  for folder in folders if folder.is_dir() for link in folder.glob("*.lnk"))


def temporary_copies(wine):
    users = prefix(wine) / "drive_c" / "users"
    return list(users.glob("*/Temp/ksetup_un_*")) + list(users.glob("*/AppData/Local/Temp/ksetup_un_*"))


def wait_until(condition, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.25)
    return condition()


def run_installer(wine, exe, *args, timeout=180):
    """Runs the installer or the uninstaller; gives its Windows exit code."""
    return run_program(wine, exe, *args, timeout=timeout)[0]


def uninstall(wine, app: Path):
    """Runs the installed uninstaller silently and waits for its clean-up."""
    code = run_installer(wine, app / "unins000.exe", "/VERYSILENT")
    assert wait_until(lambda: not app.exists() and not temporary_copies(wine)), list(app.rglob("*"))
    return code


def assert_nothing_left(wine, dir_):
    """After an uninstall of an all-users install into dir_: no shortcut,
    none of the product's registry keys, its folder off the PATH."""
    assert shortcuts(wine) == []
    for key in ("HKLM\\Software\\Ostrel\\Dax", "HKLM\\Software\\Ostrel",
                "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Dax.exe",
                "HKLM\\Software\\Classes\\.dax", "HKLM\\Software\\Classes\\OstrelDax.Unit", UNINSTALL_KEY):
        assert not reg_key_exists(wine, key), key
    assert (dir_ + "\\Bin").lower() not in (reg_value(wine, ENVIRONMENT_KEY, "Path") or "").lower().split(";")
