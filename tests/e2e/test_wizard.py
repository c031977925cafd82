"""The interactive install end to end: the installer's wizard on the real
shell window under Wine and the session's display, driven from outside
(tools/ks_ui_driver.exe and the X pointer) against the local HTTPS
catalogues. Every page is saved as a screenshot under
build/e2e-screens/<test>/.

The same install runs on three canvas chains; the steps panel's gradient
and the button fills must come out identical on all of them, the rings,
the logo and the rounded corners within one pixel."""
import math
import shutil

import pytest

from installation import (ENVIRONMENT_KEY, UNINSTALL_KEY, host_path, installer, publish_sample, reg_key_exists,
                          reg_value, shortcuts, uninstall)
from ui import screens_for
from wizard_pages import CLIENT_SIZE, NEXT, RUN_CHECK, Wizard

FOLDER = "C:\\Teste Ostrel"
APP_PATHS_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Dax.exe"
DAX_CLASS_KEY = "HKLM\\Software\\Classes\\.dax"


@pytest.fixture
def app(wine):
    """The folder the wizard tests install into, absent before and after;
    an installation a failed test left there is uninstalled, so that the
    next test finds none (which would leave out the destination page)."""
    folder = host_path(wine, FOLDER)
    shutil.rmtree(folder, ignore_errors=True)
    yield folder
    if (folder / "unins000.exe").is_file():
        uninstall(wine, folder)
    shutil.rmtree(folder, ignore_errors=True)


def start(wine, display, server, request, canvas):
    """The installer on the server's catalogues with a canvas chain (None:
    the program's own), its screenshots named after the test."""
    return Wizard.start(wine, display, installer(), "/URL=" + server.url("/($name)"),
                        env={"ZYL_CANVAS": canvas}, screens=screens_for(request))


def to_ready_page(wizard, pointer=False):
    """From the welcome page to the prepared ready page, typing a folder
    without a drive first; gives each page's shot by name. With pointer,
    Next on the welcome page is pressed with the X pointer."""
    shots = {}

    def reach(page):
        shots[page] = wizard.wait_page(page)
        wizard.screenshot(page)

    reach("welcome")
    assert wizard.size == CLIENT_SIZE
    if pointer:
        wizard.pointer(NEXT)
        wizard.wait(lambda s: s.next_state() == "hovered", 20, "Next hovered")
        wizard.screenshot("welcome-next-hovered")
        wizard.pointer(NEXT, click=True)
        wizard.park()
    else:
        wizard.next()

    reach("dir")
    wizard.type_folder("Teste")
    wizard.next()
    assert wizard.box("Pasta de destino", 1) == \
        "Informe o caminho completo, com a letra da unidade (por exemplo C:\\Programas\\Meu)."
    wizard.type_folder(" C:/Teste Ostrel/ ")
    wizard.caught_up()
    wizard.screenshot("dir-typed")
    wizard.next()

    reach("tasks")
    wizard.next()
    # The preparation fetches the catalogues; then Next reads "Instalar".
    reach("ready")
    return shots


def install_through_every_page(wizard, pointer=False):
    """The whole wizard up to the finish page, which must show success."""
    shots = to_ready_page(wizard, pointer)
    wizard.next()
    wizard.wait(lambda s: s.page() == "installing" and s.bar_moved(), 60, "the installing page's bar moving")
    wizard.screenshot("installing")
    shots["finish"] = wizard.wait_page("finish")
    wizard.screenshot("finish")
    assert shots["finish"].badge() == "success"
    return shots


def assert_installed(wine, app, files):
    """Files, shortcuts, registry and journal as the default tasks leave them."""
    for name, data in files.items():
        assert (app / name).read_bytes() == data, name
    assert (app / "unins000.exe").read_bytes() == installer().read_bytes()
    assert (app / "unins000.dat").read_bytes().startswith(b"KSETUP-JOURNAL 1\r\n")
    assert shortcuts(wine) == ["common group: Desinstalar Ostrel Dax.lnk", "common group: Ostrel Dax.lnk"]
    assert reg_value(wine, "HKLM\\Software\\Ostrel\\Dax", "InstallDir") == FOLDER
    assert reg_value(wine, APP_PATHS_KEY) == FOLDER + "\\Bin\\Dax.exe"
    assert reg_value(wine, DAX_CLASS_KEY) == "OstrelDax.Unit"
    assert (FOLDER + "\\Bin").lower() in reg_value(wine, ENVIRONMENT_KEY, "Path").lower().split(";")
    assert reg_value(wine, UNINSTALL_KEY, "UninstallString") == f'"{FOLDER}\\unins000.exe"'
    assert reg_value(wine, UNINSTALL_KEY, "DisplayName") == "Ostrel Dax versão 1.0.0"


def full_install(wine, display, server, tmp_path, request, app, canvas, pointer=False):
    """Test 1's run on one canvas chain: every page, "Concluir" without the
    program started, exit code 0, the installation checked and removed.
    Gives the pages' shots."""
    files = publish_sample(server, tmp_path)
    # Two files answer late, so that the installing page shows a moving bar.
    server.slow_seconds = 4
    server.fail("/Fonts/DaxMono.ttf", "slow")
    server.fail("/Rtl/Zyl/Controls.dax", "slow")
    wizard = start(wine, display, server, request, canvas)
    shots = install_through_every_page(wizard, pointer)
    wizard.click(RUN_CHECK)
    wizard.wait(lambda s: not s.run_ticked(), 60, '"Abrir o Ostrel Dax agora" unticked')
    wizard.screenshot("finish-unticked")
    wizard.next()
    assert wizard.finish() == 0
    assert_installed(wine, app, files)
    assert uninstall(wine, app) == 0
    assert not reg_key_exists(wine, UNINSTALL_KEY)
    return shots


# ---- the same pixels on every canvas chain ---------------------------------------

STEPS_WIDTH = 230
RING_CENTRE = (STEPS_WIDTH - 20, CLIENT_SIZE[1] + 10)
RING_RADII = (70, 118, 166, 214)
LOGO = (30, 34, 94, 98)
# Cancel, Back and Next: left, top, right, bottom in the client area.
BUTTONS = ((258, 470, 358, 504), (518, 470, 618, 504), (628, 470, 752, 504))


def near_ring(x, y, margin):
    distance = math.hypot(x - RING_CENTRE[0], y - RING_CENTRE[1])
    return any(abs(distance - r) <= margin for r in RING_RADII)


def gradient_points():
    """Steps panel points that only the gradient paints: the strip left of
    every marker and text, and the corner right of the logo above the
    title; both away from the rings."""
    strip = [(x, y) for x in range(0, 26) for y in range(CLIENT_SIZE[1])]
    corner = [(x, y) for x in range(100, STEPS_WIDTH) for y in range(0, 100)]
    return [p for p in strip + corner if not near_ring(*p, 3)]


def ring_points():
    """Points on the rings, clear of the steps' markers and texts."""
    return [(x, y) for x in range(STEPS_WIDTH) for y in range(CLIENT_SIZE[1])
            if (1 <= x < 26 or x >= 160) and near_ring(x, y, 2)]


def logo_points():
    return [(x, y) for x in range(LOGO[0] - 2, LOGO[2] + 2) for y in range(LOGO[1] - 2, LOGO[3] + 2)]


def fill_points(button):
    """Inside a button, clear of its caption and of its rounded corners."""
    left, top, right, bottom = button
    return [(x, y) for y in range(top + 5, bottom - 5)
            for x in list(range(left + 4, left + 14)) + list(range(right - 14, right - 4))]


def corner_points(button, lower=True):
    left, top, right, bottom = button
    return [(x, y) for x in list(range(left, left + 6)) + list(range(right - 6, right))
            for y in list(range(top, top + 6)) + (list(range(bottom - 6, bottom)) if lower else [])]


def exact_mismatches(shot, reference, points):
    return [(p, shot.at(*p), reference.at(*p)) for p in points if shot.at(*p) != reference.at(*p)]


def within_one_pixel(shot, reference, points):
    """Points whose colour lies outside the range of the reference's 3 x 3
    neighbourhood (one level of rounding allowed), both ways round: an edge
    may move by a pixel and blend differently, nothing more."""
    def outside(a, b, p):
        x, y = p
        around = [b.at(i, j) for i in range(x - 1, x + 2) for j in range(y - 1, y + 2)
                  if 0 <= i < b.width and 0 <= j < b.height]
        return any(not min(c[k] for c in around) - 1 <= a.at(x, y)[k] <= max(c[k] for c in around) + 1
                   for k in range(3))
    return [(p, shot.at(*p), reference.at(*p)) for p in points
            if outside(shot, reference, p) or outside(reference, shot, p)]


def assert_drawn_alike(shots, reference, lower_corners=True):
    for page, reference_shot in reference.items():
        # The finish page has Next alone.
        buttons = BUTTONS[2:] if page == "finish" else BUTTONS
        exact = gradient_points() + [p for b in buttons for p in fill_points(b)]
        close = ring_points() + logo_points() + [p for b in buttons for p in corner_points(b, lower_corners)]
        assert exact_mismatches(shots[page], reference_shot, exact)[:5] == [], page
        assert within_one_pixel(shots[page], reference_shot, close)[:5] == [], page


# The default chain's pages, which the other chains are held against.
DEFAULT_CHAIN_PAGES = {}


@pytest.mark.parametrize("canvas", [None, "soft", "gdiplus,gdi"], ids=["default", "soft", "gdiplus"])
def test_full_install_through_every_page(wine, display, server, tmp_path, request, app, canvas):
    # The pointer pass runs on the default chain; the others' shots keep
    # the pointer parked, as the comparison needs.
    shots = full_install(wine, display, server, tmp_path, request, app, canvas, pointer=canvas is None)
    if canvas is None:
        DEFAULT_CHAIN_PAGES.update(shots)
        return
    if not DEFAULT_CHAIN_PAGES:
        DEFAULT_CHAIN_PAGES.update(full_install(wine, display, server, tmp_path, request, app, None))
    # Wine's GDI+ strokes pen paths half a pixel right of and below where
    # the half-pixel offset puts them (on Windows they are where the other
    # chains draw them), so the buttons' lower and right outline falls
    # outside the button: only the upper corners can match there.
    assert_drawn_alike(shots, DEFAULT_CHAIN_PAGES, lower_corners=canvas != "gdiplus,gdi")


def test_cancel_mid_download_rolls_everything_back(wine, display, server, tmp_path, request, app):
    publish_sample(server, tmp_path)
    # Half the files answer late: the others arrive and move the bar.
    server.slow_seconds = 6
    for path in ("/Bin/Dax.exe", "/Rtl/System.dax", "/Fonts/DaxMono.ttf"):
        server.always(path, "slow")
    path_before = reg_value(wine, ENVIRONMENT_KEY, "Path")
    wizard = start(wine, display, server, request, None)
    to_ready_page(wizard)
    wizard.next()
    wizard.wait(lambda s: s.page() == "installing" and s.bar_moved(), 60, "the installing page's bar moving")
    wizard.screenshot("installing")
    wizard.cancel()
    assert wizard.box("Cancelar", 6) == "Cancelar a instalação? O que já foi instalado será removido."
    finish = wizard.wait_page("finish", seconds=90)
    assert finish.badge() == "failure"
    wizard.screenshot("finish-cancelled")
    wizard.next()
    assert wizard.finish() == 5

    assert not app.exists(), list(app.rglob("*"))
    for key in (UNINSTALL_KEY, APP_PATHS_KEY, DAX_CLASS_KEY):
        assert not reg_key_exists(wine, key), key
    assert reg_value(wine, ENVIRONMENT_KEY, "Path") == path_before


# ---- Alt+F4 ----------------------------------------------------------------------

def test_alt_f4_on_the_welcome_page_closes_the_wizard_with_five(wine, display, server, tmp_path, request, app):
    publish_sample(server, tmp_path)
    wizard = start(wine, display, server, request, None)
    wizard.wait_page("welcome")
    wizard.screenshot("welcome")
    wizard.real_keys("alt+F4")
    assert wizard.finish() == 5
    assert not app.exists()


def test_alt_f4_during_the_install_asks_and_no_keeps_installing(wine, display, server, tmp_path, request, app):
    files = publish_sample(server, tmp_path)
    server.slow_seconds = 6
    server.fail("/Fonts/DaxMono.ttf", "slow")
    wizard = start(wine, display, server, request, None)
    to_ready_page(wizard)
    wizard.next()
    wizard.wait(lambda s: s.page() == "installing" and s.bar_moved(), 60, "the installing page's bar moving")
    wizard.real_keys("alt+F4")
    assert wizard.box("Cancelar", 7) == "Cancelar a instalação? O que já foi instalado será removido."
    finish = wizard.wait_page("finish", seconds=90)
    assert finish.badge() == "success"
    wizard.screenshot("finish-after-alt-f4")
    wizard.click(RUN_CHECK)
    wizard.next()
    assert wizard.finish() == 0
    assert_installed(wine, app, files)
