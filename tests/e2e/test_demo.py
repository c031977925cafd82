"""The README's main command without a display: the wizard clicked through
on an Xvfb of its own installs, and every page it passed is on disk."""
import os
import subprocess
import sys

from conftest import BUILD, ROOT


def test_the_main_job_installs_through_the_wizard_and_saves_its_pages():
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY" and not k.startswith("ZYL_")}
    done = subprocess.run([sys.executable, str(ROOT / "scripts" / "demo_install.py"), str(BUILD)], env=env,
                          capture_output=True, text=True, timeout=900)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    screens = BUILD / "demo" / "screens"
    saved = sorted(p.name for p in screens.glob("*.png"))
    assert [name[3:-4] for name in saved if name[3:-4] != "installing"] == ["welcome", "dir", "tasks", "ready",
                                                                            "finish"]
    for name in saved:
        assert str(screens / name) in done.stdout
    assert "Bin/Dax.exe" in done.stdout and '"InstallDir"="C:\\\\Program Files\\\\Ostrel"' in done.stdout
