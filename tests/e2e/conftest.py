"""Fixtures for the black-box tests: one Xvfb and one Wine prefix per session, a fresh copy of the
program, a working folder and an App per test. A failing test leaves a screenshot, the window list
and the program's logs under build/e2e-artifacts/<test name>/."""
import atexit
import os
import shutil
import signal
import tempfile
from pathlib import Path

import pytest

from app import App
from harness import XDisplay, safe_name
from wine import DEFAULT_DPI, WinePrefix

REPO = Path(__file__).resolve().parents[2]
STAGE = Path(os.environ.get("PAGERIFT_STAGE") or REPO / "build" / "win" / "Pagerift")
ARTIFACTS = Path(os.environ.get("PAGERIFT_E2E_ARTIFACTS") or REPO / "build" / "e2e-artifacts")


def pytest_configure(config):
    # A CI runner that gives up sends SIGTERM; turning it into an interrupt lets the session fixtures
    # stop Xvfb and the prefix instead of leaving them behind.
    def interrupt(signum, frame):
        raise KeyboardInterrupt(f"signal {signum}")
    signal.signal(signal.SIGTERM, interrupt)


def _once(func):
    """Runs from the fixture's teardown or, if the run dies before that, at interpreter exit."""
    done = []

    def run():
        if not done:
            done.append(True)
            func()
    atexit.register(run)
    return run


def pytest_addoption(parser):
    parser.addoption("--shard", metavar="K/N", help="run only the K-th of N shards of about equal cost: each "
                     "shard is a pytest run of its own, with its own display and prefix, so N can run at once")


@pytest.hookimpl(trylast=True)  # after -m and -k have had their say
def pytest_collection_modifyitems(config, items):
    spec = config.getoption("--shard")
    if not spec:
        return
    k, n = (int(part) for part in spec.split("/"))
    if not 1 <= k <= n:
        raise pytest.UsageError(f"--shard {spec}: K must be 1 to N")

    def cost(item):
        mark = item.get_closest_marker("cost")
        return mark.args[0] if mark else 5

    # Dearest first, each to the shard with the least so far: every run of the suite splits it alike.
    loads, shard_of = [0.0] * n, {}
    for item in sorted(items, key=cost, reverse=True):
        shard = loads.index(min(loads))
        loads[shard] += cost(item)
        shard_of[item.nodeid] = shard
    keep = [item for item in items if shard_of[item.nodeid] == k - 1]
    config.hook.pytest_deselected(items=[item for item in items if shard_of[item.nodeid] != k - 1])
    items[:] = keep


@pytest.fixture(scope="session")
def e2e_root():
    root = Path(tempfile.mkdtemp(prefix="pagerift-e2e-"))
    yield root
    if not os.environ.get("PAGERIFT_E2E_KEEP"):
        shutil.rmtree(root, ignore_errors=True)


@pytest.fixture(scope="session")
def xdisplay(e2e_root):
    display = XDisplay(e2e_root / "x")
    stop = _once(display.stop)
    display.start()
    yield display
    stop()


@pytest.fixture(scope="session")
def wineprefix(e2e_root, xdisplay):
    prefix = WinePrefix(e2e_root / "wine", xdisplay)
    destroy = _once(prefix.destroy)
    prefix.boot()
    yield prefix
    destroy()


@pytest.fixture(scope="session")
def stage_source():
    exe = STAGE / "Pagerift.exe"
    if not exe.is_file():
        pytest.fail(f"{exe} is missing: build the Windows configuration first, or point PAGERIFT_STAGE "
                    f"at the folder that holds Pagerift.exe and data/pdftk.exe", pytrace=False)
    return STAGE


@pytest.fixture
def stage(stage_source, tmp_path):
    """This test's own copy of the program folder: add setup.ini or remove data/pdftk.exe freely."""
    copy = tmp_path / "Pagerift app"
    shutil.copytree(stage_source, copy)
    return copy


@pytest.fixture
def workdir(tmp_path):
    """The current folder Pagerift starts in, where the page files land."""
    path = tmp_path / "work dir"
    path.mkdir()
    return path


@pytest.fixture
def app(stage, workdir, xdisplay, wineprefix, tmp_path):
    """Pagerift, not yet started: arrange the stage, the DPI or the working folder, then app.start()."""
    wineprefix.set_dpi(DEFAULT_DPI)
    wineprefix.clear_browser_log()
    driver = App(xdisplay, wineprefix, stage / "Pagerift.exe", workdir, tmp_path / "logs")
    yield driver
    driver.stop()


@pytest.fixture
def figures(request, capsys):
    """The case's figures, printed past pytest's capture and kept as a file (reliability.Figures)."""
    from reliability import Figures  # reliability imports this module
    return Figures(request.node.name, capsys)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    # Right after the test body and before any teardown: the screen still shows what went wrong.
    if report.failed and report.when in ("setup", "call"):
        try:
            _save_artifacts(item)
        except Exception as exc:  # never hide the real failure behind a reporting problem
            report.sections.append(("e2e artifacts", f"could not save artifacts: {exc!r}"))


def _save_artifacts(item):
    display = item.funcargs.get("xdisplay")
    if display is None or display.proc is None:
        return
    out = ARTIFACTS / safe_name(item.name)
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    display.screenshot(out / "screen.png")
    (out / "windows.txt").write_text(display.window_list(), encoding="utf-8")
    app = item.funcargs.get("app")
    if app is not None:
        for log in app.logdir.glob("*"):
            shutil.copy(log, out / log.name)
        (out / "processes.txt").write_text(f"Pagerift.exe: {app.pids()}\npdftk.exe: {app.splitter_pids()}\n")
    lines = []
    for name in ("workdir", "stage"):
        folder = item.funcargs.get(name)
        if folder is not None and folder.exists():
            lines += [f"{p}\t{p.stat().st_size}" for p in sorted(folder.rglob("*")) if p.is_file()]
    (out / "files.txt").write_text("\n".join(lines) + "\n", encoding="utf-8")
    prefix = item.funcargs.get("wineprefix")
    if prefix is not None and prefix.browser_log.exists():
        shutil.copy(prefix.browser_log, out / "browser.log")
    if prefix is not None and prefix.crash_log.exists():
        shutil.copy(prefix.crash_log, out / "crashes.log")
