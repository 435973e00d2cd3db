// The source's outlines (bookmarks), restricted to what leads to one page at a time.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "splitter/page/links.h"
#include "splitter/structure/damage.h"
#include "splitter/write/page_serializer.h"

#include <cstddef>
#include <set>
#include <vector>

namespace pagerift::splitter {

// Each page file keeps the items that lead to its page, with their ancestors, in the source's
// order, each with its title, colour, style and open or closed state, and a /Count made right
// for what is kept. An item's destination is mended as a link's is: here, it is a destination on
// this page; elsewhere, a GoToR to that page's file; any other action stays as it is.
class Outlines {
 public:
  // Reads the outlines once and indexes them by the page each item leads to. Every item and the
  // outline root go into `outside`: a page file holds only the items it rebuilds.
  Outlines(QPDF& pdf, std::size_t pages, LinkMender& links, std::set<QPDFObjGen>& outside);

  // Puts page `index`'s outlines into `catalog` (and /PageMode /UseOutlines where the source
  // opens with them), and its items into `out`. Without an item for the page, nothing.
  void add(std::size_t index, QPDFObjectHandle catalog, Substitutes& out);

 private:
  struct Item {
    QPDFObjectHandle obj;
    int parent;
    bool open;
  };
  // `taken` is what an item may not be: a page, an element.
  void read(QPDFObjectHandle root, const std::set<QPDFObjGen>& taken);

  LinkMender& links_;
  Damage damage_;
  std::vector<Item> items_;                // in the source's order; 0 is the outline root
  std::vector<std::vector<int>> leading_;  // by page: the items that lead there
  std::vector<std::size_t> kept_;          // page + 1 where the item is in the page file
  bool use_outlines_ = false;
};

}  // namespace pagerift::splitter
