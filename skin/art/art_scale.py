"""The window's geometry at a display scale, shared by the generator and the tests that check the
pictures on screen. The window is laid out in 96-DPI pixels; at a scale s (DPI / 96) the program shows
it s times as large in device pixels, rounding each position and size as it does (half away from 0)."""
import math

# Display scales the pictures are drawn for, in percent; the program picks the one for its scale, or
# the next larger one scaled down. Each is a folder of its own beside this file (1x: the folder itself).
SCALES = (100, 125, 150, 175, 200)
CORNER_CUT = (5, 3, 2, 1, 1)  # at 1x: key-colour run on the 5 outermost rows, from the side
WINDOW = (548, 366)           # the client area at 1x
MARGIN = 5                    # key-coloured strips right of and below the window, at 1x


def device(px, s):
    """A 96-DPI pixel length or position in device pixels, rounded as the program rounds."""
    return math.floor(px * s + 0.5)


def window(s):
    return device(WINDOW[0], s), device(WINDOW[1], s)


def corner_cut(row, s):
    """How many pixels of device row `row` (counted from the top or bottom edge) the rounded corner cuts
    away at each side. At 1x this is CORNER_CUT; at other scales the same curve, through the middles
    of the 1x rows, is sampled at the middles of the device rows."""
    v = (row + 0.5) / s  # in 1x rows
    points = [(i + 0.5, float(run)) for i, run in enumerate(CORNER_CUT)] + [(len(CORNER_CUT) + 0.5, 0.0)]
    if v <= points[0][0]:
        u = points[0][1]
    elif v >= points[-1][0]:
        u = 0.0
    else:
        for (v0, u0), (v1, u1) in zip(points, points[1:]):
            if v0 <= v <= v1:
                u = u0 + (u1 - u0) * (v - v0) / (v1 - v0)
                break
    return math.floor(u * s + 0.5)


def corner_rows(s):
    """The device rows, from an edge, that the corners cut into."""
    rows = []
    while corner_cut(len(rows), s) > 0:
        rows.append(corner_cut(len(rows), s))
    return tuple(rows)


def folder(percent):
    """Where the pictures for a scale live, relative to skin/art."""
    return "." if percent == 100 else str(percent)
