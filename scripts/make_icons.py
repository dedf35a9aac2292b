#!/usr/bin/env python3
"""Draws Reelo's icons and writes them as PNG files into assets/icons/.

Standard library only (zlib + struct), so it runs anywhere Python does.
Each toolbar icon is a 16 x 16 picture written as rows of palette letters;
the program icon is drawn from shapes at 32 x 32 and at 16 x 16.
Run it again after changing a picture and commit the PNG files it writes.
"""

import os
import struct
import sys
import zlib

PALETTE = {
    ".": (0, 0, 0, 0),  # transparent
    "k": (0, 0, 0, 255),
    "w": (255, 255, 255, 255),
    "g": (128, 128, 128, 255),
    "l": (200, 200, 200, 255),
    "y": (250, 210, 70, 255),
    "o": (200, 150, 30, 255),
    "b": (40, 90, 220, 255),
    "B": (0, 0, 140, 255),
    "r": (215, 0, 0, 255),
    "G": (0, 170, 0, 255),
    "c": (0, 200, 210, 255),
    "Y": (255, 255, 0, 255),
}

ICONS = {
    # A blank sheet with a folded corner.
    "new": [
        "................",
        "..kkkkkkkkk.....",
        "..kwwwwwwwkk....",
        "..kwwwwwwwkwk...",
        "..kwwwwwwwkwwk..",
        "..kwwwwwwwkkkkk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kkkkkkkkkkkkk.",
        "................",
    ],
    # An open folder.
    "open": [
        "................",
        "................",
        ".kkkk...........",
        "kooook..........",
        "koooookkkkkkk...",
        "kooooooooooook..",
        "kookkkkkkkkkkkkk",
        "kookyyyyyyyyyyyk",
        "kokyyyyyyyyyyyk.",
        "kokyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyk..",
        "kkyyyyyyyyyyyk..",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
        "................",
    ],
    # A floppy disk: label on top, metal shutter below.
    "save": [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwkkkkkkwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwkkkkkkwkbk.",
        ".kbkkkkkkkkkkbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbllllllllbbk.",
        ".kbbllkklllllbk.",
        ".kbbllkklllllbk.",
        ".kbbllkklllllbk.",
        ".kbbllllllllbbk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ],
    # A cassette: two reels behind the window, the head slot below.
    "tape": [
        "................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "kggggggggggggggk",
        "kgwwwwwwwwwwwwgk",
        "kgwrrrryyyGGGcgk",
        "kgwwkkwwwwwkkwgk",
        "kgwkllkkkkkllkgk",
        "kgwkllkwwwkllkgk",
        "kgwwkkwwwwwkkwgk",
        "kgwwwwwwwwwwwwgk",
        "kggggggggggggggk",
        "kgggkkkkkkkkgggk",
        "kggkgggggggggkgk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    # Arrows that move the selected block.
    "up": [
        "................",
        ".......kk.......",
        "......kGGk......",
        ".....kGGGGk.....",
        "....kGGGGGGk....",
        "...kGGGGGGGGk...",
        "..kGGGGGGGGGGk..",
        ".kkkkkGGGGkkkkk.",
        ".....kGGGGk.....",
        ".....kGGGGk.....",
        ".....kGGGGk.....",
        ".....kGGGGk.....",
        ".....kGGGGk.....",
        ".....kGGGGk.....",
        ".....kkkkkk.....",
        "................",
    ],
    # A red cross: delete the selected block.
    "del": [
        "................",
        "................",
        "..rr.......rr...",
        "..rrr.....rrr...",
        "...rrr...rrr....",
        "....rrr.rrr.....",
        ".....rrrrr......",
        "......rrr.......",
        ".....rrrrr......",
        "....rrr.rrr.....",
        "...rrr...rrr....",
        "..rrr.....rrr...",
        "..rr.......rr...",
        "................",
        "................",
        "................",
    ],
    # The digits 10: the decimal dump.
    "dec": [
        "................",
        "................",
        "..kwwwwwwwwwwk..",
        "..kwwBBwwBBBwk..",
        "..kwBBBwBBwBBk..",
        "..kwwBBwBBwBBk..",
        "..kwwBBwBBwBBk..",
        "..kwwBBwBBwBBk..",
        "..kwwBBwBBwBBk..",
        "..kwBBBBwBBBwk..",
        "..kwwwwwwwwwwk..",
        "..kwbwbwbwbwbk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
        "................",
    ],
    # A sheet of text lines.
    "text": [
        "................",
        "..kkkkkkkkkkkk..",
        "..kwwwwwwwwwwk..",
        "..kwkkkkkkwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwkkkkkkkkwk..",
        "..kwwwwwwwwwwk..",
        "..kwkkkkkkkwwk..",
        "..kwwwwwwwwwwk..",
        "..kwkkkkkkkkwk..",
        "..kwwwwwwwwwwk..",
        "..kwkkkkkwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
        "................",
    ],
    # BAS over a few program lines.
    "bas": [
        "................",
        "kkkkkkkkkkkkkkkk",
        "kwwwwwwwwwwwwwwk",
        "kwrrwwwrwwwwrrwk",
        "kwrwrwrwrwwrwwwk",
        "kwrrwwrrrwwwrwwk",
        "kwrwrwrwrwwwwrwk",
        "kwrrwwrwrwwrrwwk",
        "kwwwwwwwwwwwwwwk",
        "kwBBwggggggwwwwk",
        "kwwwwwwwwwwwwwwk",
        "kwBBwggggwwwwwwk",
        "kwwwwwwwwwwwwwwk",
        "kwBBwgggggggggwk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    # A monitor showing the rainbow stripes of the computer's own screen.
    "scr": [
        "................",
        ".gggggggggggggg.",
        ".gkkkkkkkkkkkkg.",
        ".gkkkkkkkkkkkkg.",
        ".gkkkkkkkkkkkrg.",
        ".gkkkkkkkkkkryg.",
        ".gkkkkkkkkkryGg.",
        ".gkkkkkkkkryGcg.",
        ".gkkkkkkkryGckg.",
        ".gkkkkkkryGckkg.",
        ".gkkkkkryGckkkg.",
        ".gggggggggggggg.",
        "......gggg......",
        "....gggggggg....",
        "................",
        "................",
    ],
}
ICONS["down"] = list(reversed(ICONS["up"]))
# A blue arrow turning back to the left: undo the last edit; mirrored, redo it.
ICONS["undo"] = [
    "................",
    "................",
    "....k...........",
    "...kbk..........",
    "..kbbkkkkkkk....",
    ".kbbbbbbbbbbkk..",
    "..kbbkkkkkkbbbk.",
    "...kbk.....kbbk.",
    "....k.......kbbk",
    "............kbbk",
    "............kbbk",
    "...........kbbk.",
    "........kkkbbbk.",
    "........kbbbbk..",
    "........kkkkk...",
    "................",
]
ICONS["redo"] = [row[::-1] for row in ICONS["undo"]]

# The tape deck's buttons: the usual player signs, green to play, black bars,
# a red square to stop, and a bar beside the arrows that skip a block.
ICONS["play"] = [
    "................",
    "...kk...........",
    "...kGkk.........",
    "...kGGGkk.......",
    "...kGGGGGkk.....",
    "...kGGGGGGGkk...",
    "...kGGGGGGGGGk..",
    "...kGGGGGGGGGGk.",
    "...kGGGGGGGGGGk.",
    "...kGGGGGGGGGk..",
    "...kGGGGGGGkk...",
    "...kGGGGGkk.....",
    "...kGGGkk.......",
    "...kGkk.........",
    "...kk...........",
    "................",
]
ICONS["pause"] = [
    "................",
    "................",
    "...kkkk..kkkk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kBBk..kBBk...",
    "...kkkk..kkkk...",
    "................",
    "................",
]
ICONS["stop"] = [
    "................",
    "................",
    "................",
    "...kkkkkkkkkk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...krrrrrrrrk...",
    "...kkkkkkkkkk...",
    "................",
    "................",
    "................",
]
ICONS["next"] = [
    "................",
    "................",
    "..kk.......kkk..",
    "..kGkk.....kBk..",
    "..kGGGk....kBk..",
    "..kGGGGkk..kBk..",
    "..kGGGGGGk.kBk..",
    "..kGGGGGGGkkBk..",
    "..kGGGGGGGkkBk..",
    "..kGGGGGGk.kBk..",
    "..kGGGGkk..kBk..",
    "..kGGGk....kBk..",
    "..kGkk.....kBk..",
    "..kk.......kkk..",
    "................",
    "................",
]
ICONS["prev"] = [row[::-1] for row in ICONS["next"]]

SIZE = 16


def png_bytes(pixels, width, height):
    """RGBA rows -> PNG file bytes."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def from_rows(name, rows):
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit(f"icon {name}: every picture must be {SIZE} rows of {SIZE} letters")
    return [[PALETTE[ch] for ch in row] for row in rows]


def program_icon(size):
    """A cassette with the rainbow stripe across its label (32 x 32 by default)."""
    s = size / 32.0
    px = [[PALETTE["."] for _ in range(size)] for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = PALETTE[colour]

    def disc(cx, cy, r, colour):
        for y in range(size):
            for x in range(size):
                if (x + 0.5 - cx * s) ** 2 + (y + 0.5 - cy * s) ** 2 <= (r * s) ** 2:
                    px[y][x] = PALETTE[colour]

    rect(0, 4, 32, 28, "k")         # outline
    rect(1, 5, 31, 27, "g")         # shell
    rect(3, 7, 29, 20, "w")         # label
    for i, colour in enumerate("ryGc"):
        rect(3, 7 + i * 1.5, 29, 8.5 + i * 1.5, colour)
    rect(7, 13, 25, 19, "k")        # window
    disc(11, 16, 3.2, "l")
    disc(21, 16, 3.2, "l")
    disc(11, 16, 1.2, "k")
    disc(21, 16, 1.2, "k")
    rect(7, 22, 25, 28, "k")        # head slot
    rect(8, 23, 24, 27, "l")
    return px


def main():
    out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets", "icons")
    os.makedirs(out_dir, exist_ok=True)
    pictures = {name: (from_rows(name, rows), SIZE) for name, rows in ICONS.items()}
    pictures["reelo"] = (program_icon(32), 32)
    # At 16 pixels the shapes blur; the hand-drawn cassette reads better there.
    pictures["reelo16"] = pictures["tape"]
    for name, (pixels, size) in sorted(pictures.items()):
        with open(os.path.join(out_dir, name + ".png"), "wb") as f:
            f.write(png_bytes(pixels, size, size))
    print(f"wrote {len(pictures)} icons to {os.path.normpath(out_dir)}")


if __name__ == "__main__":
    main()
