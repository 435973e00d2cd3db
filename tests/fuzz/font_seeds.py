#!/usr/bin/python3
"""Seeds for the font program targets, small enough for the campaigns' -max_len: TrueType fonts
cut down by fontTools, and Type 1 programs of a few glyphs cut from the URW fonts here (with
fontTools' own eexec).
  font_seeds.py OUT_DIR   writes OUT_DIR/type1/*, OUT_DIR/truetype/* and OUT_DIR/cff/*"""
import re
import sys
from pathlib import Path

from fontTools import subset
from fontTools.misc import eexec
from fontTools.ttLib import TTFont

out = Path(sys.argv[1])
(out / "type1").mkdir(parents=True, exist_ok=True)
(out / "truetype").mkdir(parents=True, exist_ok=True)
(out / "cff").mkdir(parents=True, exist_ok=True)

for n, path in enumerate(sorted(Path("/usr/share/fonts/opentype/urw-base35").glob("*.otf"))[:10]):
    font = TTFont(path)
    options = subset.Options()
    options.notdef_outline = True
    options.desubroutinize = n % 2 == 1
    sub = subset.Subsetter(options)
    sub.populate(text="Hello, \u00c5\u00e5 \u00c9\u00e9 123")
    sub.subset(font)
    (out / "cff" / (path.stem + ".cff")).write_bytes(font.getTableData("CFF "))

for n, path in enumerate(sorted(Path("/usr/share/fonts/truetype").rglob("*.ttf"))[:12]):
    font = TTFont(path)
    options = subset.Options()
    options.notdef_outline = True
    options.hinting = n % 2 == 0
    sub = subset.Subsetter(options)
    sub.populate(text="Hello, Åå Éé fi 123" if n % 3 else "Wg")
    sub.subset(font)
    font.save(out / "truetype" / (path.stem + ".ttf"))

for path in sorted(Path("/usr/share/fonts/type1/urw-base35").glob("*.t1"))[:10]:
    data = path.read_bytes()
    start = data.index(b"eexec") + 5
    while data[start:start + 1] in b"\r\n \t":
        start += 1
    end = data.rindex(b"cleartomark")
    while data[end - 1:end] in b"0\r\n":
        end -= 1
    private, _ = eexec.decrypt(data[start:end], 55665)
    at = private.index(b"/CharStrings")
    head = private.index(b"begin", at) + 5
    kept, pos = [], head
    for m in re.finditer(rb"\n/(\S+) (\d+) RD ", private[head:]):
        if m.start() + head < pos:
            continue
        stop = m.end() + head + int(m.group(2))
        stop = private.index(b"\n", stop)
        if m.group(1) in (b".notdef", b"A", b"Aacute", b"a", b"b", b"o", b"space", b"acute", b"Oslash"):
            kept.append(private[m.start() + head:stop])
        pos = stop
    tail = private.index(b"\nend", pos)
    private = private[:head] + b"".join(kept) + private[tail:]
    encrypted, _ = eexec.encrypt(private, 55665)
    program = data[:start] + encrypted + data[end:]
    if len(program) <= 65536:
        (out / "type1" / (path.stem + ".t1")).write_bytes(program)
