"""The installer executable end to end under Wine: silent installs from the
local HTTPS catalogues with the embedded setup script, the uninstaller, the
exit codes, the mode choice and the self-update hand-over.

The tests share the session's Wine prefix and run one after another; each
one that installs also uninstalls, or removes what it left."""
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import WINE, win_path, tool
from installation import (APP_ID, ENVIRONMENT_KEY, UNINSTALL_KEY, assert_nothing_left, host_path, installer,
                          publish_sample, reg_key_exists, reg_value, run_installer, shortcuts, temporary_copies,
                          uninstall, wait_until)
from sample_payload import sample_tree
from ui import driver, run_program, start_program


def file_paths(server):
    """The requests for installed files (not catalogues) of the last run."""
    return [p for p in server.paths() if ".Inf" not in p]


@pytest.fixture
def app(wine, tmp_path):
    """A fresh installation folder under C:, removed again at the end."""
    folder = host_path(wine, "C:\\ks-e2e\\" + tmp_path.name)
    shutil.rmtree(folder, ignore_errors=True)
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


def test_silent_install_rerun_and_uninstall(wine, server, tmp_path, app):
    files = publish_sample(server, tmp_path)
    log = tmp_path / "setup.log"
    dir_ = "C:\\ks-e2e\\" + tmp_path.name
    args = ["/VERYSILENT", "/URL=" + server.url("/($name)"), "/DIR=" + dir_,
            "/TASKS=associate,addtopath", "/LOG=" + win_path(log)]
    assert run_installer(wine, installer(), *args) == 0

    # Files in place, as published.
    for name, data in files.items():
        assert (app / name).read_bytes() == data, name
    assert (app / "unins000.exe").read_bytes() == installer().read_bytes()
    assert (app / "unins000.dat").read_bytes().startswith(b"KSETUP-JOURNAL 1\r\n")

    # Shortcuts: the group's two, and no desktop icon (task not chosen).
    assert shortcuts(wine) == ["common group: Desinstalar Ostrel Dax.lnk", "common group: Ostrel Dax.lnk"]

    # Registry on the 64-bit view, the chosen tasks' entries included.
    assert reg_value(wine, "HKLM\\Software\\Ostrel\\Dax", "InstallDir") == dir_
    assert reg_value(wine, "HKLM\\Software\\Ostrel\\Dax", "InstallDir", view=32) is None
    assert reg_value(wine, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Dax.exe") == \
        dir_ + "\\Bin\\Dax.exe"
    assert reg_value(wine, "HKLM\\Software\\Classes\\.daxp") == "OstrelDax.Project"
    assert reg_value(wine, "HKLM\\Software\\Classes\\OstrelDax.Unit\\shell\\open\\command") == \
        f'"{dir_}\\Bin\\Dax.exe" "%1"'
    assert (dir_ + "\\Bin").lower() in reg_value(wine, ENVIRONMENT_KEY, "Path").lower().split(";")
    assert reg_value(wine, UNINSTALL_KEY, "UninstallString") == f'"{dir_}\\unins000.exe"'
    assert reg_value(wine, UNINSTALL_KEY, "DisplayName") == "Ostrel Dax versão 1.0.0"

    lines = log.read_bytes().decode("utf-8").splitlines()
    assert any(l.endswith(f" --- instalando Ostrel Dax 1.0.0 em {dir_}") for l in lines), lines
    assert lines[-1].endswith(" --- instalação concluída"), lines

    # Again: every file is in place, so nothing is downloaded.
    server.clear()
    assert run_installer(wine, installer(), *args) == 0
    assert file_paths(server) == []

    # The uninstaller removes everything, itself last.
    assert uninstall(wine, app) == 0
    assert_nothing_left(wine, dir_)


# What Wine names of each process: the libraries it loads and the windows it
# makes, each line behind the process id.
TRACE = {"WINEDEBUG": "+pid,+loaddll,+win"}
LOADED = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(?:[^"]*\\)?([^"\\]+)"', re.M)
CREATED = re.compile(r"^([0-9a-f]+):[0-9a-f]+:trace:win:WIN_CreateWindowEx (.*) ex=.* parent=(\w+)", re.M)
MESSAGE_ONLY_PARENT = "FFFFFFFFFFFFFFFD"  # HWND_MESSAGE: COM's window, which no broadcast reaches
DRAWING_LIBRARIES = {"d2d1.dll", "d3d11.dll", "dxgi.dll", "dwrite.dll", "windowscodecs.dll", "gdiplus.dll",
                     "wined3d.dll"}
INSTALLER_NAMES = {"ostreldaxsetup.exe", "unins000.exe", "unins.exe"}


def installer_processes(trace):
    """Per process of the installer (under any of its names) in a TRACE
    trace: its name, the drawing libraries it loaded and the windows it
    made that are not message-only."""
    names, libraries, windows = {}, {}, {}
    for pid, name in LOADED.findall(trace):
        names.setdefault(pid, name.lower())  # a process loads its program first
        libraries.setdefault(pid, set()).add(name.lower())
    for pid, window, parent in CREATED.findall(trace):
        if parent.upper() != MESSAGE_ONLY_PARENT:
            windows.setdefault(pid, []).append(window)
    return [(names[pid], sorted(libraries[pid] & DRAWING_LIBRARIES), windows.get(pid, []))
            for pid in names if names[pid] in INSTALLER_NAMES]


def test_silent_runs_load_no_drawing_library_and_make_no_window(wine, server, tmp_path, app):
    """A "/VERYSILENT" install and uninstall show nothing, so they set up no
    part of the widget library, even on a display where Direct2D starts:
    none of their processes loads a drawing library or makes a window on
    which a broadcast (the uninstall's environment change) would wait."""
    publish_sample(server, tmp_path)
    args = ["/VERYSILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"), "/DIR=C:\\ks-e2e\\" + tmp_path.name,
            "/TASKS=addtopath"]
    env = {**TRACE, "ZYL_CANVAS": None}
    code, _, install_trace = run_program(wine, installer(), *args, env=env, timeout=180)
    assert code == 0
    code, _, uninstall_trace = run_program(wine, app / "unins000.exe", "/VERYSILENT", env=env, timeout=180)
    assert code == 0
    assert wait_until(lambda: not app.exists() and not temporary_copies(wine))

    assert installer_processes(install_trace) == [("ostreldaxsetup.exe", [], [])]
    assert installer_processes(uninstall_trace) == [("unins000.exe", [], []), ("unins.exe", [], [])]


@pytest.mark.parametrize("users_file", [False, True], ids=["empty", "users-file"])
def test_the_uninstall_removes_the_new_parents_of_the_installation_folder(wine, server, tmp_path, users_file):
    """Installed two levels below folders that did not exist: the uninstall
    takes those away too, but a parent that holds a file of the user's stays
    with it."""
    publish_sample(server, tmp_path)
    top_dir = "C:\\ks-e2e-novo-" + tmp_path.name
    top = host_path(wine, top_dir)
    shutil.rmtree(top, ignore_errors=True)
    try:
        args = ["/VERYSILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"), "/DIR=" + top_dir + "\\Sub\\App"]
        assert run_installer(wine, installer(), *args) == 0
        journal = (top / "Sub" / "App" / "unins000.dat").read_bytes().decode("utf-8").splitlines()
        assert {"D|" + top_dir, "D|" + top_dir + "\\Sub"} <= set(journal)
        if users_file:
            (top / "notas.txt").write_bytes(b"do usuario")

        assert uninstall(wine, top / "Sub" / "App") == 0
        if users_file:
            assert [p.name for p in top.iterdir()] == ["notas.txt"]
            assert (top / "notas.txt").read_bytes() == b"do usuario"
        else:
            assert not top.exists(), list(top.rglob("*"))
    finally:
        shutil.rmtree(top, ignore_errors=True)


def test_per_user_install_goes_to_the_users_folders_and_hkcu(wine, server, tmp_path):
    publish_sample(server, tmp_path)
    args = ["/VERYSILENT", "/CURRENTUSER", "/URL=" + server.url("/($name)"), "/TASKS=desktopicon"]
    assert run_installer(wine, installer(), *args) == 0
    install_dir = reg_value(wine, "HKCU\\Software\\Ostrel\\Dax", "InstallDir")
    assert install_dir is not None and install_dir.lower().endswith("\\appdata\\local\\programs\\ostrel"), install_dir
    app = host_path(wine, install_dir)
    assert (app / "Bin" / "Dax.exe").is_file()
    assert not reg_key_exists(wine, "HKLM\\Software\\Ostrel\\Dax")
    assert reg_key_exists(wine, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + APP_ID)
    assert reg_value(wine, "HKCU\\Software\\Classes\\.dax") is None  # association not chosen
    assert shortcuts(wine) == ["user desktop: Ostrel Dax.lnk", "user group: Desinstalar Ostrel Dax.lnk",
                               "user group: Ostrel Dax.lnk"]

    assert uninstall(wine, app) == 0
    assert not reg_key_exists(wine, "HKCU\\Software\\Ostrel\\Dax")
    assert shortcuts(wine) == []


def test_a_failed_download_rolls_back_and_ends_with_8(wine, server, tmp_path, app):
    publish_sample(server, tmp_path)
    server.always("/Fonts/DaxMono.ttf", "404")
    args = ["/VERYSILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"), "/DIR=C:\\ks-e2e\\" + tmp_path.name]
    assert run_installer(wine, installer(), *args) == 8
    assert not (app / "Bin" / "Dax.exe").exists()
    assert not (app / "unins000.dat").exists()
    assert not reg_key_exists(wine, UNINSTALL_KEY)


def test_an_install_killed_midway_and_run_again_uninstalls_without_residue(wine, server, tmp_path, app):
    files = publish_sample(server, tmp_path)
    args = ["/VERYSILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"), "/DIR=C:\\ks-e2e\\" + tmp_path.name]
    # One file answers late: the others arrive, and then the power goes.
    server.slow_seconds = 30
    server.always("/Fonts/DaxMono.ttf", "slow")
    first = subprocess.Popen([WINE, str(installer()), *args], env=wine.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_until(lambda: (app / "Rtl" / "Zyl" / "Controls.dax").is_file() and
                          (app / "Bin" / "Dax.exe").is_file(), seconds=60)
    finally:
        # Everything of this session's prefix ends at once, the installer too.
        wine.stop()
        wine.keep_server()
        first.wait(timeout=60)
    assert (app / "Fonts").is_dir() and not (app / "Fonts" / "DaxMono.ttf").exists()
    assert not (app / "unins000.dat").exists()

    server.clear()
    assert run_installer(wine, installer(), *args) == 0
    for name, data in files.items():
        assert (app / name).read_bytes() == data, name
    installed = sorted(str(p.relative_to(app)) for p in app.rglob("*") if p.is_file())
    assert installed == sorted(list(files) + ["unins000.dat", "unins000.exe"])

    # The folders the killed run made go with the uninstall, and so does
    # the installation folder (uninstall() waits for it).
    assert uninstall(wine, app) == 0
    assert not reg_key_exists(wine, UNINSTALL_KEY)


def test_a_file_in_use_is_replaced_at_restart_and_the_run_ends_with_9(wine, server, tmp_path, app):
    publish_sample(server, tmp_path, "1")
    args = ["/VERYSILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"), "/DIR=C:\\ks-e2e\\" + tmp_path.name]
    assert run_installer(wine, installer(), *args) == 0
    held = app / "Bin" / "Dax.exe"
    holder = subprocess.Popen([WINE, str(tool("ks_hold_file")), win_path(held)], env=wine.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_until(lambda: Path(str(held) + ".held").exists())
        publish_sample(server, tmp_path, "2")
        assert run_installer(wine, installer(), *args) == 9
    finally:
        Path(str(held) + ".release").touch()
        holder.wait(timeout=60)
    Path(str(held) + ".held").unlink()
    Path(str(held) + ".release").unlink()
    # The restart: the new file waits beside the old one until then.
    Path(str(held) + ".ksetup.tmp").replace(held)
    assert held.read_bytes() == sample_tree(tmp_path / "expected", "2")["Bin/Dax.exe"]
    assert uninstall(wine, app) == 0


def test_a_newer_installer_takes_over(wine, server, tmp_path, app):
    newer = tool("ks_fake_update").read_bytes()
    publish_sample(server, tmp_path, extra={"Update/OstrelDaxSetup.exe": newer})
    url = "/URL=" + server.url("/($name)")

    def report():
        found = [p / "updated-args.txt" for p in host_path(wine, "C:\\users").glob(
            "*/AppData/Local/Ostrel/SetupCache/Update") if (p / "updated-args.txt").exists()]
        return found[0] if found else None

    # A silent run waits for the new copy and ends with its code.
    assert run_installer(wine, installer(), "/SILENT", url, "/DIR=C:\\x y") == 42
    text = report().read_text("utf-8")
    assert text.endswith(f' /SILENT {url} "/DIR=C:\\x y" /KSETUPUPDATED'), text
    report().unlink()
    # An interactive run starts it and ends with 0 at once.
    assert run_installer(wine, installer(), url, "/DIR=C:\\ks-e2e\\" + tmp_path.name) == 0
    assert wait_until(lambda: report() is not None)
    report().unlink()
    # "/NOUPDATE" and "/KSETUPUPDATED" skip the check and install.
    for skip in ("/NOUPDATE", "/KSETUPUPDATED"):
        assert run_installer(wine, installer(), "/VERYSILENT", skip, url, "/DIR=C:\\ks-e2e\\" + tmp_path.name) == 0
        assert report() is None
    assert (app / "Bin" / "Dax.exe").is_file()
    assert uninstall(wine, app) == 0


def test_the_mode_follows_the_journal_file_and_the_phase_two_switch(wine, server, tmp_path):
    publish_sample(server, tmp_path)
    folder = tmp_path / "copy"
    folder.mkdir()
    exe = folder / "OstrelDaxSetup.exe"
    shutil.copy(installer(), exe)
    failing = ["/VERYSILENT", "/NOUPDATE", "/URL=https://localhost:1/($name)", "/DIR=" + win_path(tmp_path / "nada")]

    # A folder named unins000.dat is no journal: install mode (which fails here).
    (folder / "unins000.dat").mkdir()
    assert run_installer(wine, exe, *failing) == 8
    # An empty "/KSETUPPHASE2=" does not select the uninstaller either.
    assert run_installer(wine, exe, "/KSETUPPHASE2=", *failing) == 8
    (folder / "unins000.dat").rmdir()

    # With a value it does, wherever the program runs: phase 2 of an empty
    # per-user journal succeeds and its clean-up removes both sides.
    installed = tmp_path / "installed"
    installed.mkdir()
    (installed / "unins000.exe").write_bytes(b"MZ")
    (installed / "unins000.dat").write_bytes(b"KSETUP-JOURNAL 1\r\nM|Admin|0\r\n")
    assert run_installer(wine, exe, "/KSETUPPHASE2=" + win_path(installed / "unins000.exe"), "/VERYSILENT") == 0
    assert wait_until(lambda: not installed.exists() and not exe.exists())

    # A journal file beside the program makes a run without switches an
    # uninstall: phase 1 hands over to a temporary copy.
    folder.mkdir(exist_ok=True)
    shutil.copy(installer(), folder / "unins000.exe")
    (folder / "unins000.dat").write_bytes(b"KSETUP-JOURNAL 1\r\nM|Admin|0\r\n")
    assert run_installer(wine, folder / "unins000.exe", "/VERYSILENT") == 0
    assert wait_until(lambda: not folder.exists() and not temporary_copies(wine))


def test_the_ui_driver_reads_and_answers_the_installers_own_failure_box(wine, server, tmp_path, app):
    publish_sample(server, tmp_path)
    server.always("/Fonts/DaxMono.ttf", "404")
    args = ["/SILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"), "/DIR=C:\\ks-e2e\\" + tmp_path.name]
    started = start_program(wine, installer(), *args)
    code, text, err = driver(wine, "box", "Instalador", 1, 120000)
    assert code == 0, err
    assert re.fullmatch(r"DaxMono\.ttf: HTTP 404 em https://localhost:\d+/Fonts/DaxMono\.ttf", text), text
    assert started.finish(timeout=120)[0] == 8
    assert not (app / "unins000.dat").exists()
