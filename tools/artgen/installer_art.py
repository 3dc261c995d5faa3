#!/usr/bin/env python3
"""Writes the installer's Welcome and Finish picture (164 x 314, 24-bit BMP) from the program's
own pixel maps: the character and two envelopes of its trail, each pixel a square of two, on
the pale blue of a desktop.

Usage: installer_art.py ART_DIR OUT.bmp
Standard library only; the output is byte-for-byte deterministic.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import artgen  # noqa: E402

WIDTH, HEIGHT = 164, 314
SCALE = 2
TOP, BOTTOM = (0xD9, 0xE4, 0xEE), (0x9F, 0xB6, 0xCC)
# The trail's first envelopes as a user would see them: a blue account's and a green one's.
ENVELOPE_BODIES = [(0x00, 0x00, 0xFF), (0x00, 0xFF, 0x00)]


def background():
    rows = []
    for y in range(HEIGHT):
        colour = tuple(t + (b - t) * y // (HEIGHT - 1) for t, b in zip(TOP, BOTTOM))
        rows.append([colour] * WIDTH)
    return rows


def paste(canvas, art_path, left, top, body=None):
    """Draws the map's pixels, key pixels left out, each as a SCALE x SCALE square."""
    _, width, height, rows, palette, index = artgen.read_map(art_path)
    colours = dict(palette)
    for y in range(height):
        for x in range(width):
            char = rows[y][x]
            if colours[char] == artgen.KEY:
                continue
            colour = body if body and char == "R" else colours[char]
            for dy in range(SCALE):
                for dx in range(SCALE):
                    canvas[top + y * SCALE + dy][left + x * SCALE + dx] = colour
    return width * SCALE, height * SCALE


def bmp(canvas):
    data = b""
    for row in reversed(canvas):  # bottom-up
        data += artgen.padded(b"".join(struct.pack("<BBB", b, g, r) for r, g, b in row))
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + info + data


def main(argv):
    if len(argv) != 3:
        print("usage: installer_art.py ART_DIR OUT.bmp", file=sys.stderr)
        return 2
    art_dir, out = argv[1], argv[2]
    canvas = background()
    try:
        # The character up and left of the middle; the trail leaves its lower right corner,
        # overlapping it as the program's does, each envelope half a size further on.
        width, height = paste(canvas, os.path.join(art_dir, "rase_frame_000.txt"), 20, 48)
        x, y = 20 + width - 3 * SCALE, 48 + height - 3 * SCALE
        for body in ENVELOPE_BODIES:
            step_x, step_y = paste(canvas, os.path.join(art_dir, "envelop_red.txt"), x, y, body)
            x, y = x + step_x // 2, y + step_y // 2
    except (artgen.ArtError, OSError, ValueError, IndexError) as error:
        print(f"installer_art: {error}", file=sys.stderr)
        return 1
    with open(out, "wb") as f:
        f.write(bmp(canvas))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
