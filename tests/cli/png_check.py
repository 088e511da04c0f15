"""Exits 0 when every FILE is a whole PNG picture: the signature, every
chunk within the file and its CRC right, IHDR first and IEND last, and the
IDAT data inflating to exactly the rows IHDR promises (8 bits a sample, no
interlace). Prints what is wrong with the first file that is not.
Usage: png_check.py FILE..."""
import struct
import sys
import zlib

CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}


def problem(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return "no PNG signature"
    at, chunks, idat = 8, [], b""
    while at < len(data):
        if at + 12 > len(data):
            return "a chunk cut short at byte %d" % at
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if len(body) != length or at + 12 + length > len(data):
            return "chunk %r runs past the end" % kind
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            return "chunk %r has a wrong CRC" % kind
        chunks.append((kind, body))
        if kind == b"IDAT":
            idat += body
        at += 12 + length
    if not chunks or chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        return "not IHDR first and IEND last"
    width, height, depth, color, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if depth != 8 or color not in CHANNELS or interlace != 0:
        return "an unexpected layout: depth %d, colour type %d, interlace %d" % (depth, color, interlace)
    try:
        rows = zlib.decompress(idat)
    except zlib.error as e:
        return "IDAT does not inflate: %s" % e
    if len(rows) != height * (1 + width * CHANNELS[color]):
        return "IDAT holds %d bytes, not the %dx%d picture's" % (len(rows), width, height)
    return None


def main():
    for path in sys.argv[1:]:
        why = problem(path)
        if why:
            print("%s: %s" % (path, why))
            return 1
    return 0


sys.exit(main())
