#!/usr/bin/env python3
"""Draws Reelo's start-up picture and About picture as 256 x 192 PNG files.

Both are drawn the way the Spectrum itself draws: one bit per pixel, and an
ink and a paper colour for every 8 x 8 cell, in the machine's fifteen colours.
  splash.png  the title screen the program starts with
  about.png   the same machine in the middle of loading a tape
Standard library only (zlib + struct). Run it again after changing a picture
and commit the PNG files it writes beside it.
"""

import math
import os
import struct
import zlib

WIDTH, HEIGHT = 256, 192
COLS, ROWS = WIDTH // 8, HEIGHT // 8

BLACK, BLUE, RED, MAGENTA, GREEN, CYAN, YELLOW, WHITE = range(8)
NORMAL_LEVEL, BRIGHT_LEVEL = 0xD7, 0xFF


def rgb(colour, bright):
    level = BRIGHT_LEVEL if bright else NORMAL_LEVEL
    return (level if colour & 2 else 0, level if colour & 4 else 0, level if colour & 1 else 0)


# A 5 x 7 font of our own, placed in the top left of an 8 x 8 cell after one
# empty row and column. Cyrillic letters that look like Latin ones share them.
FONT = {
    " ": ["     "] * 7,
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "X": ["#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"],
    "Z": ["#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"],
    "a": ["     ", "     ", " ### ", "    #", " ####", "#   #", " ####"],
    "e": ["     ", "     ", " ### ", "#   #", "#####", "#    ", " ### "],
    "g": ["     ", " ####", "#   #", "#   #", " ####", "    #", " ### "],
    "m": ["     ", "     ", "## # ", "# # #", "# # #", "# # #", "# # #"],
    "o": ["     ", "     ", " ### ", "#   #", "#   #", "#   #", " ### "],
    "r": ["     ", "     ", "# ## ", "##  #", "#    ", "#    ", "#    "],
    "s": ["     ", "     ", " ####", "#    ", " ### ", "    #", "#### "],
    "t": [" #   ", " #   ", "#### ", " #   ", " #   ", " #  #", "  ## "],
    "y": ["     ", "#   #", "#   #", "#   #", " ####", "    #", " ### "],
    "0": [" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "],
    "1": ["  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "2": [" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"],
    ".": ["     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "],
    ":": ["     ", " ##  ", " ##  ", "     ", " ##  ", " ##  ", "     "],
    '"': [" # # ", " # # ", "     ", "     ", "     ", "     ", "     "],
    "Б": ["#####", "#    ", "#    ", "#### ", "#   #", "#   #", "#### "],
    "Г": ["#####", "#    ", "#    ", "#    ", "#    ", "#    ", "#    "],
    "Д": ["  ## ", " # # ", " # # ", " # # ", " # # ", "#####", "#   #"],
    "З": [" ### ", "#   #", "    #", "  ## ", "    #", "#   #", " ### "],
    "И": ["#   #", "#   #", "#  ##", "# # #", "##  #", "#   #", "#   #"],
    "Л": ["  ###", " #  #", " #  #", " #  #", " #  #", " #  #", "#   #"],
    "У": ["#   #", "#   #", "#   #", " ####", "    #", "#   #", " ### "],
    "Я": [" ####", "#   #", "#   #", " ####", "  # #", " #  #", "#   #"],
}
for cyrillic, latin in zip("АВЕКМНОРСТХ", "ABEKMHOPCTX"):
    FONT[cyrillic] = FONT[latin]

# The title letters: 6 x 8 blocks of 4 x 4 pixels, 24 x 32 pixels a letter.
TITLE_FONT = {
    "R": ["##### ", "##  ##", "##  ##", "##### ", "####  ", "## ## ", "##  ##", "##  ##"],
    "E": ["######", "##    ", "##    ", "##### ", "##    ", "##    ", "##    ", "######"],
    "L": ["##    ", "##    ", "##    ", "##    ", "##    ", "##    ", "##    ", "######"],
    "O": [" #### ", "##  ##", "##  ##", "##  ##", "##  ##", "##  ##", "##  ##", " #### "],
}
TITLE_BLOCK = 4
TITLE_LETTER_WIDTH = 6 * TITLE_BLOCK
TITLE_GAP = 8


class Screen:
    """A Spectrum screen: a bitmap plus an ink, a paper and a brightness per cell."""

    def __init__(self, ink, paper, bright=False):
        self.bits = [[False] * WIDTH for _ in range(HEIGHT)]
        self.attrs = [[(ink, paper, bright)] * COLS for _ in range(ROWS)]

    def plot(self, x, y, on=True):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.bits[y][x] = on

    def colour_cells(self, col0, row0, col1, row1, ink=None, paper=None, bright=None):
        """Sets ink, paper and/or brightness of the cells col0..col1, row0..row1 (inclusive)."""
        for row in range(max(row0, 0), min(row1, ROWS - 1) + 1):
            for col in range(max(col0, 0), min(col1, COLS - 1) + 1):
                old = self.attrs[row][col]
                self.attrs[row][col] = (old[0] if ink is None else ink, old[1] if paper is None else paper,
                                        old[2] if bright is None else bright)

    def colour_pixels(self, x0, y0, x1, y1, **attr):
        """Colours every cell that the pixel rectangle x0..x1, y0..y1 touches."""
        self.colour_cells(x0 // 8, y0 // 8, x1 // 8, y1 // 8, **attr)

    def fill(self, x0, y0, x1, y1, on=True):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.plot(x, y, on)

    def frame(self, x0, y0, x1, y1):
        self.fill(x0, y0, x1, y0)
        self.fill(x0, y1, x1, y1)
        self.fill(x0, y0, x0, y1)
        self.fill(x1, y0, x1, y1)

    def disc(self, cx, cy, radius, on=True):
        for y in range(int(cy - radius) - 1, int(cy + radius) + 2):
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius:
                    self.plot(x, y, on)

    def text(self, x, y, text, **attr):
        """Prints text in 8-pixel steps from pixel (x, y); each character clears its cell."""
        for i, ch in enumerate(text):
            glyph = FONT[ch]
            cx = x + 8 * i
            self.fill(cx, y, cx + 7, y + 7, on=False)
            for gy, line in enumerate(glyph):
                for gx, mark in enumerate(line):
                    if mark == "#":
                        self.plot(cx + 1 + gx, y + 1 + gy)
        if attr:
            self.colour_pixels(x, y, x + 8 * len(text) - 1, y + 7, **attr)

    def title(self, x, y, word, row_inks):
        """The big title: chunky letters whose ink changes with every character row."""
        for i, ch in enumerate(word):
            lx = x + i * (TITLE_LETTER_WIDTH + TITLE_GAP)
            for by, line in enumerate(TITLE_FONT[ch]):
                for bx, mark in enumerate(line):
                    if mark == "#":
                        self.fill(lx + bx * TITLE_BLOCK, y + by * TITLE_BLOCK,
                                  lx + bx * TITLE_BLOCK + TITLE_BLOCK - 1, y + by * TITLE_BLOCK + TITLE_BLOCK - 1)
        # The last pixel row of every character row stays empty: a scan-line sheen.
        for sy in range(y + 7, y + 8 * len(row_inks), 8):
            self.fill(x, sy, x + len(word) * (TITLE_LETTER_WIDTH + TITLE_GAP), sy, on=False)
        width = len(word) * (TITLE_LETTER_WIDTH + TITLE_GAP) - TITLE_GAP
        for r, (ink, bright) in enumerate(row_inks):
            self.colour_pixels(x, y + 8 * r, x + width - 1, y + 8 * r + 7, ink=ink, bright=bright)

    def rainbow(self, bottom_col, first_row):
        """The four diagonal stripes (red, yellow, green, cyan) rising to the right edge.

        Each cell on a stripe's edge takes the left colour as paper and the right
        one as ink, split along its diagonal, so the colours never clash."""
        colours = [None, RED, YELLOW, GREEN, CYAN, None]
        for row in range(ROWS - 1, first_row - 1, -1):
            start = bottom_col + (ROWS - 1 - row)
            for k in range(len(colours) - 1):
                col = start + k
                if col >= COLS:
                    break
                left, right = colours[k], colours[k + 1]
                paper = self.attrs[row][col][1] if left is None else left
                ink = self.attrs[row][col][1] if right is None else right
                for py in range(8):
                    for px in range(8):
                        self.plot(col * 8 + px, row * 8 + py, px + py >= 7)
                self.colour_cells(col, row, col, row, ink=ink, paper=paper, bright=True)

    def cassette(self, x, y, label):
        """A compact cassette 96 x 56 pixels: shell, label, window with two reels, head slot."""
        w, h = 96, 56
        self.frame(x, y, x + w - 1, y + h - 1)
        self.frame(x + 2, y + 2, x + w - 3, y + h - 3)
        for sx, sy in ((x + 5, y + 5), (x + w - 7, y + 5), (x + 5, y + h - 7), (x + w - 7, y + h - 7)):
            self.fill(sx, sy, sx + 1, sy + 1)  # screws
        self.text(x + (w - 8 * len(label)) // 2, y + 6, label)
        self.frame(x + 16, y + 18, x + w - 17, y + 37)  # window
        for cx in (x + 30, x + w - 30):
            self.disc(cx, y + 28, 8.5)
            self.disc(cx, y + 28, 6.5, on=False)
            self.disc(cx, y + 28, 2.5)
            for a in range(0, 360, 60):  # hub teeth
                self.plot(int(cx + 4.5 * math.cos(math.radians(a))), int(y + 28 + 4.5 * math.sin(math.radians(a))))
        self.fill(x + 44, y + 24, x + 51, y + 31)  # tape between the reels
        self.fill(x + 46, y + 26, x + 49, y + 29, on=False)
        self.frame(x + 24, y + h - 12, x + w - 25, y + h - 3)  # head slot
        for hx in (x + 34, x + 46, x + 58):
            self.fill(hx, y + h - 9, hx + 3, y + h - 6)

    def pixels(self, shown=None):
        """RGB rows. `shown(x, y)` false leaves a pixel as paper (a row not loaded yet)."""
        out = []
        for y in range(HEIGHT):
            row = []
            for x in range(WIDTH):
                ink, paper, bright = self.attrs[y // 8][x // 8]
                on = self.bits[y][x] and (shown is None or shown(x, y))
                row.append(rgb(ink if on else paper, bright))
            out.append(row)
        return out


def splash():
    s = Screen(WHITE, BLACK)
    s.title(52, 16, "REELO", [(YELLOW, True), (YELLOW, True), (RED, True), (RED, False)])
    s.text(76, 56, "РЕДАКТОР ЛЕНТ", ink=WHITE, bright=True)
    s.text(84, 68, "ZX SPECTRUM", ink=CYAN, bright=True)
    # "ВЕРСИЯ" lines up with the version label the window lays over (176, 96).
    s.text(120, 100, "ВЕРСИЯ", ink=YELLOW, bright=False)
    s.cassette(16, 124, "REELO")
    s.colour_pixels(16, 124, 111, 179, ink=WHITE, bright=True)
    s.colour_pixels(24, 128, 103, 135, ink=CYAN, bright=True)
    s.rainbow(bottom_col=23, first_row=16)
    return s.pixels()


# Screen memory is filled third by third, and inside a third the first pixel
# row of every character row comes before the second: a picture arrives in
# bands of scan lines. The About picture is caught with the first two thirds
# loaded and `ABOUT_ROWS_LOADED` scan lines of each character row of the last.
ABOUT_ROWS_LOADED = 5


def loaded(x, y):
    third, line = y // 64, y % 8
    return third < 2 or line < ABOUT_ROWS_LOADED


def about():
    s = Screen(WHITE, BLUE, bright=True)
    s.text(0, 0, 'Program: REELO', ink=BLACK, paper=WHITE, bright=True)
    s.colour_cells(14, 0, 31, 0, paper=WHITE, bright=True)
    s.title(52, 16, "REELO", [(YELLOW, True), (YELLOW, True), (WHITE, True), (CYAN, True)])
    s.text(28, 56, "РЕДАКТОР ЛЕНТ ZX SPECTRUM", ink=WHITE, bright=True)
    # The window lays its version label over (144, 78); "ВЕРСИЯ" leads up to it.
    s.text(88, 82, "ВЕРСИЯ", ink=YELLOW, bright=True)
    s.cassette(80, 100, "REELO")
    s.colour_pixels(88, 104, 167, 111, ink=YELLOW)
    return s.pixels(shown=loaded)


def png_bytes(rows):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    out_dir = os.path.dirname(os.path.abspath(__file__))
    for name, draw in (("splash", splash), ("about", about)):
        path = os.path.join(out_dir, name + ".png")
        with open(path, "wb") as f:
            f.write(png_bytes(draw()))
        print(f"wrote {path}")


if __name__ == "__main__":
    main()
