"""Black-box plumbing: polling waits, a private Xvfb display and the xdotool/ImageMagick calls on it."""
import os
import re
import signal
import subprocess
import time
from pathlib import Path

from PIL import Image

# Slow CI machines can stretch every wait without touching the tests.
TIMEOUT_SCALE = float(os.environ.get("PAGERIFT_E2E_TIMEOUT_SCALE", "1"))
SCREEN_W, SCREEN_H = 1280, 800  # room for the window at 200 %: 1096 x 732
DOUBLE_CLICK_S = 0.6  # Windows' double-click time is 0.5 s; a little over it, for the X timestamps


class WaitTimeout(AssertionError):
    """A condition never came true; reported as a test failure, not an error in the harness."""


def wait_until(condition, timeout, what, interval=0.1):
    """Polls `condition` until it returns something truthy and returns that; raises WaitTimeout otherwise.

    A condition raises AssertionError when waiting longer is pointless (the program died, say); that
    ends the wait at once. Other errors count as "not yet"."""
    limit = timeout * TIMEOUT_SCALE
    deadline = time.monotonic() + limit
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except AssertionError:
            raise
        except Exception as exc:  # a half-written file or a window that just vanished: try again
            last_error = exc
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise WaitTimeout(f"timed out after {limit:g} s waiting for {what}{detail}")
        time.sleep(interval)


def pixel_check(test):
    """`test` as a function of (r, g, b): it may already be one, or be the colour itself."""
    return test if callable(test) else (lambda rgb: tuple(rgb) == tuple(test))


def wait_for_file(path, timeout=60, what=None):
    path = Path(path)
    return wait_until(lambda: path.exists() and path, timeout, what or f"file {path}")


def end_process(proc, grace=5):
    """Ends one process we started, by its pid, and reaps it."""
    if proc is None or proc.poll() is not None:
        return
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)


def rect_overlaps(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    return ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah


class XDisplay:
    """A private Xvfb on the first free display number, plus the X-side tools the tests drive it with."""

    def __init__(self, scratch):
        self.scratch = Path(scratch)
        self.scratch.mkdir(parents=True, exist_ok=True)
        self.number = None
        self.proc = None
        self.wm_state = None
        self._shots = 0
        self._last_click = None  # (monotonic time, button, x, y)
        self._xlib = None  # our own connection, for grab()

    # -- lifetime ---------------------------------------------------------------------------------
    def start(self):
        # Xvfb picks a free display number itself and tells us through a pipe: checking for a free
        # number first and starting Xvfb on it races with other runs on the same machine, and the
        # loser's windows would open on the winner's display.
        # -noreset: by default Xvfb resets whenever its last client leaves (each prefix kill between
        # tests), and drops about one connection in ten that arrives during the reset.
        read_end, write_end = os.pipe()
        log = open(self.scratch / "Xvfb.log", "wb")
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
             "-nolisten", "tcp", "-noreset"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
            pass_fds=(write_end,))
        log.close()
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            line = numbers.readline().strip()
        if not line.isdigit():
            end_process(proc)
            raise RuntimeError(f"Xvfb did not start: {(self.scratch / 'Xvfb.log').read_text()[-500:]}")
        self.number, self.proc = int(line), proc
        wait_until(self._answers, 20, f"Xvfb on :{self.number}")
        self._start_wm_state()
        return self

    def _start_wm_state(self):
        """wm_state.py: without it Wine stalls two seconds each time a captioned window hides."""
        log = self.scratch / "wm_state.log"
        with open(log, "wb") as out:
            self.wm_state = subprocess.Popen(["/usr/bin/python3", str(Path(__file__).with_name("wm_state.py"))],
                                             env=self.env(), stdin=subprocess.DEVNULL, stdout=out,
                                             stderr=subprocess.STDOUT, start_new_session=True)

        def ready():
            if self.wm_state.poll() is not None:
                raise AssertionError(f"wm_state.py exited: {log.read_text(errors='replace')[-500:]}")
            return "ready" in log.read_text(errors="replace")
        wait_until(ready, 20, "wm_state.py to watch the display")

    def _answers(self):
        return subprocess.run(["xdpyinfo"], env=self.env(), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10).returncode == 0

    def stop(self):
        if self._xlib is not None:
            self._xlib.close()
            self._xlib = None
        end_process(self.wm_state)
        end_process(self.proc)
        self.proc = self.wm_state = None

    @property
    def name(self):
        return f":{self.number}"

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env["DISPLAY"] = self.name
        env.pop("XAUTHORITY", None)
        return env

    # -- xdotool ------------------------------------------------------------------------------------
    def xdo(self, *args, check=True, timeout=30):
        res = subprocess.run(["xdotool", *map(str, args)], env=self.env(), stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, timeout=timeout * TIMEOUT_SCALE)
        if check and res.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))} failed: {res.stderr.strip()}")
        return res.stdout

    def search(self, name_regex, visible=True):
        """Window ids whose title matches the regex (xdotool says nothing and exits 1 when none do)."""
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", name_regex]
        return [int(w) for w in self.xdo(*args, check=False).split()]

    def wait_window(self, name_regex, timeout=60, visible=True):
        return wait_until(lambda: (self.search(name_regex, visible) or [None])[0], timeout,
                          f"a window named /{name_regex}/")

    def wait_window_gone(self, wid, name_regex=".", timeout=30):
        wait_until(lambda: not self.shown(wid, name_regex), timeout, f"window {wid} to close")

    def shown(self, wid, name_regex="."):
        """True while the window is mapped with a matching title (X reuses ids: check soon after use)."""
        return wid in self.search(name_regex)

    def window_name(self, wid):
        return self.xdo("getwindowname", wid, check=False).rstrip("\n")

    def geometry(self, wid):
        """(x, y, width, height) of the window on the root."""
        out = self.xdo("getwindowgeometry", "--shell", wid)
        vals = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(vals["X"]), int(vals["Y"]), int(vals["WIDTH"]), int(vals["HEIGHT"])

    def window_list(self):
        """Every named window: id, visibility, geometry and title, one a line (for failure reports)."""
        visible = set(self.search(".", visible=True))
        lines = []
        for wid in self.search(".", visible=False):
            try:
                x, y, w, h = self.geometry(wid)
                geo = f"{w}x{h}+{x}+{y}"
            except (RuntimeError, KeyError):
                geo = "?"
            shown = "visible" if wid in visible else "hidden"
            lines.append(f"{wid}\t{shown}\t{geo}\t{self.window_name(wid)}")
        return "\n".join(lines) + "\n"

    def move(self, x, y):
        self.xdo("mousemove", int(x), int(y))

    def click(self, x, y, button=1):
        """One click. A second press near the last one within Windows' double-click time (0.5 s, 4 px)
        would reach the program as a double click, so it waits that time out first."""
        if self._last_click:
            when, last_button, last_x, last_y = self._last_click
            if button == last_button and abs(x - last_x) <= 4 and abs(y - last_y) <= 4:
                time.sleep(max(0.0, when + DOUBLE_CLICK_S - time.monotonic()))
        self.xdo("mousemove", int(x), int(y), "click", button)
        self._last_click = (time.monotonic(), button, x, y)

    def key(self, *keys):
        self.xdo("key", *keys)

    def focus(self, wid):
        self.xdo("windowfocus", "--sync", wid)

    def drag(self, start, end, steps=10, pause=0.1, button=1, hold=None):
        """Pressed-button move in small steps: Wine starts a window move only when the moves are paced."""
        (x0, y0), (x1, y1) = start, end
        self.move(x0, y0)
        self.xdo("mousedown", button)
        try:
            for i in range(1, steps + 1):
                time.sleep(pause)
                self.move(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps)
            if hold:
                hold()
            time.sleep(pause)
        finally:
            self.xdo("mouseup", button)

    # -- pixels ---------------------------------------------------------------------------------------
    def screenshot(self, path=None):
        if path is None:
            self._shots += 1
            path = self.scratch / f"shot-{self._shots:04d}.png"
        subprocess.run(["import", "-window", "root", str(path)], env=self.env(), check=True,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30 * TIMEOUT_SCALE)
        return Path(path)

    def grab(self, x, y, w, h):
        """A root rectangle as a PIL image, read straight from the X server: milliseconds, where a
        screenshot of the whole screen takes a few hundred."""
        from Xlib import X, display as xdisplay
        if self._xlib is None:
            self._xlib = xdisplay.Display(self.name)
        raw = self._xlib.screen().root.get_image(int(x), int(y), int(w), int(h), X.ZPixmap, 0xFFFFFFFF)
        return Image.frombytes("RGB", (int(w), int(h)), raw.data, "raw", "BGRX")

    def pixel(self, x, y, shot=None):
        """(r, g, b) at a root position; takes a fresh screenshot unless one is given."""
        own = shot is None
        shot = self.screenshot() if own else shot
        try:
            with Image.open(shot) as img:
                return img.convert("RGB").getpixel((int(x), int(y)))
        finally:
            if own:
                Path(shot).unlink(missing_ok=True)

    def wait_pixel(self, x, y, test, timeout=30, what=None):
        """Waits until test((r, g, b)) holds at a root position; `test` may be an (r, g, b) tuple."""
        check = pixel_check(test)
        seen = []

        def probe():
            rgb = self.pixel(x, y)
            seen[:] = [rgb]
            return check(rgb)
        try:
            wait_until(probe, timeout, what or f"pixel ({x},{y}) to match")
        except WaitTimeout as exc:
            raise WaitTimeout(f"{exc}; last seen {seen[0] if seen else None}") from None
        return seen[0]


def safe_name(text):
    return re.sub(r"[^\w.-]+", "_", text).strip("_")[:120] or "test"
