#include "splitter/source/pdfa.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <new>
#include <string>
#include <vector>

namespace pagerift::splitter {
namespace {

constexpr std::string_view kNamespace = "http://www.aiim.org/pdfa/ns/id/";
// A packet is a few kilobytes; the claim sits near its start. More is not read, so a stream
// that inflates without end costs no more than this.
constexpr std::size_t kMaxPacket = 4u << 20;
constexpr std::size_t kMaxPrefixes = 8;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

std::size_t skip_space(std::string_view text, std::size_t at) {
  while (at < text.size() && is_space(text[at])) ++at;
  return at;
}

// The prefixes bound to the identification schema: `xmlns:p="<namespace>"`.
std::vector<std::string_view> prefixes(std::string_view xmp) {
  std::vector<std::string_view> found{"pdfaid"};
  for (std::size_t at = xmp.find(kNamespace);
       at != std::string_view::npos && found.size() < kMaxPrefixes;
       at = xmp.find(kNamespace, at + 1)) {
    std::size_t end = at;
    if (end == 0 || (xmp[end - 1] != '"' && xmp[end - 1] != '\'')) continue;
    end = end - 1;
    // Back over `=`, with the spaces XML allows around it, to the end of the attribute's name.
    while (end > 0 && is_space(xmp[end - 1])) --end;
    if (end == 0 || xmp[end - 1] != '=') continue;
    --end;
    while (end > 0 && is_space(xmp[end - 1])) --end;
    std::size_t begin = end;
    while (begin > 0 && is_name_char(xmp[begin - 1])) --begin;
    constexpr std::string_view kXmlns = "xmlns:";
    if (begin < kXmlns.size() || xmp.substr(begin - kXmlns.size(), kXmlns.size()) != kXmlns ||
        begin == end)
      continue;
    found.push_back(xmp.substr(begin, end - begin));
  }
  return found;
}

// A whole number of one digit between `at` and `end`: the parts there are.
int part_between(std::string_view text, std::size_t at, std::size_t end) {
  at = skip_space(text, at);
  while (end > at && is_space(text[end - 1])) --end;
  if (end != at + 1 || text[at] < '1' || text[at] > '4') return 0;
  return text[at] - '0';
}

// The value of `<prefix>:part` as an attribute (`p:part="1"`) or an element (`<p:part>1<`).
int claim_under(std::string_view xmp, std::string_view prefix) {
  const std::string property = std::string(prefix) + ":part";
  for (std::size_t at = xmp.find(property); at != std::string_view::npos;
       at = xmp.find(property, at + 1)) {
    if (at > 0 && (is_name_char(xmp[at - 1]) || xmp[at - 1] == ':')) continue;
    const bool element = at > 0 && xmp[at - 1] == '<';
    std::size_t next = skip_space(xmp, at + property.size());
    if (next >= xmp.size()) break;
    if (element) {
      if (xmp[next] != '>') continue;
      std::size_t close = xmp.find('<', next + 1);
      if (close == std::string_view::npos) break;
      if (int part = part_between(xmp, next + 1, close)) return part;
    } else {
      if (xmp[next] != '=') continue;
      next = skip_space(xmp, next + 1);
      if (next >= xmp.size() || (xmp[next] != '"' && xmp[next] != '\'')) continue;
      std::size_t close = xmp.find(xmp[next], next + 1);
      if (close == std::string_view::npos) break;
      if (int part = part_between(xmp, next + 1, close)) return part;
    }
  }
  return 0;
}

// Keeps the first bytes of a stream and drops the rest.
class Head final : public Pipeline {
 public:
  explicit Head(std::string& into) : Pipeline("metadata", nullptr), into_(into) {}
  void write(unsigned char const* data, size_t len) override {
    std::size_t room = kMaxPacket - into_.size();
    into_.append(reinterpret_cast<const char*>(data), len < room ? len : room);
  }
  void finish() override {}

 private:
  std::string& into_;
};

}  // namespace

int pdfa_part(std::string_view xmp) {
  for (std::string_view prefix : prefixes(xmp))
    if (int part = claim_under(xmp, prefix)) return part;
  return 0;
}

int pdfa_part(QPDF& pdf) {
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  if (!metadata.isStream()) return 0;
  std::string xmp;
  try {
    Head head(xmp);
    if (!metadata.pipeStreamData(&head, 0, qpdf_dl_generalized, true, false)) return 0;
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception&) {
    return 0;  // unreadable metadata claims nothing
  }
  return pdfa_part(xmp);
}

}  // namespace pagerift::splitter
