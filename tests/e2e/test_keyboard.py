"""Pagerift with the keyboard alone, black box: Tab to the drop zone and Return or Space for the dialog,
the focus cue, F1 for the help page, the system menu, closing by Alt+F4, WM_CLOSE and WM_ENDSESSION (idle
and in the middle of a job), and the window's answer to a screen reader's first question."""
import shutil

import pytest

import wininfo
from harness import wait_for_file, wait_until
from pdfs import make_pdf
from userflow import DROP_AT, SUCCESS, assert_split, done_text, start_ready, type_into_dialog

CAPTION = (300, 15)  # bare background, no tooltip
CUE_ROW, CUE_COLUMNS = 30, range(10, 110)  # window pixels on the top line of the drop zone's focus cue
HELP_URL = "http://www.pagerift.example/pagerift.html"
WM_CLOSE, WM_ENDSESSION = 0x0010, 0x0016
ATOMS = range(0xC000, 0x10000)  # where Wine's answers to WM_GETOBJECT come from


def keyboard_to(app):
    """Hands Pagerift the keyboard: without a window manager keys follow the pointer and the X focus."""
    app.move_to(*CAPTION)
    app.display.focus(app.wid)


def cue_dots(app):
    """Dark pixels on the cue's top line: none on the bare drop zone, every other one with the cue."""
    x, y = app.to_root(CUE_COLUMNS[0], CUE_ROW)
    strip = app.display.grab(x, y, len(CUE_COLUMNS), 1)
    return sum(1 for i in range(strip.width) if sum(strip.getpixel((i, 0))) < 300)


@pytest.mark.parametrize("key", ["Return", "space"])
def test_tab_then_return_or_space_opens_the_dialog_and_the_chosen_file_is_split(app, workdir, tmp_path, key):
    src = make_pdf(tmp_path / "chosen by keys.pdf", 2)
    start_ready(app)
    keyboard_to(app)
    assert cue_dots(app) == 0, "a focus cue while the folder box has the focus"

    app.display.key("Tab")
    wait_until(lambda: cue_dots(app) >= len(CUE_COLUMNS) // 3, 15, "the focus cue on the drop zone")
    app.display.key(key)
    type_into_dialog(app, src)

    assert done_text(app) == SUCCESS
    assert_split(workdir, src, 2)


def test_f1_opens_the_help_page_wherever_the_focus_is(app, wineprefix):
    start_ready(app)
    keyboard_to(app)
    app.display.key("F1")  # the folder box has the focus
    wait_until(wineprefix.browser_calls, 20, "the stub browser to be started")
    app.display.key("Tab", "F1")  # the drop zone has it
    wait_until(lambda: len(wineprefix.browser_calls()) == 2, 20, "the stub browser to be started again")
    assert wineprefix.browser_calls() == [HELP_URL, HELP_URL]


def test_the_system_menu_minimises_the_window(app, wineprefix):
    start_ready(app)
    keyboard_to(app)

    def visible():
        return set(app.display.xdo("search", "--onlyvisible", "--class", ".", check=False).split())
    before = visible()
    app.display.key("alt+space")
    wait_until(lambda: visible() - before, 15, "the system menu to open")
    app.display.key("n")  # Mi_nimize
    wait_until(lambda: wininfo.window_state(wineprefix)["iconic"], 15, "the window to be minimised")
    app.assert_alive()


def test_the_window_and_its_drop_zone_answer_a_screen_reader(app, wineprefix):
    start_ready(app)
    answers = wininfo.object_answers(wineprefix)
    zone = wininfo.controls(wineprefix)["picDrag"]["id"]
    folder = wininfo.controls(wineprefix)["txtPath"]["id"]
    assert answers[0] in ATOMS, f"the frame answered {answers[0]}"
    assert answers[zone] in ATOMS, f"the drop zone answered {answers[zone]}"
    assert answers[folder] == 0, "the folder box is Windows' own edit control"


def _close(app, wineprefix, way):
    if way == "Alt+F4":
        keyboard_to(app)
        app.display.key("alt+F4")
    else:
        wininfo.post(wineprefix, WM_CLOSE if way == "WM_CLOSE" else WM_ENDSESSION, 1)


@pytest.mark.parametrize("way", ["Alt+F4", "WM_CLOSE", "WM_ENDSESSION"])
def test_closing_when_idle_ends_the_program(app, wineprefix, way):
    start_ready(app)
    _close(app, wineprefix, way)
    app.wait_exit(30)


@pytest.mark.cost(9)
@pytest.mark.parametrize("way", ["Alt+F4", "WM_CLOSE", "WM_ENDSESSION"])
def test_closing_mid_job_ends_the_program_at_once_and_leaves_the_splitter_to_finish(app, stage, workdir,
                                                                                    tmp_path, wineprefix, way):
    # A splitter that runs until the test lets it go.
    shutil.copy(wineprefix.build_helper("slow_splitter"), stage / "data" / "pdftk.exe")
    (workdir / "hold").touch()
    start_ready(app)
    app.drop_files([make_pdf(tmp_path / "long job.pdf", 1)], at=DROP_AT)
    wait_for_file(workdir / "1.started", timeout=60)

    _close(app, wineprefix, way)
    app.wait_exit(30)
    assert app.splitter_pids(), "the splitter went with the program"
    (workdir / "hold").unlink()
    wait_for_file(workdir / "1.finished", timeout=60, what="the splitter to run to its end")
