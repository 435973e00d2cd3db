#!/usr/bin/env python3
"""Writes PDFs built to exhaust the splitter into a folder, one file a case (tools/bench-hostile.sh).

  tools/hostile_pdfs.py [--cheap] OUT_DIR
--cheap writes only the small cases, which the unit tests run (tests/unit/splitter/hostile_test.cpp).
"""
import os
import sys
import zlib


def pdf(objects, header=b"%PDF-1.4", trailer=b""):
    """A file of `objects` (bytes, numbered from 1, the catalog first) with a classic xref table."""
    out = bytearray(header + b"\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += b"trailer<</Size %d/Root 1 0 R%s>>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, trailer, xref)
    return bytes(out)


def stream(data, extra=b""):
    return b"<<%s/Length %d>>stream\n" % (extra, len(data)) + data + b"\nendstream"


CATALOG = b"<</Type/Catalog/Pages 2 0 R>>"
PAGE = b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents %d 0 R/Resources %d 0 R>>"
FONTS = b"<</Font<</F1 <</Type/Font/Subtype/Type1/BaseFont/Helvetica>>/F2 <</Type/Font/Subtype/Type1/BaseFont/Courier>>>>>>"


def content_pages(content, pages):
    """`pages` pages drawing one content stream through one resources dictionary (objects 3, 4)."""
    kids = b" ".join(b"%d 0 R" % (5 + n) for n in range(pages))
    objects = [CATALOG, b"<</Type/Pages/Kids[%s]/Count %d>>" % (kids, pages), stream(content), FONTS]
    objects += [PAGE % (3, 4)] * pages
    return pdf(objects)


def big_content(size):
    line = b"BT /F1 12 Tf 72 712 Td (The quick brown fox jumps over the lazy dog) Tj ET\n"
    return line * (size // len(line))


INLINE_IMAGE = b"BI /W 2 /H 2 /BPC 8 /CS /G ID \x00\x7f\xff\x10 EI\n"


def many_pages(count):
    kids = b" ".join(b"%d 0 R" % (5 + n) for n in range(count))
    objects = [CATALOG, b"<</Type/Pages/Kids[%s]/Count %d>>" % (kids, count),
               stream(b"BT /F1 12 Tf 72 712 Td (page) Tj ET"), FONTS]
    objects += [PAGE % (3, 4)] * count
    return pdf(objects)


def nested(depth):
    deep = b"[" * depth + b"]" * depth
    deep_dict = b"<</A " * depth + b"1" + b">>" * depth
    objects = [CATALOG, b"<</Type/Pages/Kids[3 0 R]/Count 1>>",
               b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]/Deep %s/DeepDict %s>>" % (deep, deep_dict)]
    return pdf(objects)


def self_object_stream():
    # Object 4 lives in object stream 5, whose /Length is object 4 and whose /Extends is itself.
    body = b"4 0 <</Type/Font/Subtype/Type1/BaseFont/Helvetica>>"
    data = zlib.compress(body)
    head = b"<</Type/Pages/Kids[3 0 R]/Count 1>>"
    out = b"%PDF-1.5\n"
    offsets = {}
    objs = {1: CATALOG, 2: head,
            3: b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]/Resources<</Font<</F1 4 0 R>>>>>>",
            5: b"<</Type/ObjStm/N 1/First 4/Extends 5 0 R/Filter/FlateDecode/Length 4 0 R>>stream\n"
               + data + b"\nendstream"}
    for n in (1, 2, 3, 5):
        offsets[n] = len(out)
        out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
    xref_at = len(out)
    rows = [(0, 0, 0xffff)] + [(1, offsets[1], 0), (1, offsets[2], 0), (1, offsets[3], 0),
                               (2, 5, 0), (1, offsets[5], 0), (1, xref_at, 0)]
    table = b"".join(bytes([t]) + o.to_bytes(4, "big") + g.to_bytes(2, "big") for t, o, g in rows)
    out += b"6 0 obj\n<</Type/XRef/Size 7/W[1 4 2]/Root 1 0 R/Length %d>>stream\n" % len(table)
    out += table + b"\nendstream\nendobj\nstartxref\n%d\n%%%%EOF\n" % xref_at
    return out


def page_tree_cycle():
    # Two page-tree nodes that are each other's kid, beside a real page.
    objects = [CATALOG, b"<</Type/Pages/Kids[3 0 R 4 0 R]/Count 2>>",
               b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]>>",
               b"<</Type/Pages/Parent 2 0 R/Kids[5 0 R]/Count 1>>",
               b"<</Type/Pages/Parent 4 0 R/Kids[4 0 R 2 0 R]/Count 1>>"]
    return pdf(objects)


def huge_length():
    objects = [CATALOG, b"<</Type/Pages/Kids[3 0 R]/Count 1>>",
               b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]/Contents 4 0 R>>",
               b"<</Length 4611686018427387904>>stream\nBT ET\nendstream"]
    return pdf(objects)


def version_out_of_range():
    objects = [CATALOG, b"<</Type/Pages/Kids[3 0 R]/Count 1>>",
               b"<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]>>"]
    return pdf(objects, header=b"%PDF-99999999999.9")


def cases(cheap):
    yield "nested-10000", lambda: nested(10000)
    yield "object-stream-in-itself", self_object_stream
    yield "page-tree-cycle", page_tree_cycle
    yield "length-2-62", huge_length
    yield "header-version-99999999999", version_out_of_range
    if cheap:
        return
    content = big_content(50 << 20)
    yield "content-50mb-1-page", lambda: content_pages(content, 1)
    yield "content-50mb-2-pages-shared", lambda: content_pages(content, 2)
    yield "content-50mb-2-pages-inline-image", lambda: content_pages(content + INLINE_IMAGE, 2)
    yield "pages-100000", lambda: many_pages(100000)


def main(args):
    cheap = args[:1] == ["--cheap"]
    out_dir = args[-1]
    os.makedirs(out_dir, exist_ok=True)
    for name, make in cases(cheap):
        with open(os.path.join(out_dir, name + ".pdf"), "wb") as f:
            f.write(make())


if __name__ == "__main__":
    main(sys.argv[1:])
