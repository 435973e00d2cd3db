"""The whole program under load and abuse, seen from outside: qpdf's own test PDFs through real drops,
a thousand files in one drop, closing mid-job, bad drops, and setup.ini fuzzing. Each case prints its
figures as "reliability: <case>: ..." and keeps them in build/e2e-artifacts/reliability/<case>.txt.
They are long: `-m "not reliability"` leaves them out."""
import os
import random
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from harness import wait_until
from pdfs import make_pdf, page_files
from reliability import (answered_in, close_by_exit_button, drop_job, is_refusal, judge_split, npages,
                         output_stem, pages_of, pmap, qpdf_test_pdfs, rss_kb, snapshot, splitter_runs, temp_files,
                         tree_pages, try_start, unreadable_pages, wait_zone_idle)
from setup_fuzz import fuzzed_setup_files
from userflow import DROP_AT, REASON, SUCCESS

pytestmark = pytest.mark.reliability


@pytest.mark.cost(130)
def test_qpdf_test_pdfs_through_real_drops(app, stage, workdir, tmp_path, wineprefix, figures):
    corpus, originals = qpdf_test_pdfs()
    if not originals:
        pytest.skip("qpdf's test folder is not in the dependency cache (run tools/deps.sh first)")
    sources_dir = tmp_path / "corpus"
    sources_dir.mkdir()
    sources = [Path(shutil.copy2(p, sources_dir / p.name)) for p in originals]
    stems = [output_stem(p).casefold() for p in sources]
    assert len(set(stems)) == len(stems), "two sources would write the same page names"
    expected = dict(zip(sources, pmap(npages, sources)))
    figures("corpus", f"{len(sources)} files from {corpus}")
    figures("qpdf cannot read", sum(n is None for n in expected.values()))

    app.start()  # one Pagerift for every batch: it has to live through them all
    verdicts = {"correct": [], "by tree": [], "unverifiable": [], "wrong": []}
    failed, discrepancies, batch_times = [], [], []
    for first in range(0, len(sources), 50):
        batch = sources[first:first + 50]
        done, took = drop_job(app, batch, timeout=900)
        batch_times.append(round(took, 1))
        assert app.alive(), f"Pagerift died during the batch starting at {batch[0].name}"
        if done.total is not None:
            assert (done.total, done.ok) == (len(batch), len(batch) - done.failures), done.text
        named = set(map(Path, done.named))
        assert named <= set(batch), f"the message names files that were not dropped: {named - set(batch)}"
        # The message lists failures in job order, so the unnamed ones all come after the last named one.
        last_named = max((batch.index(p) for p in named), default=-1)
        unnamed_left = done.unnamed
        for i, src in enumerate(batch):
            pages = pages_of(workdir, src)
            if src in named or (not pages and i > last_named and unnamed_left > 0):
                unnamed_left -= src not in named
                failed.append(src)
                if pages:
                    discrepancies.append(f"{src.name}: reported failed, yet {len(pages)} page files")
            elif not pages:
                verdicts["wrong"].append(f"{src.name}: reported split, no page files")
            else:
                verdict, detail = judge_split(src, pages, expected[src])
                verdicts[verdict].append(f"{src.name}: {detail}" if detail else src.name)
        if unnamed_left:
            discrepancies.append(f"batch at {batch[0].name}: {unnamed_left} more failures reported than "
                                 f"files left without pages")

    # The program keeps the splitter's exit code to itself: run the splitter on each failed file again,
    # as the program does, to tell a refusal from a crash.
    runs, relaunched = splitter_runs(wineprefix, stage / "data" / "pdftk.exe", failed, tmp_path / "rerun")
    crashes = [f"{src.name}: exit {code}, stderr {err[:160]!r}"
               for src, (code, err) in zip(failed, runs) if code != 0 and not is_refusal(code, err)]
    # Seen once in the job, never since on its own: worth a figure, not a red build.
    flaky = [src.name for src, (code, _) in zip(failed, runs) if code == 0]
    by_code = {}
    for code, _ in runs:
        by_code[code] = by_code.get(code, 0) + 1
    # Failing a file with no pages is right; one where qpdf's page walk finds pages deserves a look.
    with_pages = [src.name for src, n in zip(failed, pmap(tree_pages, failed)) if n]

    figures("batches of 50, one Pagerift throughout, seconds from drop to Done", batch_times)
    figures("split correctly (page files = qpdf --show-npages, each opens as one page)",
            len(verdicts["correct"]) + len(verdicts["by tree"]))
    figures("of those, right by qpdf's page tree where the file's /Count is wrong", verdicts["by tree"])
    figures("split though qpdf cannot read the source (each page opens)", verdicts["unverifiable"])
    figures("reported failed", f"{len(failed)}, splitter exit codes {dict(sorted(by_code.items(), key=str))}")
    figures("reported failed though qpdf finds pages in them", f"{len(with_pages)} {with_pages}")
    figures("reported failed, yet split when the splitter runs it again", f"{len(flaky)} {flaky}")
    figures("reruns that wine's cmd could not start and started again", relaunched)
    figures("reported success but wrong", f"{len(verdicts['wrong'])} {verdicts['wrong']}")
    figures("crashes", f"{len(crashes)} {crashes}")
    figures("discrepancies between the message and the pages", f"{len(discrepancies)} {discrepancies}")
    figures("page files written", sum(1 for _ in workdir.glob("*_pg_*.pdf")))
    figures("temporary files left", [p.name for p in temp_files(workdir)])
    assert app.alive()
    assert sum(map(len, verdicts.values())) + len(failed) == len(sources)
    assert not verdicts["wrong"] and not crashes and not discrepancies
    assert not temp_files(workdir)


@pytest.mark.cost(120)
def test_thousand_small_pdfs_in_one_drop(app, workdir, tmp_path, figures):
    sources_dir = tmp_path / "many"
    sources_dir.mkdir()
    wanted = {}  # source: its page count, one or two
    for i in range(1, 1001):
        n = 1 if i % 5 == 0 else 2
        wanted[make_pdf(sources_dir / f"doc {i:04d}.pdf", n)] = n
    sources = list(wanted)
    app.start()
    pid = app.pid()
    wait_zone_idle(app)
    rss_start = rss_kb(pid)
    # One small job first: the first job loads what any job needs once (the message box, the shell's
    # folder opening), and that is no leak.
    warm = make_pdf(tmp_path / "warm-up.pdf", 1)
    assert drop_job(app, [warm], timeout=120)[0].text == SUCCESS
    wait_zone_idle(app)
    rss_before = rss_kb(pid)

    done, took = drop_job(app, sources, timeout=1200)
    assert done.text == SUCCESS, done.text[:500]
    # Exactly one "Done": none follows the one just dismissed.
    time.sleep(3)
    assert not app.display.search("^Done$"), "a second Done message"
    wait_zone_idle(app)
    rss_after = rss_kb(pid)
    assert app.pid() == pid

    counts = pmap(lambda src: len(page_files(workdir, src.stem)), sources)
    short = [s.name for s, n in zip(sources, counts) if n != wanted[s]]
    pages = sorted(workdir.glob("doc *_pg_*.pdf"))
    bad = unreadable_pages(pages)
    figures("files in one drop", len(sources))
    figures("page files", f"{len(pages)} (expected {sum(wanted.values())})")
    figures("seconds from drop to Done", round(took, 1))
    figures("files per second", round(len(sources) / took, 1))
    figures("Pagerift VmRSS kB at start, before the job (after a one-file warm-up), after",
            f"{rss_start}, {rss_before}, {rss_after} (growth {rss_after - rss_before} kB)")
    figures("files with the wrong number of pages", f"{len(short)} {short[:10]}")
    figures("page files qpdf cannot open", len(bad))
    assert not short and not bad
    assert rss_after <= rss_before + 5 * 1024


@pytest.mark.cost(20)
def test_close_mid_job(app, workdir, tmp_path, figures):
    pages = 1500
    src = make_pdf(tmp_path / "long.pdf", pages)
    app.start()
    wait_zone_idle(app)
    app.drop_files([src], at=DROP_AT)
    splitter = wait_until(app.splitter_pids, 60, "the splitter to start")
    # Close while the splitter is busy writing: some pages exist (under temporary names so far).
    wait_until(lambda: len(temp_files(workdir)) >= 100, 60, "the first pages to be written", interval=0.05)
    written = len(temp_files(workdir)) + len(page_files(workdir, src.stem))
    closed_in = close_by_exit_button(app)
    still = bool(set(splitter) & set(app.splitter_pids()))
    start = time.monotonic()
    wait_until(lambda: not app.splitter_pids(), 180, "the splitter to finish on its own")
    finished_in = time.monotonic() - start
    finals = page_files(workdir, src.stem)
    bad = unreadable_pages(finals)
    left = sorted(p.name for p in workdir.iterdir() if p not in set(finals))

    figures("pages in the source", pages)
    figures("pages written when imgExit was clicked", written)
    figures("seconds from the click to Pagerift's process gone", round(closed_in, 2))
    figures("splitter still running after Pagerift ended", still)
    figures("seconds the splitter ran on after the close", round(finished_in, 1))
    figures("page files with a final name", len(finals))
    figures("of those, qpdf cannot open or not one page", len(bad))
    figures("other files left beside the pages", left)
    assert closed_in < 2
    assert still, "the splitter ended with Pagerift; it has to run to its end"
    assert len(finals) == pages and not bad
    assert not temp_files(workdir)


def test_bad_drops_are_named_and_nothing_else_is_touched(app, workdir, tmp_path, figures):
    src = tmp_path / "drop here"
    src.mkdir()
    folder = src / "a folder.pdf"
    folder.mkdir()
    make_pdf(folder / "inside.pdf", 2)
    not_pdf = src / "notes.pdf"
    not_pdf.write_text("These are plain notes, renamed to look like a PDF.\n" * 20)
    empty = src / "empty.pdf"
    empty.touch()
    locked = src / "locked.pdf"
    plain = make_pdf(tmp_path / "plain.pdf", 3)
    subprocess.run(["qpdf", "--encrypt", "user", "owner", "256", "--", str(plain), str(locked)], check=True)
    missing = src / "missing.pdf"  # never exists: the drag source offers its URI all the same
    good = make_pdf(src / "good.pdf", 4)
    bystander = make_pdf(workdir / "bystander.pdf", 1)
    bystander_pages = make_pdf(workdir / "good_pg_0009.pdf", 1)  # an older page of another run
    bad = [folder, not_pdf, empty, locked, missing]
    dropped = [folder, not_pdf, empty, good, locked, missing]
    src_before, work_before = snapshot(src), snapshot(workdir)

    app.start()
    done, took = drop_job(app, dropped, timeout=120)
    assert app.alive()
    new_pages = page_files(workdir, "good")
    work_after = snapshot(workdir)
    added = sorted(set(work_after) - set(work_before))
    figures("dropped", [p.name for p in dropped])
    figures("completion message", repr(done.text))
    figures("seconds from drop to Done", round(took, 1))
    figures("files added to the work folder", added)
    assert (done.ok, done.total) == (1, 6)
    assert [Path(p) for p in done.named] == bad and done.unnamed == 0
    assert done.reasons == [REASON[code] for code in (2, 3, 3, 4, 2)]
    assert [npages(p) for p in new_pages if p != bystander_pages] == [1, 1, 1, 1]
    assert added == [f"good_pg_000{n}.pdf" for n in range(1, 5)]
    assert snapshot(src) == src_before
    assert {k: v for k, v in work_after.items() if k not in added} == work_before
    assert bystander.exists() and bystander_pages.exists()


@pytest.mark.cost(130)
def test_setup_ini_fuzzing(app, stage, wineprefix, tmp_path, figures):
    seed = int(os.environ.get("PAGERIFT_FUZZ_SEED", "20261208"))
    cases = fuzzed_setup_files(random.Random(seed), 200)
    ini = stage / "setup.ini"
    kept = tmp_path / "setup-cases"
    kept.mkdir()
    started = time.monotonic()
    failures, platform, slowest = [], [], 0
    for n, (kind, data) in enumerate(cases):
        ini.write_bytes(data)
        verdict, detail = try_start(app, wineprefix)
        if verdict == "ok":
            slowest = max(slowest, detail)
            continue
        name = f"case-{n:03d}-{kind}"
        (kept / f"{name}.ini").write_bytes(data)
        if verdict == "platform fault":
            platform.append(f"case {n} ({kind}, {len(data)} bytes): {detail.summary()}")
            (kept / f"{name}.winedbg.txt").write_text(detail.text, encoding="utf-8")
        else:
            failures.append(f"case {n} ({kind}, {len(data)} bytes): {detail}")
    took = time.monotonic() - started
    kinds = {}
    for kind, _ in cases:
        kinds[kind] = kinds.get(kind, 0) + 1
    figures("seed", seed)
    figures("files by kind", kinds)
    figures("starts that showed the window", f"{len(cases) - len(failures) - len(platform)} of {len(cases)}")
    figures("seconds for all starts", round(took, 1))
    figures("longest wait for the controls to answer after the window showed, s", round(slowest, 1))
    figures("crashes inside Wine, documented in the README's known issues", platform)
    figures("failures", failures)
    if failures or platform:
        shutil.copytree(kept, figures.path.parent / f"{figures.case}-cases", dirs_exist_ok=True)
    assert not failures

    if not wineprefix.wininfo:
        figures("field defaults", "skipped: wininfo.exe did not build")
        return
    # A field the program refuses leaves its default; the valid fields beside it still apply.
    checks = [
        (b"12\r\n8\r\n2\r\n\r\n", (-1, -1, -1, "C:\\Output")),
        (b'x,1e3,-2,""', (-1, -1, -1, "C:\\Output")),
        (b"99999999999999999999,7,1,D:\\pages", (-1, 7, 1, "D:\\pages")),
        (b'2.5,0x1,"1"', (2, -1, 1, "C:\\Output")),
        (b"\x00\x01\xff,3,-1", (-1, 3, -1, "C:\\Output")),
        (b"1,2,1,\x00D:\\pages", (1, 2, 1, "C:\\Output")),  # the box would show "" otherwise
    ]
    seen = []
    for data, want in checks:
        ini.write_bytes(data)
        app.start()
        _, ctl = answered_in(wineprefix)
        got = (ctl["cmbBR"]["sel"], ctl["cmbR"]["sel"], ctl["cmbChannel"]["sel"], ctl["txtPath"]["text"])
        seen.append((data, got, want))
        close_by_exit_button(app)
    figures("field checks (file, got, want)", seen)
    assert [got for _, got, _ in seen] == [want for _, _, want in seen]

