#!/usr/bin/env python3
"""Draws Zentrada's icons and bitmaps and writes them into resources/.

    python3 tools/draw-artwork.py [--png DIR]

Writes resources/zentrada.ico (window icon, 16/32/48 px), resources/tray.ico
(notification-area icon, 16/32 px), resources/logo.bmp (110x80) and
resources/banner.bmp (392x80). With --png, also writes every picture as a PNG
into DIR for previewing.

Everything is drawn from polygons on a canvas four times the final size and
averaged down, so the pictures depend on nothing but this script (Python
standard library only). Icons are classic BMP-format entries (32-bit BGRA
plus an AND mask), which every Windows version and windres accept.
"""

import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4

# Palette.
DIALOG_GREY = (240, 240, 240)
SLATE = (52, 63, 79)
SLATE_DARK = (30, 38, 50)
SLATE_LIGHT = (78, 91, 110)
PAPER = (255, 255, 255)
PAPER_EDGE = (172, 180, 190)
PAPER_TEXT = (200, 206, 214)
TEAL = (0, 150, 136)
TEAL_DARK = (0, 121, 110)
GREEN = (46, 204, 113)
SUBTITLE = (96, 106, 120)


# --- Canvas -----------------------------------------------------------------

class Canvas:
    """A supersampled RGBA canvas; coordinates are in final pixels, y down."""

    def __init__(self, width, height, background=None):
        self.width = width
        self.height = height
        self.w = width * SUPERSAMPLE
        self.h = height * SUPERSAMPLE
        # Premultiplied RGBA, one byte a channel.
        pixel = bytes(background) + b"\xff" if background else bytes(4)
        self.px = bytearray(pixel * (self.w * self.h))

    def fill(self, contours, color, alpha=1.0):
        """Fills the contours (lists of (x, y)) with the even-odd rule."""
        s = SUPERSAMPLE
        edges = []
        for contour in contours:
            points = [(x * s, y * s) for x, y in contour]
            for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
                if y0 == y1:
                    continue
                if y0 > y1:
                    x0, y0, x1, y1 = x1, y1, x0, y0
                edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0)))
        if not edges:
            return
        top = max(0, math.floor(min(e[0] for e in edges)))
        bottom = min(self.h, math.ceil(max(e[1] for e in edges)))
        a = round(alpha * 255)
        pixel = bytes(round(c * alpha) for c in color) + bytes((a,))
        for row in range(top, bottom):
            yc = row + 0.5
            xs = sorted(x0 + (yc - y0) * k
                        for y0, y1, x0, k in edges if y0 <= yc < y1)
            for xa, xb in zip(xs[0::2], xs[1::2]):
                start = max(0, math.ceil(xa - 0.5))
                end = min(self.w, math.ceil(xb - 0.5))
                if start < end:
                    self._span(row * self.w + start, end - start, pixel, a)

    def _span(self, index, count, pixel, a):
        px = self.px
        if a == 255:
            px[index * 4:(index + count) * 4] = pixel * count
            return
        keep = 255 - a
        for i in range(index * 4, (index + count) * 4, 4):
            for c in range(4):
                px[i + c] = pixel[c] + (px[i + c] * keep + 127) // 255

    def pixels(self):
        """Averages the samples down; returns rows of straight (r, g, b, a)."""
        s = SUPERSAMPLE
        n = s * s
        px = self.px
        rows = []
        for y in range(self.height):
            sums = [[0, 0, 0, 0] for _ in range(self.width)]
            for sy in range(y * s, y * s + s):
                base = sy * self.w * 4
                for x in range(self.width):
                    acc = sums[x]
                    i = base + x * s * 4
                    for _ in range(s):
                        acc[0] += px[i]
                        acc[1] += px[i + 1]
                        acc[2] += px[i + 2]
                        acc[3] += px[i + 3]
                        i += 4
            row = []
            for r, g, b, a in sums:
                if a == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append((min(255, round(r * 255 / a)),
                                min(255, round(g * 255 / a)),
                                min(255, round(b * 255 / a)),
                                round(a / n)))
            rows.append(row)
        return rows


# --- Shapes -----------------------------------------------------------------

def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def arc(cx, cy, rx, ry, a0, a1, step=6.0):
    """Points of an elliptic arc from angle a0 to a1 (degrees)."""
    n = max(2, math.ceil(abs(a1 - a0) / step) + 1)
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / (n - 1))),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / (n - 1))))
            for i in range(n)]


def ellipse(cx, cy, rx, ry):
    return arc(cx, cy, rx, ry, 0, 360)[:-1]


def rounded_rect(x0, y0, x1, y1, r):
    """Corners top left, top right, bottom right, bottom left (y down)."""
    return (arc(x0 + r, y0 + r, r, r, 180, 270)
            + arc(x1 - r, y0 + r, r, r, 270, 360)
            + arc(x1 - r, y1 - r, r, r, 0, 90)
            + arc(x0 + r, y1 - r, r, r, 90, 180))


def stroke(canvas, points, width, color):
    """Strokes a polyline with round caps and joins."""
    r = width / 2
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        length = math.hypot(x1 - x0, y1 - y0)
        if length == 0:
            continue
        nx, ny = -(y1 - y0) / length * r, (x1 - x0) / length * r
        canvas.fill([[(x0 + nx, y0 + ny), (x1 + nx, y1 + ny),
                      (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]], color)
    for x, y in points:
        canvas.fill([ellipse(x, y, r, r)], color)


# --- Font -------------------------------------------------------------------
#
# A geometric stroke font: each glyph is an advance width and a list of
# centre-line paths, in units where the x-height is 5 and the cap height 7,
# y up from the baseline. A one-point path is a dot.

X_HEIGHT = 5.0
CAP_HEIGHT = 7.0
ASCENDER = 7.4
DESCENDER = -2.2


def _bowl():
    return arc(2.5, 2.5, 2.5, 2.5, 0, 360)


GLYPHS = {
    " ": (2.4, []),
    "A": (5.6, [[(0, 0), (2.8, 7), (5.6, 0)], [(0.9, 2.3), (4.7, 2.3)]]),
    "Z": (5.0, [[(0.2, 7), (5, 7), (0, 0), (5, 0)]]),
    "a": (5.0, [_bowl(), [(5, 5), (5, 0)]]),
    "c": (4.6, [arc(2.5, 2.5, 2.5, 2.5, 42, 318)]),
    "d": (5.0, [_bowl(), [(5, ASCENDER), (5, 0)]]),
    "e": (5.0, [[(0, 2.5)] + arc(2.5, 2.5, 2.5, 2.5, 0, 322)]),
    "f": (3.0, [[(1, 0)] + arc(2.6, 5.6, 1.6, 1.8, 180, 62),
                [(0, 5), (2.8, 5)]]),
    "g": (5.0, [_bowl(), [(5, 5)] + arc(2.5, -0.2, 2.5, 2.0, 0, -148)]),
    "i": (0.0, [[(0, 0), (0, 5)], [(0, 6.9)]]),
    "l": (0.0, [[(0, 0), (0, ASCENDER)]]),
    "m": (6.4, [[(0, 0), (0, 5)],
                arc(1.6, 3.4, 1.6, 1.6, 180, 0) + [(3.2, 0)],
                arc(4.8, 3.4, 1.6, 1.6, 180, 0) + [(6.4, 0)]]),
    "n": (4.2, [[(0, 0), (0, 5)],
                arc(2.1, 2.9, 2.1, 2.1, 180, 0) + [(4.2, 0)]]),
    "o": (5.0, [_bowl()]),
    "p": (5.0, [_bowl(), [(0, 5), (0, DESCENDER)]]),
    "r": (3.0, [[(0, 0), (0, 5)], arc(2.3, 2.9, 2.3, 2.1, 180, 68)]),
    "s": (3.8, [arc(1.9, 3.75, 1.9, 1.25, 28, 270)
                + arc(1.9, 1.25, 1.9, 1.25, 90, -152)[1:]]),
    "t": (2.8, [[(1, 6.6), (1, 1.2)] + arc(2.3, 1.2, 1.3, 1.2, 180, 270)
                + [(2.8, 0)], [(0, 5), (2.8, 5)]]),
}


def text_width(text, size, weight, tracking):
    """Width in pixels of the ink of text (size: pixels a font unit)."""
    units = sum(GLYPHS[ch][0] for ch in text) + tracking * (len(text) - 1)
    return (units + weight) * size


def draw_text(canvas, text, x, baseline, size, weight, color, tracking):
    """Draws text with its ink starting at x; size is pixels a font unit,
    weight the stroke width and tracking the gap between glyphs, in units."""
    pen = x + weight * size / 2
    for ch in text:
        advance, paths = GLYPHS[ch]
        for path in paths:
            stroke(canvas, [(pen + gx * size, baseline - gy * size)
                            for gx, gy in path], weight * size, color)
        pen += (advance + tracking) * size


# --- The printer ------------------------------------------------------------
#
# A receipt printer with a slip of paper going into it and an arrow on the
# paper, drawn in a 32-unit box. The main edges sit on even units, so they
# land on whole pixels at 16, 32 and 48 px, and are snapped to the pixel grid
# at other sizes. Small sizes leave out the fine detail.

def draw_printer(canvas, left, top, size, detail=True):
    k = size / 32

    def p(x, y):
        return (left + x * k, top + y * k)

    def snap(x, y):
        return (math.floor(left + x * k + 0.5), math.floor(top + y * k + 0.5))

    def box(x0, y0, x1, y1, r=0):
        (x0, y0), (x1, y1) = snap(x0, y0), snap(x1, y1)
        if r:
            return rounded_rect(x0, y0, x1, y1, r * k)
        return rect(x0, y0, x1, y1)

    # Paper, outlined one pixel wide so it shows on white; a torn top edge
    # where there is room for it.
    line = 1 / k
    teeth = 4 if detail else 0
    for inset, color in ((0, PAPER_EDGE), (line, PAPER)):
        x0, x1 = 8 + inset, 24 - inset
        (px0, py0), (px1, py1) = snap(x0, 2), snap(x1, 18)
        if teeth:
            outline = [p(x0 + (x1 - x0) * i / (2 * teeth),
                         2 + inset + 1.5 * (i % 2))
                       for i in range(2 * teeth + 1)]
            outline += [(px1, py1), (px0, py1)]
        else:
            outline = rect(px0, py0 + inset * k, px1, py1)
        canvas.fill([outline], color)
    if detail:
        canvas.fill([box(11, 5.5, 21, 6.5)], PAPER_TEXT)

    # Arrow down into the printer.
    if detail:
        canvas.fill([box(14, 8, 18, 11)], GREEN)
        canvas.fill([[p(10.5, 10.5), p(21.5, 10.5), p(16, 16)]], GREEN)
    else:
        canvas.fill([box(14, 4, 18, 8.5)], GREEN)
        canvas.fill([[p(10, 8), p(22, 8), p(16, 16)]], GREEN)

    # Body, its slot and a status light.
    canvas.fill([box(2, 16, 30, 30, 3)], SLATE)
    if detail:
        # A lighter base, square at the top, below a dark seam.
        canvas.fill([box(2, 25, 30, 30, 3)], SLATE_LIGHT)
        canvas.fill([box(2, 25, 30, 27)], SLATE_LIGHT)
        canvas.fill([box(2, 25, 30, 25 + line)], SLATE_DARK)
        canvas.fill([box(6, 18.5, 26, 20.5, 1)], SLATE_DARK)
        x, y = p(25, 22.5)
        canvas.fill([ellipse(x, y, 1.5 * k, 1.5 * k)], GREEN)
    else:
        canvas.fill([box(6, 18, 26, 20)], SLATE_DARK)
        canvas.fill([box(24, 24, 26, 26)], GREEN)


# --- Pictures ---------------------------------------------------------------

def window_icon(size):
    canvas = Canvas(size, size)
    draw_printer(canvas, 0, 0, size, detail=size >= 32)
    return canvas.pixels()


def tray_icon(size):
    canvas = Canvas(size, size)
    draw_printer(canvas, 0, 0, size, detail=False)
    return canvas.pixels()


def logo():
    canvas = Canvas(110, 80, DIALOG_GREY)
    draw_printer(canvas, 27, 2, 56)
    size, weight, tracking = 2.0, 1.0, 1.5
    width = text_width("Zentrada", size, weight, tracking)
    draw_text(canvas, "Zentrada", (110 - width) / 2, 74, size, weight,
              SLATE, tracking)
    return canvas.pixels()


def banner():
    canvas = Canvas(392, 80, DIALOG_GREY)
    title = ("Zentrada", 4.4, 1.05, 1.45)
    subtitle = ("Agente de impressora fiscal", 1.55, 0.9, 1.6)
    text = max(text_width(*title), text_width(*subtitle))
    # Picture, gap, text block, centred as a whole.
    left = round((392 - (64 + 20 + text)) / 2)
    draw_printer(canvas, left - 4, 8, 64)
    x = left + 64 + 20
    draw_text(canvas, title[0], x, 44, *title[1:3], SLATE, title[3])
    draw_text(canvas, subtitle[0], x + 1, 63, *subtitle[1:3], SUBTITLE,
              subtitle[3])
    canvas.fill([rect(x, 70, x + text, 71)], TEAL)
    return canvas.pixels()


# --- Writers ----------------------------------------------------------------

def bmp_bytes(rows):
    """A 24-bit uncompressed bottom-up BMP file."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0,
                         14 + len(info))
    return header + info + bytes(data)


def icon_image(rows):
    """One icon entry: BITMAPINFOHEADER, BGRA pixels, then the AND mask."""
    size = len(rows)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                       len(pixels) + len(mask), 0, 0, 0, 0)
    return info + bytes(pixels) + bytes(mask)


def ico_bytes(images):
    """An .ico file from square images (lists of rows)."""
    entries = b""
    payload = b""
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        data = icon_image(rows)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1,
                               32, len(data), offset + len(payload))
        payload += data
    return struct.pack("<HHH", 0, 1, len(images)) + entries + payload


def png_bytes(rows):
    """An RGBA PNG, for previews."""
    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel)
                   for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# --- Main -------------------------------------------------------------------

def main(argv):
    preview = None
    if len(argv) == 3 and argv[1] == "--png":
        preview = argv[2]
    elif len(argv) != 1:
        sys.exit("usage: draw-artwork.py [--png DIR]")

    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    resources = os.path.join(root, "resources")
    pictures = {
        "zentrada": [window_icon(size) for size in (16, 32, 48)],
        "tray": [tray_icon(size) for size in (16, 32)],
        "logo": logo(),
        "banner": banner(),
    }
    outputs = {
        "zentrada.ico": ico_bytes(pictures["zentrada"]),
        "tray.ico": ico_bytes(pictures["tray"]),
        "logo.bmp": bmp_bytes(pictures["logo"]),
        "banner.bmp": bmp_bytes(pictures["banner"]),
    }
    for name, data in outputs.items():
        with open(os.path.join(resources, name), "wb") as f:
            f.write(data)

    if preview:
        os.makedirs(preview, exist_ok=True)
        for name, images in pictures.items():
            if isinstance(images[0][0], tuple):
                images = [images]
            for rows in images:
                suffix = "" if len(images) == 1 else "-%d" % len(rows)
                path = os.path.join(preview, name + suffix + ".png")
                with open(path, "wb") as f:
                    f.write(png_bytes(rows))


if __name__ == "__main__":
    main(sys.argv)
