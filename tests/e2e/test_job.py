"""The split job through the real program and its real splitter: pages land in the current folder, the
completion says what happened, and the folder that holds the pages is opened."""
import shutil
import subprocess

import wininfo
from harness import end_process, wait_for_file, wait_until
from pdfs import make_pdf, page_files
from userflow import DROP_AT, SUCCESS, assert_split, dismiss_done, done_text, failure_text, start_ready

STATUS_RIGHT, STATUS_ROWS = 508, range(6, 21)  # lblPb: right-aligned at x 508, one line of 9 pt text


def test_dropped_pdf_is_split_into_the_current_folder_which_is_then_opened(app, workdir, tmp_path):
    src_dir = tmp_path / "source files"
    src_dir.mkdir()
    src = make_pdf(src_dir / "annual report.pdf", 5)
    start_ready(app)

    app.drop_files([src], at=DROP_AT)

    assert done_text(app) == SUCCESS
    assert app.dialog_buttons("Done") == ["OK"]
    assert_split(workdir, src, 5)
    assert sorted(p.name for p in workdir.iterdir()) == [p.name for p in page_files(workdir, src.stem)]
    # Wine's explorer names its window after the folder it shows: the current one, not the program's.
    app.display.wait_window("^work dir$", timeout=30)
    dismiss_done(app)
    assert app.alive()


def test_missing_splitter_is_reported_as_a_failure_naming_the_file(app, stage, workdir, tmp_path):
    (stage / "data" / "pdftk.exe").unlink()
    src_dir = tmp_path / "source files"
    src_dir.mkdir()
    src = make_pdf(src_dir / "annual report.pdf", 2)
    start_ready(app)

    app.drop_files([src], at=DROP_AT)

    assert done_text(app) == failure_text(0, 1, [(src, None)])
    assert list(workdir.iterdir()) == []
    dismiss_done(app)
    assert app.alive()


def test_a_locked_pdf_is_named_with_why_and_the_good_one_beside_it_is_split(app, workdir, tmp_path):
    src_dir = tmp_path / "source files"
    src_dir.mkdir()
    locked = src_dir / "locked.pdf"
    subprocess.run(["qpdf", "--encrypt", "user", "owner", "256", "--", str(make_pdf(tmp_path / "plain.pdf", 2)),
                    str(locked)], check=True)
    good = make_pdf(src_dir / "good.pdf", 3)
    start_ready(app)

    app.drop_files([locked, good], at=DROP_AT)

    assert done_text(app) == failure_text(1, 2, [(locked, 4)])
    assert_split(workdir, good, 3)
    dismiss_done(app)


def status_ink(app):
    """The leftmost and rightmost window columns of dark text in the status strip, or None when blank."""
    left, top = app.to_root(STATUS_RIGHT - 200, STATUS_ROWS[0])
    strip = app.display.grab(left, top, 201, len(STATUS_ROWS))
    cols = [x for x in range(strip.width) if any(sum(strip.getpixel((x, y))) < 250 for y in range(strip.height))]
    return (STATUS_RIGHT - 200 + cols[0], STATUS_RIGHT - 200 + cols[-1]) if cols else None


def test_the_status_shows_during_every_files_wait_with_no_input_at_all(app, stage, wineprefix, workdir, tmp_path):
    # A splitter that only waits, and marks in the current folder when each run starts.
    shutil.copy(wineprefix.build_helper("slow_splitter"), stage / "data" / "pdftk.exe")
    sources = [make_pdf(tmp_path / f"{n}.pdf", 1) for n in (1, 2)]
    start_ready(app)
    assert status_ink(app) is None, "the status strip is not blank before the job"
    # The files come from another program, which stays active: no caret blinks in Pagerift's folder box,
    # and its timer would otherwise wake the window twice a second.
    other = subprocess.Popen(["wine", wineprefix.build_helper("other_app")], env=wineprefix.env(),
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        app.display.wait_window("^pagerift-e2e-other-app$", timeout=30)
        wininfo.wait_controls(wineprefix, lambda c: not c["txtPath"]["focused"], what="Pagerift to lose the focus")

        app.drop_files(sources, at=DROP_AT)  # the pointer stays where the drop left it

        def shows_please_wait():
            ink = status_ink(app)
            # Right-aligned: "Bursting...Please Wait..." reaches about 130 px left of its end, "Bursting..." 50.
            return ink and ink[1] >= STATUS_RIGHT - 20 and ink[0] <= STATUS_RIGHT - 100 and ink

        for n in (1, 2):
            wait_for_file(workdir / f"{n}.started", timeout=60)
            wait_until(shows_please_wait, 1, f"the status text within 1 s of file {n}'s splitter start")
        assert done_text(app) == SUCCESS
        dismiss_done(app)
    finally:
        end_process(other)
