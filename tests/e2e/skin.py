"""What the window should look like on screen, built from the committed artwork: the background with the
drop-zone picture on it, and the corner cuts that the colour key makes transparent. At a display scale s
(DPI / 96) the window is s times as large and shows the pictures drawn for that scale."""
import io
import struct
import sys
import zlib
from pathlib import Path

from PIL import Image, ImageChops

ART = Path(__file__).resolve().parents[2] / "skin" / "art"
sys.path.insert(0, str(ART))
import art_scale  # noqa: E402  (the generator's own geometry)
from art_scale import device  # noqa: E402

WINDOW = art_scale.WINDOW
DROP_ZONE = (1, 27, 545, 302)  # x, y, w, h in the window
DROP_TWIPS = (10, 400, 8175, 4530)  # the same, as the program holds it
MAGENTA = (255, 0, 255)
ROOT = (0, 0, 0)  # bare Xvfb's root window, seen through the cuts
CUT_ROWS = art_scale.CORNER_CUT  # key-coloured pixels on the five outermost rows, from each corner inwards


def window(s=1.0):
    return art_scale.window(s)


def drop_zone(s=1.0):
    """The drop zone's rectangle in device pixels, rounded from twips as the program rounds."""
    return tuple(device(t / 15, s) for t in DROP_TWIPS)


def corner_cuts(size=WINDOW, s=1.0):
    """Window pixels of the rounded corners: cut away once the colour key applies."""
    w, h = size
    cuts = []
    for row, run in enumerate(art_scale.corner_rows(s)):
        for dx in range(run):
            cuts += [(dx, row), (w - 1 - dx, row), (dx, h - 1 - row), (w - 1 - dx, h - 1 - row)]
    return cuts


def corner_rims(size=WINDOW, s=1.0):
    """The pixel just inside each cut on the same row: always skin."""
    w, h = size
    rims = []
    for row, run in enumerate(art_scale.corner_rows(s)):
        rims += [(run, row), (w - 1 - run, row), (run, h - 1 - row), (w - 1 - run, h - 1 - row)]
    return rims


def art(name, s=1.0):
    """A committed picture, drawn for scale s; the background's larger ones are deflated BMPs."""
    percent = round(s * 100)
    path = ART / art_scale.folder(percent) / name
    if percent != 100 and name.endswith(".bmp"):
        data = (path.parent / (name + ".z")).read_bytes()
        assert data[:4] == b"PRZ1"
        bmp = zlib.decompress(data[8:])
        assert len(bmp) == struct.unpack("<I", data[4:8])[0]
        return Image.open(io.BytesIO(bmp)).convert("RGB")
    return Image.open(path).convert("RGB")


def expected_face(highlighted=False, keyed=True, s=1.0):
    """The window as it should appear at rest: the background, the drop-zone picture in its place, and
    the corners showing the root (keyed) or still magenta."""
    size = window(s)
    face = art("background.bmp", s).crop((0, 0, *size))
    zone = art("dropzone_light.jpg" if highlighted else "dropzone.jpg", s)
    face.paste(zone, drop_zone(s)[:2])
    if keyed:
        for xy in corner_cuts(size, s):
            face.putpixel(xy, ROOT)
    return face


def window_image(shot, geometry):
    """The window's part of a screenshot."""
    x, y, w, h = geometry
    with Image.open(shot) as img:
        return img.convert("RGB").crop((x, y, x + w, y + h))


def mismatches(actual, expected, tolerance=12):
    """Pixels whose colour differs by more than `tolerance` in some channel (JPEG decoders differ by a
    few levels), as a sorted list of (x, y)."""
    diff = ImageChops.difference(actual, expected).convert("RGB")
    w, h = diff.size
    data = diff.load()
    return [(x, y) for y in range(h) for x in range(w) if max(data[x, y]) > tolerance]
