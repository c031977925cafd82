"""What the screenshot tests share: start a probe under Wine on the current
X display and read its lines up to "ready", then take the root window with
xwd and compare pixels through ImageMagick (called by its full path)."""
import os
import subprocess
import sys
import tempfile


def start(emulator, probe, seconds="6"):
    """The running probe and the lines it printed up to "ready"."""
    process = subprocess.Popen([emulator, probe, seconds], stdout=subprocess.PIPE, text=True)
    lines = []
    for line in process.stdout:
        lines.append(line.strip())
        if line.strip() == "ready":
            break
    assert "backend=gdi" in lines, lines
    return process, lines


def check(process, expected):
    """Compares the screen at each (x, y) with its (r, g, b), waits for the
    probe and exits: 1 with the differences, else "screenshot ok"."""
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        xwd = os.path.join(folder, "root.xwd")
        png = os.path.join(folder, "root.png")
        subprocess.run(["xwd", "-root", "-silent", "-display", os.environ["DISPLAY"], "-out", xwd], check=True)
        subprocess.run(["/usr/bin/convert", xwd, png], check=True)
        if os.environ.get("KS_SCREENSHOT_KEEP"):
            subprocess.run(["cp", png, os.environ["KS_SCREENSHOT_KEEP"]], check=True)
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
