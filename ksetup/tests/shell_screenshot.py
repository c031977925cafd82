"""Starts a probe under Wine on the current X display, takes the root window
with xwd and checks screen pixels through ImageMagick (called by its full
path). Arguments: the emulator, the probe, then a JSON file listing expected
pixels as [x, y, [r, g, b], what] and any settings as NAME=VALUE: the ZYL_*
ones go to the probe, KS_SCREENSHOT_KEEP (also read from the environment)
names a PNG file that keeps each screenshot.

The probe prints "backend=" and its canvas backend, then for each page it
shows: optionally "page NAME" and "client x y width height" (its window's
client area on the screen), one line "expect x y r g b" per pixel it names,
any lines "ink left top right bottom edge" (the inked pixels of that screen
box must end at the column edge, within one: a pixel is ink when some
colour byte is a quarter of the way to black), then "ready". A probe that
named its page waits for a line on its standard input before the next page;
the kept screenshot of a named page has the name before the file's
extension and shows only the client area when the probe gave it. A
"fault ..." line fails the test."""
import glob
import json
import os
import subprocess
import sys
import tempfile
import time

emulator, probe = sys.argv[1], sys.argv[2]
settings = dict(argument.split("=", 1) for argument in sys.argv[3:] if "=" in argument)
from_files = []
for argument in sys.argv[3:]:
    if "=" not in argument:
        with open(argument, encoding="utf-8") as f:
            from_files += json.load(f)
keep = settings.pop("KS_SCREENSHOT_KEEP", os.environ.get("KS_SCREENSHOT_KEEP"))
# None of the library's settings but those the test names: otherwise the
# probe takes the program's own chain.
environment = {name: value for name, value in os.environ.items() if not name.startswith("ZYL_")}
environment.update(settings)
# The chain's first backend must start; under a display the program's own
# chain starts with Direct2D.
backend = settings.get("ZYL_CANVAS", "d2d").split(",")[0]


def screenshot(folder):
    """The root window as (width, RGB bytes), through xwd and ImageMagick."""
    xwd = os.path.join(folder, "root.xwd")
    # While Wine maps or unmaps a window, xwd's read of the root can fail
    # with BadDrawable; the next read finds the screen settled.
    for attempt in range(5):
        if subprocess.run(["xwd", "-root", "-silent", "-display", os.environ["DISPLAY"], "-out", xwd]).returncode == 0:
            break
        if attempt == 4:
            sys.exit("xwd could not read the screen")
        time.sleep(0.5)
    width = subprocess.run(["/usr/bin/identify", "-format", "%w", xwd], check=True, capture_output=True).stdout
    rgb = subprocess.run(["/usr/bin/convert", xwd, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return xwd, int(width), rgb


def differences(expected, width, rgb):
    failures = []
    for x, y, colour, what in expected:
        at = (y * width + x) * 3
        if list(rgb[at:at + 3]) != colour:
            failures.append(f"{what}: ({x},{y}) is {tuple(rgb[at:at + 3])}, expected {tuple(colour)}")
    return failures


def ink_differences(inks, width, rgb):
    failures = []
    for left, top, right, bottom, edge in inks:
        end = left
        for y in range(top, bottom):
            for x in range(end, right):
                at = (y * width + x) * 3
                if min(rgb[at:at + 3]) < 192:
                    end = x + 1
        if abs(end - edge) > 1:
            failures.append(f"ink in ({left},{top})-({right},{bottom}) ends at {end}, expected at {edge}")
    return failures


def kept_name(page):
    if page is None:
        return keep
    stem, extension = os.path.splitext(keep)
    return f"{stem}-{page}{extension}"


def check_page(folder, page, client, expected, inks):
    """Failures of the page's pixels; the display may show the frame a little
    after "ready" on a loaded machine (Direct2D's first frames on a fresh
    prefix, with every test starting at once, took seconds), so look again
    while the probe runs."""
    for attempt in range(25):
        xwd, width, rgb = screenshot(folder)
        failures = differences(expected, width, rgb) + ink_differences(inks, width, rgb)
        if not failures or process.poll() is not None:
            break
        time.sleep(0.8)
    if keep:
        crop = ["-crop", "{2}x{3}+{0}+{1}".format(*client), "+repage"] if client else []
        subprocess.run(["/usr/bin/convert", xwd] + crop + [kept_name(page)], check=True)
    return [f"{page or 'screen'}: {failure}" for failure in failures]


# No screenshot of an earlier run may stand in for one of this run.
if keep:
    stem, extension = os.path.splitext(keep)
    for old in [keep] + glob.glob(f"{stem}-*{extension}"):
        if os.path.exists(old):
            os.remove(old)
process = subprocess.Popen([emulator, probe, "6"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                           env=environment)
lines, failures, pages = [], [], 0
page, client, expected, inks = None, None, [], []
with tempfile.TemporaryDirectory() as folder:
    for line in process.stdout:
        line = line.strip()
        lines.append(line)
        words = line.split()
        if not words:
            continue
        if words[0] == "page":
            page = words[1]
        elif words[0] == "client":
            client = list(map(int, words[1:]))
        elif words[0] == "fault":
            failures.append(f"{page or 'screen'}: {line}")
        elif words[0] == "expect":
            x, y, r, g, b = map(int, words[1:])
            expected.append([x, y, [r, g, b], "pixel named by the probe"])
        elif words[0] == "ink":
            inks.append(list(map(int, words[1:])))
        elif words[0] == "ready":
            assert f"backend={backend}" in lines, lines
            assert expected + from_files, "no pixel to check"
            failures += check_page(folder, page, client, expected + from_files, inks)
            pages += 1
            if page is not None:
                process.stdin.write("next\n")
                process.stdin.flush()
            page, client, expected, inks = None, None, [], []
process.stdin.close()
process.wait(timeout=60)
assert pages, lines
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("screenshot ok")
