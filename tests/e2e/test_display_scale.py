"""The window at the display scales of today's laptops, under Wine with the prefix's LogPixels: s = DPI /
96 times its 96-DPI size in device pixels, showing the pictures drawn for that scale, cut at the scaled
corners, and working there: a drop splits, the close hotspot answers at its scaled place and only there.
And the sharpness that drawing for the scale buys, against the stretch Windows gives a program that is
not DPI aware."""
import pytest
from PIL import Image, ImageFilter, ImageStat

import skin
import wininfo
from harness import wait_until
from pdfs import make_pdf
from userflow import assert_split, dismiss_done, save_window_shot, shows_drop_zone

DPIS = (96, 120, 144, 192)
EXIT = (530, 6, 15, 15)  # the close hotspot at 96 DPI: x, y, w, h
PROBE = (41, 177)        # a flat point of the drop-zone picture at 96 DPI (userflow.PROBE)
CAPTION = (300, 15)      # bare background without a tooltip


def scaled(point, s):
    return tuple(skin.device(v, s) for v in point)


def start_at(app, wineprefix, dpi):
    wineprefix.set_dpi(dpi)
    app.start()
    s = dpi / 96
    app.wait_pixel(*scaled(PROBE, s), shows_drop_zone, what="the drop zone to be painted")
    app.move_to(*scaled(CAPTION, s))  # off the drop zone: its normal picture
    return s


def wait_face(app, s):
    expected, seen = skin.expected_face(s=s), []

    def matches():
        seen[:] = [skin.mismatches(skin.window_image(app.screenshot(), app.geometry()), expected, 3)]
        return not seen[0]
    try:
        wait_until(matches, 30, "the window to show the pictures drawn for its scale")
    except AssertionError as exc:
        raise AssertionError(f"{exc}: {len(seen[0])} pixels differ, first {seen[0][:10]}") from None


@pytest.mark.parametrize("dpi", DPIS)
def test_the_window_is_its_scaled_size_shows_pictures_drawn_for_the_scale_and_splits_a_drop(
        app, wineprefix, workdir, dpi):
    s = start_at(app, wineprefix, dpi)
    state = wininfo.window_state(wineprefix)
    assert state["dpi"] == dpi, "the prefix did not take the DPI setting"
    assert (state["client_w"], state["client_h"]) == skin.window(s)
    assert tuple(app.size()) == skin.window(s)
    zone = wininfo.controls(wineprefix)["picDrag"]
    assert (zone["x"], zone["y"], zone["w"], zone["h"]) == skin.drop_zone(s)

    # Every pixel as drawn for the scale (a stretched 96-DPI picture would differ at every edge), and
    # the root showing through the scaled corner cuts, the rim just inside them still skin.
    wait_face(app, s)
    shot = app.screenshot()
    size = skin.window(s)
    assert {app.pixel(x, y, shot) for x, y in skin.corner_cuts(size, s)} == {skin.ROOT}
    assert skin.ROOT not in {app.pixel(x, y, shot) for x, y in skin.corner_rims(size, s)}
    save_window_shot(app, f"window-{dpi}dpi")

    x, y, w, h = skin.drop_zone(s)
    source = make_pdf(workdir / f"scaled {dpi}.pdf", 3)
    app.drop_files([source], (x + w // 2, y + h // 2))
    dismiss_done(app)
    assert_split(workdir, source, 3)


@pytest.mark.parametrize("dpi", DPIS)
def test_the_close_hotspot_answers_at_its_scaled_place_and_not_just_outside_it(app, wineprefix, dpi):
    s = start_at(app, wineprefix, dpi)
    x, y, w, h = (skin.device(v, s) for v in EXIT)
    # Just below it: bare caption, nothing happens.
    app.click(x + w // 2, y + h + skin.device(2, s))
    wait_until(lambda: wininfo.window_state(wineprefix)["layered"], 15, "start-up to finish")
    app.assert_alive()
    assert wininfo.window_state(wineprefix) is not None
    # Its bottom-right corner: at 96 DPI's place it would be outside the window at 200 %.
    app.click(x + w - 2, y + h - 2)
    app.wait_exit(30)


def high_frequency_energy(img, box):
    """Mean square of the Laplacian of the grey levels in `box`: what edges a picture has."""
    grey = img.convert("L").crop(box)
    return ImageStat.Stat(grey.filter(ImageFilter.Kernel((3, 3), (0, 1, 0, 1, -4, 1, 0, 1, 0), 1, 128))
                          ).var[0]


@pytest.mark.cost(3)
def test_at_200_percent_the_title_and_the_drop_zone_glyph_are_as_sharp_as_at_100(app, wineprefix, figures):
    start_at(app, wineprefix, 96)
    wait_face(app, 1.0)
    small = skin.window_image(app.screenshot(), app.geometry())
    app.stop()
    start_at(app, wineprefix, 192)
    wait_face(app, 2.0)
    large = skin.window_image(app.screenshot(), app.geometry())

    # What Windows shows of a program that is not DPI aware: its window stretched, bilinear.
    stretched = small.resize(large.size, Image.Resampling.BILINEAR)
    doubled = small.resize(large.size, Image.Resampling.NEAREST)
    regions = {"title": (28, 4, 92, 22), "drop-zone glyph": (241, 84, 305, 162)}  # at 96 DPI
    for name, box in regions.items():
        big = tuple(2 * v for v in box)
        drawn, blurred = high_frequency_energy(large, big), high_frequency_energy(stretched, big)
        at_100 = high_frequency_energy(small, box)
        figures(f"{name}: high-frequency energy at 200 % {drawn:.0f}, stretched from 100 % {blurred:.0f}, "
                f"at 100 % {at_100:.0f}; ratio drawn / stretched {drawn / blurred:.2f}")
        assert drawn >= 1.5 * blurred, f"the {name} at 200 % is no sharper than a stretched 100 %"
        # Drawn for the scale, not doubled: a doubled picture has every 2 x 2 block of one colour.
        blocks = doubled.crop(big)
        differs = sum(1 for p, q in zip(large.crop(big).getdata(), blocks.getdata())
                      if max(abs(a - b) for a, b in zip(p, q)) > 24)
        figures(f"{name}: pixels that differ from the 100 % picture doubled: "
                f"{differs} of {blocks.width * blocks.height}")
        assert differs > blocks.width * blocks.height // 20, f"the {name} at 200 % is the 100 % one doubled"


def test_at_200_percent_the_keyboard_works_and_the_focus_cue_is_drawn_twice_as_thick(app, wineprefix):
    s = start_at(app, wineprefix, 192)
    app.display.focus(app.wid)  # without a window manager keys follow the X focus
    x, y, w, _ = skin.drop_zone(s)
    inset = skin.device(3, s)  # inside the drop zone's frame line, as at 96 DPI

    def dots(row):
        rx, ry = app.to_root(x + 40, y + row)
        strip = app.display.grab(rx, ry, 200, 1)
        return sum(1 for i in range(strip.width) if sum(strip.getpixel((i, 0))) < 300)
    assert dots(inset) == 0, "a focus cue while the folder box has the focus"
    app.display.key("Tab")
    wait_until(lambda: dots(inset) >= 60, 15, "the focus cue on the drop zone")
    assert dots(inset + 1) >= 60, "the cue is one line thick at 200 %"
    assert dots(inset + 2) == 0
    app.display.key("Return")
    app.wait_dialog("Open Files")
    app.dismiss_dialog("Open Files", key="Escape")
    app.assert_alive()
