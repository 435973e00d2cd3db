"""The split job through the real program and its real splitter: pages land in the current folder, the
completion says what happened, and the folder that holds the pages is opened."""
import subprocess
from pdfs import make_pdf, page_files
from userflow import DROP_AT, SUCCESS, assert_split, dismiss_done, done_text, failure_text, start_ready


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
