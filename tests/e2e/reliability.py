"""Helpers of the reliability cases (test_reliability.py): figures printed past pytest's output capture,
the completion message read back as counts, folder snapshots, page checks with qpdf, and the splitter run
on its own for the exit code the program does not show."""
import json
import os
import re
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

import wininfo
from app import Crashed
from conftest import ARTIFACTS
from harness import end_process, wait_until
from pdfs import count_pages, page_files
from userflow import DROP_AT, PROBE, SUCCESS, dismiss_done, done_text, shows_drop_zone, windows_path

EXIT_AT = (537, 13)        # imgExit
SUMMARY = re.compile(r"Bursted (\d+) of (\d+) files to Current Folder\.")
MORE = re.compile("\u2026and (\\d+) more\\.")
SPLITTER_FAILURES = {1, 2, 3, 4, 5, 6}  # the splitter's own exit codes for a file it refuses
TEMP_GLOB = "~burst-*.tmp"
NOT_STARTED = 9009  # cmd's errorlevel when it could not start the program


class Figures:
    """A case's figures: printed as "reliability: <case>: ..." even under pytest's capture, and written to
    build/e2e-artifacts/reliability/<case>.txt as they come."""

    def __init__(self, case, capsys):
        self.case, self.capsys = case, capsys
        self.path = ARTIFACTS / "reliability" / f"{case}.txt"
        self.path.parent.mkdir(parents=True, exist_ok=True)
        self.path.write_text("", encoding="utf-8")
        self.lines = 0

    def __call__(self, name, value=None):
        line = f"reliability: {self.case}: {name}" + ("" if value is None else f": {value}")
        with self.capsys.disabled():
            # pytest's progress line has no line end yet when the first figure comes
            print(("" if self.lines else "\n") + line, flush=True)
        self.lines += 1
        with open(self.path, "a", encoding="utf-8") as out:
            out.write(line + "\n")


@dataclass
class Completion:
    """What the "Done" message says. The plain success text gives no counts."""
    text: str
    ok: int = None
    total: int = None
    named: list = field(default_factory=list)  # files named as failed, as Linux paths, in job order
    reasons: list = field(default_factory=list)  # why, one for each named file
    unnamed: int = 0                            # failures past the ones the message lists

    @property
    def failures(self):
        return len(self.named) + self.unnamed


def unix_path(win):
    assert win.startswith("Z:\\"), f"not a path on the Unix drive: {win!r}"
    return win[2:].replace("\\", "/")


def parse_completion(text):
    if text.strip() == SUCCESS:
        return Completion(text)
    lines = [line for line in text.splitlines() if line.strip()]
    summary = SUMMARY.fullmatch(lines[0]) if lines else None
    assert summary and lines[1:2] == ["Could not burst:"], f"unexpected completion text {text!r}"
    done = Completion(text, int(summary[1]), int(summary[2]))
    for line in lines[2:]:
        more = MORE.fullmatch(line)
        if more:
            done.unnamed = int(more[1])
        else:
            # "<path> (<reason>)": a path may hold " (" itself, a reason never does.
            path, reason = line.rsplit(" (", 1)
            assert reason.endswith(")"), f"no reason after {path!r}"
            done.named.append(unix_path(path))
            done.reasons.append(reason[:-1])
    return done


def wait_zone_idle(app, timeout=60):
    app.wait_pixel(*PROBE, shows_drop_zone, timeout=timeout, what="the drop zone to show")


def drop_job(app, files, timeout):
    """Drops `files` on the idle drop zone and waits for the job's "Done"; reads and dismisses it, and
    closes the folder window the job opened. Returns the Completion and the seconds from drop to "Done"."""
    # With no window manager the X stacking ignores Wine's topmost band: lift the window by hand.
    app.display.xdo("windowraise", app.wid)
    wait_zone_idle(app)
    app.drop_files(files, at=DROP_AT, timeout=60)
    start = time.monotonic()
    app.wait_dialog("Done", timeout)
    took = time.monotonic() - start
    text = done_text(app)
    dismiss_done(app)
    close_folder_window(app)
    return parse_completion(text), took


def close_folder_window(app, timeout=30):
    """Closes the explorer window a completion opens on the work folder (its own explorer.exe), so that
    a dozen of them do not keep re-reading a folder that fills with pages, nor cover the next drop."""
    wid = app.display.wait_window(f"^{app.cwd.name}$", timeout)
    app.display.xdo("windowraise", wid)
    x, y, w, _ = app.display.geometry(wid)
    app.display.click(x + w // 2, y + 8)  # its toolbar strip: makes it Wine's active window for the key
    app.display.focus(wid)
    app.display.key("alt+F4")
    app.display.wait_window_gone(wid, timeout=timeout)


def close_by_exit_button(app, timeout=10):
    """Clicks imgExit; returns the seconds until no Pagerift.exe is left. The App can then start again."""
    start = time.monotonic()
    app.click(*EXIT_AT)
    wait_until(lambda: not app.pids(), timeout, "Pagerift.exe to end after imgExit", interval=0.02)
    took = time.monotonic() - start
    end_process(app.proc)
    app.proc, app.wid = None, None
    return took


def odd_controls(ctl):
    """What start-up left out of bounds: a list without its entries or with a selection past them, or
    no output folder at all."""
    lists = (("cmbBR", 12), ("cmbR", 8), ("cmbChannel", 2))
    odd = [f"{name} missing: {sorted(ctl)}" for name, _ in lists if name not in ctl]
    odd += [f"{name}: sel {ctl[name]['sel']} of {ctl[name]['count']}" for name, count in lists
            if name in ctl and (ctl[name]["count"] != count or not -1 <= ctl[name]["sel"] < count)]
    if not ctl["txtPath"]["text"]:
        odd.append("txtPath empty")
    return odd


def answered_in(prefix, timeout=60):
    """(seconds, controls) once the window's thread answers the control queries again: Wine's edit
    control takes seconds to take a text of tens of thousands of characters."""
    start = time.monotonic()
    ctl = wininfo.wait_controls(prefix, lambda c: "cmbBR" in c, timeout, "the window to answer")
    return time.monotonic() - start, ctl


def try_start(app, prefix):
    """Starts Pagerift with the stage's setup.ini as it is, judges what start-up made of it, and ends it.
    Returns ("ok", seconds the controls took to answer), ("platform fault", crash) for a crash that is
    one of Wine's documented faults (crashes.PLATFORM_FAULTS), or ("failed", why)."""
    try:
        app.start(timeout=30)
        app.wait_pixel(*PROBE, shows_drop_zone, timeout=30, what="the skin to show")
        took = 0
        if prefix.wininfo:
            took, ctl = answered_in(prefix)
            odd = odd_controls(ctl)
            assert not odd, f"controls after start-up: {odd}"
        close_by_exit_button(app)
        return "ok", took
    except AssertionError as exc:
        crash = exc.crash if isinstance(exc, Crashed) else app.crash()
        app.stop()
        if crash and crash.platform_fault():
            return "platform fault", crash
        return "failed", f"{exc}" + (f" ({crash.summary()})" if crash and not isinstance(exc, Crashed) else "")


def rss_kb(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise AssertionError(f"no VmRSS for pid {pid}")


def snapshot(folder):
    """{relative path: (size or None for a folder, mtime_ns)} of everything under `folder`."""
    out = {}
    for p in sorted(Path(folder).rglob("*")):
        st = p.lstat()
        out[str(p.relative_to(folder))] = (None if p.is_dir() else st.st_size, st.st_mtime_ns)
    return out


def npages(path):
    """qpdf's page count of a file, or None when qpdf cannot read it."""
    try:
        return count_pages(path)
    except (AssertionError, ValueError, IndexError, OSError):
        return None


def pmap(func, items):
    """map() over two workers: the qpdf checks are thousands of short processes."""
    with ThreadPoolExecutor(2) as pool:
        return list(pool.map(func, items))


def output_stem(path):
    """The splitter's page-name stem: the file name without a final ".pdf" in any case."""
    name = Path(path).name
    return name[:-4] if name.lower().endswith(".pdf") else name


def pages_of(folder, source):
    return page_files(folder, output_stem(source))


def unreadable_pages(pages):
    """The page files that qpdf cannot open or that do not hold exactly one page."""
    return [p for p, n in zip(pages, pmap(npages, pages)) if n != 1]


def tree_pages(path):
    """The number of pages qpdf finds walking the page tree (--show-npages reads the root's /Count)."""
    res = subprocess.run(["qpdf", "--json=2", "--json-key=pages", str(path)], capture_output=True, timeout=120)
    try:
        return len(json.loads(res.stdout)["pages"]) if res.returncode in (0, 3) else None
    except (ValueError, KeyError, TypeError):
        return None


def judge_split(src, pages, expected):
    """(verdict, detail) of a split of `src` into `pages`, with `expected` from qpdf --show-npages:
    "correct"; "by tree" when the split follows the page tree and the file's /Count is wrong;
    "unverifiable" when qpdf cannot read the source but every page opens; else "wrong"."""
    bad = unreadable_pages(pages)
    if bad:
        return "wrong", f"{len(bad)} page files qpdf cannot open as one page, e.g. {bad[0].name}"
    if expected is None:
        return "unverifiable", "qpdf cannot read the source"
    if len(pages) == expected:
        return "correct", ""
    walked = tree_pages(src)
    if len(pages) == walked:
        return "by tree", f"/Count says {expected}, the page tree holds {walked}"
    return "wrong", f"{len(pages)} page files, qpdf counts {expected} (page tree {walked})"


def temp_files(folder):
    return sorted(Path(folder).glob(TEMP_GLOB))


def qpdf_test_pdfs():
    """(folder, PDFs) of qpdf's own test folder in the dependency cache; (None, []) when absent."""
    cache = Path(os.environ.get("PAGERIFT_DEPS_CACHE") or Path.home() / ".cache" / "pagerift-deps")
    folders = sorted(cache.glob("*/qpdf-src/qpdf/qtest/qpdf"))
    if not folders:
        return None, []
    folder = folders[-1]
    return folder, sorted(p for p in folder.iterdir() if p.is_file() and p.suffix.lower() == ".pdf")


def splitter_runs(prefix, splitter, sources, folder, timeout=600, attempts=3):
    """Runs data\\pdftk.exe on each source, in `folder`, from one batch file in the prefix, the way the
    program starts it; returns ([(exit code, stderr)], how many runs had to be started again). The program
    keeps the code to itself, and this is how a crash is told apart from a refusal.

    Now and then wine's cmd fails to start a program at all ("Can't recognize ...", errorlevel 9009);
    that says nothing of the splitter, so those runs are started again, in a folder of their own."""
    runs = _splitter_batch(prefix, splitter, sources, folder, timeout)
    relaunched = 0
    for attempt in range(1, attempts):
        again = [i for i, (code, _) in enumerate(runs) if code == NOT_STARTED]
        if not again:
            break
        relaunched += len(again)
        retried = _splitter_batch(prefix, splitter, [sources[i] for i in again], folder / f"again{attempt}",
                                  timeout)
        for i, run in zip(again, retried):
            runs[i] = run
    return runs, relaunched


def _splitter_batch(prefix, splitter, sources, folder, timeout):
    folder.mkdir(parents=True, exist_ok=True)
    lines = ["@echo off", f"cd /d {windows_path(folder)}"]
    for i, src in enumerate(sources):
        lines += [f'"{windows_path(splitter)}" "{windows_path(src)}" burst 2> err{i}.txt',
                  f"> code{i}.txt echo %ERRORLEVEL%"]  # "echo 2> f" would redirect stderr
    batch = folder / "run.bat"
    batch.write_text("\r\n".join(lines) + "\r\n", encoding="ascii")
    prefix.run("wine", "cmd", "/c", windows_path(batch), timeout=timeout, check=False)
    runs = []
    for i in range(len(sources)):
        code = (folder / f"code{i}.txt").read_text(errors="replace").strip()
        err = (folder / f"err{i}.txt").read_text(encoding="utf-8", errors="replace").strip()
        runs.append((int(code) if code.lstrip("-").isdigit() else None, err))
    return runs


def is_refusal(code, err):
    """A documented failure: one of the splitter's exit codes and its one "pdftk: " line on stderr."""
    return code in SPLITTER_FAILURES and any(line.startswith("pdftk: ") for line in err.splitlines())
