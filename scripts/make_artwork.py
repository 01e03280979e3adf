#!/usr/bin/env python3
"""Draws the shell's placeholder artwork (icons, logo, busy animation) into
Resources/. Plain shapes at the sizes the forms use; run once, output committed."""
import math
import os
import struct
import sys
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Resources")


def png(path, w, h, pix):
    """pix(x, y) -> (r, g, b, a)"""
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            raw.extend(pix(x, y))
    def chunk(t, d):
        c = struct.pack(">I", len(d)) + t + d
        return c + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def icon(path, size, fg, bg, strokes, radius=0.18, width=0.09):
    """A rounded square of colour bg with line strokes (unit coordinates) in fg."""
    r = radius * size
    lw = width * size

    def pix(x, y):
        cx, cy = x + 0.5, y + 0.5
        qx = max(r - cx, 0, cx - (size - r))
        qy = max(r - cy, 0, cy - (size - r))
        if bg and math.hypot(qx, qy) > r:
            return (0, 0, 0, 0)
        for (ax, ay, bx, by) in strokes:
            if seg_dist(cx, cy, ax * size, ay * size, bx * size, by * size) <= lw:
                return fg
        return bg if bg else (0, 0, 0, 0)
    png(path, size, size, pix)


WHITE = (240, 240, 240, 255)
GREY = (150, 150, 150, 255)
DARK = (40, 40, 40, 255)
ORANGE = (255, 170, 127, 255)
CROSS = [(0.3, 0.3, 0.7, 0.7), (0.3, 0.7, 0.7, 0.3)]
PLUS = [(0.5, 0.25, 0.5, 0.75), (0.25, 0.5, 0.75, 0.5)]
MINUS = [(0.25, 0.5, 0.75, 0.5)]
SQUARE = [(0.3, 0.3, 0.7, 0.3), (0.7, 0.3, 0.7, 0.7), (0.7, 0.7, 0.3, 0.7), (0.3, 0.7, 0.3, 0.3)]
ARROW_UP = [(0.5, 0.25, 0.5, 0.75), (0.5, 0.25, 0.3, 0.45), (0.5, 0.25, 0.7, 0.45)]
ARROW_DOWN = [(0.5, 0.25, 0.5, 0.75), (0.5, 0.75, 0.3, 0.55), (0.5, 0.75, 0.7, 0.55)]
FOLDER = [(0.25, 0.35, 0.75, 0.35), (0.75, 0.35, 0.75, 0.7), (0.75, 0.7, 0.25, 0.7), (0.25, 0.7, 0.25, 0.35),
          (0.25, 0.35, 0.35, 0.27), (0.35, 0.27, 0.48, 0.27)]
GEAR = [(0.5 + 0.25 * math.cos(a), 0.5 + 0.25 * math.sin(a), 0.5 + 0.1 * math.cos(a), 0.5 + 0.1 * math.sin(a))
        for a in [i * math.pi / 4 for i in range(8)]]
TRASH = [(0.3, 0.3, 0.7, 0.3), (0.35, 0.3, 0.4, 0.75), (0.65, 0.3, 0.6, 0.75), (0.4, 0.75, 0.6, 0.75)]


def title_icons():
    pairs = {
        "01": FOLDER, "02": ARROW_DOWN, "03": TRASH, "04": SQUARE, "06": GEAR,
        "08": MINUS, "09": SQUARE, "09-2": SQUARE + [(0.4, 0.2, 0.8, 0.2), (0.8, 0.2, 0.8, 0.6)], "010": CROSS,
    }
    for name, strokes in pairs.items():
        icon(os.path.join(ROOT, name + ".png"), 40, GREY, None, strokes)
        icon(os.path.join(ROOT, name + "p.png"), 40, WHITE, None, strokes)
    icon(os.path.join(ROOT, "020.png"), 20, WHITE, (90, 90, 90, 255), CROSS)
    icon(os.path.join(ROOT, "usb.png"), 48, WHITE, (60, 90, 140, 255), [(0.5, 0.2, 0.5, 0.8), (0.5, 0.45, 0.3, 0.35), (0.5, 0.55, 0.7, 0.45)])


def tool_icons():
    icon(os.path.join(ROOT, "024.png"), 48, WHITE, None, PLUS + [(0.5, 0.25, 0.42, 0.33), (0.5, 0.25, 0.58, 0.33)])
    arc = [(0.5 + 0.25 * math.cos(a), 0.5 + 0.25 * math.sin(a), 0.5 + 0.25 * math.cos(a + 0.3), 0.5 + 0.25 * math.sin(a + 0.3))
           for a in [i * 0.3 for i in range(17)]]
    icon(os.path.join(ROOT, "025.png"), 48, WHITE, None, arc)
    icon(os.path.join(ROOT, "026.png"), 48, WHITE, None, SQUARE + [(0.2, 0.8, 0.8, 0.2)])
    icon(os.path.join(ROOT, "04.png"), 48, WHITE, None, SQUARE)


def nav_icons():
    shapes = {"Open": FOLDER, "Edit": ARROW_UP + MINUS, "Repair": CROSS, "Support": ARROW_UP, "Slice": [(0.25, y, 0.75, y) for y in (0.35, 0.5, 0.65)], "Print": ARROW_DOWN}
    for name, strokes in shapes.items():
        icon(os.path.join(ROOT, "Resources", name + "-2.png"), 72, WHITE, (70, 70, 70, 230), strokes)
        icon(os.path.join(ROOT, "Resources", name + "-1.png"), 72, DARK, (200, 200, 200, 230), strokes)
    png(os.path.join(ROOT, "Resources", "triangle-12.png"), 20, 20,
        lambda x, y: ORANGE if x <= 14 and abs(y - 9.5) <= (14 - x) * 0.6 else (0, 0, 0, 0))


def logos():
    def logo(x, y):
        if 20 <= y < 44 and 10 <= x < 34:
            return ORANGE
        return (0, 0, 0, 0)
    png(os.path.join(ROOT, "Vexmor.png"), 240, 64, logo)
    png(os.path.join(ROOT, "DunewayPng.png"), 64, 64,
        lambda x, y: ORANGE if math.hypot(x - 31.5, y - 31.5) < 28 else (0, 0, 0, 0))
    png(os.path.join(ROOT, "Resources", "DunewayPng.png"), 60, 60,
        lambda x, y: ORANGE if math.hypot(x - 29.5, y - 29.5) < 26 else (0, 0, 0, 0))
    colours = {"FAQ": (90, 140, 200), "youtube": (200, 60, 60), "facebook": (60, 90, 160), "twitter": (80, 170, 230)}
    for name, (r, g, b) in colours.items():
        for hover, k in (("", 1.0), ("-hover", 0.8)):
            c = (int(r * k), int(g * k), int(b * k), 255)
            png(os.path.join(ROOT, "help", "Resources", "helpdialog", name + "-button" + hover + ".png"), 180, 32,
                lambda x, y, c=c: c)


def lzw_gif_data(indices, min_code_size):
    """LZW-codes the pixel indices, resetting the table before it grows past 12 bits."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bitbuf, nbits = bytearray(), 0, 0
    def emit(code, size):
        nonlocal bitbuf, nbits
        bitbuf |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bitbuf & 0xFF)
            bitbuf >>= 8
            nbits -= 8
    size = min_code_size + 1
    table = {(i,): i for i in range(clear)}
    nxt = end + 1
    emit(clear, size)
    w = ()
    for k in indices:
        wk = w + (k,)
        if wk in table:
            w = wk
            continue
        emit(table[w], size)
        if nxt < 4096:
            table[wk] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table = {(i,): i for i in range(clear)}
            nxt, size = end + 1, min_code_size + 1
        w = (k,)
    if w:
        emit(table[w], size)
    emit(end, size)
    if nbits:
        out.append(bitbuf & 0xFF)
    blocks = bytearray()
    for i in range(0, len(out), 255):
        part = out[i:i + 255]
        blocks.append(len(part))
        blocks.extend(part)
    return bytes([min_code_size]) + bytes(blocks) + b"\x00"


def loading_gif():
    w = h = 37
    palette = [(255, 255, 255), (150, 0, 0), (220, 160, 160), (0, 0, 0)]
    data = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF1, 0, 0))
    for c in palette:
        data.extend(bytes(c))
    data.extend(b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00")
    for f in range(16):
        head = f * 2 * math.pi / 16
        idx = []
        for y in range(h):
            for x in range(w):
                dx, dy = x - 18, y - 18
                r = math.hypot(dx, dy)
                if 11 <= r <= 17:
                    a = (math.atan2(dy, dx) - head) % (2 * math.pi)
                    idx.append(1 if a < 1.2 else 2)
                else:
                    idx.append(0)
        data.extend(b"\x21\xF9\x04\x00" + struct.pack("<H", 10) + b"\x00\x00")
        data.extend(b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0))
        data.extend(lzw_gif_data(idx, 2))
    data.append(0x3B)
    with open(os.path.join(ROOT, "loading.gif"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    title_icons()
    tool_icons()
    nav_icons()
    logos()
    loading_gif()
    sys.exit(0)
