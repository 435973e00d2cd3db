"""Wine's faults kept apart from ours. Every settings file that once crashed Pagerift under Wine starts it
again on every run; a crash passes only when Wine's own report puts it inside Wine, at a fault the README
names. A crash in a program's own code, or an unknown one inside Wine, fails. The fonts and the code page
those verdicts hang on are checked to be the pinned ones."""
from pathlib import Path

import pytest

from crashes import report_for
from harness import wait_until
from reliability import try_start
from wine import FONTS_CONF

CRASHERS = sorted((Path(__file__).parent / "data" / "setup_crashers").glob("*.ini"))
FONTS_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts"
CODEPAGE_KEY = r"HKLM\System\CurrentControlSet\Control\Nls\CodePage"


@pytest.mark.parametrize("ini", CRASHERS, ids=lambda p: p.stem)
def test_a_setup_ini_that_once_crashed_starts_or_meets_only_a_documented_wine_fault(
        app, stage, wineprefix, ini, figures):
    (stage / "setup.ini").write_bytes(ini.read_bytes())
    verdict, detail = try_start(app, wineprefix)
    figures("verdict", verdict if verdict != "platform fault" else f"{verdict}: {detail.summary()}")
    assert verdict != "failed", detail


@pytest.mark.parametrize("mode, module", [("own", "crasher"), ("wine", "msvcrt")])
def test_a_crash_that_is_not_a_documented_wine_fault_is_not_let_through(wineprefix, mode, module):
    """crasher.c: a null write in the program's own window procedure, and a bad pointer it hands to Wine's
    C runtime. Both get a report, and neither passes as Wine's fault, although Wine is on the stack."""
    exe = wineprefix.build_helper("crasher")
    assert exe, "tests/e2e/crasher.c did not build"
    mark = len(wineprefix.crash_reports())
    wineprefix.run("wine", exe, mode, check=False)  # its exit code after the debugger has let go varies
    wait_until(lambda: not wineprefix.processes("crashlog.exe"), 60, "Wine's debugger to finish its report")
    crash = report_for(wineprefix.crash_reports()[mark:], exe.name)
    assert crash, f"no crash report from Wine's debugger in {wineprefix.crash_log}"
    assert crash.top[1] == module, crash.text[:2000]
    assert crash.platform_fault() is None


def test_wine_sees_only_the_pinned_fonts_and_the_cp1252_code_page(wineprefix, tmp_path):
    fonts = _registry_values(wineprefix, FONTS_KEY, tmp_path / "fonts.reg")
    truetype = sorted(path for name, path in fonts.items() if name.endswith("(TrueType)"))
    pinned = sorted(f"Z:{p}".replace("/", "\\") for p in (FONTS_CONF.parent / "dejavu").glob("*.ttf"))
    assert len(pinned) == 6
    assert truetype == pinned
    codepages = _registry_values(wineprefix, CODEPAGE_KEY, tmp_path / "codepage.reg")
    # setup.ini is read in the ANSI code page: the fuzzer's bytes mean the same text everywhere.
    assert (codepages.get("ACP"), codepages.get("OEMCP")) == ("1252", "437")


def _registry_values(prefix, key, out):
    """{name: string value} of one registry key, read through `reg export` (whose file is UTF-16)."""
    prefix.run("wine", "reg", "export", key, out, "/y")
    values = {}
    for line in out.read_text(encoding="utf-16").splitlines():
        if line.startswith('"') and '"="' in line:
            name, value = line[1:-1].split('"="', 1)
            values[name] = value.replace("\\\\", "\\")
    return values
