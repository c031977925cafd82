#!/usr/bin/env python3
"""Draws the Ostrel Dax logo and writes the installer's images.

    gen_logo.py <out-dir>

writes <out-dir>/SetupLogo.png (128 x 128, RGBA) and <out-dir>/Setup.ico (seven
PNG images, 16 to 256 pixels). The logo is drawn from signed distance
functions, so every size is drawn directly (no scaling) with one pixel of
smooth edge: a rounded square with a violet-to-teal gradient and a soft top
light, a white "D" with a drop shadow and an amber spark in its bowl.
Only the standard library is used (zlib and struct write the PNG files).
"""
import math
import struct
import sys
import zlib
from pathlib import Path

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
LOGO_SIZE = 128

VIOLET = (0x3B, 0x1E, 0x78)
TEAL = (0x0B, 0xA5, 0xB4)
WHITE = (0xFF, 0xFF, 0xFF)
SHADOW = (0x10, 0x08, 0x30)
AMBER = (0xFF, 0xB0, 0x2E)


# ---- shapes in unit coordinates (0..1, y down); negative inside -------------

def rounded_box(x, y, cx, cy, hw, hh, r):
    qx = abs(x - cx) - (hw - r)
    qy = abs(y - cy) - (hh - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def d_letter(x, y):
    """A "D": a bar joined to a disc on its right, hollowed by a smaller D."""
    left, top, bottom = 0.30, 0.24, 0.76
    mid = 0.48
    radius = (bottom - top) / 2

    def solid_d(left_edge, r, corner):
        # The bar stops at the disc's centre line, which the disc covers.
        bar = max(rounded_box(x, y, (left_edge + mid + r) / 2, 0.5, (mid + r - left_edge) / 2, r, corner), x - mid)
        return max(min(bar, circle(x, y, mid, 0.5, r)), left_edge - x)

    stroke = 0.105
    return max(solid_d(left, radius, 0.03), -solid_d(left + stroke, radius - stroke, 0.0))


def spark(x, y):
    """A four-pointed star: a diamond pinched along its diagonals."""
    cx, cy, size = 0.535, 0.5, 0.085
    dx, dy = abs(x - cx) / size, abs(y - cy) / size
    # |dx|^0.6 + |dy|^0.6 <= 1 is a concave star; scaled back to units.
    return ((dx ** 0.6 + dy ** 0.6) ** (1 / 0.6) - 1.0) * size * 0.5


def background(x, y):
    return rounded_box(x, y, 0.5, 0.5, 0.46, 0.46, 0.2)


# ---- painting ----------------------------------------------------------------

def coverage(distance, pixel, softness=1.0):
    """Share of the pixel inside a shape whose edge is `distance` away."""
    return min(1.0, max(0.0, 0.5 - distance / (pixel * softness)))


def over(dst, color, alpha):
    """Straight-alpha "over" of one colour onto the pixel (r, g, b, a)."""
    if alpha <= 0.0:
        return dst
    r, g, b, a = dst
    out_a = alpha + a * (1.0 - alpha)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda c, d: (c * alpha + d * a * (1.0 - alpha)) / out_a
    return (mix(color[0], r), mix(color[1], g), mix(color[2], b), out_a)


def lerp(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def draw(size):
    pixel = 1.0 / size
    rows = []
    for j in range(size):
        row = bytearray()
        y = (j + 0.5) * pixel
        for i in range(size):
            x = (i + 0.5) * pixel
            px = (0.0, 0.0, 0.0, 0.0)
            inside = coverage(background(x, y), pixel)
            if inside > 0.0:
                gradient = lerp(VIOLET, TEAL, min(1.0, max(0.0, (x * 0.45 + y * 0.55 - 0.1) / 0.85)))
                px = over(px, gradient, inside)
                light = coverage(circle(x, y, 0.42, -0.35, 0.78), pixel, 40.0) * 0.16
                px = over(px, WHITE, light * inside)
                shade = coverage(d_letter(x - 0.012, y - 0.022), pixel, max(2.0, size / 24)) * 0.35
                px = over(px, SHADOW, shade * inside)
                px = over(px, WHITE, coverage(d_letter(x, y), pixel) * inside)
                px = over(px, AMBER, coverage(spark(x, y), pixel) * inside)
            row += bytes(int(round(min(255.0, max(0.0, c)))) for c in px[:3])
            row.append(int(round(px[3] * 255)))
        rows.append(bytes(row))
    return rows


# ---- files -------------------------------------------------------------------

def png_bytes(rows):
    height, width = len(rows), len(rows[0]) // 4

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico_bytes(images):
    """An icon file whose images are PNG streams (size 256 is written as 0)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, png in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(png), offset + len(data))
        data += png
    return header + entries + data


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    drawn = {size: png_bytes(draw(size)) for size in sorted(set(ICON_SIZES) | {LOGO_SIZE})}
    (out / "SetupLogo.png").write_bytes(drawn[LOGO_SIZE])
    (out / "Setup.ico").write_bytes(ico_bytes([(size, drawn[size]) for size in ICON_SIZES]))


if __name__ == "__main__":
    main()
