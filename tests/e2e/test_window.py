"""The skinned window as it starts: its face through the colour key, the settings file beside the exe, and
the single running copy. At other display scales: test_display_scale.py."""
import os
import subprocess

import pytest

import skin
import wininfo
from harness import end_process, wait_until

LISTS = ("cmbBR", "cmbR", "cmbChannel")


def wait_face(app, expected, timeout=30):
    """Waits until the window on screen matches `expected` pixel for pixel (within JPEG noise)."""
    seen = []

    def matches():
        seen[:] = [skin.mismatches(skin.window_image(app.screenshot(), app.geometry()), expected, 3)]
        return not seen[0]
    try:
        wait_until(matches, timeout, "the window to show its skin")
    except AssertionError as exc:
        raise AssertionError(f"{exc}: {len(seen[0])} pixels differ, first {seen[0][:10]}") from None


def selected(control):
    return control["items"][control["sel"]] if control["sel"] >= 0 else None


def test_the_window_shows_its_layout_and_the_skin_through_the_key(app, wineprefix):
    dpi = 96
    app.start()
    # Off the drop zone, so that it shows its normal picture; the caption bar has no tooltip either.
    app.wait_pixel(5, 5, lambda rgb: rgb != skin.ROOT)
    app.move_to(300, 15)

    state = wininfo.window_state(wineprefix)
    assert state["dpi"] == dpi, "the prefix did not take the DPI setting"
    assert tuple(app.size()) == skin.WINDOW
    assert (state["client_w"], state["client_h"]) == skin.WINDOW
    zone = wininfo.controls(wineprefix)["picDrag"]
    assert (zone["x"], zone["y"], zone["w"], zone["h"]) == skin.DROP_ZONE
    assert zone["visible"]

    # The whole face: background, drop-zone picture at natural size in its place (a grown drop zone
    # would blank the bottom bar), and the root showing through the corner cuts.
    wait_face(app, skin.expected_face())
    shot = app.screenshot()
    assert {app.pixel(x, y, shot) for x, y in skin.corner_cuts()} == {skin.ROOT}
    assert skin.ROOT not in {app.pixel(x, y, shot) for x, y in skin.corner_rims()}
    assert app.pixel(5, 5, shot) == (236, 241, 247)
    assert state["layered"] and state["topmost"]


def test_settings_file_presets_the_lists_and_folder_and_a_second_start_ends_silently(app, stage, workdir,
                                                                                      wineprefix):
    (stage / "setup.ini").write_bytes(b"2,1,0,D:\\Out Put\r\n")
    app.start()

    # The shell brings the controls in line one after another, and a reader in another process can
    # be answered between two of them: wait for the whole preset, not for the folder alone.
    want = {"cmbBR": "56", "cmbR": "44100", "cmbChannel": "Mono"}
    c = wininfo.wait_controls(
        wineprefix, lambda c: c["txtPath"]["text"] == "D:\\Out Put" and
        {name: selected(c[name]) for name in LISTS} == want, 15,
        "txtPath and the lists to take the settings file's preset")
    assert c["txtPath"]["focused"]

    # The second copy may create its window before it finds the first one running; it must never map it.
    first, windows = app.pid(), set(app.display.search("^Pagerift$"))
    second = subprocess.Popen(["wine", str(app.exe)], cwd=workdir, env=wineprefix.env(),
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        seen = set()

        def ended():
            seen.update(app.display.search("^Pagerift$"))
            return second.poll() is not None
        wait_until(ended, 30, "the second Pagerift to end")
        assert second.returncode == 0
    finally:
        end_process(second)
    assert seen == windows, "the second start showed a window"
    assert app.pids() == [first]
    assert set(app.display.search("^Pagerift$")) == windows


def test_a_hidden_settings_file_counts_as_absent(app, stage, wineprefix):
    ini = stage / "setup.ini"
    ini.write_bytes(b"2,1,0,D:\\Out Put\r\n")
    wineprefix.run("wine", "cmd", "/c", "attrib", "+h", "Z:" + str(ini).replace("/", "\\"))
    # Wine keeps DOS attributes in an extended attribute of the Unix file.
    assert int(os.getxattr(ini, "user.DOSATTRIB").rstrip(b"\0").decode(), 16) & 0x2, "attrib did not hide it"
    app.start()
    # The shaping tick comes after start-up has read the settings.
    wait_until(lambda: wininfo.window_state(wineprefix)["layered"], 15, "start-up to finish")

    c = wininfo.controls(wineprefix)
    assert c["txtPath"]["text"] == "C:\\Output"
    assert [c[name]["sel"] for name in LISTS] == [-1, -1, -1]
