#!/usr/bin/env python3
"""Draws the indicator and lamp bitmaps into bitmaps/ as 4-bit (16-colour) BMP files.

The port indicators' glyphs are 15 x 15: a round lamp in a black ring with grey and white
bezel shading; the "on" lens in the full colour with white highlights, the "off" lens in the
half-intensity colour. The background is olive (purple for the yellow pair) and is the
transparent colour. The lamps are bezels around a lime lens that the program flood-fills
with its own colours, so the lens must be one connected lime area holding the centre.

Run it again after changing a drawing; the BMP files are committed.
"""
import math
import os
import struct

BLACK, WHITE = (0, 0, 0), (255, 255, 255)
GREY, SILVER = (128, 128, 128), (192, 192, 192)
OLIVE, PURPLE_BG = (128, 128, 0), (128, 0, 128)
LIME = (0, 255, 0)


def write_bmp(path, pixels):
    """pixels: rows top to bottom of (r, g, b); at most 16 colours."""
    height, width = len(pixels), len(pixels[0])
    palette = []
    for row in pixels:
        for c in row:
            if c not in palette:
                palette.append(c)
    assert len(palette) <= 16, path
    palette += [BLACK] * (16 - len(palette))
    row_bytes = ((width + 1) // 2 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pixels):  # BMP rows run bottom to top
        line = bytearray()
        for x in range(0, width, 2):
            hi = palette.index(row[x])
            lo = palette.index(row[x + 1]) if x + 1 < width else 0
            line.append(hi << 4 | lo)
        line += b"\0" * (row_bytes - len(line))
        data += line
    offset = 14 + 40 + 16 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    with open(path, "wb") as f:
        f.write(header + info + pal + data)


def round_lamp(lens, background, highlights):
    size, c = 15, 7.0
    px = [[background] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d <= 4.6:
                px[y][x] = lens
            elif d <= 5.6:
                # bezel: light from the upper left
                px[y][x] = WHITE if (x - c) + (y - c) > 1.5 else GREY
            elif d <= 7.2:
                px[y][x] = BLACK
    if highlights:
        for (x, y) in [(5, 4), (4, 5), (5, 5), (6, 4)]:
            px[y][x] = WHITE
    return px


def bulb(on):
    size = 15
    px = [[OLIVE] * size for _ in range(size)]
    glass = (255, 255, 0) if on else OLIVE
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - 7, y - 5)
            if d <= 4.5:
                px[y][x] = glass
            if 4.5 < d <= 5.5 and y <= 9:
                px[y][x] = BLACK
    for y in range(10, 14):  # the screw base
        for x in range(5, 10):
            px[y][x] = GREY if (y % 2 == 0) else SILVER
    px[14][6] = px[14][7] = px[14][8] = BLACK
    if on:
        px[3][5] = px[4][5] = WHITE
    return px


def lamp(width, height, shape):
    px = [[SILVER] * width for _ in range(height)]
    cx, cy = (width - 1) / 2.0, (height - 1) / 2.0
    for y in range(height):
        for x in range(width):
            if shape == "round":
                d = math.hypot((x - cx) / (width / 2.0), (y - cy) / (height / 2.0))
                if d > 1.0:
                    px[y][x] = SILVER
                elif d > 0.86:
                    px[y][x] = BLACK
                elif d > 0.72:
                    px[y][x] = WHITE if (x - cx) + (y - cy) > 0 else GREY
                else:
                    px[y][x] = LIME
            else:
                edge = min(x, y, width - 1 - x, height - 1 - y)
                if edge == 0:
                    px[y][x] = BLACK
                elif edge == 1:
                    px[y][x] = WHITE if x >= width - 2 or y >= height - 2 else GREY
                else:
                    px[y][x] = LIME
    # a few highlight pixels near the upper left of the lens, away from its centre
    hx, hy = int(width * 0.3), int(height * 0.3)
    for (x, y) in [(hx, hy), (hx + 1, hy), (hx, hy + 1)]:
        if px[y][x] == LIME:
            px[y][x] = WHITE
    return px


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bitmaps")
    os.makedirs(out, exist_ok=True)
    colours = {
        "RED": ((255, 0, 0), (128, 0, 0), OLIVE),
        "GREEN": ((0, 255, 0), (0, 128, 0), OLIVE),
        "BLUE": ((0, 0, 255), (0, 0, 128), OLIVE),
        "YELLOW": ((255, 255, 0), (128, 128, 0), PURPLE_BG),
        "PURPLE": ((255, 0, 255), (128, 0, 128), OLIVE),
    }
    for name, (full, half, background) in colours.items():
        write_bmp(os.path.join(out, "LED%sON.bmp" % name), round_lamp(full, background, True))
        write_bmp(os.path.join(out, "LED%sOFF.bmp" % name), round_lamp(half, background, False))
    write_bmp(os.path.join(out, "LEDBULBON.bmp"), bulb(True))
    write_bmp(os.path.join(out, "LEDBULBOFF.bmp"), bulb(False))
    for name, (w, h, shape) in {
        "ALEDSM": (16, 16, "round"), "ALEDLG": (22, 22, "round"),
        "ALEDSQSM": (16, 16, "square"), "ALEDSQLG": (22, 22, "square"),
        "ALEDVT": (14, 22, "square"), "ALEDHZ": (22, 14, "square"),
    }.items():
        write_bmp(os.path.join(out, name + ".bmp"), lamp(w, h, shape))


if __name__ == "__main__":
    main()
