"""The output folder chosen through the real folder dialog is remembered in txtPath, yet a burst still
writes its pages into the current folder."""
import re

import wininfo
from pdfs import count_pages, make_pdf, page_files

BROWSE = (488, 410, 42, 22)  # imgBrowse: below the visible area, out of the pointer's reach


def test_a_chosen_output_folder_is_kept_but_pages_land_in_the_current_folder(app, workdir, wineprefix,
                                                                            tmp_path):
    # The dialog opens on the desktop, and OK returns that; point the prefix's desktop at a folder of
    # this test so that a page written there would be seen (and would not land in a real home folder).
    desktop = wineprefix.path / "drive_c" / "users" / _wine_user(wineprefix) / "Desktop"
    chosen = tmp_path / "chosen folder"
    chosen.mkdir()
    aside = desktop.with_name("Desktop.e2e-aside")
    desktop.rename(aside)
    desktop.symlink_to(chosen)
    try:
        app.start()
        app.wait_pixel(5, 5, (236, 241, 247))
        app.move_to(300, 15)
        wininfo.post_click(wineprefix, BROWSE[0] + 2, BROWSE[1] + 2)
        app.wait_dialog("Browse for Folder")
        assert ("Static", "Please select a folder:") in (wineprefix.window_texts("Browse for Folder") or [])
        app.dismiss_dialog("Browse for Folder")  # Return: OK on the tree's selection

        c = wininfo.wait_controls(wineprefix, lambda c: c["txtPath"]["text"] != "C:\\Output", 15,
                                  "txtPath to take the chosen folder")
        path = c["txtPath"]["text"]
        assert re.fullmatch(r"C:\\users\\[^\\]+\\Desktop", path, re.IGNORECASE), path

        src = make_pdf(tmp_path / "chosen test.pdf", 3)
        app.drop_files([src], at=(274, 183))
        assert "Successfully" in app.dialog_text("Done")
        assert [count_pages(p) for p in page_files(workdir, src.stem)] == [1, 1, 1]
        assert list(chosen.iterdir()) == [], "pages went into the chosen folder"
        wininfo.wait_controls(wineprefix, lambda c: c["txtPath"]["text"] == path + "\\", 15,
                              "txtPath to hold the chosen folder with a backslash")
    finally:
        app.stop()
        desktop.unlink()
        aside.rename(desktop)


def _wine_user(prefix):
    users = [p.name for p in (prefix.path / "drive_c" / "users").iterdir()
             if p.is_dir() and p.name.lower() != "public"]
    assert len(users) == 1, users
    return users[0]

