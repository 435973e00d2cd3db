#!/usr/bin/python3
"""Regenerates Pagerift's skin artwork beside this script.

Run: /usr/bin/python3 skin/art/make_art.py   (needs python3-pil, fonts-dejavu-core)
The generated files are committed, so a build never runs this. The output is
the same byte for byte on every run with the same Pillow and fonts.
"""
import os
import struct
import sys
import zlib

sys.dont_write_bytecode = True  # keep the art folder free of caches

from PIL import Image, ImageDraw, ImageFont

import art_formats
import art_scale
from art_scale import device

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 4  # supersampling factor for shapes; text is drawn at 1x for FreeType hinting

# Window geometry in 96-DPI pixels (client area is 548 x 366; the picture is 5 px larger). Every
# picture is drawn at each scale of art_scale.SCALES from these, s times as large.
WIN_W, WIN_H = art_scale.WINDOW
DROP_TWIPS = (10, 400)        # where the program puts the drop-zone box, in twips (15 to the pixel)
DROP = (1, 27, 545, 302)      # the drop-zone picture box: left, top, width, height
MIN_BOX = (512, 6, 14, 14)
EXIT_BOX = (530, 6, 15, 15)
HELP_BOX = (386, 338, 153, 17)
STATUS_RIGHT = 508            # the status label grows leftwards from here

KEY = (255, 0, 255)
FACE = (236, 241, 247)        # caption row and bottom bar
OUTLINE = (122, 136, 154)
INK = (31, 41, 55)
MUTED = (98, 112, 130)
ACCENT = (37, 99, 175)
ACCENT_DARK = (27, 72, 130)
ACCENT_SOFT = (222, 234, 250)
RIBBON = (226, 104, 76)
PAPER = (255, 255, 255)
ZONE = (255, 255, 255)
ZONE_LIGHT = (219, 233, 252)
ZONE_BUSY = (248, 250, 252)
ZONE_FRAME = (190, 201, 215)
DASH = (150, 167, 189)
SHEET_LINE = (200, 208, 219)
BUTTON = (245, 247, 250)
BUTTON_EDGE = (150, 167, 189)
GLYPH_BG = (221, 228, 237)
BAR_TOP = (84, 150, 226)
BAR_BOTTOM = ACCENT

# Probe point of the drop-zone pictures: centre of the flat band left of the title.
PROBE = (40, 150)


def font(size, bold=False):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size,
                              layout_engine=ImageFont.Layout.BASIC)


class Canvas:
    """An RGB(A) picture whose shapes are drawn supersampled, in 96-DPI pixel units, at scale s: the
    picture is w x h of those units, s times as many device pixels."""

    def __init__(self, w, h, bg, mode="RGB", s=1.0):
        self.s, self.k = s, SS * s
        self.w, self.h, self.mode = device(w, s), device(h, s), mode
        self.big = Image.new(mode, (self.w * SS, self.h * SS), bg)
        self.d = ImageDraw.Draw(self.big)

    def _box(self, x0, y0, x1, y1):
        # [x0, x1) x [y0, y1) in pixel edges
        k = self.k
        return [round(x0 * k), round(y0 * k), round(x1 * k) - 1, round(y1 * k) - 1]

    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=1, r=0):
        box = self._box(x0, y0, x1, y1)
        if r:
            self.d.rounded_rectangle(box, round(r * self.k), fill=fill, outline=outline,
                                     width=round(width * self.k))
        else:
            self.d.rectangle(box, fill=fill, outline=outline, width=round(width * self.k))

    def poly(self, pts, fill):
        self.d.polygon([(x * self.k, y * self.k) for x, y in pts], fill=fill)

    def line(self, pts, fill, width):
        self.d.line([(x * self.k, y * self.k) for x, y in pts], fill=fill,
                    width=round(width * self.k), joint="curve")

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1):
        self.d.ellipse(self._box(x0, y0, x1, y1), fill=fill, outline=outline,
                       width=round(width * self.k))

    def image(self):
        return self.big.resize((self.w, self.h), Image.Resampling.BOX)


def text(img, xy, s, size, fill, bold=False, anchor="la", scale=1.0):
    """Text at device pixels, for FreeType's hinting at the size it is shown at."""
    x, y = xy
    ImageDraw.Draw(img).text((x * scale, y * scale), s, font=font(device(size, scale), bold),
                             fill=fill, anchor=anchor)


def text_width(s, size, bold=False):
    return font(size, bold).getlength(s)


# ---------------------------------------------------------------- emblems

def book(size):
    """The program's emblem: a closed book with a ribbon, on a 16-unit grid."""
    k = size / 16
    c = Canvas(size, size, (0, 0, 0, 0), "RGBA")

    def g(v):  # snap to whole pixels so small sizes stay crisp
        return round(v * k)

    c.rect(g(3), g(1), g(14), g(15), fill=ACCENT_DARK + (255,), r=1.5 * k)
    c.rect(g(5), g(12), g(14) - max(1, g(1)), g(14), fill=PAPER + (255,))
    c.rect(g(3), g(1), g(14), g(12), fill=ACCENT + (255,), r=1.5 * k)
    c.rect(g(3), g(1), g(5), g(12), fill=ACCENT_DARK + (255,), r=1.5 * k)
    c.rect(g(4), g(1), g(5), g(12), fill=ACCENT_DARK + (255,))
    c.rect(g(7), g(4), g(12), g(4) + max(1, g(1.5)), fill=(255, 255, 255, 230))
    if size >= 24:
        c.rect(g(7), g(7), g(11), g(7) + max(1, g(1)), fill=(255, 255, 255, 150))
    rx0, rx1 = g(10), g(12)
    c.poly([(rx0, g(11)), (rx1, g(11)), (rx1, g(16)), ((rx0 + rx1) / 2, g(14.6)),
            (rx0, g(16))], fill=RIBBON + (255,))
    return c.image()


def document(c, x, y, w, h, badge_fill, sheet_edge):
    """A page with a folded corner and a round badge with a down arrow."""
    fold = w * 0.28
    c.poly([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)],
           fill=sheet_edge)
    c.poly([(x + 2, y + 2), (x + w - fold - 0.8, y + 2), (x + w - 2, y + fold + 0.8),
            (x + w - 2, y + h - 2), (x + 2, y + h - 2)], fill=PAPER)
    c.poly([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)], fill=sheet_edge)
    for i, frac in enumerate((0.55, 0.75, 0.55, 0.65)):
        ly = y + fold + 8 + i * 9
        c.rect(x + 9, ly, x + 9 + (w - 18) * frac, ly + 3, fill=SHEET_LINE, r=1.5)
    c.rect(x + 9, y + 12, x + 9 + (w - 18) * 0.35, y + 15, fill=SHEET_LINE, r=1.5)
    r = 17
    cx, cy = x + w - 2, y + h - 6
    c.ellipse(cx - r - 3, cy - r - 3, cx + r + 3, cy + r + 3, fill=c.bg_under_badge)
    c.ellipse(cx - r, cy - r, cx + r, cy + r, fill=badge_fill)
    c.line([(cx, cy - 9), (cx, cy + 8)], fill=PAPER, width=3.2)
    c.line([(cx - 7.5, cy + 1), (cx, cy + 8.5), (cx + 7.5, cy + 1)], fill=PAPER, width=3.2)


def page_stack(c, x, y, w, h):
    """Pages fanned out: the picture for 'splitting in progress'."""
    for i, dx in enumerate((-30, 0, 30)):
        px, py = x + dx, y + (6 if dx else 0)
        c.rect(px, py, px + w, py + h, fill=ZONE_FRAME if i != 1 else DASH, r=3)
        c.rect(px + 2, py + 2, px + w - 2, py + h - 2, fill=PAPER, r=2)
        for j in range(4):
            ly = py + 12 + j * 9
            c.rect(px + 8, ly, px + w - 8 - (j % 2) * 10, ly + 3, fill=SHEET_LINE, r=1.5)


def dashed_frame(c, x0, y0, x1, y1, r, colour, width=2, dash=9, gap=6):
    """Dashed rounded rectangle: solid corners, dashes centred on each side."""
    w = width
    for a0, a1, fixed, horizontal in ((x0 + r, x1 - r, y0, True), (x0 + r, x1 - r, y1 - w, True),
                                      (y0 + r, y1 - r, x0, False), (y0 + r, y1 - r, x1 - w, False)):
        length = a1 - a0
        n = max(1, int((length + gap) // (dash + gap)))
        start = a0 + (length - (n * dash + (n - 1) * gap)) / 2
        for i in range(n):
            s = start + i * (dash + gap)
            if horizontal:
                c.rect(s, fixed, s + dash, fixed + w, fill=colour)
            else:
                c.rect(fixed, s, fixed + w, s + dash, fill=colour)
    big = [(x0, y0, 180), (x1 - 2 * r, y0, 270), (x1 - 2 * r, y1 - 2 * r, 0), (x0, y1 - 2 * r, 90)]
    for ax, ay, start in big:
        c.d.arc(c._box(ax, ay, ax + 2 * r, ay + 2 * r), start, start + 90, fill=colour,
                width=round(w * c.k))


# ---------------------------------------------------------------- drop zone

def drop_zone(kind, s=1.0):
    """kind: 'normal', 'light' (pointer or drag over it) or 'busy' (painted skin)."""
    w, h = DROP[2], DROP[3]
    bg = {"normal": ZONE, "light": ZONE_LIGHT, "busy": ZONE_BUSY}[kind]
    c = Canvas(w, h, bg, s=s)
    c.bg_under_badge = bg
    c.rect(0, 0, w, h, outline=ZONE_FRAME, width=1)
    dashed_frame(c, 12, 12, w - 12, h - 12, 12, ACCENT if kind == "light" else DASH)
    cx = w // 2
    if kind == "busy":
        page_stack(c, cx - 26, 62, 52, 64)
    else:
        document(c, cx - 30, 58, 60, 76, ACCENT, ACCENT if kind == "light" else DASH)
    img = c.image()
    if kind == "busy":
        text(img, (cx, 170), "Splitting pages\u2026", 22, INK, True, "mm", s)
        text(img, (cx, 202), "Please wait. A message tells you when it is done.", 13, MUTED,
             anchor="mm", scale=s)
    else:
        text(img, (cx, 170), "Drop PDF files here", 22, INK, True, "mm", s)
        text(img, (cx, 200), "or click to choose one", 14, ACCENT if kind == "light" else MUTED,
             anchor="mm", scale=s)
        text(img, (cx, 258), "Every page is saved as a PDF file of its own.", 12, MUTED,
             anchor="mm", scale=s)
    return img


# ---------------------------------------------------------------- background

class Outline:
    """The window's shape in device pixels at scale s: key colour beyond the client area and in the
    rounded corners (art_scale.corner_cut), and the outline just inside it."""

    def __init__(self, s):
        self.s = s
        self.w, self.h = art_scale.window(s)
        self.cuts = art_scale.corner_rows(s)
        self.thickness = max(1, device(1, s))

    def cut(self, y):
        row = min(y, self.h - 1 - y)
        return self.cuts[row] if 0 <= row < len(self.cuts) else 0

    def is_key(self, x, y):
        if not (0 <= x < self.w and 0 <= y < self.h):
            return x >= self.w or y >= self.h
        c = self.cut(y)
        return x < c or x >= self.w - c

    def _outside(self, x, y):
        return not (0 <= x < self.w and 0 <= y < self.h) or self.is_key(x, y)

    def edge(self):
        """Face pixels within the outline's thickness (steps left, right, up, down) of the cut or the
        edge. Only the rim can hold them: the corner rows, and the side columns between them."""
        t = self.thickness
        band = len(self.cuts) + t
        steps = [(dx, dy) for dx in range(-t, t + 1) for dy in range(-t, t + 1)
                 if 0 < abs(dx) + abs(dy) <= t]
        out = []
        for y in range(self.h):
            rim = y < band or y >= self.h - band
            xs = range(self.w) if rim else [*range(t), *range(self.w - t, self.w)]
            for x in xs:
                if not self.is_key(x, y) and any(self._outside(x + dx, y + dy) for dx, dy in steps):
                    out.append((x, y))
        return out


def background(s=1.0):
    c = Canvas(WIN_W + art_scale.MARGIN, WIN_H + art_scale.MARGIN, FACE, s=s)
    for (x, y, w, h) in (MIN_BOX, EXIT_BOX):
        c.rect(x, y, x + w, y + h, fill=GLYPH_BG, r=3)
    mx, my, mw, mh = MIN_BOX
    c.rect(mx + 3, my + 7, mx + mw - 3, my + 9, fill=INK)
    ex, ey, ew, eh = EXIT_BOX
    cx, cy, a = ex + ew / 2, ey + eh / 2, 3.6
    c.line([(cx - a, cy - a), (cx + a, cy + a)], fill=INK, width=1.7)
    c.line([(cx - a, cy + a), (cx + a, cy - a)], fill=INK, width=1.7)
    hx, hy, hw, hh = HELP_BOX
    label, size = "Help & website", 12
    group = 13 + 5 + text_width(label, size)  # laid out at 1x, so that it scales as a whole
    gx = hx + (hw - group) / 2
    c.ellipse(gx, hy + 2, gx + 13, hy + 15, fill=ACCENT)
    img = c.image()

    # Where the program puts the drop-zone box, rounded as it rounds.
    img.paste(drop_zone("busy", s), tuple(device(t / 15, s) for t in DROP_TWIPS))
    emblem = book(device(16, s))
    img.paste(emblem, (device(8, s), device(5, s)), emblem)
    text(img, (30, 13), "Pagerift", 13, INK, True, "lm", s)
    text(img, (gx + 6.5, hy + 8.5), "?", 10, PAPER, True, "mm", s)
    text(img, (gx + 18, hy + 8), label, size, ACCENT, anchor="lm", scale=s)
    text(img, (12, hy + 8), "Pagerift 1.00 \u00b7 one PDF file per page", 11, MUTED,
         anchor="lm", scale=s)

    shape = Outline(s)
    px = img.load()
    for y in range(shape.h):
        for x in range(shape.w):
            if px[x, y] == KEY:  # art must never punch holes into the window
                px[x, y] = (254, 0, 255)
    for p in shape.edge():
        px[p] = OUTLINE
    for y in range(img.height):
        for x in range(img.width):
            if shape.is_key(x, y):
                px[x, y] = KEY
    return img


# ---------------------------------------------------------------- small pictures

def browse(pressed, s=1.0):
    w, h = 42, 22
    c = Canvas(w, h, FACE, s=s)
    fill, edge, ink = (ACCENT, ACCENT_DARK, PAPER) if pressed else (ACCENT_SOFT, ACCENT, ACCENT)
    c.rect(0, 0, w, h, fill=fill, outline=edge, width=1, r=4)
    # folder glyph
    fx, fy = 13, 5
    c.rect(fx, fy, fx + 7, fy + 4, fill=ink, r=1)
    c.rect(fx, fy + 2, fx + 16, fy + 12, fill=ink, r=1.2)
    c.rect(fx + 1.5, fy + 4.5, fx + 14.5, fy + 10.5, fill=fill, r=0.8)
    return c.image()


def option_button(light, s=1.0):
    size = 18
    c = Canvas(size, size, FACE, s=s)
    fill, edge = (ACCENT_SOFT, ACCENT) if light else (BUTTON, BUTTON_EDGE)
    c.rect(0, 0, size, size, fill=fill, outline=edge, width=1, r=3)
    ink = ACCENT if light else INK
    c.line([(5, 7.5), (9, 11.5), (13, 7.5)], fill=ink, width=1.8)
    return c.image()


def bar_colour(y, h=14):
    t = y / (h - 1)
    return tuple(round(a + (b - a) * t) for a, b in zip(BAR_TOP, BAR_BOTTOM))


def progress_fill(s=1.0):
    h = device(14, s)
    img = Image.new("RGB", (1, h))
    for y in range(h):
        img.putpixel((0, y), bar_colour(y, h))
    return img


def progress_cap(left, s=1.0):
    w, h = device(5, s), device(14, s)
    bar = Image.new("RGB", (w * SS, h * SS))
    for y in range(h * SS):
        ImageDraw.Draw(bar).line([(0, y), (w * SS, y)], fill=bar_colour(y / SS, h))
    mask = Image.new("L", (w * SS, h * SS), 0)
    # A half rounded rectangle: the cap is the rounded end of a 14 px high bar.
    box = [0, 0, 2 * w * SS - 1, h * SS - 1] if left else [-w * SS, 0, w * SS - 1, h * SS - 1]
    ImageDraw.Draw(mask).rounded_rectangle(box, round(5 * s * SS), fill=255)
    out = Image.new("RGB", (w * SS, h * SS), FACE)
    out.paste(bar, (0, 0), mask)
    return out.resize((w, h), Image.Resampling.BOX)


HAND = [
    "     ###",
    "    #...#",
    "    #...#",
    "    #...#",
    "    #...#",
    "    #...#",
    "    #...####",
    "    #...#...#",
    "    #...#...####",
    "    #...#...#...#",
    "    #...#...#...###",
    " ###....#...#...#..#",
    "#..#....#...#...#..#",
    "#...#...........#..#",
    "#....#.............#",
    " #.................#",
    " #.................#",
    "  #................#",
    "  #...............#",
    "   #..............#",
    "    #.............#",
    "     #...........#",
    "      #..........#",
    "      #..........#",
    "      ############",
]


# ---------------------------------------------------------------- output

# Resource ids of the pictures, as in resource_ids.h; the one drawn for the kth scale of
# art_scale.SCALES is id + SCALE_STRIDE * k.
PICTURES = (
    (101, "background.bmp", lambda s: background(s)),
    (102, "dropzone.jpg", lambda s: drop_zone("normal", s)),
    (103, "dropzone_light.jpg", lambda s: drop_zone("light", s)),
    (104, "browse_light.jpg", lambda s: browse(False, s)),
    (105, "browse_dark.jpg", lambda s: browse(True, s)),
    (106, "button.jpg", lambda s: option_button(False, s)),
    (107, "button_light.jpg", lambda s: option_button(True, s)),
    (108, "pb_fill.jpg", lambda s: progress_fill(s)),
    (109, "pb_left.jpg", lambda s: progress_cap(True, s)),
    (110, "pb_right.jpg", lambda s: progress_cap(False, s)),
)
SCALE_STRIDE = 1000


def save_jpeg(img, name):
    img.convert("RGB").save(os.path.join(HERE, name), "JPEG", quality=92, subsampling=0,
                            optimize=False, progressive=False)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def packed_bmp(img):
    """A BMP, deflated: the larger backgrounds would add megabytes to the program as plain BMPs,
    and JPEG would blur the exact key colour. "PRZ1", the BMP's length (32 bits, little end
    first), then the zlib stream."""
    bmp = art_formats.bmp24(img)
    return b"PRZ1" + struct.pack("<I", len(bmp)) + zlib.compress(bmp, 9)


def main():
    if not os.path.isdir(FONT_DIR):
        raise SystemExit("DejaVu fonts missing: apt-get install fonts-dejavu-core")
    rc = ["// Generated by make_art.py: the pictures drawn for the larger display scales.", ""]
    for k, percent in enumerate(art_scale.SCALES):
        s, where = percent / 100, art_scale.folder(percent)
        os.makedirs(os.path.join(HERE, where), exist_ok=True)
        for rid, name, draw in PICTURES:
            img = draw(s)
            if percent == 100:
                path = name
                if name.endswith(".bmp"):
                    write(path, art_formats.bmp24(img))
                else:
                    save_jpeg(img, path)
                continue
            path = f"{where}/{name}" + (".z" if name.endswith(".bmp") else "")
            if name.endswith(".bmp"):
                write(path, packed_bmp(img))
            else:
                save_jpeg(img, path)
            rc.append(f'{rid + SCALE_STRIDE * k} RCDATA "skin/art/{path}"')
    write("scaled.rc", ("\n".join(rc) + "\n").encode())
    write("pagerift.ico", art_formats.ico([book(s) for s in (16, 24, 32, 48, 128)]))
    write("hand.cur", art_formats.cur_mono(HAND, (6, 0)))
    for name in ("dropzone.jpg", "dropzone_light.jpg"):
        print(name, "probe", PROBE, Image.open(os.path.join(HERE, name)).getpixel(PROBE))


if __name__ == "__main__":
    main()
