#!/usr/bin/env python3
"""Writes allusertoolbar.png, the toolbar's image strip: 24 x 24 pixel images
side by side, image i at x = 24 * i, on a transparent background.

 0 Project (folder)            1 Connect Device (linked boxes)
 2 Open File (file, play)      3 Device Settings (gear)
 4 Alarm Settings (warning)    5 Start (green triangle)
 6 Stop (red square)           7 Save KSF, off (red ring)
 8 Cut KSF (scissors)          9 Calibration Pressure (gauge)
10 Switch Window (two panes)  11 Snapshot (camera)
12 Navigation (north arrow)   13 Target (cross hairs)
14 XTF File, off (blue ring)  15 Save KSF, on (red disc)
16 XTF File, on (blue disc)   17 Help (question mark)
18 Quit (door and arrow)

Drawn with a few shapes sampled 4 x 4 per pixel. Run it from this folder;
the file is committed beside it."""

import math
import struct
import zlib

S = 24
N = 19
SS = 4


def inside_poly(x, y, pts):
    c = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            c = not c
        j = i
    return c


def seg_dist(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


# Shapes: (kind, params, colour); later shapes paint over earlier ones.
def rect(x0, y0, x1, y1, c):
    return lambda x, y: c if x0 <= x <= x1 and y0 <= y <= y1 else None


def disc(cx, cy, r, c):
    return lambda x, y: c if math.hypot(x - cx, y - cy) <= r else None


def ring(cx, cy, r, w, c):
    return lambda x, y: c if abs(math.hypot(x - cx, y - cy) - r) <= w / 2 else None


def poly(pts, c):
    return lambda x, y: c if inside_poly(x, y, pts) else None


def line(a, b, w, c):
    return lambda x, y: c if seg_dist(x, y, a, b) <= w / 2 else None


def outline(x0, y0, x1, y1, w, c):
    return lambda x, y: (c if x0 <= x <= x1 and y0 <= y <= y1 and
                         (x < x0 + w or x > x1 - w or y < y0 + w or y > y1 - w) else None)


DARK = (40, 40, 48)
YELLOW = (240, 190, 40)
GREEN = (40, 170, 60)
RED = (210, 40, 40)
BLUE = (40, 100, 210)
GREY = (120, 124, 132)
WHITE = (250, 250, 250)
PAPER = (235, 238, 242)

gear = [disc(12, 12, 7.5, GREY)]
for k in range(8):
    a = k * math.pi / 4
    gear.append(line((12, 12), (12 + 10 * math.cos(a), 12 + 10 * math.sin(a)), 3.2, GREY))
gear += [disc(12, 12, 3, WHITE)]

IMAGES = [
    # 0 Project
    [poly([(2, 6), (9, 6), (11, 8), (22, 8), (22, 20), (2, 20)], YELLOW),
     outline(2, 8, 22, 20, 1.2, (170, 130, 20))],
    # 1 Connect Device
    [rect(2, 4, 10, 11, BLUE), rect(14, 13, 22, 20, BLUE), line((6, 11), (6, 17), 2, DARK),
     line((6, 17), (14, 17), 2, DARK), rect(4, 6, 8, 9, WHITE), rect(16, 15, 20, 18, WHITE)],
    # 2 Open File
    [poly([(4, 2), (15, 2), (20, 7), (20, 22), (4, 22)], PAPER), outline(4, 2, 20, 22, 1.2, GREY),
     poly([(9, 9), (9, 18), (16, 13.5)], GREEN)],
    # 3 Device Settings
    gear,
    # 4 Alarm Settings
    [poly([(12, 2), (23, 21), (1, 21)], YELLOW), rect(11, 8, 13, 15, DARK), disc(12, 18, 1.3, DARK)],
    # 5 Start
    [poly([(6, 3), (6, 21), (21, 12)], GREEN)],
    # 6 Stop
    [rect(5, 5, 19, 19, RED)],
    # 7 Save KSF, off
    [ring(12, 12, 7.5, 3, RED)],
    # 8 Cut KSF
    [ring(7, 17, 3.5, 2, DARK), ring(17, 17, 3.5, 2, DARK), line((9, 14), (18, 2), 2, GREY),
     line((15, 14), (6, 2), 2, GREY)],
    # 9 Calibration Pressure
    [disc(12, 13, 10, PAPER), ring(12, 13, 9.5, 1.5, DARK), line((12, 13), (18, 7), 2, RED),
     disc(12, 13, 2, DARK)],
    # 10 Switch Window
    [outline(2, 3, 22, 21, 1.5, DARK), rect(4, 5, 20, 11, BLUE), rect(4, 13, 20, 19, GREEN)],
    # 11 Snapshot
    [rect(2, 7, 22, 20, DARK), rect(8, 4, 16, 7, DARK), disc(12, 13.5, 5, WHITE),
     disc(12, 13.5, 3, BLUE)],
    # 12 Navigation
    [ring(12, 12, 10, 1.5, DARK), poly([(12, 3), (16, 13), (8, 13)], RED),
     poly([(12, 21), (16, 13), (8, 13)], GREY)],
    # 13 Target
    [ring(12, 12, 7, 2, RED), line((12, 1), (12, 9), 2, DARK), line((12, 15), (12, 23), 2, DARK),
     line((1, 12), (9, 12), 2, DARK), line((15, 12), (23, 12), 2, DARK)],
    # 14 XTF File, off
    [ring(12, 12, 7.5, 3, BLUE)],
    # 15 Save KSF, on
    [disc(12, 12, 9, RED), ring(12, 12, 9, 1.5, (140, 20, 20))],
    # 16 XTF File, on
    [disc(12, 12, 9, BLUE), ring(12, 12, 9, 1.5, (20, 50, 140))],
    # 17 Help
    [disc(12, 12, 10, BLUE), ring(12, 9, 3.5, 2.2, WHITE), rect(6, 9, 12, 13, BLUE),
     line((12, 12.5), (12, 15), 2.2, WHITE), disc(12, 18.5, 1.4, WHITE)],
    # 18 Quit
    [rect(3, 2, 13, 22, GREY), rect(5, 4, 11, 20, PAPER), line((10, 12), (21, 12), 2.4, RED),
     poly([(17, 7), (23, 12), (17, 17)], RED)],
]
assert len(IMAGES) == N


def pixel(shapes, x, y):
    r = g = b = a = 0.0
    for sy in range(SS):
        for sx in range(SS):
            px, py = x + (sx + 0.5) / SS, y + (sy + 0.5) / SS
            c = None
            for s in shapes:
                c = s(px, py) or c
            if c:
                r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
    if a == 0:
        return (0, 0, 0, 0)
    return (round(r / a), round(g / a), round(b / a), round(255 * a / (SS * SS)))


def main():
    W = S * N
    rows = []
    img = [[pixel(IMAGES[x // S], x % S, y) for x in range(W)] for y in range(S)]
    for y in range(S):
        rows.append(b"\x00" + b"".join(bytes(p) for p in img[y]))

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, S, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    with open("allusertoolbar.png", "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
