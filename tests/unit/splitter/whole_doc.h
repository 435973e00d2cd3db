// A small document with every kind of link, optional content with a hidden group, and the
// catalog entries that speak for every page: what the whole-page tests split, and a seed of the
// burst's fuzz target.
#pragma once

#include <qpdf/QPDF.hh>

#include <filesystem>
#include <string>
#include <vector>

namespace splitter_test {

extern const char kXmp[];

struct Doc {
  QPDF pdf;
  std::vector<QPDFObjectHandle> pages;
  QPDFObjectHandle add(const std::string& text);
  QPDFObjectHandle page(int n) { return pages.at(static_cast<std::size_t>(n - 1)); }
  // A link annotation: `target` is the rest of its dictionary, "%1" to "%3" standing for
  // references to those pages.
  QPDFObjectHandle link(std::string target, bool direct = false);
  void write(const std::filesystem::path& path);
};

// Three pages. Page 1 draws one optional content group the document shows and one it hides.
void make_pages(Doc& doc);

// Every kind of link, the five catalog entries, and named destinations in both places.
void make_whole(const std::filesystem::path& path);

}  // namespace splitter_test
