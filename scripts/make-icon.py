#!/usr/bin/env python3
"""Draws the Tarnwick icon (a tracker with a location pin) as a 16/32/48 px ICO.

Plain Python, no imaging library: each size is rendered with 4x4 supersampling and stored as
a 32-bit BMP entry with its AND mask.

    python3 scripts/make-icon.py resources/tarnwick.ico
"""
import struct
import sys

BODY = (38, 50, 56)        # the tracker's case
SCREEN = (0, 150, 136)     # its face
PIN = (255, 255, 255)
PIN_HOLE = (0, 150, 136)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def pin(x, y):
    """A map pin: a circle with a point below it, in unit coordinates."""
    cx, cy, r = 0.5, 0.42, 0.2
    if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
        return True
    # The point: a triangle from the circle's sides down to (0.5, 0.78).
    if cy <= y <= 0.78:
        half = r * (0.78 - y) / (0.78 - cy) * 0.95
        return abs(x - cx) <= half
    return False


def colour_at(x, y):
    """The colour of a point of the unit square, or None outside the glyph."""
    if not rounded_rect(x, y, 0.14, 0.04, 0.86, 0.96, 0.14):
        return None
    if rounded_rect(x, y, 0.2, 0.1, 0.8, 0.9, 0.09):
        if pin(x, y):
            if (x - 0.5) ** 2 + (y - 0.42) ** 2 <= 0.08 ** 2:
                return PIN_HOLE
            return PIN
        return SCREEN
    return BODY


def render(size, samples=4):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    colour = colour_at((px + (sx + 0.5) / samples) / size,
                                       (py + (sy + 0.5) / samples) / size)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if covered:
                rgb = tuple(round(c / covered) for c in acc)
                alpha = round(255 * covered / (samples * samples))
            else:
                rgb, alpha = (0, 0, 0), 0
            row.append((rgb, alpha))
        pixels.append(row)
    return pixels


def bmp_entry(size):
    pixels = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):  # bottom-up
        for (r, g, b), a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/tarnwick.ico"
    sizes = (16, 32, 48)
    images = [bmp_entry(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        data += image
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
