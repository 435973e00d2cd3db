"""Small PDFs written by hand for the tests, and page counts of what comes out."""
import re
import subprocess
from pathlib import Path


def make_pdf(path, pages, title=None, size=(612, 792)):
    """Writes a valid `pages`-page PDF (each page says its number) with a correct xref table."""
    assert pages >= 1
    width, height = size
    objects = []  # object bodies; object n is objects[n - 1]

    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    tree = add(None)
    font = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    kids = []
    for n in range(1, pages + 1):
        text = f"BT /F1 48 Tf 72 {height // 2} Td (Page {n}) Tj ET".encode()
        content = add(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))
        kids.append(add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] /Contents %d 0 R "
                        b"/Resources << /Font << /F1 %d 0 R >> >> >>" % (tree, width, height, content, font)))
    objects[catalog - 1] = b"<< /Type /Catalog /Pages %d 0 R >>" % tree
    objects[tree - 1] = b"<< /Type /Pages /Count %d /Kids [%s] >>" % (
        pages, b" ".join(b"%d 0 R" % k for k in kids))
    info = add(b"<< /Title %s /Producer (pagerift e2e) >>" % _pdf_string(title or Path(path).stem))
    return write_pdf(path, objects, catalog, info)


def write_pdf(path, objects, catalog, info=None, version=b"1.4"):
    """Writes object n as objects[n - 1], with a correct xref table."""
    out = bytearray(b"%PDF-" + version + b"\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for n, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (n, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % off for off in offsets)
    out += b"trailer\n<< /Size %d /Root %d 0 R%s >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, catalog, b" /Info %d 0 R" % info if info else b"", xref)
    Path(path).write_bytes(bytes(out))
    return Path(path)


def stream(data, extra=b""):
    return b"<< /Length %d %s>>\nstream\n%s\nendstream" % (len(data), extra, data)


XMP = (b"<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
       b"<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/></x:xmpmeta><?xpacket end='w'?>")
GREEN_BOX, RED_BOX = (100, 100, 100, 100), (300, 300, 100, 100)  # x y w h in points; red is hidden


def make_whole_pdf(path):
    """Two pages that say what a page file must keep. Page 1 draws a green box in an optional content
    group that is shown and a red one in a group that the document hides; its links lead by name to
    page 2 and explicitly to itself, and page 2's leads back by name. The catalog has a language, XMP,
    an output intent, viewer preferences and the optional content configuration."""
    box = b"%d %d %d %d re f"
    content1 = (b"BT /F1 24 Tf 72 720 Td (Page 1) Tj ET /OC /on BDC 0 1 0 rg " + box % GREEN_BOX +
                b" EMC /OC /off BDC 1 0 0 rg " + box % RED_BOX + b" EMC")
    content2 = b"BT /F1 24 Tf 72 720 Td (Page 2) Tj ET"
    page = b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R /Annots [%s] " \
           b"/Resources << /Font << /F1 7 0 R >> /Properties << /on 5 0 R /off 6 0 R >> >> >>"
    link = b"<< /Type /Annot /Subtype /Link /Rect [%d 600 %d 620] /Border [0 0 0] %s >>"
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R /Lang (en-GB) /Metadata 10 0 R "
        b"/ViewerPreferences << /DisplayDocTitle true >> "
        b"/OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB) "
        b"/DestOutputProfile 11 0 R >>] "
        b"/OCProperties << /OCGs [5 0 R 6 0 R] /D << /Order [5 0 R 6 0 R] /OFF [6 0 R] >> >> "
        b"/Names << /Dests << /Names [(back) [3 0 R /XYZ 0 792 2] (next) [4 0 R /FitH 700]] >> >> >>",
        b"<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>",
        page % (8, b"12 0 R 13 0 R"),
        page % (9, b"14 0 R"),
        b"<< /Type /OCG /Name (Shown) >>",
        b"<< /Type /OCG /Name (Hidden) >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        stream(content1),
        stream(content2),
        stream(XMP, b"/Type /Metadata /Subtype /XML "),
        stream(b"not a real profile", b"/N 3 "),
        link % (72, 172, b"/Dest (next)"),
        link % (200, 300, b"/A << /S /GoTo /D [3 0 R /Fit] >>"),
        link % (72, 172, b"/Dest (back)"),
    ]
    return write_pdf(path, objects, 1, version=b"1.5")


def _pdf_string(text):
    """A PDF string object: ASCII as a literal, anything else as UTF-16BE hex with its byte-order mark."""
    try:
        raw = text.encode("ascii")
    except UnicodeEncodeError:
        return b"<FEFF" + text.encode("utf-16-be").hex().upper().encode() + b">"
    return b"(" + raw.replace(b"\\", b"\\\\").replace(b"(", b"\\(").replace(b")", b"\\)") + b")"


def count_pages(path):
    """Page count as qpdf sees it; raises if qpdf cannot read the file."""
    res = subprocess.run(["qpdf", "--show-npages", str(path)], capture_output=True, text=True, timeout=60)
    if res.returncode not in (0, 3):  # 3: readable with warnings
        raise AssertionError(f"qpdf cannot read {path}: {res.stderr.strip()}")
    return int(res.stdout.split()[0])


def page_files(folder, stem):
    """The page files a burst of `stem`.pdf left in `folder`, in page order."""
    numbered = []
    for p in Path(folder).glob(f"{_glob_escape(stem)}_pg_*.pdf"):
        m = re.fullmatch(r"_pg_(\d+)\.pdf", p.name[len(stem):])
        if m:
            numbered.append((int(m.group(1)), p))
    return [p for _, p in sorted(numbered)]


def _glob_escape(text):
    return "".join(f"[{c}]" if c in "*?[" else c for c in text)
