"""Real drag and drop: files dragged from a GTK window (drag_source.py) onto a point of the screen."""
import itertools
import os
import subprocess
import time
from pathlib import Path

from harness import SCREEN_H, SCREEN_W, end_process, rect_overlaps, wait_until

HERE = Path(__file__).resolve().parent
SOURCE_W, SOURCE_H = 180, 60
_serial = itertools.count(1)


def _corner_clear_of(avoid, target):
    """A screen corner where the source window hides neither the target window nor the drop point."""
    for x, y in ((0, SCREEN_H - SOURCE_H), (0, 0), (SCREEN_W - SOURCE_W, 0),
                 (SCREEN_W - SOURCE_W, SCREEN_H - SOURCE_H)):
        box = (x, y, SOURCE_W, SOURCE_H)
        if not (avoid and rect_overlaps(box, avoid)) and not rect_overlaps(box, (*target, 1, 1)):
            return x, y
    return 0, SCREEN_H - SOURCE_H


def drop_files(display, files, target, avoid=None, timeout=30, moves=15, pause=0.03, check=True):
    """Drags `files` from a fresh source window to root point `target` and drops them there.

    Returns the source's event lines (ready, data-get, drag-end...); with `check`, a refused drop fails.
    The source ends here, by its pid."""
    title = f"pagerift-e2e-drag-source-{os.getpid()}-{next(_serial)}"
    at = _corner_clear_of(avoid, target)
    log = display.scratch / f"{title}.log"
    env = display.env()
    env.update(GDK_BACKEND="x11", NO_AT_BRIDGE="1", GTK_A11Y="none")
    with open(log, "wb") as out:
        proc = subprocess.Popen(["/usr/bin/python3", str(HERE / "drag_source.py"), "--title", title,
                                 "--at", f"{at[0]},{at[1]}", *map(str, files)],
                                env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)

    def events():
        return log.read_text(encoding="utf-8", errors="replace").splitlines()

    def running():
        if proc.poll() is not None:
            raise AssertionError(f"drag source exited with {proc.returncode}: {events()}")
        return True
    try:
        wait_until(lambda: running() and "ready" in events(), timeout, "the drag source to show")
        wid = display.wait_window(f"^{title}$", timeout)
        x, y, w, h = display.geometry(wid)
        (x0, y0), (x1, y1) = (x + w // 2, y + h // 2), target
        display.move(x0, y0)
        display.xdo("mousedown", 1)
        try:
            for i in range(1, moves + 1):
                time.sleep(pause)
                display.move(x0 + (x1 - x0) * i / moves, y0 + (y1 - y0) * i / moves)
            # A few moves over the target let the XdndPosition/XdndStatus exchange settle before the drop.
            for dx in (1, -1, 0):
                time.sleep(pause)
                display.move(x1 + dx, y1)
        finally:
            display.xdo("mouseup", 1)
        try:
            wait_until(lambda: running() and "drag-end" in events(), timeout, "the drag to end")
        except AssertionError as exc:
            raise AssertionError(f"{exc}; drag source said {events()}") from None
        failed = [e for e in events() if e.startswith("drag-failed")]
        if failed and check:
            raise AssertionError(f"the drop was refused: {failed}")
        return events()
    finally:
        end_process(proc)
