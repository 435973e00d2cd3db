"""Drives one Pagerift.exe process under Wine, as a user would, and watches it from outside."""
import os
import subprocess
import sys
from pathlib import Path

import dnd
from crashes import report_for
from harness import WaitTimeout, end_process, pixel_check, wait_until

TITLE = "^Pagerift$"
CLK_TCK = os.sysconf("SC_CLK_TCK")


class Crashed(AssertionError):
    """Pagerift died of an unhandled exception; `crash` is Wine's report on it (crashes.Crash)."""

    def __init__(self, crash):
        super().__init__(crash.summary())
        self.crash = crash


class App:
    def __init__(self, display, prefix, exe, cwd, logdir):
        self.display = display
        self.prefix = prefix
        self.exe = Path(exe)
        self.cwd = Path(cwd)
        self.logdir = Path(logdir)
        self.proc = None
        self.wid = None
        self._marks = (0, 0)  # where the prefix's crash log and our stderr stood when this process started

    # -- lifetime -------------------------------------------------------------------------------------
    def start(self, *args, wait=True, timeout=60, stall=20):
        """Starts `wine Pagerift.exe ARGS` in the working folder; waits for its window unless told not to.

        Now and then wine stalls or fails while it brings a freshly started prefix up: the process
        never gets as far as a window. A start that shows nothing
        within `stall` seconds is taken down with the prefix and made again, twice at most."""
        assert self.proc is None, "one App drives one process; stop() it first"
        for attempt in range(3):
            self._launch(args)
            if not wait:
                return self
            try:
                self.wait_window(stall if attempt < 2 else timeout)
                return self
            except WaitTimeout:
                # A launcher that ended cleanly without a window, or a crash, is the program's own
                # doing; one that failed, or hangs with nothing shown, is wine not getting the prefix up.
                crash = self.crash()
                if crash:
                    raise Crashed(crash) from None
                if attempt == 2 or self.proc.poll() == 0:
                    raise
                print(f"e2e: wine did not bring {self.exe.name} up (attempt {attempt + 1}); again",
                      file=sys.stderr)
                self.stop()
        return self

    def _launch(self, args):
        if not self.prefix.processes():
            self.prefix.prewarm()
        self.logdir.mkdir(parents=True, exist_ok=True)
        stderr = self.logdir / "app.stderr"
        self._marks = (len(self.prefix.crash_reports()), stderr.stat().st_size if stderr.exists() else 0)
        with open(self.logdir / "app.stdout", "ab") as out, open(self.logdir / "app.stderr", "ab") as err:
            self.proc = subprocess.Popen(["wine", str(self.exe), *map(str, args)], cwd=self.cwd,
                                         env=self.prefix.env(), stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=err, start_new_session=True)

    def wait_window(self, timeout=60):
        self.wid = wait_until(self._own_window, timeout, "the Pagerift window")
        return self.wid

    def _own_window(self):
        if self.proc.poll() is not None and not self.pids():
            raise WaitTimeout(f"Pagerift exited with {self.proc.returncode} before showing its window")
        return (self.display.search(TITLE) or [None])[0]

    def stop(self):
        """Ends Pagerift and everything else in the prefix (message boxes, explorer windows, the splitter)."""
        self.prefix.kill()
        if self.proc is not None:
            end_process(self.proc)
        self.proc = None
        self.wid = None

    def pids(self):
        return self.prefix.processes("Pagerift.exe")

    def pid(self):
        pids = self.pids()
        if not pids:
            raise AssertionError("no Pagerift.exe process in our prefix")
        return pids[0]

    def alive(self):
        return bool(self.pids())

    def crash(self, timeout=60):
        """Wine's report on this Pagerift's crash (crashes.Crash), or None when it did not crash. While
        Wine's debugger is still at work on a crash, waits until it is done and the report is whole."""
        if self.pids() and not self._crashing():
            return None
        wait_until(lambda: not self.pids() and not self.prefix.processes("crashlog.exe"), timeout,
                   "Wine's debugger to finish its crash report")
        return report_for(self.prefix.crash_reports()[self._marks[0]:], self.exe.name)

    def _crashing(self):
        """Wine says so on the program's stderr before it starts the debugger."""
        with open(self.logdir / "app.stderr", "rb") as err:
            err.seek(self._marks[1])
            return b"starting debugger" in err.read()

    def assert_alive(self):
        if not self.pids():
            crash = self.crash()
            if crash:
                raise Crashed(crash)
            raise AssertionError("Pagerift.exe is gone")

    def wait_exit(self, timeout=30):
        wait_until(lambda: not self.pids(), timeout, "Pagerift.exe to exit")

    def cpu_seconds(self, pid=None):
        """User plus system CPU time the process has used so far."""
        stat = Path(f"/proc/{pid or self.pid()}/stat").read_text()
        fields = stat[stat.rindex(")") + 2:].split()
        return (int(fields[11]) + int(fields[12])) / CLK_TCK  # fields 14 and 15 of the whole line

    def splitter_pids(self):
        return self.prefix.processes("pdftk.exe")

    # -- geometry and input, in window coordinates ---------------------------------------------------
    def geometry(self):
        return self.display.geometry(self.wid or self.wait_window())

    def size(self):
        return self.geometry()[2:]

    def to_root(self, x, y):
        gx, gy, _, _ = self.geometry()
        return gx + x, gy + y

    def move_to(self, x, y):
        self.display.move(*self.to_root(x, y))

    def click(self, x, y, button=1):
        self.display.click(*self.to_root(x, y), button=button)

    def drag(self, start, end, steps=10, pause=0.1):
        """Slow pressed-button drag from one window point to another (the end may lie outside)."""
        self.display.drag(self.to_root(*start), self.to_root(*end), steps=steps, pause=pause)

    def screenshot(self, path=None):
        return self.display.screenshot(path)

    def pixel(self, x, y, shot=None):
        """(r, g, b) at a window point; pass `shot` to read many points from one screenshot."""
        return self.display.pixel(*self.to_root(x, y), shot=shot)

    def wait_pixel(self, x, y, test, timeout=30, what=None):
        check = pixel_check(test)

        def shown(rgb):
            if check(rgb):
                return True
            self.assert_alive()  # a window of a program that has died never paints
            return False
        return self.display.wait_pixel(*self.to_root(x, y), shown, timeout=timeout,
                                       what=what or f"window pixel ({x},{y}) to match")

    def drop_files(self, files, at, timeout=30, check=True):
        """Drops files from a real GTK drag source onto window point `at`; see dnd.drop_files."""
        return dnd.drop_files(self.display, files, self.to_root(*at), avoid=self.geometry(),
                              timeout=timeout, check=check)

    # -- other windows: message boxes, explorer -------------------------------------------------------
    def wait_dialog(self, title, timeout=30):
        """Id of a visible window whose title is exactly `title` (a message box, a file dialog...)."""
        return self.display.wait_window(f"^{_regex_escape(title)}$", timeout)

    def dialog_text(self, title, timeout=30):
        """The message text of a message box (waited for), read from inside the prefix; None if the
        helper that reads it could not be built."""
        self.wait_dialog(title, timeout)
        texts = self.prefix.window_texts(title)
        if texts is None:
            return None
        return "\n".join(t for cls, t in texts[1:] if cls.lower() == "static" and t)

    def dialog_buttons(self, title, timeout=30):
        self.wait_dialog(title, timeout)
        return [t for cls, t in self.prefix.window_texts(title) or [] if cls.lower() == "button"]

    def dismiss_dialog(self, title, key="Return", timeout=30):
        """Finds a message box by title, presses `key` in it and waits until it has gone.

        Without a window manager keys reach a Wine dialog only with the pointer over it and focus set."""
        wid = self.wait_dialog(title, timeout)
        x, y, w, h = self.display.geometry(wid)
        self.display.move(x + w // 2, y + h // 2)
        self.display.focus(wid)
        self.display.key(key)
        self.display.wait_window_gone(wid, f"^{_regex_escape(title)}$", timeout)


def _regex_escape(text):
    # xdotool takes POSIX extended regexes; escape their metacharacters only.
    return "".join("\\" + c if c in r".^$*+?()[]{}|\\" else c for c in text)
