#!/usr/bin/env python3
"""Draws Kestrune's icon, a golden "Q" ring on a night-blue disc, at 32 x 32 and 16 x 16
pixels, and writes both as a Windows .ico file (32-bit pixels with an AND mask)."""
import math
import struct
import sys

SIZES = (32, 16)


def pixel(size, x, y):
    """BGRA of the pixel whose centre is at (x + 0.5, y + 0.5), y counted downwards."""
    c = size / 2
    px, py = x + 0.5 - c, y + 0.5 - c
    d = math.hypot(px, py)
    if d > c - 0.5:
        return (0, 0, 0, 0)
    ring_outer, ring_inner = c * 0.74, c * 0.46
    # The tail of the Q: a short stroke from the ring's lower right outwards.
    tx, ty = px / c, py / c
    on_tail = 0.25 < tx < 0.85 and abs(ty - tx) < 0.17
    if ring_inner <= d <= ring_outer or on_tail:
        return (40, 170, 250, 255)
    shade = d / c
    return (int(110 - 50 * shade), int(40 - 20 * shade), int(20 - 10 * shade), 255)


def image(size):
    rows = [[pixel(size, x, y) for x in range(size)] for y in range(size)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(p) for row in reversed(rows) for p in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main():
    images = [image(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
