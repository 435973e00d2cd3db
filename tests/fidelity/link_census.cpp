// Counts a document's links to its own pages and where the same links lead in its page files.
//
//   link-census SOURCE PAGE_FILE...    (the page files in page order, one per page)
//
// A link leads to its page in a page file when it is an explicit destination on that file's own
// page, or a GoToR naming the page file of its target page at page 0, with the view it had. The
// first line counts; each link that does not lead where it did follows on a line of its own.
// Every page file must also hold exactly one page object. Exit 0 unless a file cannot be read.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Target {
  long long page = -1;
  std::string view;
  bool operator==(const Target&) const = default;
};

std::string view_of(QPDFObjectHandle dest) {
  std::string view;
  for (int i = 1; i < dest.getArrayNItems(); ++i) view += " " + dest.getArrayItem(i).unparseResolved();
  return view;
}

// Where a link of the source leads, as a reader of the source sees it.
std::optional<Target> source_target(QPDF& pdf, const std::map<QPDFObjGen, long long>& pages,
                                    QPDFObjectHandle dest) {
  if (dest.isName() || dest.isString()) {
    std::string name = dest.isName() ? dest.getName().substr(1) : dest.getStringValue();
    QPDFObjectHandle root = pdf.getRoot(), found = QPDFObjectHandle::newNull();
    if (root.getKey("/Dests").isDictionary()) found = root.getKey("/Dests").getKey("/" + name);
    QPDFObjectHandle tree = root.getKey("/Names").isDictionary()
                                ? root.getKey("/Names").getKey("/Dests")
                                : QPDFObjectHandle::newNull();
    if (found.isNull() && tree.isDictionary()) QPDFNameTreeObjectHelper(tree, pdf).findObject(name, found);
    dest = found.isDictionary() ? found.getKey("/D") : found;
  }
  if (!dest.isArray() || dest.getArrayNItems() < 1) return std::nullopt;
  QPDFObjectHandle first = dest.getArrayItem(0);
  if (first.isIndirect() && pages.count(first.getObjGen()))
    return Target{pages.at(first.getObjGen()), view_of(dest)};
  if (first.isInteger() && first.getIntValue() >= 0 &&
      first.getIntValue() < static_cast<long long>(pages.size()))
    return Target{first.getIntValue(), view_of(dest)};
  return std::nullopt;
}

// Where the same link leads from page file `self`, as a reader of the page files sees it.
std::optional<Target> page_file_target(QPDFObjectHandle annot, long long self,
                                       const std::map<std::string, long long>& files) {
  QPDFObjectHandle action = annot.getKey("/A");
  QPDFObjectHandle dest = action.isDictionary() ? action.getKey("/D") : annot.getKey("/Dest");
  if (!dest.isArray() || dest.getArrayNItems() < 1) return std::nullopt;
  QPDFObjectHandle first = dest.getArrayItem(0);
  if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoToR")) {
    QPDFObjectHandle spec = action.getKey("/F");
    if (spec.isDictionary()) spec = spec.hasKey("/UF") ? spec.getKey("/UF") : spec.getKey("/F");
    if (!spec.isString() || !first.isInteger() || first.getIntValue() != 0) return std::nullopt;
    auto file = files.find(spec.getUTF8Value());
    if (file == files.end()) return std::nullopt;
    return Target{file->second, view_of(dest)};
  }
  if (action.isDictionary() && !action.getKey("/S").isNameAndEquals("/GoTo")) return std::nullopt;
  if (!first.isPageObject()) return std::nullopt;
  return Target{self, view_of(dest)};
}

bool is_goto_link(QPDFObjectHandle annot) {
  if (!annot.isDictionary()) return false;
  QPDFObjectHandle action = annot.getKey("/A");
  if (action.isDictionary()) return action.getKey("/S").isNameAndEquals("/GoTo");
  return annot.hasKey("/Dest");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: link-census SOURCE PAGE_FILE...\n");
    return 2;
  }
  try {
    QPDF source;
    source.setSuppressWarnings(true);
    source.processFile(argv[1]);
    std::vector<QPDFObjectHandle> pages = source.getAllPages();
    std::map<QPDFObjGen, long long> numbers;
    for (std::size_t i = 0; i < pages.size(); ++i)
      numbers.emplace(pages[i].getObjGen(), static_cast<long long>(i));
    std::map<std::string, long long> files;
    for (int i = 2; i < argc; ++i)
      files[std::filesystem::path(argv[i]).filename().string()] = i - 2;
    if (files.size() != pages.size()) {
      std::fprintf(stderr, "%s: %zu pages, %zu page files\n", argv[1], pages.size(), files.size());
      return 2;
    }
    long links = 0, internal = 0, live_before = 0, live_after = 0, strays = 0;
    std::vector<std::string> dead;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      QPDF page_file;
      page_file.setSuppressWarnings(true);
      page_file.processFile(argv[i + 2]);
      long page_objects = 0;
      for (auto& obj : page_file.getAllObjects())
        page_objects += obj.isDictionary() && obj.getKey("/Type").isNameAndEquals("/Page");
      if (page_objects != 1) ++strays;
      QPDFObjectHandle annots = pages[i].getKey("/Annots");
      QPDFObjectHandle own = page_file.getAllPages().at(0), after = own.getKey("/Annots");
      for (int k = 0; annots.isArray() && k < annots.getArrayNItems(); ++k) {
        QPDFObjectHandle annot = annots.getArrayItem(k);
        if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link")) continue;
        ++links;
        if (!is_goto_link(annot)) continue;
        ++internal;
        QPDFObjectHandle action = annot.getKey("/A");
        auto want = source_target(source, numbers,
                                  action.isDictionary() ? action.getKey("/D") : annot.getKey("/Dest"));
        if (!want) continue;
        ++live_before;
        QPDFObjectHandle mended = after.isArray() ? after.getArrayItem(k) : QPDFObjectHandle::newNull();
        auto got = mended.isDictionary()
                       ? page_file_target(mended, static_cast<long long>(i), files)
                       : std::nullopt;
        if (got && *got == *want) {
          ++live_after;
        } else {
          dead.push_back("page " + std::to_string(i + 1) + " link " + std::to_string(k + 1) +
                         " to page " + std::to_string(want->page + 1) + want->view + ": " +
                         (got ? "leads to page " + std::to_string(got->page + 1) + got->view
                              : "leads nowhere"));
        }
      }
    }
    std::printf("links %ld internal %ld live-in-source %ld live-in-pages %ld stray-pages %ld\n", links,
                internal, live_before, live_after, strays);
    for (auto& line : dead) std::printf("dead %s\n", line.c_str());
  } catch (std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  return 0;
}
