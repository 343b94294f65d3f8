#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file: a deep blue rounded square
with a white V and two amber sound waves beside it. Drawn from shapes with the standard library
alone, so the build needs no image tool and makes the same bytes everywhere.

Usage: make_icon.py OUTPUT.ico"""

import math
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 256)
BACKGROUND = (0x1D, 0x4E, 0x89)
LETTER = (0xFF, 0xFF, 0xFF)
WAVES = (0xFF, 0xC1, 0x3D)


def supersampling(size):
    """Samples per pixel along each axis, for smooth edges; large sizes need fewer."""
    return 4 if size < 64 else 2


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def colour_at(x, y):
    """The colour at a point of the unit square (y downwards), or None outside the icon."""
    # Rounded square with a corner radius of a fifth of the side.
    radius, inset = 0.2, 0.03
    cx = min(max(x, inset + radius), 1 - inset - radius)
    cy = min(max(y, inset + radius), 1 - inset - radius)
    if math.hypot(x - cx, y - cy) > radius:
        return None
    stroke = 0.075
    if (segment_distance(x, y, 0.2, 0.22, 0.42, 0.8) < stroke or
            segment_distance(x, y, 0.64, 0.22, 0.42, 0.8) < stroke):
        return LETTER
    # Two arcs around a point left of the waves, opening to the right.
    distance = math.hypot(x - 0.62, y - 0.5)
    angle = math.atan2(y - 0.5, x - 0.62)
    if abs(angle) < 0.6 and any(abs(distance - r) < 0.035 for r in (0.2, 0.3)):
        return WAVES
    return BACKGROUND


def render(size):
    """Rows of (red, green, blue, alpha), top row first."""
    rows = []
    n = supersampling(size)
    for row in range(size):
        pixels = []
        for column in range(size):
            totals = [0, 0, 0]
            covered = 0
            for sy in range(n):
                for sx in range(n):
                    colour = colour_at((column + (sx + 0.5) / n) / size,
                                       (row + (sy + 0.5) / n) / size)
                    if colour:
                        covered += 1
                        totals = [t + c for t, c in zip(totals, colour)]
            if covered:
                pixels.append(tuple(round(t / covered) for t in totals) +
                              (round(255 * covered / (n * n)),))
            else:
                pixels.append((0, 0, 0, 0))
        rows.append(pixels)
    return rows


def bitmap_entry(size, rows):
    """A 32-bit DIB as icons hold it: bottom row first, BGRA, then an all-zero AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def png_entry(size, rows):
    """The large size as PNG, as Windows Vista and later read it (a bitmap would be 256 KiB)."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + b"".join(bytes(pixel) for pixel in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file():
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_entry(size, rows) if size >= 256 else bitmap_entry(size, rows)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        # A width or height of 256 is written as 0.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data),
                               offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as output:
        output.write(icon_file())
