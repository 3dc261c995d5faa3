#!/usr/bin/env python3
"""Writes the program's bitmaps and icons from their text pixel maps.

Each map in the art folder (*.txt) names its palette, its size and its output:

    # a comment
    palette character.palette
    size 33 41
    bitmap bitmaps/rase_frame_000.bmp 8      (an output BMP with 8 or 4 bits per pixel)
    icon icons/zantoli.ico                   (or: one image of an icon; several maps may share it)
    pixels
    .....KKKK....                            (one character per pixel, one line per row)

A palette file gives one colour per line: a character, the colour as RRGGBB, and a note.
In icons the key colour (00FF00) is transparent.

Usage: artgen.py [--check] ART_DIR OUT_DIR   (paths in the maps are relative to OUT_DIR)
With --check nothing is written: the exit status is 1 when a file differs from what the maps give.
Standard library only, so that it runs wherever Python 3 does; output is byte-for-byte
deterministic, so the committed files can be checked against a fresh run.
"""
import os
import struct
import sys

KEY = (0x00, 0xFF, 0x00)


class ArtError(Exception):
    pass


def read_palette(path):
    """Returns [(char, (r, g, b))] in file order: the order is the palette index."""
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].rstrip()
            if not line:
                continue
            parts = line.split()
            if len(parts) < 2 or len(parts[0]) != 1 or len(parts[1]) != 6:
                raise ArtError(f"{path}:{number}: expected 'C RRGGBB note'")
            value = int(parts[1], 16)
            entries.append((parts[0], ((value >> 16) & 255, (value >> 8) & 255, value & 255)))
    chars = [c for c, _ in entries]
    if len(set(chars)) != len(chars):
        raise ArtError(f"{path}: a character is used twice")
    return entries


def read_map(path):
    header = {}
    rows = []
    in_pixels = False
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if in_pixels:
                if line.strip():
                    rows.append(line.rstrip())
                continue
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line == "pixels":
                in_pixels = True
                continue
            key, _, value = line.partition(" ")
            header[key] = value.split()
    for needed in ("palette", "size"):
        if needed not in header:
            raise ArtError(f"{path}: no '{needed}' line")
    if ("bitmap" in header) == ("icon" in header):
        raise ArtError(f"{path}: needs exactly one of 'bitmap' and 'icon'")
    width, height = int(header["size"][0]), int(header["size"][1])
    if len(rows) != height or any(len(row) != width for row in rows):
        raise ArtError(f"{path}: pixels are not {width}x{height}")
    palette = read_palette(os.path.join(os.path.dirname(path), header["palette"][0]))
    index = {c: i for i, (c, _) in enumerate(palette)}
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c not in index:
                raise ArtError(f"{path}: pixel ({x},{y}) '{c}' is not in the palette")
    return header, width, height, rows, palette, index


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def bmp_bytes(width, height, rows, palette, index, bits):
    colours = 1 << bits
    if len(palette) > colours:
        raise ArtError(f"{len(palette)} colours do not fit in {bits} bits")
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in palette)
    table += b"\0" * (4 * colours - len(table))
    data = b""
    for row in reversed(rows):  # bottom-up
        indices = [index[c] for c in row]
        if bits == 8:
            packed = bytes(indices)
        else:
            indices += [0] * (len(indices) % 2)
            packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        data += padded(packed)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return file_header + info + table + data


def icon_image_bytes(width, height, rows, palette, index):
    """One icon image: 32-bit colour with alpha, then the 1-bit mask (1 = transparent)."""
    colours = [rgb for _, rgb in palette]
    xor = b""
    mask = b""
    for row in reversed(rows):
        bits = []
        for c in row:
            r, g, b = colours[index[c]]
            transparent = (r, g, b) == KEY
            xor += struct.pack("<BBBB", 0, 0, 0, 0) if transparent else struct.pack("<BBBB", b, g, r, 255)
            bits.append(1 if transparent else 0)
        bits += [0] * (-len(bits) % 8)
        mask += padded(bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8)))
    info = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def ico_bytes(images):
    """images: [(width, height, image bytes)], written smallest first."""
    images = sorted(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for width, height, data in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def write_if_changed(path, data, check):
    """Returns False when the file differs (and, unless checking, rewrites it)."""
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return True
    if check:
        print(f"artgen: {path} is out of date", file=sys.stderr)
        return False
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(f"artgen: wrote {path}")
    return False


def main(argv):
    check = len(argv) > 1 and argv[1] == "--check"
    if check:
        argv = argv[1:]
    if len(argv) != 3:
        print("usage: artgen.py [--check] ART_DIR OUT_DIR", file=sys.stderr)
        return 2
    art_dir, out_dir = argv[1], argv[2]
    icons = {}
    up_to_date = True
    try:
        for name in sorted(os.listdir(art_dir)):
            if not name.endswith(".txt"):
                continue
            header, width, height, rows, palette, index = read_map(os.path.join(art_dir, name))
            if "bitmap" in header:
                target, bits = header["bitmap"][0], int(header["bitmap"][1])
                if bits not in (4, 8):
                    raise ArtError(f"{name}: bitmaps have 4 or 8 bits per pixel")
                data = bmp_bytes(width, height, rows, palette, index, bits)
                up_to_date &= write_if_changed(os.path.join(out_dir, target), data, check)
            else:
                image = icon_image_bytes(width, height, rows, palette, index)
                icons.setdefault(header["icon"][0], []).append((width, height, image))
        for target, images in sorted(icons.items()):
            up_to_date &= write_if_changed(os.path.join(out_dir, target), ico_bytes(images), check)
    except (ArtError, OSError, ValueError) as error:
        print(f"artgen: {error}", file=sys.stderr)
        return 1
    return 0 if up_to_date or not check else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
