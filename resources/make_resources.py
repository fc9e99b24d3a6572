#!/usr/bin/env python3
"""Makes the program's resources: the checked pattern, the two click sounds and the program icon.

Run from anywhere with python3 (standard library only); it rewrites the files beside it:
  bitmaps/DITHER.bmp         8 x 8, 24-bit, one-pixel black and white checkerboard, top-left black
  sounds/BUTTON_CLICK.wav    22,050 Hz, 16-bit mono PCM, 681 samples (1,362 bytes): a short tick
  sounds/PAGE_CLICK.wav      same format, 4,633 samples (9,266 bytes): a softer, longer flick
  icons/QUILLANE.png         32 x 32 RGBA program icon (a quill over a page)
  icons/QUILLANE@2x.png      the same at 64 x 64 for dense screens
Everything is computed from fixed formulas, so the files come out byte for byte the same.
"""
import math
import os
import struct
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 22050


def write_dither(path):
    width = height = 8
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            v = 0 if (x + y) % 2 == 0 else 255
            row += bytes((v, v, v))
        row += b"\0" * (row_bytes - len(row))
        pixels += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    with open(path, "wb") as f:
        f.write(file_header + header + pixels)


def write_wave(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", s) for s in samples))


def clamp16(v):
    return max(-32768, min(32767, int(round(v))))


def button_click(count=681):
    # A decaying 2.6 kHz sine burst with a short 1.1 kHz body under it.
    out = []
    for n in range(count):
        t = n / RATE
        env = math.exp(-t / 0.0045)
        body = math.exp(-t / 0.009)
        v = 14000 * env * math.sin(2 * math.pi * 2600 * t) + 5000 * body * math.sin(2 * math.pi * 1100 * t)
        if n >= count - 32:  # fade the tail to silence
            v *= (count - 1 - n) / 31
        out.append(clamp16(v))
    return out


def page_click(count=4633):
    # A flick of filtered noise (fixed linear congruential generator) that rises and dies away.
    seed = 12345
    state = 0.0
    out = []
    for n in range(count):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = (seed / 0x7FFFFFFF) * 2 - 1
        state = 0.82 * state + 0.18 * noise  # low-pass
        t = n / RATE
        env = min(1.0, t / 0.004) * math.exp(-t / 0.045)
        v = 26000 * env * state + 2500 * env * math.sin(2 * math.pi * 420 * t)
        if n >= count - 64:
            v *= (count - 1 - n) / 63
        out.append(clamp16(v))
    return out


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png(path, width, height, rgba):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        raw += rgba[y * width * 4:(y + 1) * width * 4]
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def icon_pixels(scale=1):
    """The icon drawn on a 32-unit grid at `scale` pixels per unit (1: the 32 x 32 icon, 2: the
    64 x 64 one for dense screens, drawn at that resolution rather than pixel-doubled)."""
    size = 32 * scale
    px = bytearray(size * size * 4)

    def put(x, y, r, g, b, a=255):
        if 0 <= x < size and 0 <= y < size:
            i = (y * size + x) * 4
            px[i:i + 4] = bytes((r, g, b, a))

    # The page: white with a dark outline and blue ruled lines (a sheet of cells).
    for y in range(3 * scale, 30 * scale):
        for x in range(5 * scale, 25 * scale):
            ux, uy = x // scale, y // scale
            edge = ux in (5, 24) or uy in (3, 29)
            if edge:
                put(x, y, 40, 52, 70)
            elif (uy - 3) % 5 == 0 and y % scale == 0 or (ux - 5) % 6 == 0 and x % scale == 0:
                put(x, y, 150, 190, 230)
            else:
                put(x, y, 255, 255, 255)
    # The quill: a feather from the lower left to the upper right, with a dark nib.
    fine = 1 if scale == 1 else 2 * scale  # steps per unit, dense enough to leave no holes
    for step in range(25 * fine + 1):
        i = step / fine
        cx = (6 + i * 0.92) * scale
        cy = (28 - i * 0.98) * scale
        half = 0 if i < 5 else min(3, (int(i) - 4) // 3 + 1)
        for dd in range(-half * fine, half * fine + 1):
            d = dd / fine
            x = int(round(cx + d * 0.7 * scale))
            y = int(round(cy + d * 0.7 * scale))
            shade = int(200 - abs(d) * 30)
            put(x, y, 230, shade, 60)
        put(int(round(cx)), int(round(cy)), 120, 60, 20)
    for i in range(4 * scale):
        for w in range(scale):
            put(5 * scale + i + w, 30 * scale - 1 - i, 20, 20, 20)
    return px


def main():
    write_dither(os.path.join(HERE, "bitmaps", "DITHER.bmp"))
    write_wave(os.path.join(HERE, "sounds", "BUTTON_CLICK.wav"), button_click())
    write_wave(os.path.join(HERE, "sounds", "PAGE_CLICK.wav"), page_click())
    write_png(os.path.join(HERE, "icons", "QUILLANE.png"), 32, 32, icon_pixels())
    write_png(os.path.join(HERE, "icons", "QUILLANE@2x.png"), 64, 64, icon_pixels(2))


if __name__ == "__main__":
    main()
