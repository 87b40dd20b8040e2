#!/usr/bin/env python3
"""Draws the multiplayer wizard's two pictures as 8-bit palette BMP files:

  make_wizard_bitmaps.py HEADER.bmp WATERMARK.bmp

HEADER (49 x 49) sits in the top corner of every interior page: four players joined to one
host, on white, since the sheet fills the rest of the header band with the picture's
top-left colour. WATERMARK (164 x 314) fills the left of the exterior page: the dusk sky
and mountain ridge of the launcher's title picture, with "QUARV" stacked down the middle.
"""
import math
import struct
import sys

GLYPHS = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
}


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def ramp(start, end, count):
    return [mix(start, end, i / (count - 1)) for i in range(count)]


class Palette:
    """256 colours in named ramps; pictures are drawn in palette indices."""

    def __init__(self):
        self.colours = []
        self.ramps = {}

    def add(self, name, colours):
        self.ramps[name] = (len(self.colours), len(colours))
        self.colours += colours

    def pick(self, name, t):
        first, count = self.ramps[name]
        return first + min(count - 1, max(0, int(round(t * (count - 1)))))

    def table(self):
        assert len(self.colours) <= 256
        colours = self.colours + [(0, 0, 0)] * (256 - len(self.colours))
        return b"".join(bytes((b, g, r, 0)) for r, g, b in colours)


def write_bmp(path, width, height, palette, rows):
    row_size = (width + 3) & ~3
    image = bytearray()
    for row in reversed(rows):  # bottom-up
        image += bytes(row) + bytes(row_size - width)
    table = palette.table()
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(image), 2835, 2835, 256, 0)
    with open(path, "wb") as out:
        out.write(header + info + table + image)


def draw_header():
    size = 49
    palette = Palette()
    palette.add("white", [(255, 255, 255)])
    palette.add("disc", ramp((28, 44, 110), (10, 16, 48), 40))
    palette.add("link", ramp((120, 200, 230), (255, 255, 255), 24))
    palette.add("player", ramp((255, 236, 120), (232, 120, 30), 24))
    palette.add("host", ramp((255, 250, 220), (250, 170, 60), 24))

    rows = [[palette.pick("white", 0)] * size for _ in range(size)]
    centre = (size - 1) / 2
    radius = 23.0
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - centre, y - centre)
            if d <= radius:
                rows[y][x] = palette.pick("disc", d / radius)

    host = (centre, centre)
    players = [(centre + 14 * math.cos(a), centre + 14 * math.sin(a))
               for a in (math.radians(d) for d in (-90, 0, 90, 180))]
    for px, py in players:
        steps = 40
        for i in range(steps + 1):
            t = i / steps
            x = host[0] + (px - host[0]) * t
            y = host[1] + (py - host[1]) * t
            rows[int(round(y))][int(round(x))] = palette.pick("link", t)
    for (cx, cy), r, name in [(host, 5.5, "host")] + [(p, 4.0, "player") for p in players]:
        for y in range(size):
            for x in range(size):
                d = math.hypot(x - cx, y - cy)
                if d <= r:
                    rows[y][x] = palette.pick(name, d / r)
    return size, size, palette, rows


def draw_watermark():
    width, height = 164, 314
    horizon = 250
    palette = Palette()
    palette.add("sky", ramp((12, 18, 58), (92, 44, 110), 70) + ramp((96, 46, 108), (238, 132, 52), 50))
    palette.add("ridge", ramp((46, 30, 62), (14, 10, 24), 48))
    palette.add("title", ramp((255, 236, 120), (232, 120, 30), 48))
    palette.add("shadow", [(8, 6, 20)])
    palette.add("moon", [(250, 236, 200)])
    palette.add("star", [(255, 255, 230)])

    rows = [[palette.pick("sky", min(y, horizon) / horizon) for _ in range(width)] for y in range(height)]

    cx, cy, r = 124, 206, 12
    for y in range(height):
        for x in range(width):
            if math.hypot(x - cx, y - cy) < r:
                rows[y][x] = palette.pick("moon", 0)

    # Stars from a fixed sequence, so every build makes the same picture.
    seed = 11
    for _ in range(70):
        seed = (seed * 1103515245 + 12345) % 2147483648
        x = seed % width
        seed = (seed * 1103515245 + 12345) % 2147483648
        y = seed % 150
        rows[y][x] = palette.pick("star", 0)

    for x in range(width):
        top = height - int(52 + 16 * math.sin(x * 0.045 + 0.7) + 8 * math.sin(x * 0.13 + 1.9)
                           + 3 * math.sin(x * 0.31))
        for y in range(max(top, 0), height):
            rows[y][x] = palette.pick("ridge", (y - top) / max(1, height - top))

    scale, gap, title = 5, 6, "QUARV"
    glyph_height = 7 * scale
    left = (width - 5 * scale) // 2
    top = 24
    for dx, dy, name in ((3, 3, "shadow"), (0, 0, "title")):
        y0 = top + dy
        for c in title:
            for row, line in enumerate(GLYPHS[c]):
                for col, cell in enumerate(line):
                    if cell != "#":
                        continue
                    for y in range(y0 + row * scale, y0 + (row + 1) * scale):
                        index = palette.pick(name, (y - y0) / glyph_height)
                        for x in range(left + dx + col * scale, left + dx + (col + 1) * scale):
                            rows[y][x] = index
            y0 += glyph_height + gap
    return width, height, palette, rows


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_bmp(sys.argv[1], *draw_header())
    write_bmp(sys.argv[2], *draw_watermark())
