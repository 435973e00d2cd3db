#!/usr/bin/env python3
"""The real-world pass: real PDFs from Debian's documentation packages, burst, and every page file
held against its source. Not a test (it takes minutes); it prints figures for docs/BENCHMARKS.md.

  tools/fidelity.py [build-dir]        (default build/host; needs pagerift-burst and page-census)
  FIDELITY_OLD=/path/to/pagerift-burst  the same figures for an older build, side by side
  FIDELITY_CACHE                        where the packages go (default ~/.cache/pagerift-fidelity)
  FIDELITY_SAMPLE=folder                only lays out the speed sample there, as links, for
                                        tools/bench-splitter.sh's BENCH_SAMPLE, and stops
  FIDELITY_CLAIMS=only                  only the sources that claim something of themselves (below)

The corpus: every PDF of two whole packages, and from two more the documents that use optional
content or carry output intents. For every source and build, page-census counts its links to its
own pages and where they lead from the page files, checks the catalog entries every page file must
keep (XMP byte for byte) and that each holds one page object and reads without a new warning. Every
page of the sources that use optional content is rendered (pdftoppm) and compared, pixel for pixel,
with its page file.

Sources that claim something of themselves are made from the corpus and added to it (signed,
PDF/A-1 and PDF/A-2 exports, owner-password encryption with each method; tools/fidelity_claims.py).
For them, and for corpus documents whose XMP claims PDF/A, it counts the page files that carry a
signature value, the page files of PDF/A-1 sources not in PDF/A-1's form (an object stream, a
cross-reference stream, a header above 1.4) and the page files that keep their source's encryption
(method, permissions, owner password)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import fidelity_claims

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build" / "host").resolve()
BURST = BUILD / "splitter" / "pagerift-burst"
CENSUS = BUILD / "tests" / "fidelity" / "page-census"
OLD = os.environ.get("FIDELITY_OLD")
CLAIMS_ONLY = os.environ.get("FIDELITY_CLAIMS") == "only"
SAMPLE = os.environ.get("FIDELITY_SAMPLE")
CACHE = Path(os.environ.get("FIDELITY_CACHE") or
             Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "pagerift-fidelity")
WHOLE = ["texlive-latex-recommended-doc", "texlive-humanities-doc"]
PICKED = {  # package: documents under usr/share/doc/texlive-doc/latex/
    "texlive-latex-extra-doc": [
        "animate/animate.pdf", "eq-pin2corr/doc/eqpin2corrman.pdf", "eq-pin2corr/doc/install_jsfiles.pdf",
        "forms16be/doc/forms16be-man.pdf", "grayhints/doc/grayhints_man.pdf", "hrefhide/hrefhide-example.pdf",
        "media9/media9.pdf", "mi-solns/docs/mi-solnsman.pdf", "movie15/movie15.pdf",
        "ocg-p/examples/ocg-p_example_1.pdf", "ocg-p/examples/ocg-p_example_2.pdf",
        "ocg-p/examples/ocg-p_example_3.pdf", "ocg-p/examples/ocg-p_example_4.pdf", "ocgx/demo-ocgx.pdf",
        "ocgx/ocgx-manual-en.pdf", "pdfpagediff/example/ltest.pdf", "ran_toks/docs/rantoks_man.pdf",
        "todonotes/examples/saveColorByUsingLayers.pdf", "xbmks/docs/xbmksman.pdf", "xsavebox/xsavebox.pdf",
        "hyperxmp/hyperxmp.pdf", "pdfx/pdfx.pdf", "tagpdf/tagpdf.pdf", "lettrine/lettrine.pdf"],
    "texlive-pictures-doc": [
        "pgfplots/pgfplots.pdf", "pgfplots/pgfplotstable.pdf", "pgfplots/TeX-programming-notes.pdf",
        "tikz-optics/tikz-optics.pdf", "visualpstricks/VisualPSTricks.pdf", "visualpstricks/VisuelPSTricks.pdf"],
}
LATEX = "usr/share/doc/texlive-doc/latex"
DPI = "40"


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, errors="replace", **kw)


def unpacked(package):
    """The package's files, fetched with apt-get download and unpacked once into the cache."""
    tree = CACHE / "tree" / package
    if not (tree / ".done").exists():
        debs = CACHE / "debs"
        debs.mkdir(parents=True, exist_ok=True)
        if not list(debs.glob(f"{package}_*.deb")):
            res = run("apt-get", "download", package, cwd=debs)
            if res.returncode:
                sys.exit(f"cannot fetch {package}: {res.stderr.strip()}")
        shutil.rmtree(tree, ignore_errors=True)
        tree.mkdir(parents=True)
        deb = sorted(debs.glob(f"{package}_*.deb"))[-1]
        subprocess.run(["dpkg-deb", "-x", str(deb), str(tree)], check=True)
        (tree / ".done").touch()
    return tree


def corpus():
    sources = []
    for package in WHOLE:
        sources += sorted(p for p in unpacked(package).rglob("*.pdf") if p.is_file())
    for package, docs in PICKED.items():
        tree = unpacked(package)
        sources += [tree / LATEX / doc for doc in docs if (tree / LATEX / doc).is_file()]
    return sources


def claiming_sources(sources):
    """(path, kind) of the made sources and of the corpus documents that claim PDF/A."""
    small = [p for p in sources[:60] if 2 <= page_count(p) <= 30][:5]
    claiming = fidelity_claims.make(CACHE, small)
    claiming += [(p, "pdfa") for p in sources if fidelity_claims.pdfa_part(p)]
    return claiming


def lay_out_sample(folder):
    """The speed sample: the first whole package and the picked documents, as links named after where
    they come from (rec-..., pick-...)."""
    folder.mkdir(parents=True, exist_ok=True)
    tree = unpacked(WHOLE[0])
    links = {f"rec-{p.relative_to(tree / 'usr/share/doc/texlive-doc')}": p
             for p in sorted(tree.rglob("*.pdf")) if p.is_file()}
    for package, docs in PICKED.items():
        picked = unpacked(package) / LATEX
        links.update({f"pick-{doc}": picked / doc for doc in docs if (picked / doc).is_file()})
    for name, target in links.items():
        link = folder / name.replace("/", "_")
        link.unlink(missing_ok=True)
        link.symlink_to(target)
    print(f"{len(links)} PDFs linked in {folder}")


def page_count(pdf):
    res = run("qpdf", "--show-npages", pdf)
    return int(res.stdout.split()[0]) if res.returncode in (0, 3) and res.stdout.strip() else 0


def has_optional_content(pdf):
    root = re.search(r"/Root (\d+) (\d+) R", run("qpdf", "--show-object=trailer", pdf).stdout)
    return bool(root) and "/OCProperties" in run("qpdf", f"--show-object={root[1]},{root[2]}", pdf).stdout


def burst(tool, src, out):
    out.mkdir()
    res = run(tool, src, "burst", cwd=out)
    files = sorted(out.glob("*_pg_*.pdf"), key=lambda p: int(re.search(r"_pg_(\d+)\.pdf$", p.name)[1]))
    return res.returncode, files


def census(src, files):
    res = run(CENSUS, src, *files)
    if res.returncode:
        return None, [f"census failed: {res.stderr.strip()}"]
    first, *rest = res.stdout.splitlines()
    words = first.split()
    return {words[i]: int(words[i + 1]) for i in range(0, len(words), 2)}, rest


def renders(pdf, folder, stem):
    """The pages of `pdf` rendered, in page order."""
    folder.mkdir(exist_ok=True)
    run("pdftoppm", "-r", DPI, pdf, folder / stem)
    return sorted(folder.glob(f"{stem}-*.ppm"), key=lambda p: int(p.stem.rsplit("-", 1)[1]))


def render_differences(src, files, work):
    """The page numbers whose page file renders otherwise than the page in the source."""
    want = renders(src, work / "src", "s")
    differ = []
    for n, page_file in enumerate(files, 1):
        got = renders(page_file, work / "pages", f"p{n}")
        if len(want) < n or len(got) != 1 or want[n - 1].read_bytes() != got[0].read_bytes():
            differ.append(n)
    shutil.rmtree(work / "src", ignore_errors=True)
    shutil.rmtree(work / "pages", ignore_errors=True)
    return differ


def main():
    if SAMPLE:
        return lay_out_sample(Path(SAMPLE))
    for tool in (BURST, CENSUS):
        if not tool.is_file():
            sys.exit(f"no {tool}: build the host configuration first")
    builds = {"new": BURST}
    if OLD:
        builds = {"old": Path(OLD), "new": BURST}
    plain = corpus()
    claiming = claiming_sources(plain)
    kinds = {p: kind for p, kind in claiming}
    sources = list(kinds) if CLAIMS_ONLY else plain + [p for p, kind in claiming if kind != "pdfa" or p not in plain]
    claims = {b: {} for b in builds}
    totals = {b: {} for b in builds}
    rendered = {b: [0, 0] for b in builds}  # pages compared, pages that differ
    notes = {b: [] for b in builds}
    pages = oc_sources = failed = 0
    for src in sources:
        n = page_count(src)
        if not n:
            failed += 1
            continue
        pages += n
        oc = has_optional_content(src)
        oc_sources += oc
        for build, tool in builds.items():
            with tempfile.TemporaryDirectory(prefix="fidelity-") as tmp:
                code, files = burst(tool, src, Path(tmp) / "out")
                name = src.relative_to(CACHE / "tree") if src.is_relative_to(CACHE / "tree") else src.name
                if code or len(files) != n:
                    notes[build].append(f"{name}: exit {code}, {len(files)} files for {n} pages")
                    continue
                counts, lines = census(src, files)
                for key, value in (counts or {}).items():
                    totals[build][key] = totals[build].get(key, 0) + value
                notes[build] += [f"{name}: {line}" for line in lines]
                for key, value in fidelity_claims.census(kinds.get(src), src, files).items():
                    claims[build][key] = claims[build].get(key, 0) + value
                if oc:
                    differ = render_differences(src, files, Path(tmp))
                    rendered[build][0] += n
                    rendered[build][1] += len(differ)
                    notes[build] += [f"{name}: page {d} renders otherwise than in the source" for d in differ]
    print(f"claiming sources: {sum(k == 'signed' for k in kinds.values())} signed, "
          f"{sum(k == 'pdfa' for k in kinds.values())} claiming PDF/A, "
          f"{sum(k == 'encrypted' for k in kinds.values())} with an owner password"
          + (" (only these)" if CLAIMS_ONLY else ""))
    what = "the claiming sources only" if CLAIMS_ONLY else (
        f"{', '.join(WHOLE)} whole; {sum(map(len, PICKED.values()))} picked from {', '.join(PICKED)}; "
        f"the claiming sources")
    print(f"corpus: {len(sources)} PDFs ({what}), {pages} pages, {failed} unreadable; "
          f"{oc_sources} use optional content")
    print()
    keys = ["links", "internal", "live-in-source", "live-in-pages", "stray-pages", "lacking-entries", "warnings"]
    print(f"{'':24}" + "".join(f"{b:>12}" for b in builds))
    for key in keys:
        print(f"{key:24}" + "".join(f"{totals[b].get(key, 0):>12}" for b in builds))
    print(f"{'OC pages rendered':24}" + "".join(f"{rendered[b][0]:>12}" for b in builds))
    print(f"{'OC pages that differ':24}" + "".join(f"{rendered[b][1]:>12}" for b in builds))
    print()
    for key in fidelity_claims.KEYS:
        print(f"{key:28}" + "".join(f"{claims[b].get(key, 0):>12}" for b in builds))
    new = totals["new"]
    if new.get("live-in-source"):
        print(f"\ninternal links that lead to their page (new): "
              f"{100.0 * new.get('live-in-pages', 0) / new['live-in-source']:.2f}%")
    for build in builds:
        shown = notes[build] if build == "new" else [n for n in notes[build] if "exit" in n]
        if shown:
            print(f"\n{build}: {len(notes[build])} notes" + ("" if build == "new" else " (failures only shown)"))
            for line in shown:
                print("  " + line)


if __name__ == "__main__":
    main()
