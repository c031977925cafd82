"""Compares the wizard pages that the screenshot tests kept per canvas
backend (client areas, "<backend>-<page>.png" in one folder) with those of
the soft canvas, region by region. Where the drawing is whole pixels (the
steps panel's gradient away from its rings, logo and texts; the button
fills away from their captions and corners; the flat backgrounds) the
pixels are equal. Where a shape is curved, every pixel lies within a reach
of the reference: each channel between the smallest and the largest value
of the reference's neighbourhood, and the other way round. Outlined shapes
(the rings, the buttons' corners) are within one pixel. Shapes filled
without a pen (the logo square, the step markers, the finish badge) are
within two: the soft canvas keeps GDI's rule that such a shape loses its
last row and column, where the others fill the whole box; a neighbourhood
that reaches two rows of the gradient away differs by one from the row
between. Texts are left out: the soft canvas has only its block font.
Arguments: the folder, then the backends to compare with soft."""
import subprocess
import sys

WIDTH, HEIGHT = 780, 520
PAGES = ["welcome", "destination", "options", "ready", "installing", "finish-success", "finish-failure"]

# (left, top, right, bottom), right and bottom excluded, in client pixels.
EXACT = {
    "steps panel left of the logo and markers": (0, 0, 26, 400),
    "steps panel above the logo": (0, 0, 230, 33),
    "steps panel between the version and the steps": (0, 160, 230, 200),
    "header": (232, 0, 780, 22),
    "button bar": (232, 452, 256, 520),
    "Cancel's fill": (262, 474, 280, 500),
    "Next's fill": (632, 474, 650, 500),
}
# Outlined shapes: within one pixel.
OUTLINED = {
    "rings below the steps": (0, 408, 230, 482),
    "rings right of the captions": (160, 300, 230, 520),
    "Cancel's left corners": (256, 468, 268, 506),
    "Cancel's right corners": (348, 468, 360, 506),
    "Next's corners": (742, 468, 754, 506),
}
# Shapes filled without a pen: within two pixels.
PENLESS = {
    "logo square's top corners": (28, 32, 94, 44),
    "logo square's bottom corners": (28, 84, 94, 96),
    "step markers": (28, 202, 54, 420),
}
FINISH_PENLESS = {"finish badge": (262, 112, 382, 232)}


def pixels(path):
    raw = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    assert len(raw) == WIDTH * HEIGHT * 3, f"{path}: not a {WIDTH} x {HEIGHT} client area"
    return raw


def at(image, x, y):
    i = (y * WIDTH + x) * 3
    return image[i:i + 3]


def exact_faults(image, reference, box):
    left, top, right, bottom = box
    return [(x, y) for y in range(top, bottom) for x in range(left, right) if at(image, x, y) != at(reference, x, y)]


def within(image, reference, x, y, reach, tolerance):
    near = [at(reference, i, j) for j in range(max(y - reach, 0), min(y + reach + 1, HEIGHT))
            for i in range(max(x - reach, 0), min(x + reach + 1, WIDTH))]
    return all(min(p[c] for p in near) - tolerance <= at(image, x, y)[c] <= max(p[c] for p in near) + tolerance
               for c in range(3))


def near_faults(reach, tolerance):
    def faults(image, reference, box):
        left, top, right, bottom = box
        return [(x, y) for y in range(top, bottom) for x in range(left, right)
                if not within(image, reference, x, y, reach, tolerance)
                or not within(reference, image, x, y, reach, tolerance)]
    return faults


def main():
    folder, backends = sys.argv[1], sys.argv[2:]
    failures = []
    for page in PAGES:
        reference = pixels(f"{folder}/soft-{page}.png")
        for backend in backends:
            image = pixels(f"{folder}/{backend}-{page}.png")
            penless = dict(PENLESS, **(FINISH_PENLESS if page.startswith("finish") else {}))
            for kind, regions, check in (("differs", EXACT, exact_faults),
                                         ("is off by more than a pixel", OUTLINED, near_faults(1, 0)),
                                         ("is off by more than two pixels", penless, near_faults(2, 1))):
                for what, box in regions.items():
                    faults = check(image, reference, box)
                    if faults:
                        x, y = faults[0]
                        failures.append(f"{backend} {page}: {what} {kind} at {len(faults)} pixels, first ({x},{y}): "
                                        f"{tuple(at(image, x, y))} against soft's {tuple(at(reference, x, y))}")
    print("\n".join(failures) if failures else "backends agree")
    sys.exit(1 if failures else 0)


main()
