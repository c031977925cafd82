"""The UI driver that the wizard tests use, on a window and message boxes of
a small program of its own under the session's display: the client origin
it prints is where the pixels are on the screen, its clicks and keys arrive
at client coordinates, and it reads and answers message boxes by caption."""
import subprocess
import time

import pytest

from conftest import tool
from ui import UTF8, driver, run_program, screen_rgb, start_program, xdotool

TITLE = "KS UI alvo"


@pytest.fixture
def target(wine):
    """The driver's target window (300 x 200 client area); gives its client
    rectangle on the screen and the running program."""
    started = wine.start(tool("ks_ui_target"), "window", TITLE, 300, 200, env=UTF8)
    code, out, err = driver(wine, "window", TITLE)
    assert code == 0, err
    origin = tuple(int(v) for v in out.split())
    yield origin, started
    if started.process.poll() is None:
        driver(wine, "key", TITLE, 27)
        started.finish()


def lines_until(started, done, moves=False):
    """Waits (10 s at most) until done(lines) holds for the lines the target
    printed; gives them. Its pointer moves are left out unless asked for:
    the real pointer makes some too."""
    for _ in range(200):
        lines = [line for line in started.output().splitlines() if moves or not line.startswith("move ")]
        if done(lines):
            return lines
        time.sleep(0.05)
    return lines


def events(started, count):
    """Waits until the target printed count lines; gives them."""
    return lines_until(started, lambda lines: len(lines) >= count)


def test_window_gives_the_client_origin_where_its_pixels_are(wine, display, target):
    (x, y, w, h), _ = target
    assert (w, h) == (300, 200)
    pixels = screen_rgb(display, x, y, w, h)

    def at(px, py):
        i = (py * w + px) * 3
        return tuple(pixels[i:i + 3])
    # The red square at (10, 10)-(20, 20) of the client area, blue around it:
    # an origin off by a frame or a caption would miss both edges.
    assert at(10, 10) == (255, 0, 0) and at(19, 19) == (255, 0, 0)
    assert at(9, 10) == (0, 0, 255) and at(10, 9) == (0, 0, 255) and at(20, 19) == (0, 0, 255)
    assert at(0, 0) == (0, 0, 255) and at(299, 199) == (0, 0, 255)


def test_clicks_and_keys_arrive_at_client_coordinates(wine, display, target):
    (x, y, _, _), started = target
    assert driver(wine, "click", TITLE, 37, 21)[0] == 0
    assert driver(wine, "click", TITLE, 250, 150, "right")[0] == 0
    assert driver(wine, "key", TITLE, 13)[0] == 0
    assert events(started, 5) == ["down 37 21", "up 37 21", "rdown 250 150", "rup 250 150", "key 13"]
    # A real pointer at the printed origin lands on the same client point.
    xdotool(display, "mousemove", x + 120, y + 80, "click", 1)
    assert events(started, 7)[5:7] == ["down 120 80", "up 120 80"]
    assert driver(wine, "key", TITLE, 27)[0] == 0
    code, out, _ = started.finish()
    assert code == 0
    assert out.splitlines()[-1] == "key 27"


def test_a_click_ends_with_a_move_back_to_where_the_pointer_rests(wine, display, target):
    """A person's hand moves onto the point, presses, releases and moves on:
    the window's last pointer message is where the real pointer rests, also
    when the pointer's own move reached the window before the click did."""
    (x, y, _, _), started = target
    here = tuple(int(v.split("=")[1]) for v in xdotool(display, "getmouselocation", "--shell").split()[:2])
    rest = (200, 120) if here != (x + 200, y + 120) else (201, 120)
    xdotool(display, "mousemove", x + rest[0], y + rest[1])
    resting = "move %d %d" % rest
    assert resting in lines_until(started, lambda lines: resting in lines, moves=True)

    assert driver(wine, "click", TITLE, 37, 21)[0] == 0
    lines = lines_until(started, lambda lines: "up 37 21" in lines and lines[-1] != "up 37 21", moves=True)
    clicked = lines.index("up 37 21")
    assert lines[clicked - 2:clicked + 2] == ["move 37 21", "down 37 21", "up 37 21", resting]

    # A move alone goes to the point, or to where the pointer rests.
    assert driver(wine, "move", TITLE, 50, 60)[0] == 0
    assert driver(wine, "move", TITLE)[0] == 0
    assert lines_until(started, lambda lines: lines[-2:] == ["move 50 60", resting], moves=True)[-2:] == \
        ["move 50 60", resting]


def test_typed_text_and_repeated_keys_arrive_in_order(wine, target):
    _, started = target
    assert driver(wine, "type", TITLE, "C:/Pé")[0] == 0
    assert driver(wine, "key", TITLE, 8, 3)[0] == 0
    assert events(started, 8) == [f"char {ord(c)}" for c in "C:/Pé"] + ["key 8"] * 3


def test_no_window_of_that_title(wine):
    code, _, err = driver(wine, "window", "Nenhuma janela assim", 300)
    assert code == 2 and "no window" in err


@pytest.mark.parametrize("box, caption, text, button", [
    ("question", "Desinstalar", "Deseja remover o programa e todos os seus componentes?", 6),
    ("question", "Desinstalar", "Deseja remover o programa e todos os seus componentes?", 7),
    ("error", "Erro de instalação", "Não foi possível gravar o arquivo.\n\nTentar novamente?", 6),
    ("ok", "Pasta de destino", "Informe a pasta onde o programa será instalado.", 1),
])
def test_box_text_and_the_button_pressed(wine, box, caption, text, button):
    started = wine.start(tool("ks_ui_target"), "box", box, env=UTF8)
    code, out, err = driver(wine, "box", caption, button)
    assert code == 0, err
    assert out == text
    assert started.finish()[0] == button


def test_a_button_the_box_lacks_leaves_it_open(wine):
    started = wine.start(tool("ks_ui_target"), "box", "ok", env=UTF8)
    code, _, err = driver(wine, "box", "Pasta de destino", 7)
    assert code == 3 and "no button 7" in err
    assert started.process.poll() is None
    assert driver(wine, "box", "Pasta de destino", 1)[0] == 0
    assert started.finish()[0] == 1
    # Once answered, the box is gone.
    assert driver(wine, "box", "Pasta de destino", -1, 300)[0] == 2


# Arguments the quoting must carry whole: blanks, accents, quotes, trailing
# backslashes (doubled only before a quote), an empty one.
AWKWARD = ["/URL=https://localhost:1/($name)", "/LOG=C:\\Teste Ostrel\\instalação.log", " C:/Teste Ostrel/ ",
           'diz "olá"', "C:\\fim\\", "C:\\a b\\", "", "\\\\servidor\\pasta"]


@pytest.mark.parametrize("code", [0, 5, 42, 0xC0000005])
def test_run_gives_the_programs_windows_exit_code_and_arguments_unchanged(wine, code):
    got, out, err = run_program(wine, tool("ks_ui_target"), "echo", hex(code), *AWKWARD)
    # 0xC0000005 (an access violation) would reach the host as 5, the
    # installer's "cancelled": only the printed line tells them apart.
    assert got == code, err
    assert out.split("\n")[:-1] == AWKWARD
    assert "exit code" not in err


def test_run_of_a_missing_program(wine, tmp_path):
    code, _, err = run_program(wine, tmp_path / "nenhum.exe")
    assert code == 4 and "cannot start" in err


def test_a_program_that_outlives_its_time_is_ended_with_the_driver(wine):
    started = start_program(wine, tool("ks_ui_target"), "window", TITLE, 300, 200)
    assert driver(wine, "window", TITLE)[0] == 0
    with pytest.raises(subprocess.TimeoutExpired):
        started.finish(timeout=1)
    end = time.time() + 20
    while driver(wine, "window", TITLE, 100)[0] == 0:
        assert time.time() < end, "the program outlived the driver"
