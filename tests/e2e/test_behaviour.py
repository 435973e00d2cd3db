"""The borderless window's own behaviour, seen from outside: its shape, the drop zone's highlight, moving
it by its background, minimising, the help link, and closing in the middle of a job."""
import subprocess
import time

from PIL import ImageGrab

import skin
import wininfo
from harness import SCREEN_H, SCREEN_W, wait_until
from pdfs import make_pdf, page_files

NORMAL, HIGHLIGHTED = (255, 255, 255), (218, 233, 252)
PROBE = (41, 177)  # a flat spot of the drop zone where its two pictures differ
CAPTION = (300, 15)  # bare background: no control, no tooltip
SKIN = (236, 241, 247)  # the caption bar's plain colour, at window (5, 5)
HELP_URL = "http://www.pagerift.example/pagerift.html"
IMG_MIN, IMG_EXIT, IMG_HELP = (512, 6, 14, 14), (530, 6, 15, 15), (386, 338, 153, 17)


def centre(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


def near(colour):
    return lambda rgb: max(abs(a - b) for a, b in zip(rgb, colour)) <= 3


def shown(app):
    """Waits for the painted window, then parks the pointer on the bare caption bar."""
    app.wait_pixel(5, 5, SKIN)
    app.move_to(*CAPTION)
    app.wait_pixel(*PROBE, near(NORMAL), what="the drop zone's normal picture")


def grab(display):
    """A full-screen grab in ~15 ms, several times quicker than `import`; retried should X refuse it."""
    for _ in range(20):
        try:
            return ImageGrab.grab(xdisplay=display.name).load()
        except OSError:
            time.sleep(0.01)
    raise AssertionError(f"cannot grab the screen of {display.name}")


def test_corners_are_magenta_at_first_show_and_show_the_root_after_the_tick(app):
    # Catching the short unkeyed phase needs a grab loop faster than xdotool: watch where the centred
    # window will appear instead of looking for it first.
    left, top = (SCREEN_W - skin.WINDOW[0]) // 2, (SCREEN_H - skin.WINDOW[1]) // 2
    cuts, rims = skin.corner_cuts(), skin.corner_rims()
    frames = []

    def keyed():
        px = grab(app.display)
        frame = ({px[left + x, top + y] for x, y in cuts}, {px[left + x, top + y] for x, y in rims},
                 px[left + 5, top + 5])
        frames.append(frame)
        return frame[0] == {skin.ROOT} and frame[2] == SKIN and skin.ROOT not in frame[1]
    app.start(wait=False)
    wait_until(keyed, 60, "the corners to show the root", interval=0)
    app.wait_window()
    assert app.geometry() == (left, top, *skin.WINDOW), "the window is not where the grabs looked"

    painted = [cut for cut, rim, inner in frames if inner == SKIN and skin.ROOT not in rim]
    # A grab takes ~15 ms and the unkeyed phase lasted 70 to 110 ms in trials, every one of them caught.
    phases = [cut for i, cut in enumerate(painted) if i == 0 or cut != painted[i - 1]]
    assert {skin.MAGENTA} in painted, f"no frame showed the unkeyed corners; corners seen: {phases}"
    assert painted.index({skin.MAGENTA}) < painted.index({skin.ROOT}), phases


def test_the_drop_zone_highlights_under_the_pointer_and_only_the_background_drags(app, wineprefix):
    app.start()
    shown(app)
    for point in [(100, 100), CAPTION, (544, 327), (300, 345), (2, 28), (200, 20)]:
        want = HIGHLIGHTED if point in [(100, 100), (544, 327), (2, 28)] else NORMAL
        app.move_to(*point)
        app.wait_pixel(*PROBE, near(want), what=f"the drop zone's picture with the pointer at {point}")

    display, home = app.display, app.geometry()

    def to_root(x, y):  # from where the window started: it should stay there until the last drag
        return home[0] + x, home[1] + y

    def unmoved(what):
        time.sleep(0.3)  # a system move would follow within a few frames
        assert app.geometry() == home, f"the window moved: {what}"
        assert app.alive(), what

    # No button held: crossing the background moves nothing (Wine would jump the window by -100,-100).
    for x in range(120, 481, 40):
        display.move(*to_root(x, 15))
        time.sleep(0.05)
    unmoved("a move with no button held")

    # Button held over the hotspots and the drop zone, released off the window so nothing is clicked.
    for name, start, end, away in [
            ("imgExit", (533, 9), (542, 18), (537, -40)),
            ("imgMin", (515, 9), (523, 17), (519, -40)),
            ("imgHelp", (390, 341), (534, 352), (534, 420)),
            ("picDrag", (400, 150), (20, 300), (-40, 300))]:
        display.drag(to_root(*start), to_root(*end), steps=8, pause=0.1,
                     hold=lambda away=away: (display.move(*to_root(*away)), time.sleep(0.1)))
        unmoved(f"a drag over {name}")
    assert not wininfo.window_state(wineprefix)["iconic"]
    assert wineprefix.browser_calls() == []

    # The system move starts at the first pressed move and follows the pointer from there on.
    begin = (CAPTION[0] + 2, CAPTION[1] + 1)
    display.move(*to_root(*CAPTION))
    display.xdo("mousedown", 1)
    try:
        for i in range(11):
            time.sleep(0.3 if i == 1 else 0.1)  # Wine follows only paced moves
            display.move(*to_root(begin[0] + 6 * i, begin[1] + 4 * i))
        time.sleep(0.1)
    finally:
        display.xdo("mouseup", 1)
    target = (home[0] + 60, home[1] + 40)
    try:
        wait_until(lambda: app.geometry()[:2] == target, 10, "the window to follow the pointer")
    except AssertionError:
        raise AssertionError(f"moved from {home[:2]} to {app.geometry()[:2]}, not to {target}") from None


def test_help_opens_the_site_in_place_and_minimise_makes_the_window_iconic(app, wineprefix):
    app.start()
    shown(app)
    home = wininfo.window_state(wineprefix)

    app.click(*centre(IMG_HELP))
    wait_until(wineprefix.browser_calls, 20, "the stub browser to be started")
    assert wineprefix.browser_calls() == [HELP_URL]
    assert wininfo.window_state(wineprefix) == home  # same place, still topmost

    app.click(*centre(IMG_MIN))
    wait_until(lambda: wininfo.window_state(wineprefix)["iconic"], 15, "the window to be minimised")
    assert app.alive()


def test_exit_during_a_job_ends_at_once_and_the_splitter_still_completes(app, workdir, tmp_path):
    pages = 1000
    src = make_pdf(tmp_path / "big.pdf", pages)
    app.start()
    shown(app)
    app.drop_files([src], at=(274, 183))
    wait_until(app.splitter_pids, 20, "the splitter to start")

    app.click(*centre(IMG_EXIT))
    app.wait_exit(5)
    assert app.splitter_pids(), "the splitter had already ended: the job was too short to test this"

    wait_until(lambda: not app.splitter_pids(), 90, "the splitter to finish")
    files = page_files(workdir, src.stem)
    assert len(files) == pages
    assert sorted(p.name for p in workdir.iterdir()) == sorted(p.name for p in files), "stray files"
    truncated = [p.name for p in files if not p.read_bytes().rstrip().endswith(b"%%EOF")]
    assert not truncated
    merged = tmp_path / "merged.pdf"
    res = subprocess.run(["qpdf", "--empty", "--pages", *map(str, files), "--", str(merged)],
                         capture_output=True, text=True, timeout=120)
    assert res.returncode == 0, res.stderr[-2000:]
    npages = subprocess.run(["qpdf", "--show-npages", str(merged)], capture_output=True, text=True)
    assert npages.stdout.split() == [str(pages)]



def test_a_release_on_a_hotspot_after_a_press_on_the_skin_is_no_click(app, wineprefix):
    app.start()
    shown(app)
    display = app.display

    # Pressed on the close glyph, then dragged onto the caption bar: the system move takes the window along
    # and swallows the release, so the close hotspot never hears that its press ended.
    home = app.geometry()
    display.drag(app.to_root(*centre(IMG_EXIT)), app.to_root(*CAPTION), steps=8, pause=0.2)
    seen = [home]

    def at_rest():  # moved, and in the same place on two looks in a row
        seen.append(app.geometry())
        return seen[-1] != home and seen[-1] == seen[-2]
    wait_until(at_rest, 10, "the window to follow the drag and come to rest", interval=0.2)

    # A press on the bare skin just left of the glyph, a quick move onto it and the release there.
    (x, y), skin_left = app.to_root(*centre(IMG_EXIT)), app.to_root(IMG_EXIT[0] - 4, centre(IMG_EXIT)[1])
    minimise = app.to_root(*centre(IMG_MIN))
    display.move(*skin_left)
    display.xdo("mousedown", 1)
    display.move(x, y)
    display.xdo("mouseup", 1)
    # The minimise click comes after that release, so once it shows the release has been handled.
    display.click(*minimise)

    def minimised():
        app.assert_alive()
        return wininfo.window_state(wineprefix)["iconic"]
    wait_until(minimised, 15, "the window to be minimised")
