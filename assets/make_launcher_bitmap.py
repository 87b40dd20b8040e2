#!/usr/bin/env python3
"""Draws the launcher's title picture: "Q.U.A.R.V." over a dusk sky and a mountain
ridge, 364 x 157 pixels at 24 bits per pixel, as a Windows BMP file."""
import math
import struct
import sys

WIDTH, HEIGHT = 364, 157
HORIZON = 118

GLYPHS = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    ".": [".", ".", ".", ".", ".", ".", "#"],
}
TITLE = "Q.U.A.R.V."
SCALE = 6
GAP = 6


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def sky(y):
    top, middle, low = (12, 18, 58), (92, 44, 110), (238, 132, 52)
    t = y / HORIZON
    return mix(top, middle, t / 0.6) if t < 0.6 else mix(middle, low, (t - 0.6) / 0.4)


def ridge(x):
    """Height of the mountain line above the bottom edge at column x."""
    return (44 + 14 * math.sin(x * 0.031) + 9 * math.sin(x * 0.087 + 1.3)
            + 4 * math.sin(x * 0.23 + 0.5))


def draw():
    pixels = [[sky(min(y, HORIZON)) for _ in range(WIDTH)] for y in range(HEIGHT)]

    # A pale moon low over the ridge.
    cx, cy, r = 328, 84, 14
    for y in range(HEIGHT):
        for x in range(WIDTH):
            d = math.hypot(x - cx, y - cy)
            if d < r:
                pixels[y][x] = mix((250, 236, 200), pixels[y][x], max(0.0, (d - r + 2) / 2))

    # Stars from a fixed sequence, so every build makes the same picture.
    seed = 7
    for _ in range(60):
        seed = (seed * 1103515245 + 12345) % 2147483648
        x = seed % WIDTH
        seed = (seed * 1103515245 + 12345) % 2147483648
        y = seed % 60
        pixels[y][x] = mix(pixels[y][x], (255, 255, 230), 0.8)

    for x in range(WIDTH):
        top = HEIGHT - int(ridge(x))
        for y in range(max(top, 0), HEIGHT):
            shade = (y - top) / max(1, HEIGHT - top)
            pixels[y][x] = mix((46, 30, 62), (14, 10, 24), shade)

    width = sum(len(GLYPHS[c][0]) * SCALE + GAP for c in TITLE) - GAP
    left, top = (WIDTH - width) // 2, 20
    for dx, dy, colour in ((3, 3, (8, 6, 20)), (0, 0, None)):
        x0 = left + dx
        for c in TITLE:
            glyph = GLYPHS[c]
            for row, line in enumerate(glyph):
                for col, cell in enumerate(line):
                    if cell != "#":
                        continue
                    for y in range(top + dy + row * SCALE, top + dy + (row + 1) * SCALE):
                        fill = colour or mix((255, 236, 120), (232, 120, 30), (y - top) / (7 * SCALE))
                        for x in range(x0 + col * SCALE, x0 + (col + 1) * SCALE):
                            pixels[y][x] = fill
            x0 += len(glyph[0]) * SCALE + GAP
    return pixels


def write_bmp(path, pixels):
    row_size = (WIDTH * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        image += line + bytes(row_size - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + image)


if __name__ == "__main__":
    write_bmp(sys.argv[1], draw())
