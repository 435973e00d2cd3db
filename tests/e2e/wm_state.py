"""Stands in for the one duty of a window manager that Wine waits on: keeping the WM_STATE property of
top-level windows, Normal once mapped and Withdrawn once unmapped.

The test display has no window manager. Wine hands windows with a caption (message boxes, explorer) to
one anyway, and before it hides or shows such a window again it waits for the WM_STATE change that a
window manager would make, giving up only after two seconds, with the program's thread stalled all
that time. Nothing else a window manager does (placing, stacking, focus, frames) happens here.

Runs until the display goes away or it is ended: python3 wm_state.py (DISPLAY names the display)."""
import sys

from Xlib import X, display as xdisplay

WITHDRAWN, NORMAL = 0, 1


def main():
    d = xdisplay.Display()
    d.set_error_handler(lambda *_: None)  # a window gone before we mark it: nobody waits on it then
    root = d.screen().root
    wm_state = d.intern_atom("WM_STATE")
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    print("ready", flush=True)
    while True:
        event = d.next_event()
        # Override-redirect windows (menus, Wine's unmanaged windows) are no window manager's business.
        if event.type == X.MapNotify and not event.override:
            state = NORMAL
        elif event.type == X.UnmapNotify:
            state = WITHDRAWN
        else:
            continue
        event.window.change_property(wm_state, wm_state, 32, [state, X.NONE])
        d.flush()


if __name__ == "__main__":
    try:
        main()
    except (KeyboardInterrupt, ConnectionError):
        sys.exit(0)
