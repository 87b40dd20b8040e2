#!/usr/bin/env python3
"""Writes "defoptions.bin", the options a fresh install of the game starts with.

One 164-byte record, 32-bit little-endian fields at the offsets the launcher and the
game share; every byte the record does not use is zero.
"""
import struct
import sys

RECORD_SIZE = 164
FIELDS_OFFSET = 32

# Field order: size, sound on, music volume, sound volume, full screen, resolution,
# single player, detail, particles, mip-mapping.
DEFAULTS = (
    RECORD_SIZE,
    1,       # sound on
    -1500,   # music 15 dB below full, under the effects
    -500,    # sound effects 5 dB below full
    1,       # full screen
    0,       # 800 x 600 at 32 bits per pixel
    1,       # single player
    1,       # detail: quality
    1,       # particles: medium
    1,       # mip-mapping on
)


def main():
    record = bytearray(RECORD_SIZE)
    struct.pack_into("<IIiiIIIIII", record, FIELDS_OFFSET, *DEFAULTS)
    with open(sys.argv[1], "wb") as out:
        out.write(record)


if __name__ == "__main__":
    main()
