"""Two PDFs of the same name from two folders, dropped together: each gets a whole set of pages of its own,
and nothing that was in the current folder before changes. Every page is byte for byte what the native
build of the splitter writes for its source alone, so the Windows build is also shown to write the same
bytes as the native one."""
import os
import subprocess
from pathlib import Path

import pytest

from pdfs import make_pdf
from userflow import DROP_AT, SUCCESS, dismiss_done, done_text, start_ready

REPO = Path(__file__).resolve().parents[2]
NATIVE = Path(os.environ.get("PAGERIFT_BURST") or REPO / "build" / "host" / "splitter" / "pagerift-burst")


def files(folder):
    return {p.name: p.read_bytes() for p in Path(folder).iterdir() if p.is_file()}


def burst_alone(src, folder, set_stem):
    """The native splitter's pages of `src` in an empty folder, named as the pages of set `set_stem`."""
    folder.mkdir()
    res = subprocess.run([str(NATIVE), str(src), "burst"], cwd=folder, capture_output=True, timeout=120)
    assert res.returncode == 0, res.stderr.decode(errors="replace")
    return {set_stem + name[len(src.stem):]: data for name, data in files(folder).items()}


@pytest.mark.cost(15)
def test_same_named_pdfs_from_two_folders_get_whole_sets_of_their_own(app, workdir, tmp_path):
    if not NATIVE.is_file():
        pytest.fail(f"{NATIVE} is missing: build the host configuration, or point PAGERIFT_BURST at it",
                    pytrace=False)
    sources = []
    for folder, pages, title in (("d1", 36, "first report"), ("d2", 5, "second report")):
        (tmp_path / folder).mkdir()
        sources.append(make_pdf(tmp_path / folder / "report.pdf", pages, title=title))
    first, second = sources
    # An older file holds a name of the second set's first choice, "report (2)": it moves on to "(3)".
    (workdir / "report (2)_pg_0004.pdf").write_bytes(b"someone else's page")
    (workdir / "notes.txt").write_text("there before\n")
    before = files(workdir)
    start_ready(app)

    app.drop_files([first, second], at=DROP_AT)

    assert done_text(app) == SUCCESS
    dismiss_done(app)
    expected = dict(before)
    expected.update(burst_alone(first, tmp_path / "alone 1", "report"))
    expected.update(burst_alone(second, tmp_path / "alone 2", "report (3)"))
    assert len(expected) == len(before) + 36 + 5
    after = files(workdir)
    assert sorted(after) == sorted(expected)
    assert [name for name in expected if after[name] != expected[name]] == []
