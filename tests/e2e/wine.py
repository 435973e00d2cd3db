"""A throwaway Wine prefix for one test session, and the processes that live in it."""
import json
import os
import shutil
import subprocess
import time
from pathlib import Path

from harness import TIMEOUT_SCALE, wait_until
from userflow import windows_path

HERE = Path(__file__).resolve().parent
DEFAULT_DPI = 96
# The fonts every Wine of the tests sees; the machine's own would decide what stands in for Tahoma.
FONTS_CONF = HERE.parents[1] / "tools" / "wine-fonts" / "fonts.conf"
AEDEBUG = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"


def _read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:  # gone already, or not ours to read
        return None


class WinePrefix:
    def __init__(self, root, display):
        self.root = Path(root)
        self.path = self.root / "pfx"
        self.display = display
        self.dpi = DEFAULT_DPI
        self.browser_log = self.root / "browser.log"
        self.crash_log = self.root / "crashes.log"  # Wine's debugger appends a report per crash (crashes.py)
        self.wintext = None  # our Windows helper that reads a window's texts; None when it cannot be built
        self.wininfo = None  # and the one that reads a window's controls and state, or clicks into it

    # -- environment and plain commands ---------------------------------------------------------------
    def env(self):
        env = self.display.env()
        env.update(WINEPREFIX=str(self.path), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=",
                   # Wine maps Unix file names through the locale, and takes its ANSI code page (1252
                   # here), in which setup.ini is read, from it: the same on every machine.
                   LC_ALL="C.UTF-8", LANG="C.UTF-8", FONTCONFIG_FILE=str(FONTS_CONF))
        env.pop("WINEARCH", None)
        env.pop("LANGUAGE", None)
        return env

    def run(self, *args, timeout=120, check=True):
        """Runs a wine-side command with null stdio: Wine's services inherit the stdio of whoever starts
        them, and a pipe held open by them would hang the caller."""
        res = subprocess.run(list(map(str, args)), env=self.env(), stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             timeout=timeout * TIMEOUT_SCALE)
        if check and res.returncode != 0:
            raise RuntimeError(f"{' '.join(map(str, args))} exited with {res.returncode}")
        return res.returncode

    def reg_add(self, key, name, value, kind="REG_SZ"):
        self.run("wine", "reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f")

    def commit(self):
        """Ends the prefix's processes, so that registry changes are on disk and every program started
        afterwards reads them; then brings the prefix back up. (Quicker than `wineserver -w`, which
        waits out the server's linger time, with the same effect.)"""
        self.kill()
        self.prewarm()

    # -- lifetime -------------------------------------------------------------------------------------
    def boot(self):
        self.path.mkdir(parents=True, exist_ok=True)
        # A server of our own for the whole boot: the one wineboot would start for itself goes away
        # a few seconds after its last program, and on a busy machine that can fall between two of
        # the registry writes below, which then fail.
        self.run("wineserver", "-p", check=False)
        self.run("wineboot", "-i", timeout=300)
        self.reg_add(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", 0, "REG_DWORD")
        self._install_browser_stub()
        self.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", DEFAULT_DPI, "REG_DWORD")
        self.wintext = self.build_helper("wintext")
        self.wininfo = self.build_helper("wininfo")
        crashlog = self.build_helper("crashlog")
        if crashlog:  # without it a crash has no report, and no crash is let through (crashes.py)
            self.reg_add(AEDEBUG, "Debugger",
                         f'"{windows_path(crashlog)}" "{windows_path(self.crash_log)}" %ld %ld')
        self.commit()
        return self

    def prewarm(self):
        self.run("wineserver", "-p", check=False)  # fails harmlessly when a server is already up
        # Right after a prefix was taken down, the first start can fail while the old server goes
        # away; a second one goes through.
        for attempt in range(3):
            if self.run("wine", "cmd", "/c", "exit", check=False) == 0:
                return
            time.sleep(1)
            self.run("wineserver", "-p", check=False)

    def kill(self, timeout=30):
        """Ends every process of this prefix, and only those."""
        self.run("wineserver", "-k", check=False)
        wait_until(lambda: not self.processes(), timeout, f"the processes of {self.path} to end")

    def destroy(self):
        try:
            if self.path.exists():
                self.kill()
        finally:
            if not os.environ.get("PAGERIFT_E2E_KEEP"):
                shutil.rmtree(self.root, ignore_errors=True)

    # -- settings the tests arrange -----------------------------------------------------------------
    def set_dpi(self, dpi):
        """Screen DPI as a manifest-less exe sees it; takes effect for programs started afterwards."""
        if dpi == self.dpi:
            return
        self.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", int(dpi), "REG_DWORD")
        self.commit()  # explorer's desktop and the rest restart with the new value
        self.dpi = dpi

    def _install_browser_stub(self):
        stub = self.root / "winebrowser-stub.sh"
        stub.write_text('#!/bin/sh\nprintf \'%s\\n\' "$@" >> "$(dirname "$0")/browser.log"\n')
        stub.chmod(0o755)
        self.reg_add(r"HKCU\Software\Wine\WineBrowser", "Browsers", str(stub))

    def browser_calls(self):
        """Arguments the stub browser was started with, one a line, since the last clear."""
        raw = _read(self.browser_log)
        return raw.decode("utf-8", "replace").splitlines() if raw else []

    def clear_browser_log(self):
        self.browser_log.unlink(missing_ok=True)

    def crash_reports(self):
        """What Wine's debugger wrote about crashes so far (see crashes.py); "" when nothing crashed."""
        raw = _read(self.crash_log)
        return raw.decode("utf-8", "replace") if raw else ""

    # -- processes ------------------------------------------------------------------------------------
    def processes(self, exe_name=None):
        """Live pids whose environment names this prefix, optionally only those running `exe_name`."""
        marker = f"WINEPREFIX={self.path}".encode()
        want = exe_name.lower().encode() if exe_name else None
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            environ = _read(f"/proc/{entry}/environ")
            if not environ or marker not in environ.split(b"\0"):
                continue
            stat = _read(f"/proc/{entry}/stat")
            if not stat or stat[stat.rindex(b")") + 2:][:1] in (b"Z", b"X"):
                continue
            if want:
                cmd = (_read(f"/proc/{entry}/cmdline") or b"").split(b"\0")[0].lower()
                if not (cmd == want or cmd.endswith(b"/" + want) or cmd.endswith(b"\\" + want)):
                    continue
            pids.append(int(entry))
        return sorted(pids)

    # -- window texts ---------------------------------------------------------------------------------
    def build_helper(self, name):
        """Compiles tests/e2e/NAME.c into a Windows exe; None when there is no MinGW or it fails."""
        cc = shutil.which("x86_64-w64-mingw32-gcc-posix") or shutil.which("x86_64-w64-mingw32-gcc")
        if not cc:
            return None
        out = self.root / f"{name}.exe"
        res = subprocess.run([cc, "-municode", "-static", "-O2", "-Wall", "-Wextra", "-Werror",
                              str(HERE / f"{name}.c"), "-o", str(out),
                              "-lgdi32"], stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        return out if res.returncode == 0 else None

    def window_texts(self, title):
        """[(class, text)] of the top-level window with that exact title and its children, the window
        itself first; None when the window is not there or the helper could not be built."""
        if not self.wintext:
            return None
        out = self.root / "wintext.out"
        out.unlink(missing_ok=True)
        if self.run("wine", self.wintext, out, title, check=False, timeout=60) != 0:
            return None
        # One "class<TAB>text" record a line, but a text may hold CR LF line breaks of its own (a message
        # box's): a piece without a tab continues the text before it. newline="" keeps the CRs.
        records = []
        with open(out, encoding="utf-8", newline="") as f:
            pieces = f.read().split("\n")
        if pieces[-1] == "":
            pieces.pop()
        for piece in pieces:
            if "\t" in piece or not records:
                records.append(piece.split("\t", 1) if "\t" in piece else [piece, ""])
            else:
                records[-1][1] += "\n" + piece
        return [tuple(r) for r in records]

    def window_info(self, title, command, *args):
        """Runs wininfo.c against the top-level window with that exact title: "window" gives its rect and
        state, "controls" its child controls, "click", X, Y posts a click at a client point. Returns the
        JSON lines as dicts; None when the window is not there. Fails when the helper could not be built."""
        assert self.wininfo, "tests/e2e/wininfo.c did not build (is MinGW installed?)"
        out = self.root / "wininfo.out"
        out.unlink(missing_ok=True)
        code = self.run("wine", self.wininfo, out, title, command, *args, check=False, timeout=60)
        if code == 1:
            return None
        if code != 0:
            raise RuntimeError(f"wininfo {command} {args} exited with {code}")
        return [json.loads(line) for line in out.read_text(encoding="utf-8").splitlines() if line]
