#!/usr/bin/env python3
"""Draws the demo's five page bitmaps as 8-bit BMP files with 256-colour palettes, at the sizes
the setup page shows them, and its icon (demo.ico: 16 x 16 and 32 x 32, 32-bit with alpha),
which the builder gives to setup.exe and uninstall.exe. The output is deterministic; run it
from anywhere:
    python3 examples/demo/make-bitmaps.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def palette():
    """Entries 0..127: a blue ramp (sky), 128..191: a green ramp (hills), 192..255: greys."""
    colours = []
    for i in range(128):
        colours.append((40 + i, 70 + i, 120 + i))  # red, green, blue
    for i in range(64):
        colours.append((20 + i, 90 + 2 * i, 30 + i))
    for i in range(64):
        g = i * 4 + 3
        colours.append((g, g, g))
    return colours


def write_bmp(name, width, height, pixel):
    """pixel(x, y) -> palette index, y = 0 at the top. Rows are stored bottom-up, as most
    BMP files are; the builder turns them top-down."""
    stride = (width + 3) // 4 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytes(pixel(x, y) for x in range(width))
        rows.append(row + bytes(stride - width))
    pixels = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette())
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, "art", name + ".bmp"), "wb") as f:
        f.write(header + info + table + pixels)


def sky(y, height):
    return min(127, 127 - y * 100 // height)


def hills(x, y, width, height, phase):
    ridge = height * 0.62 + math.sin(x / width * 6.0 + phase) * height * 0.12
    if y > ridge:
        return 128 + min(63, int((y - ridge) * 63 / (height - ridge + 1)))
    return None


def landscape(width, height, phase):
    def pixel(x, y):
        h = hills(x, y, width, height, phase)
        return h if h is not None else sky(y, height)
    return pixel


def title(x, y):
    # A band that darkens to the right, with a thin grey rule at the bottom.
    if y >= 36:
        return 200
    return max(0, 120 - x * 100 // 240)


def pic(x, y):
    d = math.hypot(x - 110, y - 40)
    return 192 + (int(d / 4) % 2) * 40 if d < 38 else sky(y, 80)


def logo(x, y):
    # A "Z" made of three bars on a light ground.
    top = 6 <= y < 12 and 20 <= x < 70
    bottom = 28 <= y < 34 and 20 <= x < 70
    slant = 12 <= y < 28 and abs((70 - x) - (y - 12) * 50 // 16) < 6
    return 200 if top or bottom or slant else 250


def icon_image(side):
    """A 32-bit DIB of a blue disc with a white "Z": BITMAPINFOHEADER (height doubled for the
    mask), BGRA rows bottom-up, then the AND mask (all 0: the alpha channel decides)."""
    pixels = bytearray()
    for y in reversed(range(side)):
        for x in range(side):
            u, v = (x + 0.5) / side, (y + 0.5) / side
            if math.hypot(u - 0.5, v - 0.5) > 0.47:
                pixels += bytes((0, 0, 0, 0))
                continue
            bar = 0.22 <= u <= 0.78 and (0.2 <= v <= 0.32 or 0.68 <= v <= 0.8)
            slant = 0.32 < v < 0.68 and abs((0.78 - u) - (v - 0.32) / 0.36 * 0.56) < 0.09
            pixels += bytes((255, 255, 255, 255)) if bar or slant else bytes((200, 110, 40, 255))
    mask = bytes(((side + 31) // 32 * 4) * side)
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def write_icon(name, sides):
    images = [icon_image(side) for side in sides]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, image in zip(sides, images):
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(os.path.join(HERE, "art", name + ".ico"), "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    os.makedirs(os.path.join(HERE, "art"), exist_ok=True)
    write_bmp("title", 240, 40, title)
    write_bmp("pic", 220, 80, pic)
    write_bmp("zorv", 200, 40, lambda x, y: logo(x, y) if x < 90 else 250)
    write_bmp("pic1", 445, 130, landscape(445, 130, 0.0))
    write_bmp("pic2", 445, 130, landscape(445, 130, 2.5))
    write_icon("demo", [16, 32])
