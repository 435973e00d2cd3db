"""What the window should look like on screen, built from the committed artwork: the background with the
drop-zone picture on it, and the corner cuts that the colour key makes transparent."""
from pathlib import Path

from PIL import Image, ImageChops

ART = Path(__file__).resolve().parents[2] / "skin" / "art"
WINDOW = (548, 366)
DROP_ZONE = (1, 27, 545, 302)  # x, y, w, h in the window
MAGENTA = (255, 0, 255)
ROOT = (0, 0, 0)  # bare Xvfb's root window, seen through the cuts
CUT_ROWS = (5, 3, 2, 1, 1)  # key-coloured pixels on the five outermost rows, from each corner inwards


def corner_cuts(size=WINDOW):
    """Window pixels of the rounded corners: cut away once the colour key applies."""
    w, h = size
    cuts = []
    for row, run in enumerate(CUT_ROWS):
        for dx in range(run):
            cuts += [(dx, row), (w - 1 - dx, row), (dx, h - 1 - row), (w - 1 - dx, h - 1 - row)]
    return cuts


def corner_rims(size=WINDOW):
    """The pixel just inside each cut on the same row: always skin."""
    w, h = size
    rims = []
    for row, run in enumerate(CUT_ROWS):
        rims += [(run, row), (w - 1 - run, row), (run, h - 1 - row), (w - 1 - run, h - 1 - row)]
    return rims


def expected_face(highlighted=False, keyed=True):
    """The window as it should appear at rest: the background, the drop-zone picture in its place, and
    the corners showing the root (keyed) or still magenta."""
    face = Image.open(ART / "background.bmp").convert("RGB").crop((0, 0, *WINDOW))
    zone = "dropzone_light.jpg" if highlighted else "dropzone.jpg"
    face.paste(Image.open(ART / zone).convert("RGB"), DROP_ZONE[:2])
    if keyed:
        for xy in corner_cuts():
            face.putpixel(xy, ROOT)
    return face


def window_image(shot, geometry):
    """The window's part of a screenshot."""
    x, y = geometry[:2]
    with Image.open(shot) as img:
        return img.convert("RGB").crop((x, y, x + WINDOW[0], y + WINDOW[1]))


def mismatches(actual, expected, tolerance=12):
    """Pixels whose colour differs by more than `tolerance` in some channel (JPEG decoders differ by a
    few levels), as a sorted list of (x, y)."""
    diff = ImageChops.difference(actual, expected).convert("RGB")
    w, h = diff.size
    data = diff.load()
    return [(x, y) for y in range(h) for x in range(w) if max(data[x, y]) > tolerance]
