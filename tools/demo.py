#!/usr/bin/env python3
"""Pagerift without a display: a virtual one, a sample PDF dropped onto the
window through a real drag, and the result shown as files and a screenshot."""
import shutil
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from app import App  # noqa: E402
from harness import XDisplay  # noqa: E402
from pdfs import count_pages, make_pdf, page_files  # noqa: E402
from wine import WinePrefix  # noqa: E402


def main():
    stage = ROOT / "build" / "win" / "Pagerift"
    out = ROOT / "build" / "demo"
    shutil.rmtree(out, ignore_errors=True)
    pages_dir = out / "pages"
    pages_dir.mkdir(parents=True)
    scratch = Path(tempfile.mkdtemp(prefix="pagerift-demo-"))
    display = XDisplay(scratch / "x")
    prefix = WinePrefix(scratch / "wine", display)
    app = None
    try:
        print("demo: starting a virtual display and a wine prefix (about 10 s)")
        display.start()
        prefix.boot()
        sample = make_pdf(out / "Sample report.pdf", 5, title="Pagerift demo")
        app = App(display, prefix, stage / "Pagerift.exe", pages_dir, out / "logs")
        app.start()
        app.wait_pixel(41, 177, lambda rgb: rgb != (0, 0, 0), what="the painted window")
        app.screenshot(out / "window.png")
        print(f"demo: dropping {sample.name} onto the window")
        app.drop_files([sample], at=(274, 183))
        text = app.dialog_text("Done", timeout=120)
        shot = app.screenshot(out / "done.png")
        print(f'demo: Pagerift says "{text}"')
        pages = page_files(pages_dir, sample.stem)
        print(f"demo: {len(pages)} pages were written to {pages_dir}:")
        for p in pages:
            print(f"        {p.name}  ({count_pages(p)} page)")
        print(f"demo: screenshot of the finished job: {shot or out / 'done.png'}")
        return 0 if pages else 1
    finally:
        if app:
            app.stop()
        prefix.destroy()
        display.stop()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
