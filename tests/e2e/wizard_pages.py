"""Drives the installer's wizard from outside, as a person at the screen
would: starts the installer, waits for a page by the pixels that tell the
pages apart, presses Next, Back and Cancel, types into the folder box,
answers message boxes and saves a screenshot of each page.

Clicks, keys and text are posted to the window, which takes them in the
order posted but before any move of the real pointer still on its way to
it. So the real pointer rests on the steps panel, where nothing reacts,
and each posted click ends with a move back to where it rests; it moves
elsewhere only in steps that then wait for their effect. Every step waits
for the state it needs, never for a still picture: a window that Wine
holds looks still too.

Independent of pytest's fixtures: it needs a Wine runner (conftest.Wine),
the X display the programs draw on and, for screenshots, a ui.Screens.

    wizard = Wizard.start(wine, display, installer, "/URL=...", env={"ZYL_CANVAS": "soft"})
    wizard.wait_page("welcome")
    wizard.next()
"""
import time

from ui import driver, screen_rgb, start_program, xdotool

TITLE = "Instalação - Ostrel Dax"
CLIENT_SIZE = (780, 520)

# The steps of the embedded script without an earlier installation, in
# page order; each page marks its own step. With one, the destination page
# is left out.
PAGES = ("welcome", "dir", "tasks", "ready", "installing", "finish")
PAGES_WHEN_INSTALLED = ("welcome", "tasks", "ready", "installing", "finish")

# Client coordinates of the frame (steps panel 230 wide, header 104 high,
# button bar the bottom 70).
NEXT = (690, 487)
BACK = (568, 487)
CANCEL = (308, 487)
NEXT_FILL = (634, 487)        # inside Next, left of its caption
BADGE = (322, 152)            # the finish page's result disc
FOLDER_EDIT = (300, 182)      # the destination page's folder box
RUN_CHECK = (285, 267)        # the finish page's "Abrir o Ostrel Dax agora"
RUN_TICK = (279, 262)         # inside that check box, off its tick
BAR_START = (272, 231)        # the installing page's bar, near its left end
AWAY = (120, 20)              # the steps panel's top, where nothing reacts


def step_marker(step):
    """Centre of the marker of a step in the steps panel."""
    return 40, 204 + 36 * step + 10


ACCENT = (0x1F, 0x6F, 0xEB)
ACCENT_HOVERED = (0x3B, 0x82, 0xF6)
DISABLED_FILL = (0xEB, 0xEE, 0xF1)
DONE_TEAL = (0x19, 0xB5, 0xA5)
SUCCESS_GREEN = (0x22, 0xA5, 0x59)
FAILURE_RED = (0xD1, 0x34, 0x38)


class Shot:
    """The client area's pixels at one moment, R, G, B by row."""

    def __init__(self, data: bytes, width: int, height: int, pages=PAGES):
        self.data, self.width, self.height, self.pages = data, width, height, pages

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def page(self):
        """The page whose step is marked (accent centre), or None."""
        for step, name in enumerate(self.pages):
            if self.at(*step_marker(step)) == ACCENT:
                return name
        return None

    def bar_moved(self):
        return self.at(*BAR_START) == ACCENT

    def next_state(self):
        fill = self.at(*NEXT_FILL)
        return {ACCENT: "enabled", ACCENT_HOVERED: "hovered", DISABLED_FILL: "disabled"}.get(fill, fill)

    def run_ticked(self):
        return self.at(*RUN_TICK) == ACCENT

    def badge(self):
        return {SUCCESS_GREEN: "success", FAILURE_RED: "failure"}.get(self.at(*BADGE), self.at(*BADGE))


class Wizard:
    """One running installer and its wizard window."""

    def __init__(self, wine, display, started, screens=None, pages=PAGES):
        self.wine, self.display, self.started, self.screens, self.pages = wine, display, started, screens, pages
        code, out, err = driver(wine, "window", TITLE, 60000)
        if code != 0:
            raise AssertionError(f"no wizard window: {err} {started.output()}")
        self.x, self.y, width, height = (int(v) for v in out.split())
        self.size = (width, height)
        self.park()

    @classmethod
    def start(cls, wine, display, exe, *args, env=None, screens=None, pages=PAGES):
        """Starts the installer with these arguments and waits for its
        window. Of the ZYL_* variables only those of env reach it."""
        cleared = {name: None for name in wine.env if name.startswith("ZYL_")}
        return cls(wine, display, start_program(wine, exe, *args, env={**cleared, **(env or {})}), screens, pages)

    # ---- looking ----
    def shot(self) -> Shot:
        width, height = self.size
        return Shot(screen_rgb(self.display, self.x, self.y, width, height), width, height, self.pages)

    def wait(self, condition, seconds=60, what="the wizard"):
        """Polls the client area until condition(shot) holds; gives the shot."""
        end = time.time() + seconds
        while True:
            shot = self.shot()
            if condition(shot):
                return shot
            if time.time() > end:
                raise AssertionError(f"{what} not seen in {seconds} s (page {shot.page()}, "
                                     f"Next {shot.next_state()})")
            if self.started.process.poll() is not None:
                raise AssertionError(f"the installer ended with {self.started.process.returncode}")
            time.sleep(0.2)

    def wait_page(self, page, next_state="enabled", seconds=60):
        """Waits for the page with Next in that state (None: any)."""
        return self.wait(lambda s: s.page() == page and (next_state is None or s.next_state() == next_state),
                         seconds, f"page {page} with Next {next_state}")

    def screenshot(self, page):
        """Saves the client area as it is now as the next numbered
        screenshot: wait first for what it is to show."""
        return self.screens.save(self.display, (self.x, self.y, *self.size), page)

    # ---- acting ----
    def click(self, point):
        """A click posted at a client point, ending with the pointer back
        where it rests (the driver's click)."""
        self._driver("click", *point)

    def park(self):
        """Moves the real pointer onto the steps panel's top, where nothing
        reacts and where it rests between steps."""
        self.pointer(AWAY)

    def caught_up(self):
        """Waits until the window has taken everything posted to it so far,
        as a person waits to see what they typed: a move posted onto Next
        shows it hovered only after all that came before it. A move back to
        the resting pointer then leaves Next as it was."""
        self._driver("move", *NEXT)
        self.wait(lambda s: s.next_state() == "hovered", 60, "Next hovered by a posted move")
        self._driver("move")
        self.wait(lambda s: s.next_state() == "enabled", 60, "Next no longer hovered")

    def next(self):
        self.click(NEXT)

    def back(self):
        self.click(BACK)

    def cancel(self):
        self.click(CANCEL)

    def key(self, vk, count=1):
        self._driver("key", vk, count)

    def type_folder(self, text, old_length=260):
        """Replaces the folder box's text: a click into it, End, as many
        Backspaces as the old text can have, then the text typed."""
        self.click(FOLDER_EDIT)
        self.key(35)
        self.key(8, old_length)
        self._driver("type", text)

    def box(self, caption, button, seconds=30):
        """Waits for a message box; presses the button; gives its text."""
        code, text, err = driver(self.wine, "box", caption, button, seconds * 1000)
        assert code == 0, f"box {caption}: {err}"
        # Gone before anything else is posted: the box's own loop would
        # hand posted input to the window beneath.
        end = time.time() + seconds
        while driver(self.wine, "box", caption, -1, 100)[0] == 0:
            assert time.time() < end, f"box {caption} stays open"
        return text

    def real_keys(self, keys):
        """Presses keys on the X keyboard ("alt+F4"), which sets the
        modifier state that posted key messages lack. With no window manager
        nothing gives the window the X focus: a click with the real pointer
        where nothing reacts gives it first."""
        self.pointer(AWAY, click=True)
        xdotool(self.display, "key", keys)

    def pointer(self, point, click=False):
        """Moves the real X pointer to a client point, clicking if asked."""
        xdotool(self.display, "mousemove", self.x + point[0], self.y + point[1], *(["click", 1] if click else []))

    def _driver(self, *args):
        code, _, err = driver(self.wine, args[0], TITLE, *args[1:])
        assert code == 0, f"{args[0]}: {err}"

    def finish(self, seconds=60):
        """Waits for the installer to end; gives its exit code."""
        return self.started.finish(timeout=seconds)[0]
