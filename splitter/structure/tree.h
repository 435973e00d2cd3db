// A tagged source's structure tree, restricted to one page at a time.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "splitter/structure/damage.h"
#include "splitter/write/page_serializer.h"

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace pagerift::splitter {

// Each page file gets the elements that have content on its page (marked content, also inside
// a form XObject it draws, and its annotations), with their ancestors, in the source's order and
// with only that page's kids; the root's role map, class map and namespaces whole, its ID tree
// pruned, and a parent tree made for the page. Everything else an element says of itself comes
// along. What is damaged (a cycle, a kid of the wrong kind, content on no page) is left out.
class StructureTree {
 public:
  // Reads the tree once and indexes it by page, so that a burst costs the size of the tree and
  // not pages x tree. `page_numbers` gives each page's index by its object. Every element and
  // the root go into `outside`: a page file holds only the elements it rebuilds.
  StructureTree(QPDF& pdf, const std::vector<QPDFObjectHandle>& pages,
                const std::map<QPDFObjGen, std::size_t>& page_numbers,
                std::set<QPDFObjGen>& outside);

  bool tagged() const { return !nodes_.empty(); }

  // Puts page `index`'s tree and /MarkInfo into `catalog`, and the objects it rewrites (the
  // elements, the root, the page or annotations that need a parent tree key) into `out`.
  void add(std::size_t index, QPDFObjectHandle catalog, Substitutes& out);

 private:
  // An MCID, an /MCR, an /OBJR; or an element without content, on the page its own /Pg names.
  enum class Kind { kMcid, kReference, kObject, kEmpty };
  struct Node {
    QPDFObjectHandle obj;
    int parent = -1, position = 0;  // and where it is among its parent's kids
    long page = -1;                 // its /Pg, or the nearest one above
    long own_page = -1;             // its own /Pg
    bool filled = false;            // was given content, sound or damaged
    std::vector<std::string> ids;   // its names in the ID tree
  };
  struct Content {
    int node, position;
    Kind kind;
    QPDFObjectHandle item;
    long long mcid;
    QPDFObjectHandle owner;  // the form XObject of an /MCR /Stm, the object of an /OBJR
  };
  struct Keys;

  void read(QPDFObjectHandle root);
  void place_empty();
  int read_kid(int parent, int position, QPDFObjectHandle kid);
  void add_content(const Content& content, long page);
  long page_of(QPDFObjectHandle pg, long above);
  QPDFObjectHandle element(int node, std::vector<QPDFObjectHandle> kids, std::size_t stamp,
                           QPDFObjectHandle page);
  QPDFObjectHandle parent_tree(std::size_t index, Substitutes& out, long long& next_key);
  QPDFObjectHandle id_tree(const std::vector<int>& kept);

  QPDF& pdf_;
  const std::vector<QPDFObjectHandle>& pages_;
  const std::map<QPDFObjGen, std::size_t>& page_numbers_;
  Damage damage_;
  std::vector<Node> nodes_;                    // in the source's order; 0 is the root
  std::vector<std::vector<Content>> content_;  // by page
  std::map<QPDFObjGen, int> nodes_by_object_;
  // Elements without content that come along with their parent wherever it is (an empty table
  // cell, say), by parent.
  std::map<int, std::vector<int>> followers_;
  std::map<QPDFObjGen, std::size_t> annotation_pages_;
  // Page + 1 where a node is in the page file being written, or has content of its own there.
  std::vector<std::size_t> kept_, direct_;
  QPDFObjectHandle mark_info_;
  const std::set<QPDFObjGen>* taken_ = nullptr;  // what may not be an element: pages and more
};

}  // namespace pagerift::splitter
