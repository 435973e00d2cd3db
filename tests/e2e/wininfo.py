"""Pagerift's window as Win32 sees it from inside the prefix (wininfo.c): its controls by role, its state,
and clicks on controls the layout keeps out of the pointer's reach."""
from harness import wait_until

TITLE = "Pagerift"
# The option lists tell themselves apart by their first item.
COMBOS = {"32": "cmbBR", "48000": "cmbR", "Mono": "cmbChannel"}


def window_state(prefix, title=TITLE):
    """{x, y, w, h, client_w, client_h, visible, iconic, topmost, layered, dpi}; None without the window."""
    lines = prefix.window_info(title, "window")
    return lines[0] if lines else None


def controls(prefix, title=TITLE):
    """The window's controls by name: txtPath, lstFile, picDrag, cmbBR, cmbR, cmbChannel. Each a dict with
    class, text, x, y, w, h (relative to the client area), visible, focused; lists add count, sel, items."""
    lines = prefix.window_info(title, "controls")
    assert lines is not None, f"no window titled {title!r}"
    named = {}
    for c in lines:
        cls = c["class"].lower()
        if cls == "edit" and c["parent"] == 0:
            named["txtPath"] = c
        elif cls == "listbox":
            named["lstFile"] = c
        elif cls == "combobox" and c.get("items"):
            named[COMBOS.get(c["items"][0], f"combo{c['id']}")] = c
    holder = named.get("lstFile", {}).get("parent")
    for c in lines:
        if holder and c["id"] == holder:
            named["picDrag"] = c
    return named


def wait_controls(prefix, test, timeout=30, what="the window's controls to match"):
    """Polls the controls until test(controls) holds; returns them."""
    seen = []

    def probe():
        seen[:] = [controls(prefix)]
        return test(seen[0])
    wait_until(probe, timeout, what)
    return seen[0]


def post_click(prefix, x, y, title=TITLE):
    """Posts a left button down and up at client point (x, y) of the window, with no pointer involved."""
    assert prefix.window_info(title, "click", int(x), int(y)) is not None, f"no window titled {title!r}"


def post(prefix, message, wparam=0, title=TITLE):
    """Posts a window message (WM_CLOSE, WM_ENDSESSION...) to the window, as the system would send it."""
    assert prefix.window_info(title, "post", int(message), int(wparam)) is not None, f"no window titled {title!r}"


def object_answers(prefix, title=TITLE):
    """{control id (0: the window itself): what it answers WM_GETOBJECT for OBJID_CLIENT}."""
    lines = prefix.window_info(title, "getobject")
    assert lines is not None, f"no window titled {title!r}"
    return {line["id"]: line["answer"] for line in lines}
