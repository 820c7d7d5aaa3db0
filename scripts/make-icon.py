#!/usr/bin/env python3
"""Draws the library's icon (src/addin/quarrow.ico): three layers of units joined by links,
on a dark-blue rounded tile. Writes 32x32 and 16x16 images, 32 bits per pixel."""
import struct
import sys


def draw(size):
    s = size / 32.0
    bg = (0, 0, 0, 0)
    tile = (38, 62, 120, 255)
    link = (150, 180, 230, 255)
    unit = (250, 200, 60, 255)
    out_unit = (120, 220, 130, 255)
    px = [[bg for _ in range(size)] for _ in range(size)]

    # rounded tile
    r = 5 * s
    for y in range(size):
        for x in range(size):
            cx = min(max(x + 0.5, r), size - r)
            cy = min(max(y + 0.5, r), size - r)
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                px[y][x] = tile

    layers = [[8, 16, 24], [11, 21], [16]]
    xs = [7, 16, 25]
    nodes = [[(xs[i] * s, y * s) for y in ys] for i, ys in enumerate(layers)]

    def line(a, b, colour):
        steps = int(max(abs(b[0] - a[0]), abs(b[1] - a[1])) * 2) + 1
        for k in range(steps + 1):
            t = k / steps
            x = int(a[0] + (b[0] - a[0]) * t)
            y = int(a[1] + (b[1] - a[1]) * t)
            if 0 <= x < size and 0 <= y < size:
                px[y][x] = colour

    for i in range(len(nodes) - 1):
        for a in nodes[i]:
            for b in nodes[i + 1]:
                line(a, b, link)

    def disc(c, radius, colour):
        for y in range(size):
            for x in range(size):
                if (x + 0.5 - c[0]) ** 2 + (y + 0.5 - c[1]) ** 2 <= radius * radius:
                    px[y][x] = colour

    for i, layer in enumerate(nodes):
        for c in layer:
            disc(c, 3.2 * s if size > 16 else 2.0, out_unit if i == 2 else unit)
    return px


def bitmap(px):
    size = len(px)
    head = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(
        bytes((p[2], p[1], p[0], p[3])) for row in reversed(px) for p in row)
    row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(row_bytes)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return head + colour + bytes(mask)


def icon(sizes):
    images = [bitmap(draw(n)) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


if __name__ == "__main__":
    path = sys.argv[1] if len(sys.argv) > 1 else "src/addin/quarrow.ico"
    with open(path, "wb") as f:
        f.write(icon([32, 16]))
