#!/usr/bin/python3
"""The fonts' real-world pass: every page of the given PDFs burst by the new build (and by an
older one for the bytes), and each page file held against its source page: rendered by poppler
(pdftoppm) and by MuPDF (mutool draw) and compared pixel for pixel, its text (pdftotext)
compared, and `qpdf --check` asked for warnings the older build's page file does not have.

  tools/fidelity-fonts.py OLD-BURST NEW-BURST PDF...   (FONTS_DPI, default 72)

Prints one line per document and the sums by the kind of font the document embeds; exit 1 when
any page differs. The font counts come from PAGERIFT_FONT_COUNTS."""
import collections
import os
import subprocess
import sys
import tempfile
from pathlib import Path

DPI = os.environ.get("FONTS_DPI", "72")


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


def kinds(pdf):
    out = run("pdffonts", pdf).stdout.decode(errors="replace").splitlines()[2:]
    found = set()
    for line in out:
        cols = line.split()
        if "yes" not in cols:
            continue
        text = line
        if "TrueType" in text:
            found.add("TrueType")
        elif "Type 1C" in text or "Type 0C" in text or "Type 1C (OT)" in text:
            found.add("CFF")
        elif "Type 1" in text:
            found.add("Type 1")
        elif "Type 3" in text:
            found.add("Type 3")
        else:
            found.add("other")
    if not found:
        return "none"
    return found.pop() if len(found) == 1 else "mixed"


def render(pdf, page, out, tool):
    if tool == "poppler":
        run("pdftoppm", "-r", DPI, "-f", str(page), "-l", str(page), "-singlefile", pdf, str(out))
        return (out.parent / (out.name + ".ppm")).read_bytes()
    path = out.parent / (out.name + ".pnm")
    run("mutool", "draw", "-q", "-r", DPI, "-o", str(path), pdf, str(page))
    return path.read_bytes() if path.exists() else b""


def text(pdf, page):
    return run("pdftotext", "-f", str(page), "-l", str(page), pdf, "-").stdout


def warnings(pdf):
    r = run("qpdf", "--check", pdf)
    return [l for l in r.stdout.decode(errors="replace").splitlines() + r.stderr.decode(errors="replace").splitlines()
            if "WARNING" in l.upper() or "error" in l.lower()]


def main():
    old, new, sources = sys.argv[1], sys.argv[2], sys.argv[3:]
    sums = collections.defaultdict(lambda: [0, 0, 0])
    bad = 0
    counts = collections.Counter()
    for source in sources:
        source = str(Path(source).resolve())
        with tempfile.TemporaryDirectory() as tmp:
            tmp = Path(tmp)
            sizes = {}
            for name, exe in (("old", old), ("new", new)):
                (tmp / name).mkdir()
                env = dict(os.environ)
                if name == "new":
                    env["PAGERIFT_FONT_COUNTS"] = str(tmp / "counts")
                r = run(exe, source, "burst", cwd=tmp / name, env=env)
                if r.returncode:
                    print(f"{source}: {name} build exit {r.returncode}")
                sizes[name] = sum(p.stat().st_size for p in (tmp / name).glob("*.pdf"))
            if (tmp / "counts").exists():
                for line in (tmp / "counts").read_text().splitlines():
                    what, n = line.split("\t")
                    counts[what] += int(n)
            pages = sorted((tmp / "new").glob("*.pdf"))
            differ = []
            for n, page_file in enumerate(pages, 1):
                for tool in ("poppler", "mupdf"):
                    if render(source, n, tmp / "a", tool) != render(str(page_file), 1, tmp / "b", tool):
                        differ.append(f"page {n} {tool}")
                if text(source, n) != text(str(page_file), 1):
                    differ.append(f"page {n} text")
                old_file = tmp / "old" / page_file.name
                if len(warnings(str(page_file))) > len(warnings(str(old_file))):
                    differ.append(f"page {n} qpdf --check")
            kind = kinds(source)
            s = sums[kind]
            s[0] += sizes["old"]
            s[1] += sizes["new"]
            s[2] += len(pages)
            ratio = sizes["new"] / sizes["old"] if sizes["old"] else 1
            print(f"{Path(source).name}: {kind}, {len(pages)} pages, {sizes['old']} -> {sizes['new']} bytes"
                  f" ({ratio:.3f}){'; DIFFER: ' + ', '.join(differ) if differ else ''}", flush=True)
            bad += bool(differ)
    total = [0, 0, 0]
    print("\nkind        pages   old bytes   new bytes  ratio")
    for kind, (o, nw, p) in sorted(sums.items()):
        print(f"{kind:10s} {p:6d} {o:11d} {nw:11d}  {nw / o if o else 1:.3f}")
        total = [total[0] + o, total[1] + nw, total[2] + p]
    print(f"{'all':10s} {total[2]:6d} {total[0]:11d} {total[1]:11d}  {total[1] / total[0] if total[0] else 1:.3f}")
    print("\nfont programs written, by page file:")
    for what, n in sorted(counts.items()):
        print(f"  {what}: {n}")
    print(f"\ndocuments with a differing page: {bad}")
    return 1 if bad else 0


sys.exit(main())
