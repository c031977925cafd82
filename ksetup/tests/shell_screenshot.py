"""Starts a screen probe under Wine on the current X display, takes the
root window with xwd and checks the pixels the probe announced (lines
"expect X Y R G B" before "ready") through ImageMagick (called by its full
path)."""
import os
import subprocess
import sys
import tempfile

emulator, probe = sys.argv[1], sys.argv[2]
process = subprocess.Popen([emulator, probe, "6"], stdout=subprocess.PIPE, text=True)
lines = []
for line in process.stdout:
    lines.append(line.strip())
    if line.strip() == "ready":
        break
assert "backend=gdi" in lines, lines
with tempfile.TemporaryDirectory() as folder:
    xwd = os.path.join(folder, "root.xwd")
    png = os.path.join(folder, "root.png")
    subprocess.run(["xwd", "-root", "-silent", "-display", os.environ["DISPLAY"], "-out", xwd], check=True)
    subprocess.run(["/usr/bin/convert", xwd, png], check=True)
    if os.environ.get("KS_SCREENSHOT_KEEP"):
        subprocess.run(["cp", png, os.environ["KS_SCREENSHOT_KEEP"]], check=True)
    expected = {}
    for line in lines:
        if line.startswith("expect "):
            x, y, r, g, b = map(int, line.split()[1:])
            expected[(x, y)] = (r, g, b)
    assert expected, lines
    failures = []
    for (x, y), colour in expected.items():
        out = subprocess.run(["/usr/bin/convert", png, "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                             check=True, capture_output=True).stdout
        if tuple(out[:3]) != colour:
            failures.append(f"({x},{y}) is {tuple(out[:3])}, expected {colour}")
process.wait(timeout=60)
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("screenshot ok")
