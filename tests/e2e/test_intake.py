"""Both ways in, black box: the open-file dialog behind a click on the drop zone, and a real X drag and
drop of many files, Unicode names included, each of them split by the real splitter."""
from pdfs import make_pdf
from userflow import (DROP_AT, PROBE, SUCCESS, assert_split, choose_in_dialog, dismiss_done, done_text, failure_text,
                      shows_drop_zone, start_ready, windows_path)


def _sources(tmp_path, *names_and_pages):
    folder = tmp_path / "to split"
    folder.mkdir()
    return [make_pdf(folder / name, pages) for name, pages in names_and_pages]


def test_file_chosen_in_the_dialog_is_split(app, workdir, tmp_path):
    [src] = _sources(tmp_path, ("chosen file.pdf", 3))
    start_ready(app)

    choose_in_dialog(app, src)

    assert done_text(app) == SUCCESS
    assert_split(workdir, src, 3)


def test_a_path_too_long_for_the_old_255_character_buffer_is_split(app, workdir, tmp_path):
    # 259 characters: the longest that Wine's own dialog can hand back (it keeps paths in MAX_PATH buffers).
    folder = tmp_path
    while len(windows_path(folder)) < 200:
        folder /= "a folder deep down"
    folder.mkdir(parents=True)
    name = "far down " + "x" * (259 - len(windows_path(folder)) - len("\\far down .pdf")) + ".pdf"
    src = make_pdf(folder / name, 2)
    assert len(windows_path(src)) == 259
    start_ready(app)

    choose_in_dialog(app, src)

    assert done_text(app) == SUCCESS
    assert_split(workdir, src, 2)


def test_cancelled_dialog_leaves_everything_as_it_was(app, workdir):
    start_ready(app)

    for _ in range(2):  # the zone must still take a click after a cancel
        app.click(*DROP_AT)
        app.wait_dialog("Open Files")
        app.dismiss_dialog("Open Files", key="Escape")
        # A queued file would have hidden the zone at once, showing the busy background.
        app.wait_pixel(*PROBE, shows_drop_zone, what="the drop zone to be back")

    assert not app.display.search("^Done$")
    assert not app.splitter_pids()
    assert list(workdir.iterdir()) == []
    assert app.alive()


def test_every_dropped_file_is_split_in_order_with_one_completion(app, workdir, tmp_path):
    srcs = _sources(tmp_path, ("Отчёт 2026 — 季度 😀.pdf", 2), ("first quarter notes.pdf", 3), ("plain.pdf", 4))
    start_ready(app)

    app.drop_files(srcs, at=DROP_AT)

    assert done_text(app) == SUCCESS
    # The completion comes once, after the last file: every page is there by the time it shows.
    split = [assert_split(workdir, src, pages) for src, pages in zip(srcs, (2, 3, 4))]
    assert len(app.display.search("^Done$")) == 1
    # One splitter run after the other, in drop order.
    for earlier, later in zip(split, split[1:]):
        assert max(p.stat().st_mtime_ns for p in earlier) <= min(p.stat().st_mtime_ns for p in later)
    dismiss_done(app)
    assert not app.display.search("^Done$")


def test_dropped_folder_is_named_as_not_split_and_the_pdf_beside_it_is(app, workdir, tmp_path):
    [src] = _sources(tmp_path, ("beside a folder.pdf", 2))
    folder = tmp_path / "a folder"
    folder.mkdir()
    start_ready(app)

    app.drop_files([src, folder], at=DROP_AT)

    assert done_text(app) == failure_text(1, 2, [(folder, 2)])
    assert_split(workdir, src, 2)
