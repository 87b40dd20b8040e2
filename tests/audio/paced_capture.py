#!/usr/bin/env python3
"""Stores what Wine plays into the ALSA "file" device of the audio tests, at the pace
a sound card would take it.

The "null" device under the "file" plugin accepts samples as fast as they come, so
Wine's mixer would run ahead of real time: a streamed sound (DirectShow music) then
loses pieces, and loses more the busier the machine is. Reading the pipe no faster
than 48000 frames of 2 x 32-bit floats a second makes the plugin's writes wait, and
with them Wine's mixer, as a real device would.

Usage (as the plugin's piped command): paced_capture.py <folder>
Each stream gets a file of its own: capture.raw, capture.raw.0001, ...
"""
import os
import sys
import time

BYTES_PER_SECOND = 48000 * 2 * 4


def open_next(folder):
    name = os.path.join(folder, "capture.raw")
    number = 0
    while True:
        try:
            return os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        except FileExistsError:
            number += 1
            name = os.path.join(folder, "capture.raw.%04d" % number)


def main():
    out = open_next(sys.argv[1])
    source = sys.stdin.buffer
    start = time.monotonic()
    total = 0
    while True:
        data = source.read1(BYTES_PER_SECOND // 100)
        if not data:
            break
        os.write(out, data)
        total += len(data)
        ahead = total / BYTES_PER_SECOND - (time.monotonic() - start)
        if ahead > 0:
            time.sleep(ahead)
    os.close(out)


if __name__ == "__main__":
    main()
