#include "splitter/structure/outlines.h"

#include <algorithm>
#include <map>
#include <utility>

namespace pagerift::splitter {

Outlines::Outlines(QPDF& pdf, std::size_t pages, LinkMender& links, std::set<QPDFObjGen>& outside)
    : links_(links), damage_(pdf, "the outline") {
  QPDFObjectHandle root = pdf.getRoot().getKey("/Outlines");
  if (!root.isDictionary()) return;
  if (root.isIndirect() && outside.count(root.getObjGen())) {
    damage_.note("its root is a page or an element");
    return;
  }
  use_outlines_ = pdf.getRoot().getKey("/PageMode").isNameAndEquals("/UseOutlines");
  leading_.resize(pages);
  items_.push_back({indirect(pdf, root), -1, true});
  read(root, outside);
  kept_.assign(items_.size(), 0);
  for (auto& item : items_) outside.insert(item.obj.getObjGen());
}

// Depth first, each level a chain of /Next, with a stack of its own: a hostile outline may be
// as deep as it is large. An item met again (a loop) ends its chain.
void Outlines::read(QPDFObjectHandle root, const std::set<QPDFObjGen>& taken) {
  std::set<QPDFObjGen> seen{items_[0].obj.getObjGen()};
  std::vector<std::pair<int, QPDFObjectHandle>> chains{{0, root.getKey("/First")}};
  while (!chains.empty()) {
    auto [parent, item] = chains.back();
    if (!item.isDictionary() || !item.isIndirect() || taken.count(item.getObjGen()) ||
        !seen.insert(item.getObjGen()).second) {
      if (!item.isNull()) damage_.note("an item that loops, is no dictionary or is a page");
      chains.pop_back();
      continue;
    }
    chains.back().second = item.getKey("/Next");
    const int n = static_cast<int>(items_.size());
    QPDFObjectHandle count = item.getKey("/Count");
    items_.push_back({item, parent, count.isInteger() && count.getIntValue() > 0});
    if (std::optional<std::size_t> page = links_.page_of(item)) leading_[*page].push_back(n);
    chains.emplace_back(n, item.getKey("/First"));
  }
}

void Outlines::add(std::size_t index, QPDFObjectHandle catalog, Substitutes& out) {
  if (leading_.empty() || leading_[index].empty()) return;
  const std::size_t stamp = index + 1;
  std::vector<int> kept;
  for (int n : leading_[index])
    for (; n >= 0 && kept_[static_cast<std::size_t>(n)] != stamp;
         n = items_[static_cast<std::size_t>(n)].parent) {
      kept_[static_cast<std::size_t>(n)] = stamp;
      kept.push_back(n);
    }
  // Items are numbered in the source's order, parents before their kids.
  std::sort(kept.begin(), kept.end());
  std::map<int, std::vector<int>> kids;
  for (int n : kept)
    if (n > 0) kids[items_[static_cast<std::size_t>(n)].parent].push_back(n);
  // Visible descendants, from the last item up: an open item shows its kids' own.
  std::map<int, long long> visible;
  for (auto n = kept.rbegin(); n != kept.rend(); ++n) {
    long long shown = 0;
    if (auto own = kids.find(*n); own != kids.end())
      for (int kid : own->second)
        shown += 1 + (items_[static_cast<std::size_t>(kid)].open ? visible[kid] : 0);
    visible[*n] = shown;
  }
  auto obj = [this](int n) { return items_[static_cast<std::size_t>(n)].obj; };
  std::map<int, QPDFObjectHandle> copies;
  for (int n : kept) {
    QPDFObjectHandle copy = n == 0 ? QPDFObjectHandle() : links_.mended(obj(n), index);
    if (!copy.isInitialized()) copy = copy_of(obj(n));
    for (const char* key : {"/Parent", "/Prev", "/Next", "/First", "/Last", "/Count"})
      copy.removeKey(key);
    copies.emplace(n, copy);
  }
  for (auto& [parent, list] : kids) {
    QPDFObjectHandle& above = copies.at(parent);
    above.replaceKey("/First", obj(list.front()));
    above.replaceKey("/Last", obj(list.back()));
    const long long shown = visible[parent];
    above.replaceKey("/Count", QPDFObjectHandle::newInteger(
                                   items_[static_cast<std::size_t>(parent)].open ? shown : -shown));
    for (std::size_t i = 0; i < list.size(); ++i) {
      QPDFObjectHandle& copy = copies.at(list[i]);
      copy.replaceKey("/Parent", obj(parent));
      if (i > 0) copy.replaceKey("/Prev", obj(list[i - 1]));
      if (i + 1 < list.size()) copy.replaceKey("/Next", obj(list[i + 1]));
    }
  }
  for (auto& [n, copy] : copies) out[obj(n).getObjGen()] = copy;
  catalog.replaceKey("/Outlines", items_[0].obj);
  if (use_outlines_) catalog.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
}

}  // namespace pagerift::splitter
