#!/usr/bin/env python3
"""Writes Boat.png, the vessel symbol of the navigation map: a hull seen from
above, bow up, 46 x 120 pixels, drawn in white with a dark outline on a
transparent background; the map tints the white with the operator's vessel
colour. Its point (23, 89) is the antenna position the map puts on the fix.

Run it from this folder; the file is committed beside it."""

import struct
import zlib

W, H = 46, 120


def hull_half_width(y):
    """Half the hull's width at row y (None outside the hull)."""
    if y < 4 or y > 112:
        return None
    if y < 40:  # the bow: a curve from the stem to full beam
        t = (y - 4) / 36.0
        return 2 + 17 * (1 - (1 - t) ** 2)
    if y < 104:
        return 19
    return 19 - (y - 104) * 0.9  # the transom's rounded corners


def pixel(x, y):
    hw = hull_half_width(y)
    cx = (W - 1) / 2.0
    if hw is None or abs(x - cx) > hw:
        return (0, 0, 0, 0)
    edge = hw - abs(x - cx) < 2 or y < 6 or y > 110
    # the wheelhouse and the antenna mark
    house = 70 <= y <= 96 and abs(x - cx) <= 10
    if edge:
        return (30, 30, 30, 255)
    if (x - 23) ** 2 + (y - 89) ** 2 <= 9:
        return (30, 30, 30, 255)
    if house:
        return (200, 200, 200, 255)
    return (255, 255, 255, 255)


def png(width, height, rgba):
    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rgba)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    rows = [[pixel(x, y) for x in range(W)] for y in range(H)]
    with open("Boat.png", "wb") as f:
        f.write(png(W, H, rows))
