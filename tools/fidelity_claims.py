"""Sources for the real-world pass that claim something of themselves, made from the corpus with the
programs that make such files, and what their page files still claim.

- signed: corpus documents signed by poppler's pdfsig (certutil makes the NSS database and a
  self-signed certificate), and the visible-signature fixture of the splitter's tests;
- PDF/A: the licence texts of /usr/share/common-licenses exported by LibreOffice Writer as PDF/A-1b
  and PDF/A-2b, besides the corpus documents whose XMP claims PDF/A;
- owner password: corpus documents encrypted by qpdf with each method, an empty user password and
  limits that differ from method to method.

Made once into the cache (`made/`). Needs pdfsig (poppler-utils), certutil (libnss3-tools), soffice
(libreoffice-writer-nogui) and qpdf; a kind whose program is missing is left out, and said so."""
import json
import re
import shutil
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
OWNER = "owner-of-the-pass"
ENCRYPTIONS = {  # name: qpdf's encryption options after the passwords
    "rc4-40": ["40", "--print=n", "--modify=n"],
    "rc4-128": ["128", "--use-aes=n", "--print=low", "--extract=n"],
    "aes-128": ["128", "--use-aes=y", "--modify=form", "--cleartext-metadata"],
    "aes-256": ["256", "--print=none", "--extract=n", "--annotate=n"],
}
LICENCES = ["GPL-3", "Apache-2.0", "MPL-2.0", "LGPL-2.1"]
PDFA_NS = "http://www.aiim.org/pdfa/ns/id/"


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, errors="replace", **kw)


def objects(pdf, password=None):
    args = ["qpdf", "--json=1", "--json-key=objects", pdf] + ([f"--password={password}"] if password else [])
    res = run(*args)
    if res.returncode not in (0, 3):
        return {}
    found = json.loads(res.stdout)["objects"]
    return {ref: (value["dict"] if isinstance(value, dict) and "dict" in value else value)
            for ref, value in found.items()}


def make(cache, base_docs):
    """The made sources: a list of (path, kind) with kind "signed", "pdfa" or "encrypted"."""
    made = cache / "made"
    made.mkdir(parents=True, exist_ok=True)
    sources = []
    if shutil.which("pdfsig") and shutil.which("certutil"):
        nss = made / "nss"
        if not (nss / "cert9.db").exists():
            nss.mkdir(exist_ok=True)
            run("certutil", "-N", "-d", f"sql:{nss}", "--empty-password")
            (made / "noise").write_bytes(Path("/dev/urandom").open("rb").read(256))
            run("certutil", "-S", "-d", f"sql:{nss}", "-n", "signer", "-s", "CN=Fidelity Signer", "-x",
                "-t", "CT,C,C", "-k", "rsa", "-g", "2048", "-v", "120", "-z", made / "noise",
                "--keyUsage", "digitalSignature")
        for doc in base_docs:
            out = made / f"signed-{doc.stem}.pdf"
            if not out.exists():
                run("pdfsig", "-add-signature", "-nssdir", f"sql:{nss}", "-nick", "signer", doc, out)
            if out.exists():
                sources.append((out, "signed"))
        sources.append((ROOT / "tests/unit/splitter/fixtures/signed.pdf", "signed"))
    else:
        print("fidelity: no pdfsig or certutil; signed sources left out")
    if shutil.which("soffice"):
        for licence in LICENCES:
            for part in (1, 2):
                out = made / f"pdfa{part}b-{licence}.pdf"
                if not out.exists():
                    text = made / f"{licence}.txt"
                    shutil.copy(f"/usr/share/common-licenses/{licence}", text)
                    run("soffice", "--headless", "--convert-to",
                        f'pdf:writer_pdf_Export:{{"SelectPdfVersion":{{"type":"long","value":"{part}"}}}}',
                        "--outdir", made / f"a{part}", text, timeout=300)
                    if (made / f"a{part}" / f"{licence}.pdf").exists():
                        shutil.move(made / f"a{part}" / f"{licence}.pdf", out)
                if out.exists():
                    sources.append((out, "pdfa"))
    else:
        print("fidelity: no soffice; PDF/A exports left out")
    for doc in base_docs:
        for name, options in ENCRYPTIONS.items():
            out = made / f"{name}-{doc.stem}.pdf"
            if not out.exists():
                run("qpdf", "--allow-weak-crypto", "--encrypt", "", OWNER, *options, "--", doc, out)
            if out.exists():
                sources.append((out, "encrypted"))
    return sources


def pdfa_part(pdf):
    """The PDF/A part the source's XMP claims, 0 for none: the attribute or the element form."""
    res = run("qpdf", "--show-object=trailer", pdf)
    root = re.search(r"/Root (\d+) (\d+) R", res.stdout)
    if not root:
        return 0
    meta = re.search(r"/Metadata (\d+) (\d+) R", run("qpdf", f"--show-object={root[1]},{root[2]}", pdf).stdout)
    if not meta:
        return 0
    xmp = run("qpdf", f"--show-object={meta[1]},{meta[2]}", "--filtered-stream-data", pdf).stdout
    if PDFA_NS not in xmp:
        return 0
    found = re.search(r"""pdfaid:part\s*=\s*["'](\d)["']|<pdfaid:part>\s*(\d)\s*<""", xmp)
    return int(found[1] or found[2]) if found else 0


def encryption(pdf):
    """What qpdf says of a file's encryption with the owner password, and whether it is the owner."""
    res = run("qpdf", "--show-encryption", f"--password={OWNER}", pdf)
    lines = [line for line in res.stdout.splitlines() if not line.startswith("Supplied password")]
    return lines, "Supplied password is owner password" in res.stdout


def has_signature_value(pdf):
    for value in objects(pdf).values():
        if isinstance(value, dict) and ("/ByteRange" in value or
                                        (value.get("/FT") == "/Sig" and "/V" in value)):
            return True
    return False


def census(kind, src, files):
    """Counts for the page files of one made or claiming source."""
    counts = {}
    if kind == "signed":
        counts["signed-pages"] = len(files)
        counts["pages-with-signature-value"] = sum(map(has_signature_value, files))
    elif kind == "pdfa":
        part = pdfa_part(src)
        if part == 1:
            counts["pdfa1-pages"] = len(files)
            bad = 0
            for f in files:
                data = f.read_bytes()
                bad += b"/ObjStm" in data or b"/XRef" in data or data[:8] > b"%PDF-1.4"
            counts["pdfa1-pages-not-in-its-form"] = bad
        elif part:
            counts["pdfa2-4-pages"] = len(files)
            counts["pdfa2-4-pages-with-objstm"] = sum(b"/ObjStm" in f.read_bytes() for f in files)
    elif kind == "encrypted":
        want, _ = encryption(src)
        counts["encrypted-pages"] = len(files)
        kept = 0
        for f in files:
            got, owner = encryption(f)
            kept += got == want and owner
        counts["pages-keeping-encryption"] = kept
    return counts


KEYS = ["signed-pages", "pages-with-signature-value", "pdfa1-pages", "pdfa1-pages-not-in-its-form",
        "pdfa2-4-pages", "pdfa2-4-pages-with-objstm", "encrypted-pages", "pages-keeping-encryption"]
