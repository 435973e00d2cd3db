#!/usr/bin/python3
"""Font programs for the splitter's font tests, and what a subset holds, by fontTools (an
implementation of its own, so that the tests do not check the subsetter against itself).

  font_fixtures.py type1 OUT        a Type 1 program as a PDF embeds it (Aacute made a seac of A
                                    and acute); prints Length1 Length2 Length3
  font_fixtures.py type1-glyphs F   the glyph names of a Type 1 program, and its subroutine count
  font_fixtures.py ttf-glyphs F     the glyphs with outlines of a TrueType program, after checking
                                    every table checksum and head.checkSumAdjustment
  font_fixtures.py ttf-small OUT    a TrueType program of a few kilobytes: DejaVu Sans's "a" to "z"
  font_fixtures.py cff OUT          the bare CFF program of an OpenType font
  font_fixtures.py cff-glyphs F     the glyphs of a bare CFF program that draw anything (more than
                                    a bare endchar)"""
import struct
import sys
from io import BytesIO

from fontTools.misc import eexec
from fontTools.t1Lib import T1Font
from fontTools.ttLib import TTFont

TYPE1 = "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1"
OTF = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"


def number(v):
    if -107 <= v <= 107:
        return bytes([v + 139])
    if 108 <= v <= 1131:
        v -= 108
        return bytes([(v >> 8) + 247, v & 0xFF])
    if -1131 <= v <= -108:
        v = -v - 108
        return bytes([(v >> 8) + 251, v & 0xFF])
    return b"\xff" + struct.pack(">i", v)


def type1(out):
    data = open(TYPE1, "rb").read()
    start = data.index(b"eexec") + 5
    while data[start:start + 1] in b"\r\n \t":
        start += 1
    end = data.rindex(b"cleartomark")
    while data[end - 1:end] in b"0\r\n":
        end -= 1
    private, _ = eexec.decrypt(data[start:end], 55665)
    # /Aacute becomes "0 0 0 65 194 seac": A with the acute (StandardEncoding 0302) on top.
    at = private.index(b"/Aacute ")
    head = private.index(b" RD ", at) + 4
    length = int(private[at + 8:head - 4])
    plain = b"\0\0\0\0" + number(0) + number(0) + number(0) + number(65) + number(194) + b"\x0c\x06"
    code, _ = eexec.encrypt(plain, 4330)
    private = private[:at] + b"/Aacute %d RD " % len(code) + code + private[head + length:]
    encrypted, _ = eexec.encrypt(private, 55665)
    program = data[:start] + encrypted + data[end:]
    open(out, "wb").write(program)
    print(start, len(encrypted), len(data) - end)


def type1_glyphs(path):
    font = T1Font(path)
    font.parse()
    print(" ".join(sorted(font.font["CharStrings"].keys())))
    print(len(font.font["Private"]["Subrs"]))


def ttf_glyphs(path):
    data = open(path, "rb").read()
    if sum(struct.unpack(">%dI" % (len(data) // 4), data[: len(data) // 4 * 4])) & 0xFFFFFFFF != 0xB1B0AFBA:
        sys.exit("head.checkSumAdjustment is wrong")
    font = TTFont(BytesIO(data), checkChecksums=2)
    glyf = font["glyf"]
    print(" ".join(name for name in font.getGlyphOrder() if glyf[name].numberOfContours != 0))


def ttf_small(out):
    import logging
    from fontTools import subset
    logging.getLogger("fontTools").setLevel(logging.ERROR)
    font = TTFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", recalcTimestamp=False)
    options = subset.Options()
    options.notdef_outline = True
    cut = subset.Subsetter(options)
    cut.populate(text="abcdefghijklmnopqrstuvwxyz")
    cut.subset(font)
    font.save(out)


def cff(out):
    open(out, "wb").write(TTFont(OTF).reader["CFF "])


def cff_glyphs(path):
    from fontTools.cffLib import CFFFontSet
    fonts = CFFFontSet()
    fonts.decompile(BytesIO(open(path, "rb").read()), None)
    top = fonts[fonts.fontNames[0]]
    strings = top.CharStrings
    print(" ".join(sorted(name for name in top.charset if strings.getItemAndSelector(name)[0].bytecode != b"\x0e")))


{"type1": type1, "type1-glyphs": type1_glyphs, "ttf-glyphs": ttf_glyphs, "ttf-small": ttf_small, "cff": cff, "cff-glyphs": cff_glyphs}[sys.argv[1]](sys.argv[2])
