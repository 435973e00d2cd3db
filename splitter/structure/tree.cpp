#include "splitter/structure/tree.h"

#include "splitter/page/links.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace pagerift::splitter {
namespace {

// The parent tree gives a page an array indexed by MCID, so a huge one would make every page
// file carry that many nulls. Real pages stay far below this.
constexpr long long kMaxMcid = (1 << 18) - 1;
constexpr long long kMaxKey = INT32_MAX - 1;

std::vector<QPDFObjectHandle> kids_of(QPDFObjectHandle node) {
  QPDFObjectHandle kids = node.getKey("/K");
  if (kids.isArray()) return kids.getArrayAsVector();
  if (kids.isNull()) return {};
  return {kids};
}

// A parent tree key of the source: /StructParents of a page or form, /StructParent of an
// annotation; -1 when there is none that fits.
long long key_of(QPDFObjectHandle obj, const char* name) {
  QPDFObjectHandle dict = obj.isStream() ? obj.getDict() : obj;
  QPDFObjectHandle key = dict.isDictionary() ? dict.getKey(name) : QPDFObjectHandle::newNull();
  if (!key.isInteger()) return -1;
  long long value = key.getIntValue();
  return value >= 0 && value <= kMaxKey ? value : -1;
}

QPDFObjectHandle& substitute(Substitutes& out, QPDFObjectHandle obj) {
  QPDFObjectHandle& copy = out[obj.getObjGen()];
  if (!copy.isInitialized()) copy = copy_of(obj);
  return copy;
}

}  // namespace

StructureTree::StructureTree(QPDF& pdf, const std::vector<QPDFObjectHandle>& pages,
                             const std::map<QPDFObjGen, std::size_t>& page_numbers,
                             std::set<QPDFObjGen>& outside)
    : pdf_(pdf), pages_(pages), page_numbers_(page_numbers), damage_(pdf, "the structure tree") {
  QPDFObjectHandle root = pdf_.getRoot().getKey("/StructTreeRoot");
  if (!root.isDictionary() || (root.isIndirect() && outside.count(root.getObjGen()))) {
    if (!root.isNull()) damage_.note("its root is no dictionary of its own");
    return;
  }
  taken_ = &outside;
  if (QPDFObjectHandle info = pdf_.getRoot().getKey("/MarkInfo"); info.isDictionary())
    mark_info_ = info;
  content_.resize(pages_.size());
  for (std::size_t i = 0; i < pages_.size(); ++i)
    if (QPDFObjectHandle annots = QPDFObjectHandle(pages_[i]).getKey("/Annots"); annots.isArray())
      for (auto& annot : annots.aitems())
        if (annot.isIndirect()) annotation_pages_.emplace(annot.getObjGen(), i);
  read(indirect(pdf_, root));
  place_empty();
  if (QPDFObjectHandle ids = root.getKey("/IDTree"); ids.isDictionary())
    read_name_tree(ids, [this](const std::string& id, QPDFObjectHandle value) {
      auto it =
          value.isIndirect() ? nodes_by_object_.find(value.getObjGen()) : nodes_by_object_.end();
      if (it != nodes_by_object_.end() && it->second > 0) nodes_[it->second].ids.push_back(id);
    });
  kept_.assign(nodes_.size(), 0);
  direct_.assign(nodes_.size(), 0);
  for (auto& node : nodes_) outside.insert(node.obj.getObjGen());
}

// Depth first with a stack of its own: a hostile tree may be as deep as it is large.
void StructureTree::read(QPDFObjectHandle root) {
  nodes_.push_back({root, -1, 0, -1, -1, false, {}});
  nodes_by_object_.emplace(root.getObjGen(), 0);
  struct Frame {
    int node;
    std::vector<QPDFObjectHandle> kids;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  stack.push_back({0, kids_of(root)});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.kids.size()) {
      stack.pop_back();
      continue;
    }
    const int position = static_cast<int>(frame.next);
    QPDFObjectHandle kid = frame.kids[frame.next++];
    if (int element = read_kid(frame.node, position, kid); element > 0)
      stack.push_back({element, kids_of(nodes_[static_cast<std::size_t>(element)].obj)});
  }
}

// The new element's node, or 0 when the kid is content or damaged.
int StructureTree::read_kid(int parent, int position, QPDFObjectHandle kid) {
  const long above = nodes_[static_cast<std::size_t>(parent)].page;
  if (kid.isInteger()) {
    add_content({parent, position, Kind::kMcid, kid, kid.getIntValue(), {}}, above);
    return 0;
  }
  if (!kid.isDictionary()) {
    if (!kid.isNull()) damage_.note("a kid that is neither an element nor content");
    return 0;
  }
  QPDFObjectHandle type = kid.getKey("/Type");
  if (type.isNameAndEquals("/MCR")) {
    QPDFObjectHandle mcid = kid.getKey("/MCID"), form = kid.getKey("/Stm");
    if (!mcid.isInteger() || (kid.hasKey("/Stm") && !form.isStream())) {
      damage_.note("a marked-content reference without an MCID or a stream");
      return 0;
    }
    add_content({parent, position, Kind::kReference, kid, mcid.getIntValue(),
                 form.isStream() ? form : QPDFObjectHandle()},
                page_of(kid.getKey("/Pg"), above));
    return 0;
  }
  if (type.isNameAndEquals("/OBJR")) {
    QPDFObjectHandle obj = kid.getKey("/Obj");
    if (!obj.isIndirect() || !(obj.isDictionary() || obj.isStream()) ||
        page_numbers_.count(obj.getObjGen())) {
      damage_.note("an object reference to no object that a page holds");
      return 0;
    }
    // An annotation is on the page whose /Annots holds it, whatever /Pg says.
    auto on = annotation_pages_.find(obj.getObjGen());
    long page = on != annotation_pages_.end() ? static_cast<long>(on->second)
                                              : page_of(kid.getKey("/Pg"), above);
    add_content({parent, position, Kind::kObject, kid, -1, obj}, page);
    return 0;
  }
  // A page, a page-tree node or an annotation is never an element, whatever keys it has.
  if (!kid.getKey("/S").isName() ||
      (kid.isIndirect() &&
       (taken_->count(kid.getObjGen()) || annotation_pages_.count(kid.getObjGen())))) {
    damage_.note("a kid of the wrong kind");
    return 0;
  }
  if (kid.isIndirect() && nodes_by_object_.count(kid.getObjGen())) {
    damage_.note("an element that is its own ancestor or has two parents");
    return 0;
  }
  kid = indirect(pdf_, kid);
  const int node = static_cast<int>(nodes_.size());
  const long own = page_of(kid.getKey("/Pg"), -1);
  nodes_by_object_.emplace(kid.getObjGen(), node);
  nodes_.push_back({kid, parent, position, own >= 0 ? own : above, own, false, {}});
  return node;
}

// An element without content anywhere below it still says something: Writer gives a figure its
// /Alt and /Pg but no content, an empty table cell keeps the columns of its row. Such an element
// stays on the page its own /Pg names, or else comes along with its parent; one right under the
// root without a /Pg is on no page.
void StructureTree::place_empty() {
  std::vector<char> content(nodes_.size(), 0);
  for (std::size_t n = 0; n < nodes_.size(); ++n) content[n] = nodes_[n].filled;
  for (std::size_t n = nodes_.size(); n-- > 1;)
    if (content[n]) content[static_cast<std::size_t>(nodes_[n].parent)] = 1;
  for (std::size_t n = 1; n < nodes_.size(); ++n) {
    const Node& node = nodes_[n];
    if (content[n]) continue;
    const auto parent = static_cast<std::size_t>(node.parent);
    if ((parent == 0 || content[parent]) && node.own_page >= 0)
      content_[static_cast<std::size_t>(node.own_page)].push_back(
          {static_cast<int>(n), -1, Kind::kEmpty, {}, -1, {}});
    else if (parent > 0)
      followers_[node.parent].push_back(static_cast<int>(n));
  }
}

void StructureTree::add_content(const Content& content, long page) {
  nodes_[static_cast<std::size_t>(content.node)].filled = true;
  if (content.node == 0) {
    damage_.note("content right under the root");
  } else if (page < 0) {
    damage_.note("content on no page");
  } else if (content.kind != Kind::kObject && (content.mcid < 0 || content.mcid > kMaxMcid)) {
    damage_.note("an MCID out of range");
  } else {
    content_[static_cast<std::size_t>(page)].push_back(content);
  }
}

long StructureTree::page_of(QPDFObjectHandle pg, long above) {
  if (pg.isNull()) return above;
  auto it = pg.isIndirect() ? page_numbers_.find(pg.getObjGen()) : page_numbers_.end();
  if (it != page_numbers_.end()) return static_cast<long>(it->second);
  damage_.note("a /Pg that is no page of the document");
  return above;
}

void StructureTree::add(std::size_t index, QPDFObjectHandle catalog, Substitutes& out) {
  if (!tagged()) return;
  const std::size_t stamp = index + 1;
  QPDFObjectHandle page = pages_[index];
  // Every kid this page keeps, under the node it is a kid of: its content, and the elements
  // above it up to the root.
  struct Entry {
    int parent, position;
    QPDFObjectHandle kid;
  };
  std::vector<Entry> entries;
  std::vector<int> kept;
  for (Content& content : content_[index]) {
    if (content.kind != Kind::kEmpty)
      entries.push_back({content.node, content.position,
                         content.kind == Kind::kMcid ? QPDFObjectHandle::newInteger(content.mcid)
                                                     : content.item});
    direct_[static_cast<std::size_t>(content.node)] = stamp;
    for (int n = content.node; n > 0 && kept_[static_cast<std::size_t>(n)] != stamp;) {
      const Node& node = nodes_[static_cast<std::size_t>(n)];
      kept_[static_cast<std::size_t>(n)] = stamp;
      kept.push_back(n);
      entries.push_back({node.parent, node.position, node.obj});
      n = node.parent;
    }
  }
  for (std::size_t i = 0; i < kept.size(); ++i)
    if (auto it = followers_.find(kept[i]); it != followers_.end())
      for (int n : it->second) {
        const Node& node = nodes_[static_cast<std::size_t>(n)];
        kept_[static_cast<std::size_t>(n)] = stamp;
        kept.push_back(n);
        entries.push_back({node.parent, node.position, node.obj});
      }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.parent != b.parent ? a.parent < b.parent : a.position < b.position;
  });
  QPDFObjectHandle root = copy_of(nodes_[0].obj);
  root.removeKey("/K");
  for (std::size_t i = 0; i < entries.size();) {
    const int parent = entries[i].parent;
    std::vector<QPDFObjectHandle> kids;
    for (; i < entries.size() && entries[i].parent == parent; ++i) kids.push_back(entries[i].kid);
    if (parent == 0)
      root.replaceKey("/K", QPDFObjectHandle::newArray(kids));
    else
      out[nodes_[static_cast<std::size_t>(parent)].obj.getObjGen()] =
          element(parent, std::move(kids), stamp, page);
  }
  for (int n : kept)
    if (QPDFObjectHandle& copy = out[nodes_[static_cast<std::size_t>(n)].obj.getObjGen()];
        !copy.isInitialized())
      copy = element(n, {}, stamp, page);
  long long next_key = 0;
  root.replaceKey("/ParentTree", parent_tree(index, out, next_key));
  root.replaceKey("/ParentTreeNextKey", QPDFObjectHandle::newInteger(next_key));
  root.replaceKey("/IDTree", id_tree(kept));
  out[nodes_[0].obj.getObjGen()] = root;
  catalog.replaceKey("/StructTreeRoot", nodes_[0].obj);
  if (mark_info_.isInitialized()) catalog.replaceKey("/MarkInfo", mark_info_);
}

// The element as this page file has it: only this page's kids, its /Pg this page where its own
// content is here, and references to kept elements only.
QPDFObjectHandle StructureTree::element(int n, std::vector<QPDFObjectHandle> kids,
                                        std::size_t stamp, QPDFObjectHandle page) {
  const Node& node = nodes_[static_cast<std::size_t>(n)];
  QPDFObjectHandle copy = copy_of(node.obj);
  if (kids.empty())
    copy.removeKey("/K");
  else
    copy.replaceKey("/K", QPDFObjectHandle::newArray(kids));
  copy.replaceKey("/P", nodes_[static_cast<std::size_t>(node.parent)].obj);
  if (direct_[static_cast<std::size_t>(n)] == stamp)
    copy.replaceKey("/Pg", page);
  else
    copy.removeKey("/Pg");
  if (QPDFObjectHandle refs = copy.getKey("/Ref"); refs.isArray()) {
    std::vector<QPDFObjectHandle> here;
    for (auto& ref : refs.aitems()) {
      auto it = ref.isIndirect() ? nodes_by_object_.find(ref.getObjGen()) : nodes_by_object_.end();
      if (it != nodes_by_object_.end() && kept_[static_cast<std::size_t>(it->second)] == stamp)
        here.push_back(ref);
    }
    if (here.empty())
      copy.removeKey("/Ref");
    else
      copy.replaceKey("/Ref", QPDFObjectHandle::newArray(here));
  }
  return copy;
}

// Keys that an owner (the page, a form XObject, an annotation) holds in the page file's parent
// tree. The source's own keys are kept where they fit; the page and its annotations get new ones
// where they have none or share one, as a damaged source may have them.
struct StructureTree::Keys {
  std::map<long long, QPDFObjGen> owners;
  bool claim(long long key, QPDFObjGen owner) {
    if (key < 0) return false;
    auto [it, fresh] = owners.emplace(key, owner);
    return fresh || it->second == owner;
  }
  long long next() const { return owners.empty() ? 0 : owners.rbegin()->first + 1; }
};

QPDFObjectHandle StructureTree::parent_tree(std::size_t index, Substitutes& out,
                                            long long& next_key) {
  QPDFObjectHandle page = pages_[index];
  Keys keys;
  long long page_key = key_of(page, "/StructParents");
  const bool page_owns = keys.claim(page_key, page.getObjGen());
  std::vector<long long> content_keys(content_[index].size(), -1);
  std::vector<std::size_t> unkeyed;  // annotations that need a key of their own
  bool page_content = false;
  for (std::size_t i = 0; i < content_[index].size(); ++i) {
    Content& content = content_[index][i];
    if (content.kind == Kind::kEmpty) {
      continue;
    } else if (!content.owner.isInitialized()) {
      page_content = true;
    } else if (content.kind == Kind::kReference) {
      long long key = key_of(content.owner, "/StructParents");
      if (keys.claim(key, content.owner.getObjGen()))
        content_keys[i] = key;
      else if (key >= 0)
        damage_.note("a form XObject's key in the parent tree is another's");
    } else {
      long long key = key_of(content.owner, "/StructParent");
      if (keys.claim(key, content.owner.getObjGen()))
        content_keys[i] = key;
      else if (content.owner.isDictionary())
        unkeyed.push_back(i);
    }
  }
  if (page_content && !page_owns) {
    page_key = keys.next();
    if (page_key <= kMaxKey) {
      keys.claim(page_key, page.getObjGen());
      substitute(out, page).replaceKey("/StructParents", QPDFObjectHandle::newInteger(page_key));
    }
  }
  std::map<QPDFObjGen, long long> given;
  for (std::size_t i : unkeyed) {
    QPDFObjectHandle owner = content_[index][i].owner;
    auto [it, fresh] = given.emplace(owner.getObjGen(), keys.next());
    if (fresh && it->second <= kMaxKey) {
      keys.claim(it->second, owner.getObjGen());
      substitute(out, owner).replaceKey("/StructParent", QPDFObjectHandle::newInteger(it->second));
    }
    content_keys[i] = it->second;
  }
  // An MCID's entry is its element; an object's entry is its element alone.
  std::map<long long, std::vector<QPDFObjectHandle>> arrays;
  std::map<long long, QPDFObjectHandle> entries;
  for (std::size_t i = 0; i < content_[index].size(); ++i) {
    Content& content = content_[index][i];
    QPDFObjectHandle element = nodes_[static_cast<std::size_t>(content.node)].obj;
    long long key = content.owner.isInitialized() ? content_keys[i] : page_key;
    if (content.kind == Kind::kEmpty || key < 0 || key > kMaxKey) continue;
    if (content.kind == Kind::kObject) {
      entries.emplace(key, element);
      continue;
    }
    std::vector<QPDFObjectHandle>& mcids = arrays[key];
    auto at = static_cast<std::size_t>(content.mcid);
    if (mcids.size() <= at) mcids.resize(at + 1, QPDFObjectHandle::newNull());
    if (mcids[at].isNull()) mcids[at] = element;
  }
  for (auto& [key, mcids] : arrays) entries.emplace(key, QPDFObjectHandle::newArray(mcids));
  std::vector<QPDFObjectHandle> nums;
  for (auto& [key, value] : entries) {
    nums.push_back(QPDFObjectHandle::newInteger(key));
    nums.push_back(value);
  }
  next_key = keys.next();
  return QPDFObjectHandle::newDictionary({{"/Nums", QPDFObjectHandle::newArray(nums)}});
}

QPDFObjectHandle StructureTree::id_tree(const std::vector<int>& kept) {
  std::map<std::string, QPDFObjectHandle> ids;
  for (int n : kept)
    for (auto& id : nodes_[static_cast<std::size_t>(n)].ids)
      ids.emplace(id, nodes_[static_cast<std::size_t>(n)].obj);
  if (ids.empty()) return QPDFObjectHandle::newNull();
  std::vector<QPDFObjectHandle> names;
  for (auto& [id, element] : ids) {
    names.push_back(QPDFObjectHandle::newString(id));
    names.push_back(element);
  }
  return QPDFObjectHandle::newDictionary({{"/Names", QPDFObjectHandle::newArray(names)}});
}

}  // namespace pagerift::splitter
