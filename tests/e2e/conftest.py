"""Fixtures of the online end-to-end tests: a test CA and a certificate for
"localhost" made at set-up, an X display of the session's own, a copy of the
build's Wine prefix in which only that CA is trusted (the host's trust store
is never touched) and whose programs all draw on that display, the local
HTTPS catalogue server and a runner for the Windows probe program."""
import os
import select
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

from catalog_server import CatalogServer, make_test_ca  # noqa: E402

BUILD = Path(os.environ.get("KS_BUILD", ROOT / "build")).resolve()
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"


def win_path(path) -> str:
    """The Wine name of a host path (through drive Z:)."""
    return "Z:" + str(path).replace("/", "\\")


class PrivateDisplay:
    """An Xvfb of its own; `name` is its DISPLAY value. It picks a free
    display number itself and writes it to the pipe once it accepts clients."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                        "-nolisten", "tcp"], pass_fds=(write_end,),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        try:
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], 30)
                chunk = os.read(read_end, 16) if ready else b""
                if not chunk:
                    self.stop()
                    raise RuntimeError("Xvfb gave no display number")
                number += chunk
        finally:
            os.close(read_end)
        self.name = ":" + number.decode().strip()

    def stop(self):
        self.server.terminate()
        self.server.wait(timeout=30)


@pytest.fixture(scope="session")
def display():
    """An Xvfb of the session's own; gives its DISPLAY value."""
    try:
        screen = PrivateDisplay()
    except RuntimeError as error:
        pytest.fail(str(error))
    yield screen.name
    screen.stop()


@pytest.fixture(scope="session")
def tls(tmp_path_factory):
    """A test CA and a server certificate for "localhost" signed by it."""
    d = tmp_path_factory.mktemp("tls")
    make_test_ca(d)
    return d


def tool(name) -> Path:
    exe = BUILD / "tests" / "e2e" / "tools" / f"{name}.exe"
    if not exe.is_file():
        pytest.fail(f"{exe} is missing: build first (scripts/build.sh)")
    return exe


def merged_env(base: dict, extra) -> dict:
    """base with extra's variables set; a value None removes the variable."""
    env = dict(base, **(extra or {}))
    return {name: value for name, value in env.items() if value is not None}


class Wine:
    """Runs Windows programs in one private prefix. The env arguments add
    variables to the prefix's; a value None removes one."""

    def __init__(self, prefix: Path, home: Path, display: str):
        # The display reaches every program of the prefix, the wineserver
        # and the desktop process its first program starts included.
        self.env = dict(os.environ, WINEPREFIX=str(prefix), HOME=str(home), WINEDEBUG="-all",
                        WINEARCH="win64", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        DISPLAY=display)
        self.env.pop("XAUTHORITY", None)

    def run(self, exe, *args, env=None, timeout=120):
        # Files, not pipes: the prefix's own services outlive the program and
        # would hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([WINE, str(exe), *map(str, args)], env=merged_env(self.env, env),
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout).returncode
            out.seek(0)
            err.seek(0)
            return code, out.read().decode("utf-8").replace("\r\n", "\n"), err.read().decode("utf-8", "replace")

    def start(self, exe, *args, env=None):
        """Starts a program without waiting; finish() gives what run() gives."""
        return Started(self, exe, args, env)

    def keep_server(self):
        """One wineserver for the whole session, so each program starts fast."""
        self.server = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True)
        self.server.wait(timeout=30)


class Started:
    """A Windows program running in the background, its output in files."""

    def __init__(self, wine, exe, args, env):
        self.out, self.err = tempfile.NamedTemporaryFile(), tempfile.NamedTemporaryFile()
        self.process = subprocess.Popen([WINE, str(exe), *map(str, args)], env=merged_env(wine.env, env),
                                        stdin=subprocess.DEVNULL, stdout=self.out, stderr=self.err)

    def output(self) -> str:
        # Read through a file of its own: seeking the shared one would move
        # the program's write position too.
        return Path(self.out.name).read_bytes().decode("utf-8").replace("\r\n", "\n")

    def finish(self, timeout=60):
        try:
            code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise
        return code, self.output(), Path(self.err.name).read_bytes().decode("utf-8", "replace")


def trusting_wine(tls: Path, d: Path, display: str) -> Wine:
    """A copy of the build's Wine prefix in d, with its own wineserver
    running, in which only the test CA of tls is trusted."""
    source = BUILD / "wineprefix"
    if not (source / ".ready").is_file():  # made by the first test run under Wine (cmake/wine-run.sh)
        subprocess.run([str(ROOT / "cmake" / "wine-run.sh"), "cmd", "/c", "exit", "0"],
                       env=dict(os.environ, KS_BUILD_DIR=str(BUILD)), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The build's own wineserver saves the registry as it ends: copy after that.
    subprocess.run([WINESERVER, "-w"], env=dict(os.environ, WINEPREFIX=str(source)), check=True)
    subprocess.run(["cp", "-a", str(source), str(d / "prefix")], check=True)
    # The user folders (desktop, documents...) link to the build's home;
    # the copy gets folders of its own, so that what a program writes there
    # stays in the copy.
    for link in (d / "prefix" / "drive_c" / "users").glob("*/*"):
        if link.is_symlink():
            link.unlink()
            link.mkdir()
    (d / "home").mkdir()
    w = Wine(d / "prefix", d / "home", display)
    w.keep_server()
    code, out, err = w.run(tool("ks_trust_ca"), win_path(tls / "ca.der"))
    assert code == 0, err
    return w


@pytest.fixture(scope="session")
def wine(tls, display, tmp_path_factory):
    """A copy of the build's Wine prefix that trusts the test CA."""
    d = tmp_path_factory.mktemp("wine")
    w = trusting_wine(tls, d, display)
    yield w
    w.stop()
    shutil.rmtree(d / "prefix", ignore_errors=True)  # some 700 MB


@pytest.fixture
def server(tls, tmp_path):
    """The catalogue server over an empty folder (tests publish into it)."""
    folder = tmp_path / "served"
    folder.mkdir()
    s = CatalogServer(folder, tls / "server.pem", tls / "server.key").start()
    yield s
    s.stop()


@pytest.fixture
def probe(wine):
    """Runs ks_online_probe with arguments; gives its output lines."""
    exe = tool("ks_online_probe")

    def run(*args, env=None):
        code, out, err = wine.run(exe, *args, env=env)
        assert code == 0, f"probe exited {code}: {err}"
        return out.splitlines()
    return run
