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

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for n, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (n, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % off for off in offsets)
    out += b"trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, catalog, info, xref)
    Path(path).write_bytes(bytes(out))
    return Path(path)


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
