"""What a user does to get files split (drop them, or pick one in the dialog) and what the job and intake
tests check afterwards: the page files in the current folder and the "Done" message."""
import subprocess
from pathlib import Path

from pdfs import count_pages, page_files

DROP_AT = (274, 178)  # the middle of the drop zone, in window coordinates
PROBE = (41, 177)     # a point of the drop-zone picture that tells its looks apart
NORMAL, LIGHT, BUSY = (255, 255, 255), (218, 233, 252), (248, 250, 252)
SUCCESS = "Bursted to Current Folder Successfully."


def near(rgb, want, tol=3):
    """JPEG decoding moves the skin's colours by a few units."""
    return all(abs(a - b) <= tol for a, b in zip(rgb, want))


def shows_drop_zone(rgb):
    """The picture is there, plain or lit by the pointer; the busy background is not."""
    return near(rgb, NORMAL) or near(rgb, LIGHT)


def start_ready(app):
    """Starts Pagerift and waits until its drop zone is painted and so takes clicks and drops."""
    app.start()
    app.wait_pixel(*PROBE, shows_drop_zone, what="the drop zone to be painted")
    return app


def windows_path(path):
    """The path as Wine's programs see it: the Unix root is drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


# Why a file was not burst, as the message puts it: by the splitter's exit code, None when it never started.
REASON = {2: "the file cannot be read", 3: "not a PDF, or damaged", 4: "needs a password",
          5: "the pages cannot be written in the current folder", 6: "an internal fault of the splitter",
          None: "the splitter could not be started"}


def failure_text(ok, total, failed):
    """The completion for `failed`: (path, exit code) pairs, in job order."""
    return (f"Bursted {ok} of {total} files to Current Folder.\r\n\r\nCould not burst:\r\n"
            + "\r\n".join(f"{windows_path(f)} ({REASON[code]})" for f, code in failed))


def choose_in_dialog(app, path):
    """Clicks the drop zone, types the file's Windows path into "Open Files" and confirms it."""
    app.click(*DROP_AT)
    type_into_dialog(app, path)


def type_into_dialog(app, path):
    """Types the file's Windows path into the "Open Files" dialog (waited for) and confirms it."""
    wid = app.wait_dialog("Open Files")
    x, y, w, h = app.display.geometry(wid)
    app.display.move(x + w // 2, y + h // 2)  # without a window manager keys follow the pointer
    app.display.focus(wid)
    app.display.xdo("type", "--delay", "15", windows_path(path))
    app.dismiss_dialog("Open Files", key="Return")


def done_text(app):
    text = app.dialog_text("Done", timeout=60)
    assert text is not None, "the message box reader (wintext.c) did not build"
    return text


def dismiss_done(app):
    """Closes the completion message once the explorer window that completion opens has come up.

    With no window manager the X stacking ignores Wine's: the explorer, mapped last, may cover the box,
    and it takes the keyboard. So wait for it, lift the box above it and click the box's text strip,
    which makes the box Wine's active window again; then Return presses OK."""
    app.display.wait_window(f"^{app.cwd.name}$", timeout=30)
    wid = app.wait_dialog("Done")
    app.display.xdo("windowraise", wid)
    x, y, w, _ = app.display.geometry(wid)
    app.display.click(x + w // 2, y + 6)
    app.dismiss_dialog("Done")


def assert_split(workdir, src, pages):
    """`src` was burst into `pages` one-page files in `workdir`, named after it, page n in file n."""
    files = page_files(workdir, src.stem)
    assert [p.name for p in files] == [f"{src.stem}_pg_{n:04d}.pdf" for n in range(1, pages + 1)]
    assert [count_pages(p) for p in files] == [1] * pages
    for n, p in enumerate(files, 1):
        assert b"(Page %d)" % n in _uncompressed(p), f"{p.name} does not hold page {n}"
    return files


def _uncompressed(pdf):
    res = subprocess.run(["qpdf", "--qdf", "--object-streams=disable", str(pdf), "-"],
                         capture_output=True, timeout=60)
    assert res.returncode in (0, 3), f"qpdf cannot read {pdf}: {res.stderr.decode(errors='replace')}"
    return res.stdout


SHOTS = Path(__file__).resolve().parents[2] / "build" / "e2e-artifacts" / "screenshots"


def save_window_shot(app, name):
    """Keeps a picture of the window as it is now (the README's pictures come from these)."""
    from PIL import Image
    SHOTS.mkdir(parents=True, exist_ok=True)
    x, y, w, h = app.geometry()
    whole = app.screenshot(SHOTS / f"{name}-screen.png") or SHOTS / f"{name}-screen.png"
    Image.open(whole).crop((x - 6, y - 6, x + w + 6, y + h + 8)).save(SHOTS / f"{name}.png")
