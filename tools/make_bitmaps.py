#!/usr/bin/env python3
"""Draws the pane images and the toolbar strips as 24-bit BMP files, at 16, 20, 24 and 32 pixels.

    tools/make_bitmaps.py [OUTPUT_FOLDER]      (default: resources/)

Magenta (255, 0, 255) is the transparent colour. A pane strip holds six square images (package, computer, folder,
plug-in, chain, preset): pane_images.bmp at 16 pixels (bitmap 131), pane_images_20/_24/_32.bmp at the larger sizes.
A toolbar bitmap holds three strips of seventeen images, normal, hot (slightly brighter) and disabled (grey), each
image in a cell two pixels wider and one taller than the image: toolbar.bmp is 306x51 with 18x17 cells (bitmap 132),
toolbar_20/_24/_32.bmp the larger sizes. Everything is drawn from the shapes below on a 16-unit grid, so the art can
be changed here and drawn again at every size; no image library is needed.
"""
import math
import os
import struct
import sys

KEY = (255, 0, 255)
PALETTE = {
    'k': (0, 0, 0), 'K': (64, 64, 64), 'g': (128, 128, 128), 'G': (192, 192, 192), 'L': (224, 224, 224),
    'w': (255, 255, 255), 'y': (255, 214, 90), 'Y': (196, 142, 32), 'o': (226, 170, 104), 'O': (160, 104, 48),
    'b': (48, 104, 208), 'B': (20, 48, 128), 'c': (150, 196, 245), 'r': (214, 44, 44), 'R': (136, 20, 20),
    'n': (46, 164, 72), 'N': (18, 100, 40), 'p': (150, 80, 190), 'P': (86, 36, 120),
}


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[KEY] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = PALETTE[colour] if isinstance(colour, str) else colour


class View:
    """Drawing in a square cell of a canvas. Shapes are given on a grid of 16 units, so one drawing serves every image
    size; at 16 pixels a unit is a pixel, and the pixels come out exactly as the 16-pixel art was first drawn."""

    def __init__(self, canvas, left, top, size=16):
        self.canvas, self.left, self.top, self.size = canvas, left, top, size
        self.scale = size / 16

    def put(self, px, py, colour):
        """One pixel, in pixels from the cell's corner."""
        if 0 <= px < self.size and 0 <= py < self.size:
            self.canvas.set(self.left + px, self.top + py, colour)

    def span(self, first, last):
        """The pixels that grid units first..last cover."""
        return range(math.floor(first * self.scale), math.floor((last + 1) * self.scale))

    def thickness(self, width):
        """A stroke of width units in whole pixels; strokes stay one pixel until the scale reaches double."""
        return max(1, math.floor(width * self.scale + 0.25))

    def set(self, x, y, colour):
        for py in self.span(y, y):
            for px in self.span(x, x):
                self.put(px, py, colour)

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        xs, ys = self.span(x0, x1), self.span(y0, y1)
        edge_width = self.thickness(1)
        for py in ys:
            for px in xs:
                edge = min(px - xs.start, xs.stop - 1 - px, py - ys.start, ys.stop - 1 - py) < edge_width
                self.put(px, py, outline if (edge and outline) else fill)

    def line(self, x0, y0, x1, y1, colour, width=1):
        def centre(unit):
            return (unit + 0.5) * self.scale - 0.5
        ax, ay, bx, by = centre(x0), centre(y0), centre(x1), centre(y1)
        steps = max(math.ceil(abs(bx - ax)), math.ceil(abs(by - ay)), 1)
        pen = self.thickness(width)
        for i in range(steps + 1):
            x = round(ax + (bx - ax) * i / steps)
            y = round(ay + (by - ay) * i / steps)
            for dx in range(pen):
                for dy in range(pen):
                    self.put(x + dx - pen // 2, y + dy - pen // 2, colour)

    def field(self, colour_at):
        """Colours each pixel for which colour_at(x, y), given the pixel's centre in grid units, names a colour."""
        for py in range(self.size):
            for px in range(self.size):
                colour = colour_at((px + 0.5) / self.scale, (py + 0.5) / self.scale)
                if colour:
                    self.put(px, py, colour)

    def disc(self, cx, cy, radius, colour, inner=0.0):
        self.field(lambda x, y: colour if inner <= math.hypot(x - cx, y - cy) <= radius else None)

    def polygon(self, points, colour):
        self.field(lambda x, y: colour if inside(points, x, y) else None)

    def art(self, rows, x0=0, y0=0):
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch != '.':
                    self.set(x0 + x, y0 + y, ch)


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


QUESTION = [
    ".wwww.",
    "ww..ww",
    "....ww",
    "...ww.",
    "..ww..",
    "..ww..",
    "......",
    "..ww..",
]

# ---- the pictures, each in a 16x16 cell


def package(v):
    v.rect(1, 2, 14, 5, 'o', 'k')            # lid
    v.rect(7, 3, 8, 4, 'Y')                  # tape over the lid
    v.rect(2, 5, 13, 14, 'o', 'k')           # box
    v.rect(7, 6, 8, 13, 'Y')                 # tape down the front
    v.rect(3, 8, 6, 11, 'w', 'O')            # label
    v.line(4, 10, 5, 10, 'g')
    v.line(2, 13, 13, 13, 'O')


def computer(v):
    v.rect(1, 1, 14, 10, 'G', 'k')
    v.rect(3, 3, 12, 8, 'b', 'B')
    v.line(4, 4, 6, 4, 'c')
    v.line(4, 5, 4, 6, 'c')
    v.rect(6, 11, 9, 12, 'g', 'k')
    v.rect(3, 13, 12, 14, 'G', 'k')


def folder(v, open_flap=False):
    v.rect(1, 3, 6, 5, 'y', 'k')             # tab
    v.rect(1, 4, 14, 13, 'y', 'k')
    v.line(2, 5, 13, 5, 'w')
    v.line(2, 12, 13, 12, 'Y')
    if open_flap:
        v.polygon([(1, 14), (4, 7), (16, 7), (13, 14)], 'k')
        v.polygon([(2, 13.5), (4.6, 8), (15, 8), (12.4, 13.5)], 'Y')


def plugin(v):
    for angle in (-135, -90, -45, 0, 45, 135, 180, 225):   # scale marks around the knob
        r = math.radians(angle)
        v.set(round(7.5 + 7.2 * math.cos(r)), round(8 - 7.2 * math.sin(r)), 'g')
    v.disc(8, 8.5, 5.8, 'k')
    v.disc(8, 8.5, 4.9, 'K')
    v.disc(8, 8.5, 4.0, 'G')
    v.disc(7, 7.5, 2.2, 'L')
    v.line(8, 8, 11, 5, 'r', 2)


def chain(v):
    for x in (0, 6, 12):
        v.rect(x, 5, x + 3, 10, 'n', 'N')
        v.line(x + 1, 6, x + 2, 6, 'w')
    v.line(4, 7, 5, 7, 'k')
    v.line(4, 8, 5, 8, 'k')
    v.line(10, 7, 11, 7, 'k')
    v.line(10, 8, 11, 8, 'k')


def preset(v):
    v.rect(2, 1, 13, 14, 'w', 'k')
    for row, (x, colour) in enumerate(((8, 'r'), (5, 'b'), (10, 'n'))):
        y = 4 + row * 4
        v.line(4, y, 11, y, 'g')
        v.rect(x - 1, y - 1, x, y + 1, colour, 'k')


def page(v, x0=2, y0=0, x1=13, y1=15):
    fold = 4
    v.polygon([(x0, y0), (x1 - fold, y0), (x1 + 1, y0 + fold + 1), (x1 + 1, y1 + 1), (x0, y1 + 1)], 'k')
    v.polygon([(x0 + 1, y0 + 1), (x1 - fold, y0 + 1), (x1, y0 + fold + 1), (x1, y1), (x0 + 1, y1)], 'w')
    v.line(x1 - fold, y0 + 1, x1 - fold, y0 + fold, 'k')
    v.line(x1 - fold, y0 + fold, x1 - 1, y0 + fold, 'k')
    v.rect(x1 - fold + 1, y0 + 1, x1 - 1, y0 + fold - 1, 'L')


def new_page(v):
    page(v)
    v.disc(4, 4, 2.6, 'y')
    v.set(3, 3, 'w')


def floppy(v):
    v.rect(1, 1, 14, 14, 'b', 'B')
    v.rect(4, 1, 11, 6, 'w', 'B')
    v.rect(9, 2, 10, 5, 'g')
    v.rect(3, 9, 12, 14, 'G', 'B')
    v.line(5, 11, 10, 11, 'g')


def save_as(v):
    floppy(v)
    v.line(9, 14, 15, 8, 'k', 2)
    v.line(9, 13, 14, 8, 'y')
    v.set(8, 15, 'k')


def curved_arrow(v, mirror):
    cx, cy = 9, 10

    def ring(x, y):
        if mirror:
            x = 16 - x
        d = math.hypot(x - cx, y - cy)
        if 3.2 <= d <= 6.2 and (y <= cy or x >= cx):
            return 'B' if d > 5.3 or d < 4.0 else 'b'
        return None

    v.field(ring)
    head = [(0.5, 10), (6.5, 10), (3.5, 14.5)]
    v.polygon([(16 - x, y) if mirror else (x, y) for x, y in head], 'B')
    v.polygon([(16 - x, y) if mirror else (x, y) for x, y in [(2, 10.5), (5, 10.5), (3.5, 13)]], 'b')


def big_arrow(v, x, top, bottom, up, colour='n', edge='N'):
    shaft = (x - 2, x + 2)
    if up:
        tip, base = top, top + 5
        v.polygon([(x + 0.5, tip), (x + 6.5, base + 0.5), (x - 5.5, base + 0.5)], edge)
        v.polygon([(x + 0.5, tip + 1.5), (x + 4.5, base - 0.3), (x - 3.5, base - 0.3)], colour)
        v.rect(shaft[0], base, shaft[1], bottom, colour, edge)
        v.line(shaft[0] + 1, base, shaft[1] - 1, base, colour)
    else:
        tip, base = bottom, bottom - 5
        v.polygon([(x + 0.5, tip + 1), (x + 6.5, base + 0.5), (x - 5.5, base + 0.5)], edge)
        v.polygon([(x + 0.5, tip - 0.5), (x + 4.5, base + 1.3), (x - 3.5, base + 1.3)], colour)
        v.rect(shaft[0], top, shaft[1], base, colour, edge)
        v.line(shaft[0] + 1, base, shaft[1] - 1, base, colour)


def copy_to_file(v):
    page(v, 5, 0, 15, 9)
    v.line(7, 5, 11, 5, 'g')
    v.line(7, 7, 11, 7, 'g')
    big_arrow(v, 4, 4, 15, up=True)


def copy_to_system(v):
    v.rect(6, 7, 15, 13, 'G', 'k')
    v.rect(8, 9, 13, 11, 'b')
    v.rect(9, 14, 12, 15, 'k')
    big_arrow(v, 4, 0, 11, up=False)


def delete(v):
    v.line(3, 3, 12, 12, 'R', 3)
    v.line(12, 3, 3, 12, 'R', 3)
    v.line(3, 3, 12, 12, 'r', 2)
    v.line(12, 3, 3, 12, 'r', 2)


def refresh(v):
    cx, cy = 8, 8

    def ring(x, y):
        d = math.hypot(x - cx, y - cy)
        angle = math.degrees(math.atan2(cy - y, x - cx)) % 360
        if 3.5 <= d <= 6.5 and not (60 < angle < 110 or 240 < angle < 290):
            return 'N' if d > 5.6 or d < 4.3 else 'n'
        return None

    v.field(ring)
    v.polygon([(8.5, 0), (8.5, 6), (12.5, 3)], 'N')
    v.polygon([(7.5, 10), (7.5, 16), (3.5, 13)], 'N')


def target(v):
    for radius, colour in ((7.4, 'k'), (6.6, 'r'), (5.0, 'w'), (3.4, 'r'), (1.8, 'w')):
        v.disc(8, 8, radius, colour)


def help_mark(v):
    v.disc(8, 8, 7.5, 'B')
    v.disc(8, 8, 6.6, 'b')
    v.art(QUESTION, 5, 4)


def whats_this(v):
    arrow = [
        "k.........",
        "kk........",
        "kwk.......",
        "kwwk......",
        "kwwwk.....",
        "kwwwwk....",
        "kwwwwwk...",
        "kwwwwwwk..",
        "kwwwkkkk..",
        "kwwk......",
        "kwk.......",
        "kk........",
        "k.........",
    ]
    v.art(arrow, 0, 1)
    v.disc(11.5, 10.5, 4.6, 'b')
    v.art(["www.", "..ww", ".ww.", "....", ".ww."], 10, 8)


PANE_IMAGES = [package, computer, folder, plugin, chain, preset]
TOOLBAR_IMAGES = [new_page, lambda v: folder(v, True), floppy, save_as, lambda v: curved_arrow(v, False),
                  lambda v: curved_arrow(v, True), copy_to_file, copy_to_system, delete, refresh, target,
                  help_mark, whats_this, plugin, chain, preset, package]


def brighter(colour):
    return colour if colour == KEY else tuple(min(255, round(c + (255 - c) * 0.18)) for c in colour)


def greyed(colour):
    if colour == KEY:
        return colour
    light = 0.299 * colour[0] + 0.587 * colour[1] + 0.114 * colour[2]
    value = round(128 + light * 0.38)
    return (value, value, value)


def write_bmp(path, canvas):
    row_bytes = (canvas.width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(canvas.pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        body += line + bytes(row_bytes - len(line))
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(body), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, 'wb') as out:
        out.write(header + info + body)


# Image sizes for 100, 125, 150 and 200 % display scale; the program picks the nearest size up for its scale.
SIZES = (16, 20, 24, 32)


def file_name(stem, size):
    return f'{stem}.bmp' if size == 16 else f'{stem}_{size}.bmp'


def main():
    folder_out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'resources')
    for size in SIZES:
        panes = Canvas(size * len(PANE_IMAGES), size)
        for index, draw in enumerate(PANE_IMAGES):
            draw(View(panes, index * size, 0, size))
        write_bmp(os.path.join(folder_out, file_name('pane_images', size)), panes)

        # A toolbar cell is two pixels wider and one taller than its image, the image one pixel in from the left.
        cell_width, cell_height = size + 2, size + 1
        normal = Canvas(cell_width * len(TOOLBAR_IMAGES), cell_height)
        for index, draw in enumerate(TOOLBAR_IMAGES):
            draw(View(normal, index * cell_width + 1, 0, size))
        toolbar = Canvas(normal.width, cell_height * 3)
        for strip, tone in enumerate((lambda c: c, brighter, greyed)):
            for y in range(cell_height):
                for x in range(normal.width):
                    toolbar.set(x, strip * cell_height + y, tone(normal.pixels[y][x]))
        write_bmp(os.path.join(folder_out, file_name('toolbar', size)), toolbar)


if __name__ == '__main__':
    main()
