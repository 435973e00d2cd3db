#!/usr/bin/env python3
"""Holds the structure trees of a tagged source's page files against the source's own, as poppler
reads them (`pdfinfo -struct-text`): every element of a page file is an element of the source, of
the same type and attributes, in the same order under the same parent, and holds a part of that
element's text (its marked content, piece by piece, in order); and each element's parts, over all
page files, are the pieces of text the source gives it (in the source an element's content may run
from page to page and back).

  struct_check.py BURST SOURCE     bursts SOURCE with BURST into a folder of its own
  struct_check.py --pages SOURCE PAGE_FILE...

Every outline item that leads to a page is in that page's file, with its parents, and every
element's alternative text is in a page file (both read with `qpdf --json`).

Prints one line of counts (elements, elements-with-text, covered, objects, objects-kept,
outline-items, outline-kept, alt-texts, alt-kept), then a line for each fault; exits 1 when there is a fault, 2 when a file cannot be read."""
import json
import re
import subprocess
from collections import Counter
import sys
import tempfile
from pathlib import Path


class Node:
    def __init__(self, label):
        self.label, self.attrs, self.items = label, [], []  # items: Node, str (text), None (object)

    def kids(self):
        return [i for i in self.items if isinstance(i, Node)]

    def pieces(self):
        """The text of the content below, piece by piece: a piece is one quoted line."""
        for i in self.items:
            if isinstance(i, Node):
                yield from i.pieces()
            elif i is not None:
                yield i

    def text(self):
        return "".join(self.pieces())

    def objects(self):
        return sum(i.objects() if isinstance(i, Node) else i is None for i in self.items)

    def walk(self):
        yield self
        for kid in self.kids():
            yield from kid.walk()


def tree_of(pdf):
    res = subprocess.run(["pdfinfo", "-struct-text", str(pdf)], capture_output=True, text=True,
                         errors="replace")
    if res.returncode:
        sys.exit(print(f"pdfinfo cannot read {pdf}: {res.stderr.strip()}") or 2)
    root, stack, open_text = Node("(root)"), [], None
    for line in res.stdout.splitlines():
        if open_text is not None:  # a piece of text with line breaks of its own goes on
            if line.endswith('"'):
                open_text.items.append(open_text.items.pop() + "\n" + line[:-1])
                open_text = None
            else:
                open_text.items.append(open_text.items.pop() + "\n" + line)
            continue
        body = line.lstrip(" ")
        indent = len(line) - len(body)
        if not body:
            continue
        while stack and stack[-1][0] >= indent:
            stack.pop()
        parent = stack[-1][1] if stack else root
        if body.startswith('"'):
            closed = len(body) > 1 and body.endswith('"')
            parent.items.append(body[1:-1] if closed else body[1:])
            open_text = None if closed else parent
        elif body.startswith("/"):
            parent.attrs = sorted(parent.attrs + [body])  # a dictionary's keys have no order
        elif re.fullmatch(r"Object \d+ \d+", body):
            parent.items.append(None)
        else:
            node = Node(body)
            parent.items.append(node)
            stack.append((indent, node))
    return root


def within(part, whole):
    """Whether the pieces of `part` are among those of `whole`, in the same order."""
    rest = iter(whole)
    return all(piece in rest for piece in part)


def fits(source, kid, pieces, parts):
    """Whether page file element `kid` can be a part of `source`: the same type and attributes,
    and pieces of its text that the parts already found in other page files leave over. Elements
    alike on many pages (a running head, a formula) are told apart that way."""
    if source.label != kid.label or source.attrs != kid.attrs:
        return False
    whole = list(source.pieces())
    left = Counter(whole)
    left.subtract(parts.get(id(source), []))
    return within(pieces, whole) and all(left[p] >= n for p, n in Counter(pieces).items())


def match(source, page, number, parts, faults, path):
    """Maps the page file's kids of `page` onto the source's kids of `source`, in order."""
    kids, at = source.kids(), 0
    for kid in page.kids():
        text, pieces = kid.text(), list(kid.pieces())
        while at < len(kids) and not fits(kids[at], kid, pieces, parts):
            at += 1
        if at == len(kids):
            faults.append(f"page {number}: {path}/{kid.label} {text[:40]!r} is not in the source there")
            return
        parts.setdefault(id(kids[at]), []).extend(pieces)
        match(kids[at], kid, number, parts, faults, f"{path}/{kid.label}")
        at += 1


def outline_paths(pdf):
    """(page from 1, titles from the top down to the item) of every item that leads to a page."""
    res = subprocess.run(["qpdf", "--json", "--json-key=outlines", str(pdf)], capture_output=True,
                         text=True, errors="replace")
    if res.returncode not in (0, 3):
        sys.exit(print(f"qpdf cannot read {pdf}: {res.stderr.strip()}") or 2)
    paths = []
    def walk(items, above):
        for item in items:
            path = above + (item["title"],)
            if item.get("destpageposfrom1"):
                paths.append((item["destpageposfrom1"], path))
            walk(item["kids"], path)
    walk(json.loads(res.stdout)["outlines"], ())
    return paths


def alternative_texts(pdf):
    """The /Alt of every structure element, as qpdf reads it."""
    res = subprocess.run(["qpdf", "--json", "--json-key=qpdf", str(pdf)], capture_output=True,
                         text=True, errors="replace")
    if res.returncode not in (0, 3):
        sys.exit(print(f"qpdf cannot read {pdf}: {res.stderr.strip()}") or 2)
    alts = set()
    for obj in json.loads(res.stdout)["qpdf"][1].values():
        value = obj.get("value") if isinstance(obj, dict) else None
        if isinstance(value, dict) and "/S" in value and isinstance(value.get("/Alt"), str):
            alts.add(value["/Alt"])
    return alts


def check(source, pages):
    want = tree_of(source)
    parts, faults, objects = {}, [], 0
    for number, page in enumerate(pages, 1):
        got = tree_of(page)
        objects += got.objects()
        match(want, got, number, parts, faults, "")
    elements = with_text = covered = 0
    notes = []  # an element without text or kids may be on no page at all
    for node in want.walk():
        if node is want:
            continue
        elements += 1
        text = node.text()
        with_text += bool(text.strip())
        if id(node) in parts and Counter(parts[id(node)]) == Counter(node.pieces()):
            covered += 1
        elif text.strip():
            got = "".join(parts.get(id(node), []))
            faults.append(f"{node.label} {text[:40]!r}: the page files give {got[:40]!r}")
        else:
            notes.append(f"{node.label}, without text, is in no page file")
    # Each item that leads to a page is in that page's file, under the same parents, leading to
    # the file's own page.
    kept_paths = {n: Counter(path for page, path in outline_paths(pdf) if page == 1)
                  for n, pdf in enumerate(pages, 1)}
    items = kept = 0
    for page, path in outline_paths(source):
        items += 1
        if kept_paths.get(page, Counter())[path] > 0:
            kept_paths[page][path] -= 1
            kept += 1
        else:
            faults.append(f"the outline item {' > '.join(path)!r} is not in page file {page}")
    alts, kept_alts = alternative_texts(source), set()
    for pdf in pages:
        kept_alts |= alternative_texts(pdf)
    faults += [f"the alternative text {alt!r} is in no page file" for alt in sorted(alts - kept_alts)]
    print(f"elements {elements} elements-with-text {with_text} covered {covered} "
          f"objects {want.objects()} objects-kept {objects} outline-items {items} outline-kept {kept} "
          f"alt-texts {len(alts)} alt-kept {len(alts & kept_alts)}")
    for fault in faults:
        print("fault " + fault)
    for note in notes:
        print("note " + note)
    return 1 if faults or objects != want.objects() else 0


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "--pages":
        return check(Path(sys.argv[2]), [Path(p) for p in sys.argv[3:]])
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    burst, source = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    with tempfile.TemporaryDirectory(prefix="struct-check-") as out:
        res = subprocess.run([str(burst), str(source), "burst"], cwd=out, capture_output=True, text=True)
        if res.returncode:
            print(f"burst failed ({res.returncode}): {res.stderr.strip()}")
            return 2
        pages = sorted(Path(out).glob("*_pg_*.pdf"), key=lambda p: int(re.search(r"_pg_(\d+)\.pdf$", p.name)[1]))
        return check(source, pages)


if __name__ == "__main__":
    sys.exit(main())
