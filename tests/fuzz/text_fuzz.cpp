// libFuzzer target: the font code's content reader on raw content. Where it reads content that
// qpdf's parser reads without a warning, every string a text operator shows must be the string
// qpdf's parser gives that operator.
#include "splitter/fonts/content_text.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace pagerift::splitter::fonts;

namespace {

bool shows(std::string_view op) { return op == "Tj" || op == "'" || op == "\"" || op == "TJ"; }

// What each text operator shows, one string at a time; empty when a string is uncertain.
class Ours : public ContentReader {
 public:
  bool op(std::string_view name, const std::vector<Operand>& args,
          const std::vector<ShownString>& strings) override {
    if (!shows(name) || args.empty()) return true;
    const Operand& last = args.back();
    for (std::size_t k = last.first; k < last.last; ++k) {
      if (strings[k].uncertain) uncertain = true;
      shown.push_back(strings[k].bytes);
    }
    return true;
  }
  std::vector<std::string> shown;
  bool uncertain = false;
};

class Theirs : public QPDFObjectHandle::ParserCallbacks {
 public:
  void handleObject(QPDFObjectHandle obj, size_t, size_t) override {
    if (obj.isOperator()) {
      if (shows(obj.getOperatorValue()) && !operands.empty()) {
        QPDFObjectHandle last = operands.back();
        if (last.isString()) shown.push_back(last.getStringValue());
        if (last.isArray())
          for (auto& item : last.aitems())
            if (item.isString()) shown.push_back(item.getStringValue());
      }
      operands.clear();
    } else {
      operands.push_back(obj);
    }
  }
  void handleEOF() override {}
  std::vector<QPDFObjectHandle> operands;
  std::vector<std::string> shown;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string content(reinterpret_cast<const char*>(data), size);
  Ours ours;
  if (!read_content(content, ours) || ours.uncertain) return 0;
  QPDF pdf;
  pdf.emptyPDF();
  pdf.setSuppressWarnings(true);
  Theirs theirs;
  try {
    QPDFObjectHandle::parseContentStream(QPDFObjectHandle::newStream(&pdf, content), &theirs);
  } catch (const std::exception&) {
    return 0;
  }
  if (pdf.anyWarnings()) return 0;
  if (ours.shown != theirs.shown) {
    std::fprintf(stderr, "text: the strings shown differ from qpdf's (%zu against %zu)\n",
                 ours.shown.size(), theirs.shown.size());
    std::abort();
  }
  return 0;
}
