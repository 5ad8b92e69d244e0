#!/usr/bin/env python3
"""Writes the setup's icon: one 32 x 32 image in 16 colours, a parcel with an arrow into it.

Usage: make_icon.py OUTPUT.ico

The drawing is a grid of characters, one per pixel; each character names a colour of the
standard 16-colour palette, and '.' is transparent (AND mask set, colour 0).
"""
import struct
import sys

# The standard VGA palette, in the order the system uses for 4-bit images.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
COLOURS = {'.': 0, 'k': 0, 'o': 3, 'y': 11, 'G': 10, 'w': 15}

SIZE = 32


def drawing():
    rows = [['.'] * SIZE for _ in range(SIZE)]

    def fill(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                rows[y][x] = c

    # The parcel: an outlined box with a lighter lid and a band down the middle.
    fill(3, 14, 28, 30, 'k')
    fill(4, 15, 27, 29, 'o')
    fill(4, 15, 27, 18, 'y')
    fill(4, 19, 27, 19, 'k')
    fill(14, 15, 17, 29, 'w')
    # The arrow, pointing down into the lid.
    fill(13, 1, 18, 9, 'k')
    fill(14, 2, 17, 9, 'G')
    for i in range(8):  # the head: each row two pixels narrower, outlined in black
        fill(8 + i, 9 + i, 23 - i, 9 + i, 'k')
        if 10 + i <= 21 - i and i < 7:
            fill(10 + i, 9 + i, 21 - i, 9 + i, 'G')
    return [''.join(r) for r in rows]


def icon_bytes(rows):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up, as DIBs are stored
        nibbles = [COLOURS[c] for c in row]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c == '.' else 0)
        mask += bits.to_bytes(SIZE // 8, 'big')  # 4 bytes: already a multiple of 4
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + xor + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: make_icon.py OUTPUT.ico')
    with open(sys.argv[1], 'wb') as f:
        f.write(icon_bytes(drawing()))


if __name__ == '__main__':
    main()
