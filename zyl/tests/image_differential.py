#!/usr/bin/env python3
"""The PNG and BMP decoders beside ImageMagick.

Writes PNG files of every colour type, bit depth and filter (with palettes,
transparency keys and partial palette transparency), has ImageMagick write
BMP files of 1 to 32 bits in its three BMP flavours, decodes each file with
the probe (zyl_image_probe) and compares the pixels with
`convert FILE -depth 16 rgba:-`: the high byte of each channel, premultiplied
as the surfaces store it when the decoder reports alpha. 5-bit BMP channels
may differ by 1 (ImageMagick widens them by bit copying, the decoder by
scaling). Left out, since the decoder reads them differently on purpose:
filter types above 4, damaged CRCs, palette images without PLTE. 16-bit
"BMP3:" files are left out too: ImageMagick 6 marks them BI_BITFIELDS but
writes no masks after the 40-byte header, so their first pixels are read as
masks.

Usage: image_differential.py PROBE WORK_FOLDER
"""
import concurrent.futures
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

CONVERT = '/usr/bin/convert'  # /usr/local/bin/convert may be a stand-in

SAMPLES = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
DEPTHS = {0: [1, 2, 4, 8, 16], 2: [8, 16], 3: [1, 2, 4, 8], 4: [8, 16], 6: [8, 16]}


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filtered(rows, distance, filters):
    out = bytearray()
    above = None
    for y, row in enumerate(rows):
        kind = filters[y % len(filters)]
        out.append(kind)
        for i, value in enumerate(row):
            a = row[i - distance] if i >= distance else 0
            b = above[i] if above else 0
            c = above[i - distance] if above and i >= distance else 0
            predictor = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
            out.append((value - predictor) & 0xFF)
        above = row
    return bytes(out)


def png_file(width, height, depth, colour_type, rows, filters, palette=b'', transparency=b''):
    bits = SAMPLES[colour_type] * depth
    data = b'\x89PNG\r\n\x1a\n'
    data += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0))
    if palette:
        data += chunk(b'PLTE', palette)
    if transparency:
        data += chunk(b'tRNS', transparency)
    data += chunk(b'IDAT', zlib.compress(filtered(rows, max(1, bits // 8), filters)))
    return data + chunk(b'IEND', b'')


def pack_samples(samples, depth):
    """Samples of one row as bytes, packed most significant bits first."""
    if depth == 16:
        return b''.join(struct.pack('>H', s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out = bytearray((len(samples) * depth + 7) // 8)
    for i, s in enumerate(samples):
        bit = i * depth
        out[bit // 8] |= s << (8 - bit % 8 - depth)
    return bytes(out)


def png_cases(rng):
    width, height = 11, 6
    for colour_type, depths in DEPTHS.items():
        for depth in depths:
            top = 2 ** depth - 1 if colour_type != 3 else min(2 ** depth, 12) - 1
            samples = [[rng.randint(0, top) for _ in range(width * SAMPLES[colour_type])] for _ in range(height)]
            # Flat stretches give the Paeth predictor its ties.
            samples[2] = [samples[2][0]] * len(samples[2])
            rows = [pack_samples(s, depth) for s in samples]
            palette = bytes(rng.randrange(256) for _ in range(3 * (top + 1))) if colour_type == 3 else b''
            for filters in ([0], [1], [2], [3], [4], [4, 0, 3, 1, 2]):
                name = 'type%d-depth%d-filter%s' % (colour_type, depth, ''.join(map(str, filters)))
                yield name, png_file(width, height, depth, colour_type, rows, filters, palette)
            if colour_type == 3:
                alphas = bytes(rng.randrange(256) for _ in range((top + 1) // 2))
                yield 'type3-depth%d-trns' % depth, png_file(width, height, depth, 3, rows, [0], palette, alphas)
            elif colour_type in (0, 2):
                key = b''.join(struct.pack('>H', s) for s in samples[1][:SAMPLES[colour_type]])
                yield ('type%d-depth%d-key' % (colour_type, depth),
                       png_file(width, height, depth, colour_type, rows, [0], b'', key))


# (name, ImageMagick options, format prefix, bits the file must have)
BMP_VARIANTS = [
    ('bmp2-1bit', ['-type', 'bilevel'], 'BMP2:', 1),
    ('bmp2-4bit', ['-colors', '12'], 'BMP2:', 4),
    ('bmp2-8bit', ['-colors', '200'], 'BMP2:', 8),
    ('bmp2-24bit', ['-type', 'truecolor'], 'BMP2:', 24),
    ('bmp3-1bit', ['-type', 'bilevel'], 'BMP3:', 1),
    ('bmp3-4bit', ['-colors', '12'], 'BMP3:', 4),
    ('bmp3-8bit', ['-colors', '200', '-compress', 'none'], 'BMP3:', 8),
    ('bmp3-24bit', ['-type', 'truecolor'], 'BMP3:', 24),
    ('bmp-1bit', ['-type', 'bilevel'], 'BMP:', 1),
    ('bmp-4bit', ['-colors', '12'], 'BMP:', 4),
    ('bmp-8bit', ['-colors', '200', '-compress', 'none'], 'BMP:', 8),
    ('bmp-16bit-565', ['-define', 'bmp:subtype=RGB565'], 'BMP:', 16),
    ('bmp-16bit-555', ['-define', 'bmp:subtype=RGB555'], 'BMP:', 16),
    ('bmp-32bit-alpha', ['-alpha', 'set', '-channel', 'A', '-fx', '(i+j)/(w+h-2)', '+channel'], 'BMP:', 32),
]


def bmp_bits(data):
    header = struct.unpack_from('<I', data, 14)[0]
    return struct.unpack_from('<H', data, 24 if header == 12 else 28)[0]


def bmp_cases(work):
    source = os.path.join(work, 'source.png')
    subprocess.run([CONVERT, '-size', '16x9', '-seed', '7', 'plasma:fractal', source], check=True)
    for name, options, prefix, bits in BMP_VARIANTS:
        path = os.path.join(work, name + '.bmp')
        subprocess.run([CONVERT, source] + options + [prefix + path], check=True)
        with open(path, 'rb') as f:
            data = f.read()
        if bmp_bits(data) != bits:
            raise SystemExit('%s: ImageMagick wrote %d bits, not %d' % (name, bmp_bits(data), bits))
        yield name, data, 1 if bits == 16 else 0


def probe(tool, path):
    out = subprocess.run([tool, path], check=True, capture_output=True).stdout
    line, _, pixels = out.partition(b'\n')
    if line == b'nil':
        return None
    width, height, alpha = map(int, line.split())
    return width, height, bool(alpha), pixels


def reference(path):
    out = subprocess.run([CONVERT, path, '-depth', '16', '-endian', 'MSB', 'rgba:-'], check=True,
                         capture_output=True).stdout
    return [out[i] for i in range(0, len(out), 2)]  # high bytes: R, G, B, A per pixel


def compare(tool, path, tolerance):
    got = probe(tool, path)
    if got is None:
        return 'refused'
    width, height, alpha, pixels = got
    expected = reference(path)
    if len(expected) != width * height * 4 or len(pixels) != len(expected):
        return 'size %dx%d, ImageMagick gives %d channel values' % (width, height, len(expected))
    for i in range(width * height):
        r, g, b, a = expected[4 * i:4 * i + 4]
        if alpha:
            r, g, b = ((c * a + 127) // 255 for c in (r, g, b))
        elif a != 255:
            return 'pixel %d: decoded without alpha, ImageMagick has alpha %d' % (i, a)
        want = (b, g, r, a)
        have = tuple(pixels[4 * i:4 * i + 4])
        if any(abs(x - y) > tolerance for x, y in zip(have, want)):
            return 'pixel %d (x %d, y %d): BGRA %s, ImageMagick %s' % (i, i % width, i // width, have, want)
    return None


def main():
    tool, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    cases = [(name + '.png', data, 0) for name, data in png_cases(random.Random(2026))]
    cases += [(name + '.bmp', data, tolerance) for name, data, tolerance in bmp_cases(work)]
    for name, data, _ in cases:
        with open(os.path.join(work, name), 'wb') as f:
            f.write(data)
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        problems = pool.map(lambda case: compare(tool, os.path.join(work, case[0]), case[2]), cases)
    failures = 0
    for (name, _, _), problem in zip(cases, problems):
        if problem:
            failures += 1
            print('MISMATCH %s: %s' % (name, problem))
    print('%d files compared, %d mismatches' % (len(cases), failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
