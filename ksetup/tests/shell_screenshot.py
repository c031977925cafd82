"""Starts a probe under Wine on the current X display, takes the root window
with xwd and checks screen pixels through ImageMagick (called by its full
path). Arguments: the emulator, the probe, then a JSON file listing expected
pixels as [x, y, [r, g, b], what] and any ZYL_* settings for the probe as
NAME=VALUE. The probe may name more pixels itself before "ready", one line
"expect x y r g b" each."""
import json
import os
import subprocess
import sys
import tempfile
import time

emulator, probe = sys.argv[1], sys.argv[2]
settings = [argument for argument in sys.argv[3:] if "=" in argument]
expected = []
for argument in sys.argv[3:]:
    if "=" not in argument:
        with open(argument, encoding="utf-8") as f:
            expected += json.load(f)
# None of the library's settings but those the test names: otherwise the
# probe takes the program's own chain.
environment = {name: value for name, value in os.environ.items() if not name.startswith("ZYL_")}
environment.update(setting.split("=", 1) for setting in settings)
process = subprocess.Popen([emulator, probe, "6"], stdout=subprocess.PIPE, text=True, env=environment)
lines = []
for line in process.stdout:
    lines.append(line.strip())
    words = line.split()
    if words and words[0] == "expect":
        x, y, r, g, b = map(int, words[1:])
        expected.append([x, y, [r, g, b], "pixel named by the probe"])
    elif line.strip() == "ready":
        break
# Under a display the program's own chain starts with Direct2D.
backend = dict(setting.split("=", 1) for setting in settings).get("ZYL_CANVAS", "d2d")
assert f"backend={backend}" in lines, lines
assert expected, "no pixel to check"


def screen_pixels(folder):
    """The root window as (width, RGB bytes), through xwd and ImageMagick."""
    xwd = os.path.join(folder, "root.xwd")
    subprocess.run(["xwd", "-root", "-silent", "-display", os.environ["DISPLAY"], "-out", xwd], check=True)
    if os.environ.get("KS_SCREENSHOT_KEEP"):
        subprocess.run(["/usr/bin/convert", xwd, os.environ["KS_SCREENSHOT_KEEP"]], check=True)
    width = subprocess.run(["/usr/bin/identify", "-format", "%w", xwd], check=True, capture_output=True).stdout
    rgb = subprocess.run(["/usr/bin/convert", xwd, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return int(width), rgb


def differences(width, rgb):
    failures = []
    for x, y, colour, what in expected:
        at = (y * width + x) * 3
        if list(rgb[at:at + 3]) != colour:
            failures.append(f"{what}: ({x},{y}) is {tuple(rgb[at:at + 3])}, expected {tuple(colour)}")
    return failures


# The probe says "ready" once its frame should be up; on a loaded machine the
# display may show it a little later, so look again while the probe runs.
with tempfile.TemporaryDirectory() as folder:
    for attempt in range(5):
        failures = differences(*screen_pixels(folder))
        if not failures or process.poll() is not None:
            break
        time.sleep(0.8)
process.wait(timeout=60)
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("screenshot ok")
