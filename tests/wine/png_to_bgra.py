#!/usr/bin/env python3
"""Decodes an 8-bit RGB or RGBA PNG (no interlace) into the bytes a shell
thumbnail holds: blue, green, red, alpha a pixel, top row first, each colour
premultiplied by alpha and rounded to the nearest.
Usage: png_to_bgra.py IN.png OUT.bgra"""
import struct
import sys
import zlib


def decode(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, "only 8-bit RGB or RGBA, not interlaced"
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        previous = line
    return width, height, channels, rows


def main():
    width, height, channels, rows = decode(open(sys.argv[1], "rb").read())
    out = bytearray()
    for line in rows:
        for x in range(width):
            r, g, b = line[x * channels:x * channels + 3]
            alpha = line[x * channels + 3] if channels == 4 else 255
            out += bytes(round(c * alpha / 255) for c in (b, g, r)) + bytes([alpha])
    open(sys.argv[2], "wb").write(out)


main()
