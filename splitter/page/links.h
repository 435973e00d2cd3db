// Keeps the links of a page that lead to pages of its own document alive in its page file.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "splitter/write/page_serializer.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pagerift::splitter {

// A dictionary of the same items, sharing their values: qpdf's shallowCopy() copies every direct
// value inside too, and a copy is made for every link, element or outline item of every page.
inline QPDFObjectHandle copy_of(QPDFObjectHandle dict) {
  return QPDFObjectHandle::newDictionary(dict.getDictAsMap());
}

// Calls `each` with every key and value of a name tree, in order. A node met again (a loop, or
// a node shared) is read once.
void read_name_tree(QPDFObjectHandle tree,
                    const std::function<void(const std::string&, QPDFObjectHandle)>& each);

// A page file holds one page, so a link to any other page of the source would lead nowhere. A
// link to its own page becomes an explicit destination on that page; a link to another page
// becomes a GoToR naming that page's file, beside it in the same set, at page 0. The view (/XYZ
// and its position, /Fit, ...) stays. Named destinations are resolved through the catalog's
// /Dests and its /Names /Dests tree. Any other link, and one whose target cannot be found, is
// left as it is.
class LinkMender {
 public:
  // `pages` are the document's pages in order, read from the first mend(); `pdf` and `pages` must
  // stay while this lives.
  LinkMender(QPDF& pdf, const std::vector<QPDFObjectHandle>& pages);

  // The file names of the set, one per page, which links to other pages name.
  void set_file_names(std::vector<std::string> names) {
    file_names_ = std::move(names);
    file_specs_.assign(file_names_.size(), QPDFObjectHandle());
    resolved_.clear();  // its actions name the files
  }

  // Adds to `out` what page `index` needs written differently: its mended link annotations, or,
  // where they are direct, the array or page that holds them.
  void mend(std::size_t index, Substitutes& out);

  // What an item that leads somewhere (a link annotation, an outline item: /Dest or a GoTo /A)
  // becomes in the file of page `index`: a copy with its destination mended, or nothing when it
  // stays as it is.
  QPDFObjectHandle mended(QPDFObjectHandle item, std::size_t index);
  // The page such an item leads to, if it leads to a page of the source.
  std::optional<std::size_t> page_of(QPDFObjectHandle item);
  // Each page's number, by its object.
  const std::map<QPDFObjGen, std::size_t>& page_numbers();

  // Whether a link written so far names another page file.
  bool names_files() const { return names_files_; }

 private:
  struct Target {
    std::size_t page;
    std::vector<QPDFObjectHandle> view;  // /XYZ left top zoom, /Fit, ...
  };
  struct Resolved {
    std::optional<Target> target;
    QPDFObjectHandle elsewhere;  // the action from any page but the target's, once made
  };
  // The item's destination, and where it is remembered when many items may share it.
  struct Lookup {
    QPDFObjectHandle action, dest;
    Resolved* known = nullptr;
    std::optional<Target> target;
  };
  std::optional<Lookup> look_up(QPDFObjectHandle item);
  std::optional<Target> resolve(QPDFObjectHandle dest);
  std::optional<Target> explicit_target(QPDFObjectHandle dest);
  QPDFObjectHandle named(const std::string& name);
  QPDFObjectHandle go_to(const Target& target, std::size_t index, QPDFObjectHandle action);

  QPDF& pdf_;
  const std::vector<QPDFObjectHandle>& pages_;
  std::map<QPDFObjGen, std::size_t> page_numbers_;
  std::vector<std::string> file_names_;
  std::vector<QPDFObjectHandle> file_specs_;  // made once a page, shared by the links to it
  // Every named destination, read on first use: most documents have none, or no links.
  std::optional<std::unordered_map<std::string, QPDFObjectHandle>> names_;
  std::unordered_map<std::string, Resolved> resolved_;  // by destination: name, string or object
  bool names_files_ = false;
};

}  // namespace pagerift::splitter
