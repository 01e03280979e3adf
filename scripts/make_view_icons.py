#!/usr/bin/env python3
"""Draws the seven 12 x 12 icons of the 3D view's control frame into
vslglview/Resources/ (003 up, 004 left, 005 down, 006 right, 007 plus,
008 minus, 009 home): light shapes on a transparent ground, edges smoothed
by 8 x 8 supersampling. Standard library only."""
import os
import struct
import zlib

SIZE = 12
SUB = 8
COLOUR = (235, 235, 235)


def inside(poly, x, y):
    # Even-odd rule.
    c = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            c = not c
    return c


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rotate(poly, quarter_turns):
    # Quarter turns clockwise about the icon's centre.
    c = SIZE / 2
    out = poly
    for _ in range(quarter_turns % 4):
        out = [(c - (y - c), c + (x - c)) for x, y in out]
    return out


def render(shapes, holes=()):
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter: none
        for px in range(SIZE):
            hits = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    x = px + (sx + 0.5) / SUB
                    y = py + (sy + 0.5) / SUB
                    if any(inside(s, x, y) for s in shapes) and not any(inside(h, x, y) for h in holes):
                        hits += 1
            row += bytes(COLOUR) + bytes([round(255 * hits / (SUB * SUB))])
        rows.append(bytes(row))
    return png(b"".join(rows))


def png(raw):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "vslglview", "Resources")
    os.makedirs(out, exist_ok=True)
    up = [[(6, 1), (11, 6.5), (1, 6.5)], rect(4.5, 6.5, 7.5, 11)]
    icons = {
        "003": (up, ()),
        "004": ([rotate(p, 3) for p in up], ()),
        "005": ([rotate(p, 2) for p in up], ()),
        "006": ([rotate(p, 1) for p in up], ()),
        "007": ([rect(5, 1.5, 7, 10.5), rect(1.5, 5, 10.5, 7)], ()),
        "008": ([rect(1.5, 5, 10.5, 7)], ()),
        "009": ([[(6, 0.5), (11.5, 6), (0.5, 6)], rect(2.5, 5.5, 9.5, 11.5)], (rect(5, 8, 7, 11.5),)),
    }
    for name, (shapes, holes) in icons.items():
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(render(shapes, holes))


if __name__ == "__main__":
    main()
