#!/usr/bin/env python3
"""Writes installer/setup.ico: the setup program's icon, a 32 x 32 disc with
a down arrow, drawn here pixel by pixel."""
import struct
import sys

SIZE = 32


def pixel(x, y):
    cx, cy = x - 15.5, y - 15.5
    r2 = cx * cx + cy * cy
    # Down arrow over the disc.
    if 12 <= x <= 19 and 6 <= y <= 16:
        return (255, 255, 255, 255)
    if 17 <= y <= 25 and abs(cx) <= (25 - y):
        return (255, 255, 255, 255)
    if r2 <= 3.0 * 3.0:
        return (0, 0, 0, 0)  # the hole
    if r2 <= 15.5 * 15.5:
        shade = int(120 + 100 * (x + y) / (2 * SIZE))
        return (shade, 90, 40, 255)  # B, G, R, A: a blue disc
    return (0, 0, 0, 0)


def main(path):
    rows = []
    mask_rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        row = b""
        bits = 0
        mask = bytearray(4)
        for x in range(SIZE):
            b, g, r, a = pixel(x, y)
            row += bytes((b, g, r, a))
            if a == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        rows.append(row)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(rows) + b"".join(mask_rows)
    icon = struct.pack("<HHH", 0, 1, 1)
    icon += struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(icon + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "installer/setup.ico")
