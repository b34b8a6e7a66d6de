#!/usr/bin/env python3
"""Build step: turns the desktop icon (an 8-bit RGB or RGBA PNG, not interlaced) into a small C++
table of RGBA pixels, averaged down to SIZE x SIZE, for the window icon compiled into the
player. Usage: icon_table.py ICON.png OUT.h SIZE"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                sys.exit(f"{path}: only 8-bit RGB or RGBA without interlacing")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride = zlib.decompress(idat), width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, cur = line[0], bytearray(line[1:])
        for i in range(stride):
            a = cur[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                cur[i] = (cur[i] + a) & 0xFF
            elif kind == 2:
                cur[i] = (cur[i] + b) & 0xFF
            elif kind == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                cur[i] = (cur[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(cur)
        prev = cur
    return width, height, channels, rows


def main():
    src, out, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    width, height, channels, rows = read_png(src)
    pixels = []
    for ty in range(size):
        for tx in range(size):
            y0, y1 = ty * height // size, (ty + 1) * height // size
            x0, x1 = tx * width // size, (tx + 1) * width // size
            sums = [0, 0, 0, 0]
            for y in range(y0, y1):
                for x in range(x0, x1):
                    px = rows[y][x * channels:(x + 1) * channels]
                    for k in range(channels):
                        sums[k] += px[k]
            n = (y1 - y0) * (x1 - x0)
            if channels == 3:
                sums[3] = 255 * n
            pixels += [(s + n // 2) // n for s in sums]
    lines = [", ".join(str(v) for v in pixels[i:i + 16]) for i in range(0, len(pixels), 16)]
    with open(out, "w") as f:
        f.write(f"// Generated from {src.split('/')[-1]} by cmake/icon_table.py: RGBA rows, top first.\n")
        f.write("#pragma once\n#include <cstdint>\n\n")
        f.write(f"constexpr int kIconSize = {size};\n")
        f.write(f"constexpr uint8_t kIconPixels[{len(pixels)}] = {{\n    " + ",\n    ".join(lines) + "\n};\n")


main()
