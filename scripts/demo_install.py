#!/usr/bin/env python3
"""The main job: installs a sample Ostrel Dax through the installer's wizard,
from a local HTTPS catalogue server, under Wine, and shows what it did.

    demo_install.py [BUILD]

Publishes the sample payload (scripts/sample_payload.py) with the catalogue
publisher, serves it on 127.0.0.1 (as https://localhost:PORT, the name the
test certificate carries) and runs "OstrelDaxSetup.exe /URL=..." in a copy
of the build's Wine prefix that trusts only the test CA.

With a display (DISPLAY set and answering) the wizard opens there for you
to click through. Without one it runs on an Xvfb of its own, the UI driver
clicks through every page, and each page is saved under BUILD/demo/screens/.
Then it prints the installed files, shortcuts, registry values and log, and
how to uninstall. Everything stays in BUILD/demo until the next run.
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
BUILD = Path(sys.argv[1] if len(sys.argv) > 1 else os.environ.get("KS_BUILD", ROOT / "build")).resolve()
os.environ["KS_BUILD"] = str(BUILD)

from catalog_server import CatalogServer, make_test_ca  # noqa: E402
from conftest import WINE, PrivateDisplay, trusting_wine, win_path  # noqa: E402
from publish_catalog import publish  # noqa: E402
from sample_payload import sample_tree  # noqa: E402
from ui import Screens, run_program  # noqa: E402
from wizard_pages import RUN_CHECK, Wizard  # noqa: E402

APP_KEYS = [
    "HKLM\\Software\\Ostrel\\Dax",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Dax.exe",
    "HKLM\\Software\\Classes\\.dax",
    "HKLM\\Software\\Classes\\OstrelDax.Unit\\shell\\open\\command",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}",
]


def heading(text):
    print(f"\n== {text}")


def display_answers(name) -> bool:
    if not name:
        return False
    return subprocess.run(["xdotool", "getdisplaygeometry"], env=dict(os.environ, DISPLAY=name),
                          capture_output=True, timeout=30).returncode == 0


def click_through(wine, display, installer, args, screens):
    """The wizard on a display nobody looks at: Next on every page, each
    saved as a screenshot, "Abrir o Ostrel Dax agora" unticked, then
    "Concluir". Gives the exit code."""
    wizard = Wizard.start(wine, display, installer, *args, screens=screens)
    for page in ("welcome", "dir", "tasks", "ready"):
        wizard.wait_page(page, seconds=120)
        print(f"  {wizard.screenshot(page)}")
        wizard.next()
    # The sample is small: the installing page may be over before a look.
    if wizard.wait(lambda s: s.page() in ("installing", "finish"), 60, "the install").page() == "installing":
        print(f"  {wizard.screenshot('installing')}")
    wizard.wait_page("finish", seconds=300)
    print(f"  {wizard.screenshot('finish')}")
    wizard.click(RUN_CHECK)
    wizard.next()
    return wizard.finish(seconds=120)


def main():
    installer = BUILD / "ksetup" / "OstrelDaxSetup.exe"
    if not installer.is_file():
        sys.exit(f"{installer} is missing: build first (scripts/build.sh)")
    work = BUILD / "demo"
    shutil.rmtree(work, ignore_errors=True)
    for name in ("tls", "wine", "payload", "served"):
        (work / name).mkdir(parents=True)

    tls = work / "tls"
    make_test_ca(tls)
    sample_tree(work / "payload")
    interactive = display_answers(os.environ.get("DISPLAY"))
    screen = None if interactive else PrivateDisplay()
    wine = trusting_wine(tls, work / "wine", os.environ["DISPLAY"] if interactive else screen.name)
    server = CatalogServer(work / "served", tls / "server.pem", tls / "server.key").start()
    try:
        publish(str(work / "payload"), str(work / "served"), server.url(""))
        log = work / "setup.log"
        args = ["/URL=" + server.url("/($name)"), "/LOG=" + win_path(log)]
        heading("OstrelDaxSetup.exe " + " ".join(args))
        if interactive:
            print(f"The wizard is open on {os.environ['DISPLAY']}: install, then close it.")
            code, _, err = run_program(wine, installer, *args, timeout=3600)
        else:
            print("No display: the wizard runs on an Xvfb of its own and is clicked through; its pages:")
            code = click_through(wine, screen.name, installer, args, Screens(work / "screens"))
            err = ""
        print(f"exit code {code}" + (f"\n{err}" if code else ""))
        print(f"{len(server.requests)} HTTPS requests served from {work / 'served'}")

        drive_c = Path(wine.env["WINEPREFIX"]) / "drive_c"
        app = drive_c / "Program Files" / "Ostrel"
        heading(f"Files in C:\\Program Files\\Ostrel ({app})")
        for path in sorted(p for p in app.rglob("*") if p.is_file()):
            print(f"  {path.relative_to(app)}  ({path.stat().st_size} bytes)")
        heading("Shortcuts")
        for path in sorted(drive_c.rglob("*.lnk")):
            if "Ostrel" in path.name or "Ostrel" in path.parent.name:
                print(f"  {path.relative_to(drive_c)}")
        heading("Registry (64-bit view)")
        # "reg query" prints in code page 437, which has no "ã"; an export
        # is UTF-16 and shows the values as they were written.
        exported = drive_c / "ksetup-demo.reg"
        for key in APP_KEYS:
            done = subprocess.run([WINE, "reg", "export", key, "C:\\ksetup-demo.reg", "/reg:64", "/y"],
                                  env=wine.env, capture_output=True)
            if done.returncode != 0 or not exported.exists():
                print(f"  {key}: missing")
                continue
            text = exported.read_bytes().decode("utf-16")
            print("\n".join(text.replace("\r\n", "\n").strip().splitlines()[1:]))
            exported.unlink()
        heading(f"Log {log}")
        print(log.read_text("utf-8") if log.exists() else "(no log)")
    finally:
        server.stop()
        wine.stop()
        if screen:
            screen.stop()

    heading("To uninstall")
    print(f"  WINEPREFIX={wine.env['WINEPREFIX']} HOME={wine.env['HOME']} WINEDEBUG=-all \\\n"
          f"    {WINE} 'C:\\Program Files\\Ostrel\\unins000.exe' /VERYSILENT")
    print("  (exit code 0; about two seconds later the uninstaller's own files and folders are gone too;\n"
          "  without /VERYSILENT, on a display, it asks first and removes the program in its window)")
    return code


if __name__ == "__main__":
    sys.exit(main())
