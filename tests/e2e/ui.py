"""What the window tests share: the UI driver (tools/ks_ui_driver.exe), the
screen's pixels under the session's display, and the screenshots saved for a
person to look at, as build/e2e-screens/<test>/NN-<page>.png."""
import re
import subprocess
from pathlib import Path

from conftest import BUILD, tool

# Accented texts reach the programs' command lines only in a UTF-8 locale.
UTF8 = {"LC_ALL": "C.UTF-8"}
CONVERT = "/usr/bin/convert"  # /usr/local/bin/convert may be a stand-in


def driver(wine, *args):
    """Runs the UI driver; gives its exit code, its output without the last
    line break, and its errors."""
    code, out, err = wine.run(tool("ks_ui_driver"), *args, env=UTF8, timeout=60)
    return code, out.rstrip("\n"), err


def screen_dump(display) -> bytes:
    """The whole screen as an xwd image."""
    return subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True, check=True,
                          timeout=60).stdout


def dump_rgb(dump: bytes, x, y, w, h) -> bytes:
    """The pixels of a rectangle of an xwd image as R, G, B bytes, row by row."""
    return subprocess.run([CONVERT, "xwd:-", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
                          input=dump, capture_output=True, check=True, timeout=60).stdout


def screen_rgb(display, x, y, w, h) -> bytes:
    """The screen's pixels in a rectangle as R, G, B bytes, row by row."""
    return dump_rgb(screen_dump(display), x, y, w, h)


class Screens:
    """Numbered screenshots in a folder of their own (emptied first), each
    cropped to a rectangle of the screen (a window's client area)."""

    def __init__(self, folder: Path):
        self.folder = folder
        self.count = 0
        if self.folder.is_dir():
            for old in self.folder.glob("*.png"):
                old.unlink()
        self.folder.mkdir(parents=True, exist_ok=True)

    def save(self, display, rect, page: str, dump: bytes = None) -> Path:
        """Saves the rectangle of the screen, or of a dump taken earlier
        (screen_dump) when the window may be gone by now."""
        x, y, w, h = rect
        self.count += 1
        path = self.folder / f"{self.count:02d}-{page}.png"
        subprocess.run([CONVERT, "xwd:-", "-crop", f"{w}x{h}+{x}+{y}", "+repage", str(path)],
                       input=dump if dump is not None else screen_dump(display), check=True, timeout=60)
        return path


def screens_for(request) -> Screens:
    """The screenshots of the running pytest test (request fixture)."""
    return Screens(BUILD / "e2e-screens" / re.sub(r"[^\w.-]+", "_", request.node.name))
