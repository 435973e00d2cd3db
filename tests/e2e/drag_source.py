#!/usr/bin/python3
"""A real X drag source: one button that offers the given files as file:// URIs.

Usage: drag_source.py --title T [--at X,Y] FILE...
Prints "ready", "data-get", "drag-end" and "drag-failed RESULT" lines as things happen, so the
harness can wait for them. It never ends by itself; the harness ends it by its pid."""
import argparse
import sys
from pathlib import Path

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402


def say(*words):
    print(*words, flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--title", required=True)
    ap.add_argument("--at", default="0,0")
    ap.add_argument("files", nargs="+")
    opts = ap.parse_args()
    # as_uri() percent-encodes the UTF-8 bytes, so blanks, accents and emoji survive the trip.
    uris = [Path(f).absolute().as_uri() for f in opts.files]
    for uri in uris:
        say("uri", uri)

    win = Gtk.Window(title=opts.title)
    win.set_default_size(180, 60)
    win.set_resizable(False)
    win.move(*map(int, opts.at.split(",")))
    button = Gtk.Button(label=f"drag {len(uris)} file(s)")
    button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
    button.drag_source_add_uri_targets()
    button.connect("drag-data-get", lambda _w, _ctx, data, _info, _time: (data.set_uris(uris), say("data-get")))
    button.connect("drag-end", lambda *_: say("drag-end"))
    button.connect("drag-failed", lambda _w, _ctx, result: say("drag-failed", result.value_nick) or False)
    win.add(button)
    win.connect("map-event", lambda *_: say("ready") or False)
    win.connect("destroy", Gtk.main_quit)
    win.show_all()
    Gtk.main()


if __name__ == "__main__":
    sys.exit(main())
