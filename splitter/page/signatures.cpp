#include "splitter/page/signatures.h"

#include <qpdf/QPDFFormFieldObjectHelper.hh>

#include <algorithm>
#include <vector>

namespace pagerift::splitter {
namespace {

// Field trees of real documents are a few levels deep; a crafted /Parent chain may be a loop.
constexpr std::size_t kMaxDepth = 32;

// What makes a field a signed signature field, besides its value.
constexpr const char* kSignatureKeys[] = {"/FT", "/V", "/SV", "/Lock"};

}  // namespace

bool is_signed(QPDF& pdf, QPDFAcroFormDocumentHelper& forms) {
  QPDFObjectHandle root = pdf.getRoot();
  if (root.hasKey("/Perms") || root.hasKey("/DSS")) return true;
  if (!forms.hasAcroForm()) return false;
  for (auto& field : forms.getFormFields())
    if (field.getFieldType() == "/Sig" && !field.getValue().isNull()) return true;
  return false;
}

bool unsign_page(QPDFObjectHandle page, Substitutes& substitutes, std::set<QPDFObjGen>& dropped) {
  QPDFObjectHandle annots = page.getKey("/Annots");
  if (!annots.isArray()) return false;
  bool unsigned_any = false;
  for (auto& widget : annots.aitems()) {
    if (!widget.isDictionary() || !widget.isIndirect() ||
        !widget.getKey("/Subtype").isNameAndEquals("/Widget"))
      continue;
    // The widget and its fields up to the top, each once; the type and the value are inherited.
    std::vector<QPDFObjectHandle> chain;
    std::set<QPDFObjGen> seen;
    QPDFObjectHandle type = QPDFObjectHandle::newNull(), value = QPDFObjectHandle::newNull();
    std::size_t type_at = 0, value_at = 0;
    for (QPDFObjectHandle node = widget; node.isDictionary() && chain.size() < kMaxDepth;
         node = node.getKey("/Parent")) {
      if (node.isIndirect() && !seen.insert(node.getObjGen()).second) break;
      chain.push_back(node);
      if (type.isNull() && node.hasKey("/FT")) {
        type = node.getKey("/FT");
        type_at = chain.size() - 1;
      }
      if (value.isNull() && !node.getKey("/V").isNull()) {
        value = node.getKey("/V");
        value_at = chain.size() - 1;
      }
    }
    if (!type.isNameAndEquals("/Sig") || value.isNull()) continue;
    unsigned_any = true;
    // The nodes up to the one that holds the type or the value: what lies above is a plain
    // parent, which other fields may share.
    const std::size_t last = std::max(type_at, value_at);
    // The widget becomes an annotation alone; the field's nodes leave the tree, and with them
    // the value. What holds them (the form, or a plain parent) lists them no more.
    for (std::size_t i = 0; i <= last; ++i) {
      if (!chain[i].isIndirect()) continue;
      QPDFObjectHandle copy = substitute_copy(substitutes, chain[i]);
      for (const char* key : kSignatureKeys) copy.removeKey(key);
      if (i == 0) copy.removeKey("/Parent");
    }
    if (last + 1 == chain.size()) {
      if (chain[last].isIndirect()) dropped.insert(chain[last].getObjGen());
    } else if (chain[last + 1].isIndirect()) {
      QPDFObjectHandle parent = substitute_copy(substitutes, chain[last + 1]);
      QPDFObjectHandle kids = parent.getKey("/Kids");
      if (kids.isArray()) {
        std::vector<QPDFObjectHandle> kept;
        for (auto& kid : kids.aitems())
          if (kid.getObjGen() != chain[last].getObjGen()) kept.push_back(kid);
        parent.replaceKey("/Kids", QPDFObjectHandle::newArray(kept));
      }
    }
  }
  return unsigned_any;
}

}  // namespace pagerift::splitter
