// A tagged document with outlines: what the structure tests split, and a seed of the burst's
// fuzz target.
#pragma once

#include "whole_doc.h"

#include <filesystem>

namespace splitter_test {

// Four pages. Page 1: a title (H1 with an ID), the start of a paragraph, a list of two, a
// figure with /Alt and a link element with its /OBJR (the link leads to page 3). Page 2: the
// paragraph's end, two rows of a table, marked content in a form XObject (a span that refers to
// the H2 beside it and to the title), an H2; the second row has an empty cell. Page 3: the
// table's last row, an H3, a heading of a type the role map maps, and a figure with /Alt and /Pg
// but no content, as Writer makes them. Page 4: an artifact only. A role map, a class map, an ID
// tree and /MarkInfo; the outlines of add_outlines().
void make_tagged(const std::filesystem::path& path);

// Outlines three levels deep, opening with the document (/PageMode /UseOutlines):
//   1 Intro (page 1)           > 1.1 Lists (named, page 1), 1.2 Figure (GoTo, page 1)
//   2 Results (page 2, closed) > 2.1 Table (page 2) > 2.1.1 End of table (page 3)
//                              > 2.2 Web (URI)      > 2.2.1 Note (named in /Names, page 2)
//   3 Last (page 3, red, bold)
//   Web only (URI)
void add_outlines(Doc& doc);

}  // namespace splitter_test
