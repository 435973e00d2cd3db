"""Where the programs' DLLs come from. Windows looks for a DLL that is not one of its KnownDLLs in the
program's own folder first, and a zip unpacked in the Downloads folder shares that folder with whatever
else was downloaded. So neither executable may import such a DLL at load time, and a DLL planted beside
Pagerift.exe is never loaded, while what needed it still works."""
import os
import shutil
import subprocess

import pe
import wininfo
from pdfs import make_pdf
from userflow import DROP_AT, assert_split, dismiss_done, start_ready

# Load-time imports that Windows never takes from the program's folder: the KnownDLLs (HKLM\System\
# CurrentControlSet\Control\Session Manager\KnownDLLs) that the two programs use, lower case.
KNOWN_DLLS = {
    "kernel32.dll": "KnownDLL: processes, files, the loader itself",
    "user32.dll": "KnownDLL: windows and messages",
    "gdi32.dll": "KnownDLL: painting",
    "msvcrt.dll": "KnownDLL: MinGW's C runtime",
    "advapi32.dll": "KnownDLL: the splitter's random numbers for encryption",
    "ole32.dll": "KnownDLL: drag and drop, COM",
    "oleaut32.dll": "KnownDLL: BSTR and VARIANT for the accessible objects",
    "shell32.dll": "KnownDLL: the dropped file list, opening folders, the folder dialog",
    "comdlg32.dll": "KnownDLL: the open-file dialog",
    # Not a KnownDLL, but the manifest names Common-Controls 6.0 with Microsoft's public key, and the
    # loader takes such an assembly from the system's side-by-side store before any folder.
    "comctl32.dll": "side-by-side: bound by the manifest",
}
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800


def _programs(stage):
    return {"Pagerift.exe": stage / "Pagerift.exe", "data/pdftk.exe": stage / "data" / "pdftk.exe"}


def test_neither_program_imports_a_dll_that_windows_would_look_for_beside_it(stage_source):
    manifest = (stage_source.parents[2] / "skin" / "art" / "pagerift.manifest").read_text()
    assert 'name="Microsoft.Windows.Common-Controls"' in manifest and "6595b64144ccf1df" in manifest
    for name, path in _programs(stage_source).items():
        image = pe.Image(path)
        imports = {dll.lower() for dll in image.imports()}
        assert "kernel32.dll" in imports, f"{name}: the import table was not read"
        assert imports <= set(KNOWN_DLLS), f"{name} imports {sorted(imports - set(KNOWN_DLLS))} at load time"
        # MinGW's delay-load helper searches the default order at the first call; we load by hand.
        assert image.delay_imports() == [], f"{name} delay-loads {image.delay_imports()}"
        flags = image.dependent_load_flags()
        assert flags in (None, LOAD_LIBRARY_SEARCH_SYSTEM32), f"{name}: DependentLoadFlags {flags:#x}"


def _mingw():
    cc = shutil.which("x86_64-w64-mingw32-gcc-posix") or shutil.which("x86_64-w64-mingw32-gcc")
    assert cc, "no MinGW C compiler"
    return cc


def _build_plant(tmp_path):
    """OLEACC.dll that leaves a trace, and a program that imports oleacc.dll as Pagerift once did."""
    source = os.path.join(os.path.dirname(__file__), "planted_dll.c")
    dll, loader = tmp_path / "OLEACC.dll", tmp_path / "imports_oleacc.exe"
    subprocess.run([_mingw(), "-shared", "-O2", "-Wall", "-Werror", source, "-o", str(dll)], check=True,
                   stdin=subprocess.DEVNULL, timeout=120)
    subprocess.run([_mingw(), "-DLOADER", "-municode", "-O2", "-Wall", "-Werror", source, "-o", str(loader),
                    "-loleacc", "-luuid"], check=True, stdin=subprocess.DEVNULL, timeout=120)
    return dll, loader


def test_a_dll_planted_beside_the_program_is_never_loaded_and_a_screen_reader_still_gets_its_objects(
        app, stage, workdir, wineprefix, monkeypatch, tmp_path):
    dll, loader = _build_plant(tmp_path)
    folders = (stage, stage / "data", workdir)  # the program's folder, the splitter's, the current one
    for folder in folders:
        shutil.copy(dll, folder)
    shutil.copy(loader, stage)
    traces = [folder / "planted.trace" for folder in folders]

    # Wine prefers its own oleacc even to a file beside the program; n,b makes it search as Windows does.
    plain_env = wineprefix.env

    def windows_search_order():
        env = plain_env()
        env["WINEDLLOVERRIDES"] += ";oleacc=n,b"
        return env
    monkeypatch.setattr(wineprefix, "env", windows_search_order)

    # The plant works: a program that imports oleacc.dll at load time runs the planted copy.
    subprocess.run(["wine", str(stage / loader.name)], cwd=workdir, env=wineprefix.env(), timeout=120,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    assert traces[0].exists(), "the planted OLEACC.dll was not loaded even by a program that imports it"
    traces[0].unlink()

    def loaded():
        return [str(t.parent) for t in traces if t.exists()]
    start_ready(app)
    assert loaded() == [], "a planted OLEACC.dll was loaded at start-up"
    # A screen reader's first question loads oleacc; the window answers with its own object.
    answers = wininfo.object_answers(wineprefix)
    zone = wininfo.controls(wineprefix)["picDrag"]["id"]
    assert answers[0] in range(0xC000, 0x10000), f"the frame answered {answers[0]}"
    assert answers[zone] in range(0xC000, 0x10000), f"the drop zone answered {answers[zone]}"
    # A whole job under the same search order: the splitter, the folder window, the message box.
    source = make_pdf(workdir / "planted.pdf", 2)
    app.drop_files([source], DROP_AT)
    dismiss_done(app)
    assert_split(workdir, source, 2)
    assert loaded() == [], "a planted OLEACC.dll was loaded"
