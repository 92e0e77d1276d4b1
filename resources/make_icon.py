#!/usr/bin/env python3
"""Draws the application icon, Flintmoor.ico: one 120 x 120 image with 32-bit
colour (alpha included). A chip on a dark rounded square, with an arrow
writing into it. Run it again after changing the drawing; the .ico is kept in
the repository so that the build needs no Python."""
import struct
import sys

SIZE = 120
SAMPLES = 4  # per axis, for smooth edges


def rounded_box(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def arrow(x, y):
    shaft = 52 <= x <= 68 and 10 <= y <= 40
    head = 40 <= y <= 58 and abs(x - 60) <= (58 - y) * 1.1
    return shaft or head


def pins(x, y):
    for i in range(5):
        c = 36 + i * 12
        if abs(x - c) <= 3 and (30 <= y <= 40 or 98 <= y <= 108):
            return True
        if abs(y - (52 + i * 11)) <= 3 and (14 <= x <= 24 or 96 <= x <= 106):
            return True
    return False


def colour(x, y):
    """RGBA of one sample point, or None where the icon is transparent."""
    if arrow(x, y):
        return (255, 190, 60, 255)
    if rounded_box(x, y, 24, 40, 96, 98, 6):
        if rounded_box(x, y, 34, 62, 86, 90, 3):
            return (70, 200, 170, 255)
        return (30, 36, 44, 255)
    if pins(x, y):
        return (200, 205, 210, 255)
    if rounded_box(x, y, 2, 2, 118, 118, 18):
        t = y / SIZE
        return (int(40 + 30 * t), int(70 + 40 * t), int(110 + 50 * t), 255)
    return None


def pixel(px, py):
    total = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if c is not None:
                for i in range(3):
                    total[i] += c[i] * c[3]
                total[3] += c[3]
    n = SAMPLES * SAMPLES
    alpha = total[3] / n
    if alpha == 0:
        return (0, 0, 0, 0)
    return tuple(int(total[i] / total[3]) for i in range(3)) + (int(round(alpha)),)


def ico():
    # Bottom-up BGRA rows, then the AND mask (all zero: alpha decides).
    xor = bytearray()
    for py in reversed(range(SIZE)):
        for px in range(SIZE):
            r, g, b, a = pixel(px, py)
            xor += bytes((b, g, r, a))
    mask_row = ((SIZE + 31) // 32) * 4
    and_mask = bytes(mask_row * SIZE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'Flintmoor.ico'
    with open(out, 'wb') as f:
        f.write(ico())
