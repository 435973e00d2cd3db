"""Pagerift starts under Wine and shows its one window at its designed size."""


def test_window_titled_pagerift_at_its_designed_size(app):
    app.start()

    assert app.display.window_name(app.wid) == "Pagerift"
    assert app.alive()
    assert tuple(app.size()) == (548, 366)
