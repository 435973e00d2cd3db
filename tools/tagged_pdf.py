#!/usr/bin/env python3
"""Writes a large tagged PDF for tools/bench-splitter.sh: a manual of PAGES pages (default 1,000)
with RUNS marked-content sequences each (default 100), so about PAGES x RUNS structure elements.
A section of ten pages is an H1 and a paragraph a sequence; one table runs over every page, a row
a page, so one element has kids on every page; and the outlines hold a section an item, each with
an item a page. With --untagged the same pages come without tree and outlines, to tell what the
tree costs.

  tools/tagged_pdf.py OUT.pdf [PAGES [RUNS]] [--untagged]"""
import sys


def main():
    args = [a for a in sys.argv[1:] if a != "--untagged"]
    tagged = "--untagged" not in sys.argv
    if not args:
        sys.exit(__doc__)
    out, pages = args[0], int(args[1]) if len(args) > 1 else 1000
    runs = int(args[2]) if len(args) > 2 else 100
    objects = []

    def add(body=None):
        objects.append(body)
        return len(objects)

    def ref(n):
        return f"{n} 0 R"

    catalog, page_tree, font = add(), add(), add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    root, document, table = add(), add(), add()
    page_ids, rows, nums, sections, section_items = [], [], [], [], []
    outline_root = add()
    for p in range(pages):
        page = add()
        page_ids.append(page)
        content, parents = [], []
        if p % 10 == 0:
            section = add()
            sections.append((section, []))
            heading = add(f"<< /Type /StructElem /S /H1 /P {ref(section)} /Pg {ref(page)} /K 0 >>")
            sections[-1][1].append(heading)
            parents.append(heading)
            content.append(f"/H1 <</MCID 0>> BDC BT /F1 14 Tf 72 760 Td (Section {p // 10 + 1}) Tj ET EMC")
        section, kids = sections[-1]
        for i in range(len(parents), runs - 1):
            para = add(f"<< /Type /StructElem /S /P /P {ref(section)} /Pg {ref(page)} /K {i} >>")
            kids.append(para)
            parents.append(para)
            y = 740 - 7 * (i % 100)
            content.append(f"/P <</MCID {i}>> BDC BT /F1 6 Tf 72 {y} Td (Page {p + 1} line {i}) Tj ET EMC")
        row, cell = add(), add()
        objects[row - 1] = f"<< /Type /StructElem /S /TR /P {ref(table)} /K [{ref(cell)}] >>"
        objects[cell - 1] = f"<< /Type /StructElem /S /TD /P {ref(row)} /Pg {ref(page)} /K {runs - 1} >>"
        rows.append(row)
        parents.append(cell)
        content.append(f"/TD <</MCID {runs - 1}>> BDC BT /F1 6 Tf 400 40 Td (Row {p + 1}) Tj ET EMC")
        data = "\n".join(content).encode()
        stream = add(f"<< /Length {len(data)} >>\nstream\n".encode() + data + b"\nendstream")
        objects[page - 1] = (f"<< /Type /Page /Parent {ref(page_tree)} /MediaBox [0 0 612 792] "
                             f"/Contents {ref(stream)} /Resources << /Font << /F1 {ref(font)} >> >>"
                             + (f" /StructParents {p}" if tagged else "") + " >>")
        nums.append(f"{p} [{' '.join(ref(e) for e in parents)}]")
        if p % 10 == 0:
            section_items.append((add(), []))
        section_items[-1][1].append((add(), p))
    for n, (section, kids) in enumerate(sections):
        objects[section - 1] = (f"<< /Type /StructElem /S /Sect /P {ref(document)} "
                                f"/K [{' '.join(ref(k) for k in kids)}] >>")
    objects[table - 1] = f"<< /Type /StructElem /S /Table /P {ref(document)} /K [{' '.join(map(ref, rows))}] >>"
    objects[document - 1] = (f"<< /Type /StructElem /S /Document /P {ref(root)} "
                             f"/K [{' '.join(ref(s) for s, _ in sections)} {ref(table)}] >>")
    objects[root - 1] = (f"<< /Type /StructTreeRoot /K [{ref(document)}] /ParentTree << /Nums [{' '.join(nums)}] >> "
                         f"/ParentTreeNextKey {pages} >>")
    # The outlines: a closed item a section, an item a page below it.
    for n, (item, kids) in enumerate(section_items):
        links = []
        for k, (kid, p) in enumerate(kids):
            links.append(f"<< /Title (Page {p + 1}) /Parent {ref(item)} /Dest [{ref(page_ids[p])} /Fit]"
                         + (f" /Prev {ref(kids[k - 1][0])}" if k else "")
                         + (f" /Next {ref(kids[k + 1][0])}" if k + 1 < len(kids) else "") + " >>")
            objects[kid - 1] = links[-1]
        objects[item - 1] = (f"<< /Title (Section {n + 1}) /Parent {ref(outline_root)} "
                             f"/Dest [{ref(page_ids[kids[0][1]])} /XYZ 0 792 0] /First {ref(kids[0][0])} "
                             f"/Last {ref(kids[-1][0])} /Count -{len(kids)}"
                             + (f" /Prev {ref(section_items[n - 1][0])}" if n else "")
                             + (f" /Next {ref(section_items[n + 1][0])}" if n + 1 < len(section_items) else "")
                             + " >>")
    objects[outline_root - 1] = (f"<< /Type /Outlines /First {ref(section_items[0][0])} "
                                 f"/Last {ref(section_items[-1][0])} /Count {len(section_items)} >>")
    extra = (f" /StructTreeRoot {ref(root)} /MarkInfo << /Marked true >> /Outlines {ref(outline_root)}"
             if tagged else "")
    objects[catalog - 1] = f"<< /Type /Catalog /Pages {ref(page_tree)}{extra} >>"
    objects[page_tree - 1] = f"<< /Type /Pages /Count {pages} /Kids [{' '.join(map(ref, page_ids))}] >>"

    body, offsets = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n"), []
    for n, obj in enumerate(objects, 1):
        offsets.append(len(body))
        body += f"{n} 0 obj\n".encode() + (obj if isinstance(obj, bytes) else obj.encode()) + b"\nendobj\n"
    xref = len(body)
    body += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
    body += b"".join(f"{o:010d} 00000 n \n".encode() for o in offsets)
    body += f"trailer\n<< /Size {len(objects) + 1} /Root {ref(catalog)} >>\nstartxref\n{xref}\n%%EOF\n".encode()
    with open(out, "wb") as f:
        f.write(body)


if __name__ == "__main__":
    main()
