// libFuzzer target: the resource-name scanner on raw content. Content it takes must be content
// that qpdf's own parser reads without a warning, to the same names; content it declines goes to
// qpdf's parser, so declining is always safe.
#include "splitter/page/resources.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using pagerift::splitter::ResourceNames;

namespace {

// The last name before each operator that takes one, as qpdf's parser hands out the objects.
class Collector : public QPDFObjectHandle::ParserCallbacks {
 public:
  void handleObject(QPDFObjectHandle obj, size_t, size_t) override {
    if (obj.isOperator() && !last_name_.empty()) {
      if (const char* type = pagerift::splitter::resource_type(obj.getOperatorValue())) {
        names.all.insert(last_name_);
        names.by_type[type].insert(last_name_);
      }
    } else if (obj.isName()) {
      last_name_ = obj.getName();
    }
  }
  void handleEOF() override {}
  ResourceNames names;

 private:
  std::string last_name_;
};

std::string listed(const ResourceNames& names) {
  std::string out;
  for (auto& [type, set] : names.by_type)
    for (auto& name : set) out += type + ":" + name + " ";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string content(reinterpret_cast<const char*>(data), size);
  ResourceNames ours;
  if (!pagerift::splitter::scan_resource_names(content, ours)) return 0;

  QPDF pdf;
  pdf.emptyPDF();
  pdf.setSuppressWarnings(true);
  Collector theirs;
  std::string problem;
  try {
    QPDFObjectHandle::parseContentStream(QPDFObjectHandle::newStream(&pdf, content), &theirs);
    if (pdf.anyWarnings()) problem = "qpdf warns: " + pdf.getWarnings().front().getMessageDetail();
  } catch (const std::exception& e) {
    problem = std::string("qpdf fails: ") + e.what();
  }
  if (problem.empty() && (ours.all != theirs.names.all || ours.by_type != theirs.names.by_type))
    problem = "names differ: ours " + listed(ours) + "| qpdf's " + listed(theirs.names);
  if (!problem.empty()) {
    std::fprintf(stderr, "the scanner took content it should have declined: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
