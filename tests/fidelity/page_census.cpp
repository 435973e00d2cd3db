// Holds a document's page files against it: where its links to its own pages lead from the page
// files, whether every page file has the catalog entries that speak for all pages (XMP byte for
// byte), holds one page object only and reads without a warning the source did not give.
//
//   page-census SOURCE PAGE_FILE...    (the page files in page order, one per page)
//
// A link leads to its page in a page file when it is an explicit destination on that file's own
// page, or a GoToR naming the page file of its target page at page 0, with the view it had. The
// first line counts; each link that does not lead where it did follows on a line of its own, and
// each page file that lacks something. Exit 0 unless a file cannot be read.
//
// Of a tagged source it counts the page files that are tagged, the marked-content sequences of
// each page that the source's tree reaches and those that the page file's tree reaches, the
// outline items that lead to each page and those of them that its page file keeps, under the
// same titles, leading to its own page.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Target {
  long long page = -1;
  std::string view;
  bool operator==(const Target&) const = default;
};

std::string view_of(QPDFObjectHandle dest) {
  std::string view;
  for (int i = 1; i < dest.getArrayNItems(); ++i)
    view += " " + dest.getArrayItem(i).unparseResolved();
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
    if (found.isNull() && tree.isDictionary())
      QPDFNameTreeObjectHelper(tree, pdf).findObject(name, found);
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

std::string data_of(QPDFObjectHandle stream) {
  auto data = stream.getStreamData(qpdf_dl_generalized);
  return std::string(reinterpret_cast<char*>(data->getBuffer()), data->getSize());
}

// Reads every object, so that damage anywhere shows as a warning.
bool reads_cleanly(QPDF& pdf) {
  for (auto& obj : pdf.getAllObjects()) obj.isNull();
  return !pdf.anyWarnings();
}

// What page file `file` lacks of the source's catalog, as a line, or "".
std::string missing_entries(QPDFObjectHandle want, QPDFObjectHandle got) {
  std::string missing;
  for (const char* key :
       {"/Lang", "/Metadata", "/OutputIntents", "/ViewerPreferences", "/OCProperties"})
    if (want.hasKey(key) && !got.hasKey(key)) missing += std::string(" ") + key;
  if (want.getKey("/Metadata").isStream() && got.getKey("/Metadata").isStream() &&
      data_of(want.getKey("/Metadata")) != data_of(got.getKey("/Metadata")))
    missing += " /Metadata-bytes";
  return missing;
}

// The marked content a structure tree reaches, by the page it is on: (page, the form XObject
// or none, MCID).
using Reached = std::set<std::tuple<QPDFObjGen, QPDFObjGen, long long>>;
Reached reached_content(QPDF& pdf) {
  Reached reached;
  QPDFObjectHandle root = pdf.getRoot().getKey("/StructTreeRoot");
  std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>> todo{{root, QPDFObjectHandle()}};
  std::set<QPDFObjGen> seen;
  while (!todo.empty()) {
    auto [node, pg] = todo.back();
    todo.pop_back();
    if (!node.isDictionary() || (node.isIndirect() && !seen.insert(node.getObjGen()).second))
      continue;
    if (node.getKey("/Pg").isDictionary()) pg = node.getKey("/Pg");
    QPDFObjectHandle kids = node.getKey("/K");
    std::vector<QPDFObjectHandle> items =
        kids.isArray() ? kids.getArrayAsVector() : std::vector<QPDFObjectHandle>{kids};
    for (auto& kid : items) {
      if (kid.isInteger() && pg.isInitialized()) {
        reached.emplace(pg.getObjGen(), QPDFObjGen(), kid.getIntValue());
      } else if (kid.isDictionary() && kid.getKey("/Type").isNameAndEquals("/MCR")) {
        QPDFObjectHandle on = kid.getKey("/Pg").isDictionary() ? kid.getKey("/Pg") : pg;
        if (on.isInitialized() && kid.getKey("/MCID").isInteger())
          reached.emplace(on.getObjGen(), kid.getKey("/Stm").getObjGen(),
                          kid.getKey("/MCID").getIntValue());
      } else if (kid.isDictionary() && !kid.getKey("/Type").isNameAndEquals("/OBJR")) {
        todo.emplace_back(kid, pg);
      }
    }
  }
  return reached;
}

// Each outline item that leads to a page of `pdf`: the page and the titles down to it.
void outline_items(QPDF& pdf, const std::map<QPDFObjGen, long long>& pages,
                   std::vector<std::pair<long long, std::vector<std::string>>>& into) {
  std::vector<std::pair<QPDFObjectHandle, std::vector<std::string>>> todo;
  QPDFObjectHandle root = pdf.getRoot().getKey("/Outlines");
  if (root.isDictionary()) todo.emplace_back(root.getKey("/First"), std::vector<std::string>{});
  std::set<QPDFObjGen> seen;
  while (!todo.empty()) {
    auto [item, above] = todo.back();
    todo.pop_back();
    if (!item.isDictionary() || !seen.insert(item.getObjGen()).second) continue;
    todo.emplace_back(item.getKey("/Next"), above);
    above.push_back(item.getKey("/Title").isString() ? item.getKey("/Title").getUTF8Value() : "");
    QPDFObjectHandle action = item.getKey("/A");
    QPDFObjectHandle dest = action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo")
                                ? action.getKey("/D")
                                : item.getKey("/Dest");
    if (auto target = source_target(pdf, pages, dest)) into.emplace_back(target->page, above);
    todo.emplace_back(item.getKey("/First"), above);
  }
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
    std::fprintf(stderr, "usage: page-census SOURCE PAGE_FILE...\n");
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
    long links = 0, internal = 0, live_before = 0, live_after = 0, strays = 0, lacking = 0,
         unclean = 0, tagged_pages = 0, mc_before = 0, mc_after = 0, outline_before = 0,
         outline_after = 0;
    const bool tagged = source.getRoot().getKey("/StructTreeRoot").isDictionary();
    std::map<QPDFObjGen, long> source_mc;  // by page
    if (tagged)
      for (auto& [page, form, mcid] : reached_content(source)) ++source_mc[page];
    std::vector<std::pair<long long, std::vector<std::string>>> source_items;
    outline_items(source, numbers, source_items);
    outline_before = static_cast<long>(source_items.size());
    const bool source_clean = reads_cleanly(source);
    std::vector<std::string> dead, faults;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      QPDF page_file;
      page_file.setSuppressWarnings(true);
      page_file.processFile(argv[i + 2]);
      long page_objects = 0;
      for (auto& obj : page_file.getAllObjects())
        page_objects += obj.isDictionary() && obj.getKey("/Type").isNameAndEquals("/Page");
      std::string name = std::filesystem::path(argv[i + 2]).filename().string();
      if (page_objects != 1) {
        ++strays;
        faults.push_back(name + ": " + std::to_string(page_objects) + " page objects");
      }
      if (std::string missing = missing_entries(source.getRoot(), page_file.getRoot());
          !missing.empty()) {
        ++lacking;
        faults.push_back(name + ": lacks" + missing);
      }
      if (!reads_cleanly(page_file) && source_clean) {
        ++unclean;
        faults.push_back(name + ": " + page_file.getWarnings().front().what());
      }
      QPDFObjectHandle annots = pages[i].getKey("/Annots");
      QPDFObjectHandle own = page_file.getAllPages().at(0), after = own.getKey("/Annots");
      if (tagged) {
        tagged_pages += page_file.getRoot().getKey("/StructTreeRoot").isDictionary();
        mc_before += source_mc[pages[i].getObjGen()];
        for (auto& [page, form, mcid] : reached_content(page_file))
          mc_after += page == own.getObjGen();
      }
      std::vector<std::pair<long long, std::vector<std::string>>> kept_items;
      outline_items(page_file, {{own.getObjGen(), 0}}, kept_items);
      std::multiset<std::vector<std::string>> kept;
      for (auto& [page, titles] : kept_items) kept.insert(titles);
      for (auto& [page, titles] : source_items) {
        if (page != static_cast<long long>(i)) continue;
        if (auto it = kept.find(titles); it != kept.end()) {
          kept.erase(it);
          ++outline_after;
        } else {
          faults.push_back(name + ": lacks the outline item " + titles.back());
        }
      }
      for (int k = 0; annots.isArray() && k < annots.getArrayNItems(); ++k) {
        QPDFObjectHandle annot = annots.getArrayItem(k);
        if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link")) continue;
        ++links;
        if (!is_goto_link(annot)) continue;
        ++internal;
        QPDFObjectHandle action = annot.getKey("/A");
        auto want = source_target(
            source, numbers, action.isDictionary() ? action.getKey("/D") : annot.getKey("/Dest"));
        if (!want) {
          faults.push_back("page " + std::to_string(i + 1) + " link " + std::to_string(k + 1) +
                           " leads nowhere in the source either: " +
                           (action.isDictionary() ? action.getKey("/D") : annot.getKey("/Dest"))
                               .unparseResolved());
          continue;
        }
        ++live_before;
        QPDFObjectHandle mended =
            after.isArray() ? after.getArrayItem(k) : QPDFObjectHandle::newNull();
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
    std::printf(
        "links %ld internal %ld live-in-source %ld live-in-pages %ld stray-pages %ld "
        "lacking-entries %ld warnings %ld tagged-sources %d tagged-source-pages %ld "
        "tagged-pages %ld mc-in-source %ld mc-in-pages %ld outline-to-pages %ld "
        "outline-in-pages %ld\n",
        links, internal, live_before, live_after, strays, lacking, unclean, tagged ? 1 : 0,
        tagged ? static_cast<long>(pages.size()) : 0L, tagged_pages, mc_before, mc_after,
        outline_before, outline_after);
    for (auto& line : dead) std::printf("dead %s\n", line.c_str());
    for (auto& line : faults) std::printf("fault %s\n", line.c_str());
  } catch (std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  return 0;
}
