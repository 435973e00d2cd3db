"""The Windows zip as a user gets it: unpacked somewhere odd, it starts and splits."""
import subprocess
import zipfile
from pathlib import Path

from app import App
from pdfs import count_pages, make_pdf, page_files
from userflow import DROP_AT, PROBE, SUCCESS, dismiss_done, save_window_shot, shows_drop_zone

REPO = Path(__file__).resolve().parents[2]
ZIP = REPO / "dist" / "Pagerift-1.00-win64.zip"
STAGE_EXE = REPO / "build" / "win" / "Pagerift" / "Pagerift.exe"


def fresh_zip():
    if not ZIP.exists() or ZIP.stat().st_mtime < STAGE_EXE.stat().st_mtime:
        subprocess.run([str(REPO / "tools" / "package.sh")], check=True, stdout=subprocess.DEVNULL)
    return ZIP


def test_zip_holds_the_program_its_splitter_readme_and_licences():
    names = set(zipfile.ZipFile(fresh_zip()).namelist())
    top = "Pagerift-1.00-win64/"
    for needed in ("Pagerift.exe", "data/pdftk.exe", "README.txt", "licenses/Pagerift-LICENSE.txt",
                   "licenses/qpdf-LICENSE.txt", "licenses/libjpeg-turbo-LICENSE.txt",
                   "licenses/zlib-LICENSE.txt"):
        assert top + needed in names, needed
    readme = zipfile.ZipFile(ZIP).read(top + "README.txt").decode("utf-8")
    for topic in ("Current Folder", "Could not burst", "setup.ini"):
        assert topic in readme, topic


def test_unpacked_into_an_odd_path_it_splits_a_pdf(xdisplay, wineprefix, workdir, tmp_path):
    odd = tmp_path / "Program Files" / "Pagerift Тест 季度"
    odd.mkdir(parents=True)
    with zipfile.ZipFile(fresh_zip()) as z:
        z.extractall(odd)
    exe = odd / "Pagerift-1.00-win64" / "Pagerift.exe"
    exe.chmod(0o755)
    src = make_pdf(tmp_path / "Quarterly report.pdf", 4)

    app = App(xdisplay, wineprefix, exe, workdir, tmp_path / "logs")
    try:
        app.start()
        app.wait_pixel(*PROBE, shows_drop_zone, what="the drop zone to be painted")
        app.drop_files([src], at=DROP_AT)
        assert app.dialog_text("Done", timeout=60) == SUCCESS
        save_window_shot(app, "done")
        dismiss_done(app)
        pages = page_files(workdir, src.stem)
        assert [p.name for p in pages] == [f"Quarterly report_pg_000{i}.pdf" for i in range(1, 5)]
        assert all(count_pages(p) == 1 for p in pages)
    finally:
        app.stop()
