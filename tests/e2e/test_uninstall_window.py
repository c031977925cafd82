"""The uninstaller's window end to end under Wine: after a silent install,
"unins000.exe" without switches asks "Desinstalar", removes everything in
the window "Desinstalar - Ostrel Dax" with its progress bar and reports the
outcome in a box; with "/SILENT" it asks nothing but shows the window and
the outcome.

The window lives only as long as the removal takes (a second or so), so the
screen is dumped over and over while it may be up, and the last dump that
shows the window with its bar is saved."""
import subprocess
import threading
from collections import deque

from installation import assert_nothing_left, installer, publish_sample, run_installer, temporary_copies, wait_until
from test_installer import app  # noqa: F401
from ui import driver, dump_rgb, screen_dump, screens_for, start_program

TITLE = "Desinstalar - Ostrel Dax"
REMOVED = "Ostrel Dax foi removido do computador."
# Client points of the window: its white area right of the steps panel, and
# the bar's track 31 pixels below the bar's top at (220, 140).
WHITE_AT, BAR_AT = (630, 10), (570, 171)
TRACK, FILL = (221, 226, 232), (31, 111, 235)


class ScreenRecorder:
    """Dumps the screen over and over in a thread of its own while in use,
    keeping the latest dumps (some 5 MB each)."""

    def __init__(self, display, keep=25):
        self.display = display
        self.kept = deque(maxlen=keep)
        self.failures = []
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._record, daemon=True)

    def _record(self):
        while not self.stopped.is_set():
            try:
                self.kept.append(screen_dump(self.display))
            except subprocess.CalledProcessError as failed:
                # A window that goes while xwd reads the screen fails that dump.
                self.failures.append(failed.stderr)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *_):
        self.stopped.set()
        self.thread.join(timeout=60)


def shows_the_window(dump, rect):
    x, y, _, _ = rect

    def at(point):
        return tuple(dump_rgb(dump, x + point[0], y + point[1], 1, 1))
    return at(WHITE_AT) == (255, 255, 255) and at(BAR_AT) in (TRACK, FILL)


def install(wine, server, tmp_path):
    """The sample installed silently with every task; gives its folder."""
    publish_sample(server, tmp_path)
    dir_ = "C:\\ks-e2e\\" + tmp_path.name
    assert run_installer(wine, installer(), "/VERYSILENT", "/NOUPDATE", "/URL=" + server.url("/($name)"),
                         "/DIR=" + dir_, "/TASKS=associate,addtopath") == 0
    return dir_


def watch_the_removal(wine, display, screens):
    """Waits for the uninstall window, then for the outcome box, which it
    answers; saves the window as the last dump showed it; gives the box's
    text."""
    with ScreenRecorder(display) as recorder:
        code, out, err = driver(wine, "window", TITLE, 60000)
        assert code == 0, err
        rect = tuple(int(v) for v in out.split())
        code, outcome, err = driver(wine, "box", "Desinstalar", 1, 60000)
        assert code == 0, err
    assert rect[2:] == (640, 260)
    shown = [dump for dump in recorder.kept if shows_the_window(dump, rect)]
    assert shown, f"no screen dump shows the window; {len(recorder.kept)} kept, failures {recorder.failures[:3]}"
    screens.save(display, rect, "desinstalando", dump=shown[-1])
    return outcome


def assert_removed(wine, app, dir_):  # noqa: F811
    assert wait_until(lambda: not app.exists() and not temporary_copies(wine)), list(app.rglob("*"))
    assert_nothing_left(wine, dir_)


def test_without_switches_it_asks_then_removes_everything_in_its_window(wine, display, server, tmp_path, app,
                                                                        request):  # noqa: F811
    dir_ = install(wine, server, tmp_path)
    uninstaller = start_program(wine, app / "unins000.exe")
    code, question, err = driver(wine, "box", "Desinstalar", 6, 60000)
    assert code == 0, err
    assert question == "Deseja remover Ostrel Dax e todos os seus componentes?"
    assert watch_the_removal(wine, display, screens_for(request)) == REMOVED
    assert uninstaller.finish(timeout=120)[0] == 0
    assert_removed(wine, app, dir_)


def test_silent_asks_nothing_but_shows_the_window_and_the_outcome(wine, display, server, tmp_path, app,
                                                                  request):  # noqa: F811
    dir_ = install(wine, server, tmp_path)
    uninstaller = start_program(wine, app / "unins000.exe", "/SILENT")
    # The first box is the outcome: no question came before it.
    assert watch_the_removal(wine, display, screens_for(request)) == REMOVED
    assert uninstaller.finish(timeout=120)[0] == 0
    assert_removed(wine, app, dir_)
