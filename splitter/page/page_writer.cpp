#include "splitter/page/page_writer.h"

#include "splitter/page/resources.h"
#include "splitter/page/signatures.h"
#include "splitter/source/pdfa.h"

#include <qpdf/QPDFFormFieldObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <list>
#include <new>
#include <stdexcept>
#include <utility>

namespace pagerift::splitter {
namespace {

// Pruning parses every content stream, so it is only worth it where pages share resources and
// would otherwise each carry everything. This is the test qpdf's own page splitting uses.
bool has_shared_resources(QPDF& pdf) {
  std::set<QPDFObjGen> resources_seen, nodes_seen;
  std::list<QPDFObjectHandle> queue{pdf.getRoot().getKey("/Pages")};
  while (!queue.empty()) {
    QPDFObjectHandle node = queue.front();
    queue.pop_front();
    if (!nodes_seen.insert(node.getObjGen()).second) continue;
    QPDFObjectHandle dict = node.isStream() ? node.getDict() : node;
    QPDFObjectHandle kids = dict.getKey("/Kids");
    if (kids.isArray()) {
      if (dict.hasKey("/Resources")) return true;
      for (auto& kid : kids.aitems()) queue.push_back(kid);
      continue;
    }
    QPDFObjectHandle resources = dict.getKey("/Resources");
    if (resources.isIndirect() && !resources_seen.insert(resources.getObjGen()).second) return true;
    QPDFObjectHandle xobject =
        resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
    if (xobject.isIndirect() && !resources_seen.insert(xobject.getObjGen()).second) return true;
    if (xobject.isDictionary())
      for (auto& item : xobject.ditems())
        if (item.second.isFormXObject()) queue.push_back(item.second);
  }
  return false;
}

// A page whose content array names a non-stream: readers skip it, and qpdf's check calls a null
// there (what a reference to a missing object is written as) an error, so the page file leaves it
// out. A /Contents that is neither a stream nor an array goes too.
void mend_contents(QPDFObjectHandle page, Substitutes& substitutes) {
  QPDFObjectHandle contents = page.getKey("/Contents");
  if (contents.isStream()) return;
  QPDFObjectHandle mended = QPDFObjectHandle::newNull();
  if (contents.isArray()) {
    std::vector<QPDFObjectHandle> streams;
    for (auto& item : contents.aitems())
      if (item.isStream()) streams.push_back(item);
    if (static_cast<int>(streams.size()) == contents.getArrayNItems()) return;
    mended = QPDFObjectHandle::newArray(streams);
  } else if (!page.hasKey("/Contents")) {
    return;
  }
  if (contents.isArray() && contents.isIndirect()) {
    substitutes[contents.getObjGen()] = mended;
    return;
  }
  QPDFObjectHandle copy = substitute_copy(substitutes, page);
  if (mended.isNull())
    copy.removeKey("/Contents");
  else
    copy.replaceKey("/Contents", mended);
}

}  // namespace

PageWriter::PageWriter(QPDF& pdf, std::string id_seed)
    : pdf_(pdf),
      labels_(pdf),
      forms_(pdf),
      id_seed_(std::move(id_seed)),
      links_(pdf, pages_),
      fonts_(pdf) {
  QPDFPageDocumentHelper pages(pdf_);
  pages.pushInheritedAttributesToPage();
  try {
    if (has_shared_resources(pdf_)) remove_unreferenced_resources(pdf_);
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception& e) {
    warn(std::string("unused resources are kept: ") + e.what());
  }
  pages_ = pdf_.getAllPages();
  for (auto& page : pages_) outside_.insert(page.getObjGen());
  std::list<QPDFObjectHandle> nodes{pdf_.getRoot().getKey("/Pages")};
  while (!nodes.empty()) {
    QPDFObjectHandle node = nodes.front();
    nodes.pop_front();
    if (!node.isDictionary() || !node.isIndirect() || !outside_.insert(node.getObjGen()).second)
      continue;
    if (QPDFObjectHandle kids = node.getKey("/Kids"); kids.isArray())
      for (auto& kid : kids.aitems()) nodes.push_back(kid);
  }
  structure_.emplace(pdf_, pages_, links_, outside_);
  QPDFObjectHandle root = pdf_.getRoot();
  acroform_ = root.getKey("/AcroForm");
  // What the document says of every page, where it is of the kind a reader expects. Optional
  // content goes whole, so every page shows its groups as the source's configuration says.
  static const std::pair<const char*, qpdf_object_type_e> kShared[] = {
      {"/Extensions", ::ot_dictionary}, {"/Lang", ::ot_string},
      {"/Metadata", ::ot_stream},       {"/OCProperties", ::ot_dictionary},
      {"/OutputIntents", ::ot_array},   {"/ViewerPreferences", ::ot_dictionary}};
  for (auto [key, type] : kShared)
    if (QPDFObjectHandle value = root.getKey(key); value.getTypeCode() == type)
      shared_entries_.emplace_back(key, value);
  info_ = pdf_.getTrailer().getKey("/Info");
  // Read as qpdf reads it, so a version that it cannot read back (99999999999.9, say) fails the
  // run here, as it fails qpdf, instead of being copied into every page file. Object streams
  // need 1.5; PDF/A-1 is PDF 1.4 without them.
  PDFVersion version = pdf_.getVersionAsPDFVersion();
  form_.classic = pdfa_part(pdf_) == 1;
  if (form_.classic)
    version = version < PDFVersion(1, 4) ? version : PDFVersion(1, 4);
  else if (version < PDFVersion(1, 5))
    version = PDFVersion(1, 5);
  int extension_level = 0;
  version.getVersion(version_, extension_level);
  bool unsupported = false;
  encryption_ = Encryption::of(pdf_, unsupported);
  form_.encryption = encryption_ ? &*encryption_ : nullptr;
  if (unsupported)
    warn("its encryption is of a kind the page files cannot keep; they are not encrypted");
  if (is_signed(pdf_, forms_)) {
    signed_ = true;
    warn("it is signed; its page files are not");
  }
}

void PageWriter::warn(const std::string& message) {
  pdf_.warn(QPDFExc(qpdf_e_damaged_pdf, pdf_.getFilename(), "", 0, message));
}

// The page's top-level form fields with the form-wide defaults they rely on; null without any.
QPDFObjectHandle PageWriter::form_for(QPDFObjectHandle page, const std::set<QPDFObjGen>& dropped) {
  if (!forms_.hasAcroForm()) return QPDFObjectHandle::newNull();
  std::vector<QPDFObjectHandle> fields;
  std::set<QPDFObjGen> seen;
  for (auto& widget : forms_.getWidgetAnnotationsForPage(QPDFPageObjectHelper(page))) {
    QPDFFormFieldObjectHelper field = forms_.getFieldForAnnotation(widget);
    if (field.isNull()) continue;
    QPDFObjectHandle top = field.getTopLevelField().getObjectHandle();
    if (top.isIndirect() && top.isDictionary() && !dropped.count(top.getObjGen()) &&
        seen.insert(top.getObjGen()).second)
      fields.push_back(top);
  }
  if (fields.empty()) return QPDFObjectHandle::newNull();
  QPDFObjectHandle form = QPDFObjectHandle::newDictionary();
  for (const char* key : {"/DA", "/DR", "/Q", "/NeedAppearances"})
    if (acroform_.hasKey(key)) form.replaceKey(key, acroform_.getKey(key));
  form.replaceKey("/Fields", QPDFObjectHandle::newArray(fields));
  return form;
}

QPDFObjectHandle PageWriter::labels_for(std::size_t index) {
  if (!labels_.hasPageLabels()) return QPDFObjectHandle::newNull();
  std::vector<QPDFObjectHandle> nums;
  auto at = static_cast<long long>(index);
  labels_.getLabelsForPageRange(at, at, 0, nums);
  QPDFObjectHandle labels = QPDFObjectHandle::newDictionary();
  labels.replaceKey("/Nums", QPDFObjectHandle::newArray(nums));
  return labels;
}

void PageWriter::write(std::size_t index, Pipeline& out) {
  QPDFObjectHandle page = pages_.at(index);
  QPDFObjectHandle catalog = QPDFObjectHandle::newDictionary();
  catalog.replaceKey("/Type", QPDFObjectHandle::newName("/Catalog"));
  catalog.replaceKey("/PageLabels", labels_for(index));
  substitutes_.clear();
  links_.mend(index, substitutes_);
  mend_contents(page, substitutes_);
  std::set<QPDFObjGen> dropped;
  if (unsign_page(page, substitutes_, dropped) && !signed_) {
    signed_ = true;
    warn("it is signed; its page files are not");
  }
  fonts_.prepare(page, acroform_, substitutes_);
  catalog.replaceKey("/AcroForm", form_for(page, dropped));
  for (auto& [key, value] : shared_entries_) catalog.replaceKey(key, value);
  structure_->add(index, catalog, substitutes_);
  serializer_.write(outside_, substitutes_, page, catalog, info_, version_,
                    id_seed_ + " page " + std::to_string(index + 1), form_, out);
}

}  // namespace pagerift::splitter
