// Names the page files of one burst and puts them in place together, never over an existing file.
#pragma once

#include "splitter/platform/fs.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter {

// The name of a source without its folders and without a final ".pdf" (any case).
// Other extensions stay, so "a.pdf" and "a.bak" give different page names.
std::string output_stem(std::string_view source_path);

// "<stem>_pg_0001.pdf": at least 4 digits, more when the page count needs them.
std::string page_file_name(std::string_view stem, std::size_t page, std::size_t page_count);

// The stem of the n-th set of a name, as Windows names copies: "report", "report (2)", ...
std::string set_stem(std::string_view stem, std::size_t n);

// The page files of one burst in folder `dir` ("" = the current folder). Pages are written under
// temporary names and put in place only when all are done, under the first set of names of which
// none exists yet: a set never mixes two bursts and no file is ever replaced.
class PageSet {
 public:
  PageSet(std::string dir, std::string stem, std::size_t pages);
  ~PageSet();  // removes the temporary files that were not put in place
  PageSet(const PageSet&) = delete;
  PageSet& operator=(const PageSet&) = delete;

  // Picks the first set, from the n-th on, whose names are all free. False with `error` when the
  // folder cannot be read or every set is taken.
  bool choose_names(std::string& error, std::size_t from = 1);
  const std::vector<std::string>& names() const { return names_; }

  // Creates the temporary file of the next page; pages come in order.
  fs::Handle create_temp(std::string& error);

  // Renames every temporary file to its page name. A name taken since choose_names() is never
  // replaced: the pages already renamed go back and the set moves on to the next free one. Pages
  // that name each other are then written again: `renamed`, when given, is called once the new
  // names are chosen, and it writes every page anew after discard_temps(). False when the pages
  // cannot be put in place; then none is left under a page name.
  bool commit(std::string& error, const std::function<void()>& renamed = {});

  // Removes the temporary files written so far; create_temp() starts again at the first page.
  void discard_temps();

 private:
  std::string path(const std::string& name) const {
    return dir_.empty() ? name : dir_ + "/" + name;
  }
  bool take_back(std::size_t placed);

  std::string dir_, stem_;
  std::size_t pages_, set_ = 0;
  std::vector<std::string> names_, temps_;
};

}  // namespace pagerift::splitter
