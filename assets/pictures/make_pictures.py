#!/usr/bin/env python3
"""Draws the drill's three pictures as 32x32 XPM files beside this script.

right.xpm  the right mark: a red ring edged in black, transparent inside and outside
wrong.xpm  the wrong mark: a blue diagonal cross edged in black, transparent around it
icon.xpm   the icon: a yellow Roman numeral two with serifs and a small times sign, on black

The XPMs are committed; run this only to change the pictures:  python3 make_pictures.py
"""

import math
import pathlib

SIZE = 32
LAST = SIZE - 1

# Colours of the standard 16-colour palette; "None" is transparent.
COLOURS = {" ": "None", "k": "#000000", "r": "#FF0000", "b": "#0000FF", "y": "#FFFF00"}


def ring(x, y):
    # Rings by the distance of the pixel's centre from the picture's centre. The outer black
    # line reaches the edges; the red band is 3 px across at the sides and, where the ring
    # runs diagonally, up to 4 px along a row.
    d = math.hypot(x - LAST / 2, y - LAST / 2)
    if d >= 16:
        return " "
    if d >= 15:
        return "k"
    if d >= 12:
        return "r"
    if d >= 11:
        return "k"
    return " "


def cross(x, y):
    # Two arms from corner to corner, each 9 px of blue along a row with black either side.
    off = min(abs(x - y), abs(x - (LAST - y)))
    if off <= 4:
        return "b"
    if off == 5:
        return "k"
    return " "


def icon(x, y):
    # A numeral "II": two 3-px stems, each with a 7-px serif above and below.
    for stem in (5, 13):
        if stem <= x <= stem + 2 and 8 <= y <= 23:
            return "y"
        if stem - 2 <= x <= stem + 4 and (6 <= y <= 7 or 24 <= y <= 25):
            return "y"
    # A 9x9 times sign to the right of it, centred on the numeral's middle.
    cx, cy = 21, 12
    if cx <= x <= cx + 8 and cy <= y <= cy + 8:
        dx, dy = x - cx, y - cy
        if dx == dy or dx == 8 - dy:
            return "y"
    return "k"


def write_xpm(path, name, pixel):
    rows = ["".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE)]
    used = sorted({c for row in rows for c in row})
    lines = [f'"{SIZE} {SIZE} {len(used)} 1",']
    lines += [f'"{c} c {COLOURS[c]}",' for c in used]
    lines += [f'"{row}",' for row in rows]
    lines[-1] = lines[-1].rstrip(",")
    path.write_text("/* XPM */\nstatic const char *" + name + "[] = {\n" + "\n".join(lines) + "\n};\n")


if __name__ == "__main__":
    here = pathlib.Path(__file__).resolve().parent
    write_xpm(here / "right.xpm", "right", ring)
    write_xpm(here / "wrong.xpm", "wrong", cross)
    write_xpm(here / "icon.xpm", "icon", icon)
