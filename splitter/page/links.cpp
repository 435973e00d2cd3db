#include "splitter/page/links.h"

#include <set>
#include <utility>

namespace pagerift::splitter {
namespace {

// The largest explicit destination: the page, /FitR and its four coordinates.
constexpr int kMaxDestinationItems = 6;

// A file name alone is a relative file reference: the set still works once moved as a whole.
// Readers take a name outside ASCII from /UF.
QPDFObjectHandle file_spec(const std::string& name) {
  bool ascii = true;
  for (unsigned char c : name) ascii = ascii && c >= 0x20 && c < 0x7f;
  if (ascii) return QPDFObjectHandle::newString(name);
  return QPDFObjectHandle::newDictionary({{"/Type", QPDFObjectHandle::newName("/Filespec")},
                                          {"/F", QPDFObjectHandle::newString(name)},
                                          {"/UF", QPDFObjectHandle::newUnicodeString(name)}});
}

// What names a destination that many links may share, or "" for one of their own.
std::string cache_key(QPDFObjectHandle dest) {
  std::string key;
  if (dest.isIndirect()) {
    key.append("R").append(dest.getObjGen().unparse(' '));
  } else if (dest.isName()) {
    key = dest.getName();
  } else if (dest.isString()) {
    key.append("(").append(dest.getStringValue());
  }
  return key;
}

}  // namespace

void read_name_tree(QPDFObjectHandle tree,
                    const std::function<void(const std::string&, QPDFObjectHandle)>& each) {
  std::vector<QPDFObjectHandle> todo{tree};
  std::set<QPDFObjGen> seen;
  while (!todo.empty()) {
    QPDFObjectHandle node = todo.back();
    todo.pop_back();
    if (!node.isDictionary() || (node.isIndirect() && !seen.insert(node.getObjGen()).second))
      continue;
    if (QPDFObjectHandle pairs = node.getKey("/Names"); pairs.isArray()) {
      const int n = pairs.getArrayNItems();
      for (int i = 0; i + 1 < n; i += 2)
        if (QPDFObjectHandle key = pairs.getArrayItem(i); key.isString())
          each(key.getStringValue(), pairs.getArrayItem(i + 1));
    }
    if (QPDFObjectHandle kids = node.getKey("/Kids"); kids.isArray()) {
      std::vector<QPDFObjectHandle> items = kids.getArrayAsVector();
      todo.insert(todo.end(), items.rbegin(), items.rend());
    }
  }
}

LinkMender::LinkMender(QPDF& pdf, const std::vector<QPDFObjectHandle>& pages)
    : pdf_(pdf), pages_(pages) {}

const std::map<QPDFObjGen, std::size_t>& LinkMender::page_numbers() {
  if (page_numbers_.empty())
    for (std::size_t i = 0; i < pages_.size(); ++i)
      if (pages_[i].isIndirect()) page_numbers_.emplace(pages_[i].getObjGen(), i);
  return page_numbers_;
}

void LinkMender::mend(std::size_t index, Substitutes& out) {
  QPDFObjectHandle page = pages_.at(index);
  if (!page.isDictionary()) return;
  QPDFObjectHandle annots = page.getKey("/Annots");
  if (!annots.isArray()) return;
  std::vector<QPDFObjectHandle> items = annots.getArrayAsVector();
  bool direct = false;
  for (auto& annot : items) {
    if (!annot.isDictionary() || (annot.isIndirect() && out.count(annot.getObjGen()))) continue;
    QPDFObjectHandle mended_annot = mended(annot, index);
    if (!mended_annot.isInitialized()) continue;
    if (annot.isIndirect()) {
      out.emplace(annot.getObjGen(), mended_annot);
    } else {
      annot = mended_annot;
      direct = true;
    }
  }
  if (!direct) return;
  // A direct annotation is written where its array is, so the array changes, or the page.
  QPDFObjectHandle list = QPDFObjectHandle::newArray(items);
  if (annots.isIndirect()) {
    out[annots.getObjGen()] = list;
  } else {
    QPDFObjectHandle copy = copy_of(page);
    copy.replaceKey("/Annots", list);
    out[page.getObjGen()] = copy;
  }
}

// Many items lead to the same place: what a destination resolves to, and the action that leads
// there from any other page, are made once. An action with more than /S and /D (a /Next, say)
// is made anew.
std::optional<LinkMender::Lookup> LinkMender::look_up(QPDFObjectHandle item) {
  Lookup found;
  found.action = item.getKey("/A");
  const bool by_action = found.action.isDictionary();
  if (by_action ? !found.action.getKey("/S").isNameAndEquals("/GoTo") : !item.hasKey("/Dest"))
    return std::nullopt;
  found.dest = by_action ? found.action.getKey("/D") : item.getKey("/Dest");
  if (!by_action) found.action = QPDFObjectHandle();
  const bool plain = !by_action || found.action.getKeys().size() == 2;
  if (std::string key = cache_key(found.dest); plain && !key.empty()) {
    auto [it, fresh] = resolved_.try_emplace(std::move(key));
    if (fresh) it->second.target = resolve(found.dest);
    found.known = &it->second;
    found.target = found.known->target;
  } else {
    found.target = resolve(found.dest);
  }
  return found;
}

std::optional<std::size_t> LinkMender::page_of(QPDFObjectHandle item) {
  std::optional<Lookup> found = item.isDictionary() ? look_up(item) : std::nullopt;
  if (!found || !found->target) return std::nullopt;
  return found->target->page;
}

QPDFObjectHandle LinkMender::mended(QPDFObjectHandle item, std::size_t index) {
  std::optional<Lookup> found = look_up(item);
  if (!found || !found->target) return {};
  const Target& target = *found->target;
  QPDFObjectHandle mended;
  if (found->known && target.page != index) {
    if (!found->known->elsewhere.isInitialized())
      found->known->elsewhere = go_to(target, index, {});
    mended = found->known->elsewhere;
  } else {
    mended = go_to(target, index, found->action);
  }
  if (!mended.isInitialized()) return {};
  QPDFObjectHandle copy = copy_of(item);
  if (mended.isArray()) {
    copy.replaceKey("/Dest", mended);
  } else {
    copy.removeKey("/Dest");
    copy.replaceKey("/A", mended);
  }
  return copy;
}

// The destination array on this page, or the action that leads to the target's file. `action`
// is the link's own GoTo action, or uninitialised for a /Dest, whose array is returned as it is
// when it stays on the page.
QPDFObjectHandle LinkMender::go_to(const Target& target, std::size_t index,
                                   QPDFObjectHandle action) {
  const bool here = target.page == index;
  std::vector<QPDFObjectHandle> items{here ? pages_[index] : QPDFObjectHandle::newInteger(0)};
  items.insert(items.end(), target.view.begin(), target.view.end());
  QPDFObjectHandle dest = QPDFObjectHandle::newArray(items);
  if (!here && file_names_.size() != pages_.size()) return {};
  QPDFObjectHandle mended =
      action.isInitialized() ? copy_of(action) : QPDFObjectHandle::newDictionary();
  if (here) {
    if (!action.isInitialized()) return dest;
  } else {
    mended.replaceKey("/S", QPDFObjectHandle::newName("/GoToR"));
    QPDFObjectHandle& spec = file_specs_[target.page];
    if (!spec.isInitialized()) spec = file_spec(file_names_[target.page]);
    mended.replaceKey("/F", spec);
    mended.removeKey("/SD");  // a structure destination in a tree the page file does not have
    names_files_ = true;
  }
  mended.replaceKey("/D", dest);
  return mended;
}

std::optional<LinkMender::Target> LinkMender::resolve(QPDFObjectHandle dest) {
  if (dest.isName() || dest.isString()) {
    // Readers look a name up in both places, whether it is written as a name or a string.
    dest = named(dest.isName() ? dest.getName().substr(1) : dest.getStringValue());
    if (dest.isDictionary()) dest = dest.getKey("/D");
  }
  return explicit_target(dest);
}

std::optional<LinkMender::Target> LinkMender::explicit_target(QPDFObjectHandle dest) {
  if (!dest.isArray()) return std::nullopt;
  const int n = dest.getArrayNItems();
  if (n < 1 || n > kMaxDestinationItems) return std::nullopt;
  QPDFObjectHandle first = dest.getArrayItem(0);
  Target target{};
  if (first.isIndirect()) {
    auto it = page_numbers().find(first.getObjGen());
    if (it == page_numbers_.end()) return std::nullopt;
    target.page = it->second;
  } else if (first.isInteger()) {
    // Some writers give the page's number where a reference belongs; readers take it.
    long long number = first.getIntValue();
    if (number < 0 || static_cast<unsigned long long>(number) >= pages_.size()) return std::nullopt;
    target.page = static_cast<std::size_t>(number);
  } else {
    return std::nullopt;
  }
  for (int i = 1; i < n; ++i) {
    QPDFObjectHandle item = dest.getArrayItem(i);
    if (!item.isName() && !item.isNumber() && !item.isNull()) return std::nullopt;
    target.view.push_back(item.isIndirect() ? item.shallowCopy() : item);
  }
  return target;
}

QPDFObjectHandle LinkMender::named(const std::string& name) {
  if (!names_) {
    names_.emplace();
    QPDFObjectHandle root = pdf_.getRoot();
    if (QPDFObjectHandle dests = root.getKey("/Dests"); dests.isDictionary())
      for (auto& [key, value] : dests.getDictAsMap()) names_->emplace(key.substr(1), value);
    if (QPDFObjectHandle names = root.getKey("/Names"); names.isDictionary())
      read_name_tree(
          names.getKey("/Dests"),
          [this](const std::string& key, QPDFObjectHandle value) { names_->emplace(key, value); });
  }
  auto it = names_->find(name);
  return it == names_->end() ? QPDFObjectHandle::newNull() : it->second;
}

}  // namespace pagerift::splitter
