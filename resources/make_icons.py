#!/usr/bin/env python3
"""Draws Taskwell's icons and writes them as 16-colour .ico files next to this script.

    python3 resources/make_icons.py

The pictures are drawn here in code on the standard 16-colour palette; every picture carries an
AND mask, so its background is transparent. The .ico files are kept in the repository, so building
the program does not need Python; run this again after changing a picture.
"""

import os
import struct

# The standard 16-colour palette, in palette order, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# One letter per palette colour; '.' is transparent.
COLOURS = {
    'k': 0,   # black
    'r': 1,   # dark red
    'g': 2,   # dark green
    'o': 3,   # olive
    'n': 4,   # navy
    'p': 5,   # purple
    't': 6,   # teal
    's': 7,   # silver
    'd': 8,   # grey
    'R': 9,   # red
    'G': 10,  # lime
    'Y': 11,  # yellow
    'B': 12,  # blue
    'M': 13,  # magenta
    'C': 14,  # cyan
    'W': 15,  # white
}


class Canvas:
    """A square picture of palette letters, drawn with rectangles and points."""

    def __init__(self, size):
        self.size = size
        self.rows = [['.'] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, c):
        """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
        for y in range(max(0, y0), min(self.size - 1, y1) + 1):
            for x in range(max(0, x0), min(self.size - 1, x1) + 1):
                self.rows[y][x] = c

    def frame(self, x0, y0, x1, y1, c):
        self.fill(x0, y0, x1, y0, c)
        self.fill(x0, y1, x1, y1, c)
        self.fill(x0, y0, x0, y1, c)
        self.fill(x1, y0, x1, y1, c)

    def point(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.rows[y][x] = c

    def lines(self):
        return [''.join(r) for r in self.rows]


def window_picture(size):
    """The main icon: a window whose body is a black monitor with a green usage graph."""
    c = Canvas(size)
    if size >= 32:
        c.fill(1, 2, 30, 29, 's')            # window face
        c.frame(1, 2, 30, 29, 'k')
        c.fill(2, 3, 29, 9, 'n')             # title bar
        c.fill(23, 4, 27, 8, 's')            # close box with its cross
        c.frame(23, 4, 27, 8, 'd')
        for x, y in ((24, 5), (26, 5), (25, 6), (24, 7), (26, 7)):
            c.point(x, y, 'k')
        c.fill(4, 5, 7, 7, 'W')              # system menu box
        c.fill(4, 11, 27, 27, 'k')           # monitor area
        c.frame(3, 10, 28, 28, 'd')
        for y in range(14, 27, 4):           # grid
            c.fill(5, y, 26, y, 'g')
        for x in range(8, 27, 6):
            c.fill(x, 12, x, 26, 'g')
        heights = [4, 7, 5, 10, 8, 13, 11, 14]
        for i, h in enumerate(heights):      # usage bars, rising
            x = 5 + i * 3
            c.fill(x, 26 - h, x + 1, 26, 'G')
    else:
        c.fill(0, 1, 15, 14, 's')
        c.frame(0, 1, 15, 14, 'k')
        c.fill(1, 2, 14, 4, 'n')
        c.fill(12, 2, 14, 4, 's')
        c.point(13, 3, 'k')
        c.fill(2, 6, 13, 13, 'k')
        c.fill(2, 9, 13, 9, 'g')
        for i, h in enumerate([2, 4, 3, 5, 6, 7]):
            x = 3 + i * 2
            c.fill(x, 13 - h, x, 13, 'G')
    return c.lines()


def apps_picture():
    """The Applications page: an application window with a title bar and lines of content."""
    c = Canvas(16)
    c.fill(1, 1, 14, 14, 'W')
    c.frame(1, 1, 14, 14, 'k')
    c.fill(2, 2, 13, 4, 'n')
    c.fill(11, 2, 13, 4, 's')
    c.point(12, 3, 'k')
    c.fill(3, 3, 4, 3, 'W')
    for y, length in ((6, 8), (8, 6), (10, 9), (12, 5)):
        c.fill(3, y, 3 + length - 1, y, 'd')
    return c.lines()


def procs_picture():
    """The Processes page: a list of rows, each with a small coloured mark and its text."""
    c = Canvas(16)
    c.fill(1, 1, 14, 14, 'W')
    c.frame(1, 1, 14, 14, 'd')
    c.fill(2, 2, 13, 3, 's')                 # column header
    c.fill(6, 2, 6, 3, 'd')
    for y, mark, length in ((5, 'B', 7), (8, 'R', 6), (11, 'g', 7)):
        c.fill(3, y, 4, y + 1, mark)
        c.fill(6, y, 6 + length - 1, y, 'k')
    c.fill(2, 7, 13, 7, 's')                 # row rules
    c.fill(2, 10, 13, 10, 's')
    return c.lines()


def perf_picture():
    """The Performance page: a bar chart on two axes."""
    c = Canvas(16)
    c.fill(1, 0, 1, 14, 'k')                 # vertical axis
    c.fill(1, 14, 15, 14, 'k')               # horizontal axis
    for x, top, colour in ((3, 8, 'g'), (7, 4, 'B'), (11, 1, 'R')):
        c.fill(x, top, x + 2, 13, colour)
        c.fill(x + 3, top + 1, x + 3, 13, 'd')   # shadow
    return c.lines()


def info_picture():
    """The System Info page: a white "i" on a blue disc."""
    c = Canvas(16)
    centre = 7.5
    for y in range(16):
        for x in range(16):
            d = ((x - centre) ** 2 + (y - centre) ** 2) ** 0.5
            if d <= 7.6:
                c.point(x, y, 'n' if d > 6.6 else 'B')
    c.fill(7, 3, 8, 4, 'W')                  # dot
    c.fill(6, 6, 8, 6, 'W')                  # stem with its serifs
    c.fill(7, 7, 8, 11, 'W')
    c.fill(6, 12, 9, 12, 'W')
    return c.lines()


# The tray icon's CPU meter: a panel of 10 x 12 pixels whose rows fill from the bottom.
METER_LEVELS = 12
PANEL_LEFT, PANEL_TOP, PANEL_WIDTH = 3, 2, 10
STRIPE_WIDTH = 8


def meter_frame():
    """The light grey frame with its sunken edge (dark above and left, white below and right)."""
    c = Canvas(16)
    c.fill(0, 0, 15, 15, 's')
    right = PANEL_LEFT + PANEL_WIDTH
    bottom = PANEL_TOP + METER_LEVELS
    c.fill(PANEL_LEFT - 1, PANEL_TOP - 1, right, PANEL_TOP - 1, 'd')
    c.fill(PANEL_LEFT - 1, PANEL_TOP - 1, PANEL_LEFT - 1, bottom, 'd')
    c.fill(PANEL_LEFT - 1, bottom, right, bottom, 'W')
    c.fill(right, PANEL_TOP - 1, right, bottom, 'W')
    return c


def meter_colours(level):
    """(row, stripe) colours of the filled rows of a meter showing `level`."""
    if level >= 11:
        return 'R', 'r'                     # red, dark red stripe
    if level >= 8:
        return 'Y', 'o'                     # yellow, olive stripe
    return 'G', 'g'                         # green, dark green stripe


def meter_picture(level):
    """The tray icon "Z_<level>": the lowest `level` of the twelve rows filled.

    From the top the rows alternate between solid rows and rows with an 8-pixel stripe in their
    middle. An empty row is black with a dark grey stripe; the filled rows all take the colours of
    the meter's level (green up to 7, yellow up to 10, red above)."""
    c = meter_frame()
    filled_row, filled_stripe = meter_colours(level)
    stripe_left = PANEL_LEFT + (PANEL_WIDTH - STRIPE_WIDTH) // 2
    for row in range(METER_LEVELS):
        y = PANEL_TOP + row
        filled = row >= METER_LEVELS - level
        base, stripe = (filled_row, filled_stripe) if filled else ('k', 'd')
        c.fill(PANEL_LEFT, y, PANEL_LEFT + PANEL_WIDTH - 1, y, base)
        if row % 2 == 1:
            c.fill(stripe_left, y, stripe_left + STRIPE_WIDTH - 1, y, stripe)
    return c.lines()


def meter_off_picture():
    """The tray icon "Z_NONE", shown while there is no CPU reading: an unlit grey panel with a black
    dash across its middle, so it is not taken for an idle processor."""
    c = meter_frame()
    c.fill(PANEL_LEFT, PANEL_TOP, PANEL_LEFT + PANEL_WIDTH - 1, PANEL_TOP + METER_LEVELS - 1, 'd')
    middle = PANEL_TOP + METER_LEVELS // 2
    c.fill(PANEL_LEFT + 2, middle - 1, PANEL_LEFT + PANEL_WIDTH - 3, middle, 'k')
    return c.lines()


def encode_image(lines):
    """One picture as it sits in an .ico file: header, palette, colour bits, AND mask."""
    size = len(lines)
    assert all(len(l) == size for l in lines), 'pictures are square'
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         (xor_stride + and_stride) * size, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows = []
    and_rows = []
    for line in reversed(lines):             # bitmaps run bottom up
        nibbles = [0 if ch == '.' else COLOURS[ch] for ch in line]
        if len(nibbles) % 2:
            nibbles.append(0)
        row = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, len(nibbles), 2))
        xor_rows.append(row.ljust(xor_stride, b'\0'))
        mask = bytearray(and_stride)
        for x, ch in enumerate(line):
            if ch == '.':
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def write_ico(path, pictures):
    """Writes an icon file holding the given pictures (largest first)."""
    images = [encode_image(p) for p in pictures]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, data in zip(pictures, images):
        size = len(p)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'taskwell.ico'), [window_picture(32), window_picture(16)])
    write_ico(os.path.join(here, 'page_apps.ico'), [apps_picture()])
    write_ico(os.path.join(here, 'page_procs.ico'), [procs_picture()])
    write_ico(os.path.join(here, 'page_perf.ico'), [perf_picture()])
    write_ico(os.path.join(here, 'page_sysinfo.ico'), [info_picture()])
    for level in range(METER_LEVELS + 1):
        write_ico(os.path.join(here, 'z_%d.ico' % level), [meter_picture(level)])
    write_ico(os.path.join(here, 'z_none.ico'), [meter_off_picture()])


if __name__ == '__main__':
    main()
