// What a page file keeps of the document's structure: its part of the structure tree (tags) and
// of the outlines (bookmarks). The tree is in tree.h, the outlines in outlines.h.
#pragma once

#include "splitter/page/links.h"
#include "splitter/structure/outlines.h"
#include "splitter/structure/tree.h"
#include "splitter/write/page_serializer.h"

#include <qpdf/QPDF.hh>

#include <cstddef>
#include <set>
#include <vector>

namespace pagerift::splitter {

class DocumentStructure {
 public:
  // Reads both once; `pages` and `links` must stay while this lives. What a page file must not
  // carry unless it rebuilds it goes into `outside`.
  DocumentStructure(QPDF& pdf, const std::vector<QPDFObjectHandle>& pages, LinkMender& links,
                    std::set<QPDFObjGen>& outside)
      : tree_(pdf, pages, links.page_numbers(), outside),
        outlines_(pdf, pages.size(), links, outside) {}

  // After the page's links are mended into `out`, which the structure may amend.
  void add(std::size_t index, QPDFObjectHandle catalog, Substitutes& out) {
    tree_.add(index, catalog, out);
    outlines_.add(index, catalog, out);
  }

 private:
  StructureTree tree_;
  Outlines outlines_;
};

}  // namespace pagerift::splitter
