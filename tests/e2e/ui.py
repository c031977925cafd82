"""What the window tests share: the UI driver (tools/ks_ui_driver.exe), the
screen's pixels under the session's display, and the screenshots saved for a
person to look at, as build/e2e-screens/<test>/NN-<page>.png."""
import re
import subprocess
from pathlib import Path

from conftest import BUILD, tool, win_path

# Accented texts reach the programs' command lines only in a UTF-8 locale.
UTF8 = {"LC_ALL": "C.UTF-8"}
CONVERT = "/usr/bin/convert"  # /usr/local/bin/convert may be a stand-in


EXIT_LINE = re.compile(r"^exit code (\d+)\n?\Z", re.M)
PID_LINE = re.compile(r"^pid (\d+)\n", re.M)


def windows_exit(code, out, err):
    """What the UI driver gave, with its exit code as Windows has it (the
    last line of the errors: after "run", the program's); the host's code
    when that line is missing (the driver did not get that far). The
    driver's own lines are left out of the errors."""
    found = EXIT_LINE.search(err)
    return (int(found[1]) if found else code), out, PID_LINE.sub("", EXIT_LINE.sub("", err), count=1)


def driver(wine, *args):
    """Runs the UI driver; gives its exit code, its output without the last
    line break, and its errors."""
    code, out, err = windows_exit(*wine.run(tool("ks_ui_driver"), *args, env=UTF8, timeout=60))
    return code, out.rstrip("\n"), err


class WindowsProgram:
    """A program started through the driver's "run"; finish() gives the exit
    code the program ended with in Windows. A program that drew with
    Direct2D can end with 0 there and still be killed on the host while its
    graphics driver tears down (-9), so the host's code is not its own."""

    def __init__(self, wine, started):
        self.wine, self.started, self.process = wine, started, started.process

    def output(self) -> str:
        return self.started.output()

    def finish(self, timeout=60):
        """Waits for the program; one that outlives the time is ended too,
        not only the driver waiting for it."""
        try:
            return windows_exit(*self.started.finish(timeout))
        except subprocess.TimeoutExpired:
            found = PID_LINE.search(Path(self.started.err.name).read_text("utf-8", "replace"))
            if found:
                self.wine.run("taskkill", "/f", "/pid", found[1], timeout=60)
            raise


def driver_run_args(exe, args):
    return (tool("ks_ui_driver"), "run", win_path(exe), *args)


def start_program(wine, exe, *args, env=None) -> WindowsProgram:
    """Starts a Windows program without waiting, in a UTF-8 locale."""
    return WindowsProgram(wine, wine.start(*driver_run_args(exe, args), env={**UTF8, **(env or {})}))


def run_program(wine, exe, *args, env=None, timeout=120):
    """Runs a Windows program in a UTF-8 locale; gives its Windows exit
    code, output and errors."""
    return windows_exit(*wine.run(*driver_run_args(exe, args), env={**UTF8, **(env or {})}, timeout=timeout))


def xdotool(display, *args) -> str:
    """Runs xdotool on the display (the real X pointer and keyboard); gives
    its output."""
    return subprocess.run(["xdotool", *map(str, args)], env={"DISPLAY": display, "PATH": "/usr/bin:/bin"},
                          check=True, timeout=30, capture_output=True, text=True).stdout


def screen_dump(display, attempts=5) -> bytes:
    """The whole screen as an xwd image. xwd asks after every window, and a
    window that goes meanwhile (a box that Wine is still taking down after
    it was answered) fails that dump with BadWindow: it is taken again."""
    for attempt in range(1, attempts + 1):
        done = subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True, timeout=60)
        if done.returncode != 0 and b"BadWindow" in done.stderr and attempt < attempts:
            continue
        done.check_returncode()
        return done.stdout


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
