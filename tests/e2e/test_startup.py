"""Pagerift starts under Wine and shows its one window at its designed size."""
from userflow import PROBE, save_window_shot, shows_drop_zone


def test_window_titled_pagerift_at_its_designed_size(app):
    app.start()

    assert app.display.window_name(app.wid) == "Pagerift"
    assert app.alive()
    assert tuple(app.size()) == (548, 366)
    app.wait_pixel(*PROBE, shows_drop_zone, what="the drop zone to be painted")
    save_window_shot(app, "window")
