#!/usr/bin/env python3
"""Draws the program's icon (a keyboard-wedge plug with a download arrow) as a Windows .ico file
with a 32x32 and a 16x16 image, both 256 colours (8 bits per pixel), using only the standard
library."""

import argparse
import math
import struct
import sys

# Colours as (red, green, blue).
OUTLINE = (40, 36, 56)
SHELL_LIGHT = (214, 214, 224)
SHELL_DARK = (120, 120, 138)
PLUG_FACE = (112, 58, 150)  # the keyboard line's traditional purple
PLUG_SHADE = (78, 36, 110)
PIN = (236, 196, 72)
KEY = (30, 24, 40)
ARROW = (46, 160, 66)
ARROW_LIGHT = (120, 214, 120)
ARROW_EDGE = (20, 84, 32)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def grow(points, cx, cy, amount):
    """The polygon pushed out from (cx, cy) by amount: a cheap outline."""
    out = []
    for x, y in points:
        dx, dy = x - cx, y - cy
        length = math.hypot(dx, dy) or 1.0
        out.append((x + dx / length * amount, y + dy / length * amount))
    return out


def scene(detailed):
    """The picture on a 32 x 32 canvas: a list of (test, colour function), back to front."""
    cx, cy = 12.5, 12.5
    shapes = []
    # The plug's round metal shell with its dark rim, lit from the top left.
    shapes.append((lambda x, y: in_circle(x, y, cx, cy, 11.6), lambda x, y: OUTLINE))
    shapes.append((lambda x, y: in_circle(x, y, cx, cy, 10.6),
                   lambda x, y: lerp(SHELL_LIGHT, SHELL_DARK,
                                     min(1.0, max(0.0, ((x - cx) + (y - cy)) / 21.0 + 0.5)))))
    # The purple face inside the shell.
    shapes.append((lambda x, y: in_circle(x, y, cx, cy, 8.4),
                   lambda x, y: lerp(PLUG_FACE, PLUG_SHADE,
                                     min(1.0, max(0.0, ((x - cx) + (y - cy)) / 17.0 + 0.5)))))
    if detailed:
        # Six pins round a square key, as on a six-pin mini-DIN plug.
        pins = [(-3.2, -4.2), (3.2, -4.2), (-5.4, 0.4), (5.4, 0.4), (-3.0, 4.6), (3.0, 4.6)]
        for px, py in pins:
            shapes.append((lambda x, y, px=px, py=py: in_circle(x, y, cx + px, cy + py, 1.35),
                           lambda x, y: PIN))
        shapes.append((lambda x, y: abs(x - cx) <= 1.8 and abs(y - (cy + 0.4)) <= 1.8,
                       lambda x, y: KEY))
    else:
        shapes.append((lambda x, y: in_circle(x, y, cx - 3.6, cy - 2.4, 1.9), lambda x, y: PIN))
        shapes.append((lambda x, y: in_circle(x, y, cx + 3.6, cy - 2.4, 1.9), lambda x, y: PIN))
        shapes.append((lambda x, y: abs(x - cx) <= 2.2 and abs(y - (cy + 2.6)) <= 2.0,
                       lambda x, y: KEY))
    # The download arrow in the lower right, over the plug: the new firmware going in.
    arrow = [(21.0, 13.0), (28.0, 13.0), (28.0, 21.5), (31.5, 21.5), (24.5, 31.0),
             (17.5, 21.5), (21.0, 21.5)]
    acx, acy = 24.5, 22.0
    shapes.append((lambda x, y: in_polygon(x, y, grow(arrow, acx, acy, 1.4)),
                   lambda x, y: ARROW_EDGE))
    shapes.append((lambda x, y: in_polygon(x, y, arrow),
                   lambda x, y: lerp(ARROW_LIGHT, ARROW, min(1.0, max(0.0, (x - 19.0) / 9.0)))))
    return shapes


def render(size):
    """Pixels as (colour, opaque) rows. The large image averages 4 x 4 points per pixel for smooth
    edges; the small one takes each pixel's centre alone, which keeps its few pixels crisp."""
    samples = 4 if size >= 24 else 1
    shapes = scene(detailed=size >= 24)
    scale = 32.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for test, paint in shapes:
                        if test(x, y):
                            colour = paint(x, y)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered * 2 >= samples * samples:
                row.append((tuple(int(round(c / covered)) for c in total), True))
            else:
                row.append(((0, 0, 0), False))
        rows.append(row)
    return rows


def median_cut(colours, count):
    """At most count representative colours of a list of colours."""
    boxes = [list(colours)]
    while len(boxes) < count:
        boxes.sort(key=lambda b: max(max(c[i] for c in b) - min(c[i] for c in b)
                                     for i in range(3)) if len(b) > 1 else -1)
        box = boxes.pop()
        if len(box) < 2:
            boxes.append(box)
            break
        channel = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box.sort(key=lambda c: c[channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    return [tuple(sum(c[i] for c in b) // len(b) for i in range(3)) for b in boxes if b]


def build_palette(images):
    """Index 0 is black (the colour under transparent pixels); then every colour used, reduced
    by median cut when there are more than 255."""
    used = sorted({colour for rows in images for row in rows for colour, opaque in row if opaque})
    if len(used) > 255:
        used = median_cut(used, 255)
    return [(0, 0, 0)] + used


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(1, len(palette)),
                            key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))
    return cache[colour]


def image_bytes(rows, palette, cache):
    """One icon image: BITMAPINFOHEADER, 256-entry palette, colour rows and mask rows, both
    bottom-up with rows padded to 4 bytes."""
    size = len(rows)
    colour_stride = (size + 3) & ~3
    mask_stride = ((size + 31) // 32) * 4
    colour_bits = bytearray()
    mask_bits = bytearray()
    for row in reversed(rows):
        line = bytearray(colour_stride)
        mask = bytearray(mask_stride)
        for x, (colour, opaque) in enumerate(row):
            if opaque:
                line[x] = nearest(palette, colour, cache)
            else:
                mask[x // 8] |= 0x80 >> (x % 8)
        colour_bits += line
        mask_bits += mask
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0,
                         len(colour_bits) + len(mask_bits), 0, 0, 0, 0)
    table = bytearray()
    for red, green, blue in palette + [(0, 0, 0)] * (256 - len(palette)):
        table += bytes((blue, green, red, 0))
    return header + bytes(table) + bytes(colour_bits) + bytes(mask_bits)


def make_icon(sizes):
    images = [render(size) for size in sizes]
    palette = build_palette(images)
    cache = {}
    blobs = [image_bytes(rows, palette, cache) for rows in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for size, blob in zip(sizes, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main(argv):
    parser = argparse.ArgumentParser(description="Write the program's icon (.ico, 32x32 and "
                                     "16x16, 256 colours).")
    parser.add_argument("-o", "--output", required=True, help="the .ico file to write")
    args = parser.parse_args(argv)
    with open(args.output, "wb") as out:
        out.write(make_icon([32, 16]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
