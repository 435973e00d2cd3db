"""A page file is its page, whole, through the real program: it renders like the page in its source (a
group of optional content that the document hides stays hidden), its links lead to their pages in the
set's own files, and it keeps the catalog entries that speak for every page. Page files of signed,
PDF/A-1 and encrypted sources are the same bytes from data\\pdftk.exe as from the native build. A
page file's embedded font holds the glyphs its page draws, and the page still looks as it did."""
import json
import os
import shutil
import subprocess
import zlib
from pathlib import Path

import pytest
from PIL import Image

from pdfs import GREEN_BOX, RED_BOX, XMP, make_pdf, make_whole_pdf, page_files, stream, write_pdf
from userflow import DROP_AT, SUCCESS, dismiss_done, done_text, start_ready

REPO = Path(__file__).resolve().parents[2]
NATIVE = Path(os.environ.get("PAGERIFT_BURST") or REPO / "build" / "host" / "splitter" / "pagerift-burst")
DPI = 36
FIXTURES = REPO / "tests" / "unit" / "splitter" / "fixtures"
ENCRYPTIONS = {"rc4-40": ["40", "--print=n"], "rc4-128": ["128", "--use-aes=n", "--print=none"],
               "aes-128": ["128", "--use-aes=y", "--print=none"], "aes-256": ["256", "--print=none"]}


def render(pdf, page, out):
    """Page `page` of `pdf` as an image, drawn by poppler."""
    subprocess.run(["pdftoppm", "-r", str(DPI), "-f", str(page), "-l", str(page), "-singlefile", str(pdf),
                    str(out)], check=True, timeout=60)
    return Image.open(f"{out}.ppm").convert("RGB")


def centre(box, height=792):
    """Where the middle of a box given in points is in a render, from the top left."""
    x, y, w, h = box
    return round((x + w / 2) * DPI / 72), round((height - y - h / 2) * DPI / 72)


def objects(pdf):
    res = subprocess.run(["qpdf", "--json=1", "--json-key=objects", str(pdf)], capture_output=True, timeout=60)
    assert res.returncode == 0, res.stderr.decode(errors="replace")
    found = json.loads(res.stdout)["objects"]
    return lambda ref: found[ref]["dict"] if "dict" in found[ref] else found[ref]


def raw_stream(pdf, ref):
    number = ref.split()[0]
    return subprocess.run(["qpdf", f"--show-object={number}", "--raw-stream-data", str(pdf)],
                          capture_output=True, check=True, timeout=60).stdout


@pytest.mark.cost(12)
def test_page_files_render_like_their_pages_link_to_each_other_and_keep_the_catalog(app, workdir, tmp_path):
    src = make_whole_pdf(tmp_path / "whole.pdf")
    # A name of the first set is taken, so the set is "whole (2)", and its links must say so.
    (workdir / "whole_pg_0002.pdf").write_bytes(b"someone else's page")
    start_ready(app)

    app.drop_files([src], at=DROP_AT)

    assert done_text(app) == SUCCESS
    dismiss_done(app)
    one, two = page_files(workdir, "whole (2)")
    for n, page_file in ((1, one), (2, two)):
        assert list(render(src, n, tmp_path / f"src{n}").getdata()) == \
            list(render(page_file, 1, tmp_path / f"page{n}").getdata()), f"{page_file.name} looks different"
    shown = render(one, 1, tmp_path / "check")
    assert shown.getpixel(centre(GREEN_BOX)) == (0, 255, 0)
    assert shown.getpixel(centre(RED_BOX)) == (255, 255, 255), "the hidden group shows"

    obj = objects(one)
    catalog = obj("1 0 R")
    assert catalog["/Lang"] == "en-GB"
    assert catalog["/ViewerPreferences"] == {"/DisplayDocTitle": True}
    assert obj(catalog["/OutputIntents"][0]["/DestOutputProfile"])["/N"] == 3
    assert raw_stream(one, catalog["/Metadata"]) == XMP
    groups = obj(catalog["/OCProperties"])["/OCGs"] if isinstance(catalog["/OCProperties"], str) \
        else catalog["/OCProperties"]["/OCGs"]
    assert [obj(g)["/Name"] for g in groups] == ["Shown", "Hidden"]

    page = obj("3 0 R")
    to_two, to_self = (obj(ref) for ref in page["/Annots"])
    assert to_two["/A"] == {"/S": "/GoToR", "/F": "whole (2)_pg_0002.pdf", "/D": [0, "/FitH", 700]}
    assert to_self["/A"] == {"/S": "/GoTo", "/D": ["3 0 R", "/Fit"]}
    back = objects(two)
    assert back(back("3 0 R")["/Annots"][0])["/A"] == {
        "/S": "/GoToR", "/F": "whole (2)_pg_0001.pdf", "/D": [0, "/XYZ", 0, 792, 2]}

    # The Windows build writes what the native one does for the same set.
    alone = tmp_path / "alone"
    alone.mkdir()
    (alone / "whole_pg_0002.pdf").write_bytes(b"someone else's page")
    subprocess.run([str(NATIVE), str(src), "burst"], cwd=alone, check=True, capture_output=True, timeout=60)
    assert [p.read_bytes() for p in page_files(alone, "whole (2)")] == [one.read_bytes(), two.read_bytes()]


@pytest.mark.cost(4)
def test_signed_pdfa_and_encrypted_sources_give_the_same_bytes_from_both_builds(stage_source, wineprefix, tmp_path):
    plain = make_pdf(tmp_path / "plain.pdf", 3)
    sources = [FIXTURES / "signed.pdf", FIXTURES / "pdfa1b.pdf"]
    for name, options in ENCRYPTIONS.items():
        sources.append(tmp_path / f"{name}.pdf")
        subprocess.run(["qpdf", "--allow-weak-crypto", "--encrypt", "", "owner", *options, "--",
                        str(plain), str(sources[-1])], check=True, capture_output=True, timeout=60)
    for src in sources:
        win, native = tmp_path / f"win-{src.stem}", tmp_path / f"native-{src.stem}"
        win.mkdir()
        native.mkdir()
        shutil.copy(src, win / src.name)
        subprocess.run(["wine", str(stage_source / "data" / "pdftk.exe"), src.name, "burst"], cwd=win,
                       env=wineprefix.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=120)
        (win / src.name).unlink()
        subprocess.run([str(NATIVE), str(src), "burst"], cwd=native, check=True, capture_output=True, timeout=60)
        names = sorted(p.name for p in native.iterdir())
        assert names and names == sorted(p.name for p in win.iterdir()), src.name
        assert [(win / n).read_bytes() for n in names] == [(native / n).read_bytes() for n in names], src.name


SERIF = Path("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf")


def make_serif_pdf(path, lines):
    """A page for each line of text, in DejaVu Serif embedded whole."""
    font = SERIF.read_bytes()
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Count %d /Kids [%s] >>" % (
                   len(lines), b" ".join(b"%d 0 R" % (6 + 2 * k) for k in range(len(lines)))),
               b"<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSerif /FirstChar 32 /LastChar 126 "
               b"/Widths [%s] /Encoding /WinAnsiEncoding /FontDescriptor 4 0 R >>" % b" ".join([b"600"] * 95),
               b"<< /Type /FontDescriptor /FontName /DejaVuSerif /Flags 32 /FontBBox [-770 -347 2105 1109] "
               b"/ItalicAngle 0 /Ascent 928 /Descent -236 /CapHeight 729 /StemV 80 /FontFile2 5 0 R >>",
               stream(zlib.compress(font), b"/Filter /FlateDecode /Length1 %d " % len(font))]
    for k, line in enumerate(lines):
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                       b"/Resources << /Font << /F1 3 0 R >> >> >>" % (7 + 2 * k))
        objects.append(stream(b"BT /F1 36 Tf 72 700 Td (%s) Tj ET" % line))
    return write_pdf(path, objects, 1)


def font_program(pdf):
    """The decoded TrueType program that the page file's font embeds."""
    obj = objects(pdf)
    resolved = lambda value: obj(value) if isinstance(value, str) and value.endswith(" R") else value
    font = resolved(resolved(resolved(obj("3 0 R")["/Resources"])["/Font"])["/F1"])
    number = resolved(font["/FontDescriptor"])["/FontFile2"].split()[0]
    return subprocess.run(["qpdf", f"--show-object={number}", "--filtered-stream-data", str(pdf)],
                          capture_output=True, check=True, timeout=60).stdout


@pytest.mark.cost(8)
def test_page_files_carry_only_the_glyphs_their_pages_draw(app, workdir, tmp_path):
    lines = [b"Hamburgefonstiv", b"Quick zephyrs"]
    src = make_serif_pdf(tmp_path / "serif.pdf", lines)
    start_ready(app)

    app.drop_files([src], at=DROP_AT)

    assert done_text(app) == SUCCESS
    dismiss_done(app)
    files = page_files(workdir, "serif")
    assert len(files) == 2
    whole = SERIF.read_bytes()
    for n, page_file in enumerate(files, 1):
        assert list(render(src, n, tmp_path / f"src{n}").getdata()) == \
            list(render(page_file, 1, tmp_path / f"page{n}").getdata()), f"{page_file.name} looks different"
        program = font_program(page_file)
        assert program[:4] == whole[:4] and len(program) < len(whole) // 3, page_file.name
    assert font_program(files[0]) != font_program(files[1])

    # The Windows build writes what the native one does.
    alone = tmp_path / "alone"
    alone.mkdir()
    subprocess.run([str(NATIVE), str(src), "burst"], cwd=alone, check=True, capture_output=True, timeout=60)
    assert [p.read_bytes() for p in page_files(alone, "serif")] == [p.read_bytes() for p in files]
