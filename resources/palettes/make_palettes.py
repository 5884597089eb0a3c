#!/usr/bin/env python3
"""Writes the four waterfall palettes shipped with Kestrova: 1024 colours from
the weakest echo (entry 0) to the strongest, each a little-endian 32-bit pixel
value (blue in bits 0-7, green 8-15, red 16-23), 4096 bytes per file.

    brown.clr   black through dark umber and amber to cream: the classic
                side-scan look, with weak returns lifted out of the black early
    prismy.clr  black, violet, blue, cyan, green, yellow, white: a spectrum
    gray.clr    black to white, with a gentle lift of the weakest echoes
    jet.clr     dark blue, blue, cyan, yellow, red, dark red

Run it from this folder; the files are committed beside it."""

def ramp(stops, n=1024):
    out = []
    for i in range(n):
        t = i / (n - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t <= t1:
                f = 0.0 if t1 == t0 else (t - t0) / (t1 - t0)
                out.append(tuple(round(a + (b - a) * f) for a, b in zip(c0, c1)))
                break
    return out

def write(name, colours):
    with open(name, "wb") as f:
        for r, g, b in colours:
            f.write(bytes((b, g, r, 0)))

# A gamma below one brightens the weak end, where small targets live.
def lifted(stops, gamma):
    base = ramp(stops)
    return [base[round(((i / 1023) ** gamma) * 1023)] for i in range(1024)]

write("brown.clr", lifted([(0.0, (0, 0, 0)), (0.25, (70, 38, 10)), (0.55, (168, 102, 36)),
                           (0.8, (230, 176, 96)), (1.0, (255, 244, 214))], 0.8))
write("prismy.clr", lifted([(0.0, (0, 0, 0)), (0.15, (70, 0, 110)), (0.3, (20, 30, 220)),
                            (0.45, (0, 190, 230)), (0.6, (20, 210, 60)), (0.78, (250, 230, 0)),
                            (0.9, (255, 120, 0)), (1.0, (255, 255, 255))], 0.85))
write("gray.clr", lifted([(0.0, (0, 0, 0)), (1.0, (255, 255, 255))], 0.85))
write("jet.clr", ramp([(0.0, (0, 0, 128)), (0.125, (0, 0, 255)), (0.375, (0, 255, 255)),
                       (0.625, (255, 255, 0)), (0.875, (255, 0, 0)), (1.0, (128, 0, 0))]))
