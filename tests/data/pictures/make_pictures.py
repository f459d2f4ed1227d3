#!/usr/bin/env python3
"""Writes the Windows bitmaps of the picture decoding tests.

Put together byte by byte from the bitmap file format alone (file header, info header,
colour table, pixel data), not with the program's code, so that a mistake in the
program's decoder cannot agree with itself. Run it from this folder; the .bmp files it
writes are kept in the repository. What each picture must look like is written beside
it in the test, top row first.
"""

import struct

BLACK, WHITE, RED, GREEN = (0, 0, 0), (255, 255, 255), (255, 0, 0), (0, 255, 0)


def bitmap(header, table, pixels):
    """File header + info header + colour table + pixel data."""
    offset = 14 + len(header) + len(table)
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + table
            + pixels)


def info_header(width, height, bits, compression, image_size, colours):
    """The 40-byte info header."""
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size,
                       2835, 2835, colours, 0)


def table(*colours):
    """Colour table entries: blue, green, red, unused."""
    return b"".join(bytes([b, g, r, 0]) for (r, g, b) in colours)


def rle8():
    """6 x 4, palette black, white, red, green. Rows from the bottom:
    encoded runs; literal indexes; an odd literal group (padded), a delta over the rest of
    its row and the start of the top row, a run, and the end of the picture."""
    data = bytes([
        3, 1, 3, 2, 0, 0,                 # bottom row: W W W R R R
        0, 4, 1, 2, 1, 2, 2, 3, 0, 0,     # W R W R G G
        0, 3, 2, 2, 1, 0,                 # R R W (padding byte)
        0, 2, 1, 1,                       # delta: right 1, down 1 (to x 4 of the top row)
        2, 1,                             # W W
        0, 1,                             # end of the picture
    ])
    return bitmap(info_header(6, 4, 8, 1, len(data), 4), table(BLACK, WHITE, RED, GREEN), data)


def rle4():
    """5 x 3, palette black, white, red. Rows from the bottom: a run of alternating
    indexes; five literal indexes (three bytes, padded to four); a run of two, then the
    end of the picture leaves the rest of the top row at colour 0."""
    data = bytes([
        5, 0x12, 0, 0,                    # bottom row: W R W R W
        0, 5, 0x21, 0x12, 0x20, 0x00, 0, 0,  # R W W R R
        2, 0x11,                          # W W
        0, 1,                             # end of the picture
    ])
    return bitmap(info_header(5, 3, 4, 2, len(data), 3), table(BLACK, WHITE, RED), data)


def rgb32_padding():
    """3 x 1 plain 32-bit bitmap (info header, no masks) whose fourth bytes are 0, 0x7F and
    0xFF: padding, not transparency."""
    data = bytes([0, 0, 0, 0x00, 0, 0, 0, 0x7F, 255, 255, 255, 0xFF])
    return bitmap(info_header(3, 1, 32, 0, len(data), 0), b"", data)


def v5_alpha():
    """2 x 1 32-bit bitmap with the v5 header, bit fields and an alpha mask: a clear black
    pixel, then an opaque black one."""
    masks = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    colour_space = struct.pack("<I", 0x73524742) + bytes(36) + bytes(12)  # sRGB, unused fields
    header = (struct.pack("<IiiHHIIiiII", 124, 2, 1, 1, 32, 3, 8, 2835, 2835, 0, 0) + masks
              + colour_space + struct.pack("<IIII", 4, 0, 0, 0))  # intent, no profile
    assert len(header) == 124
    data = bytes([0, 0, 0, 0x00, 0, 0, 0, 0xFF])
    return bitmap(header, b"", data)


for name, make in [("rle8.bmp", rle8), ("rle4.bmp", rle4), ("rgb32_padding.bmp", rgb32_padding),
                   ("v5_alpha.bmp", v5_alpha)]:
    with open(name, "wb") as f:
        f.write(make())
