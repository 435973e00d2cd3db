#include "splitter/fonts/encodings.h"

#include <algorithm>
#include <cstring>

namespace pagerift::splitter::fonts {
namespace {

struct GlyphUnicode {
  const char* name;
  std::uint32_t unicode;
};

#include "splitter/fonts/encoding_tables.inc"

const char* const* table(BaseEncoding encoding) {
  switch (encoding) {
    case BaseEncoding::kWinAnsi: return kWinAnsiEncoding;
    case BaseEncoding::kMacRoman: return kMacRomanEncoding;
    default: return kStandardEncoding;
  }
}

std::uint32_t hex_value(std::string_view digits) {
  std::uint32_t value = 0;
  for (char c : digits) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return 0;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return value;
}

}  // namespace

bool base_encoding_named(std::string_view name, BaseEncoding& encoding) {
  if (name == "/StandardEncoding")
    encoding = BaseEncoding::kStandard;
  else if (name == "/WinAnsiEncoding")
    encoding = BaseEncoding::kWinAnsi;
  else if (name == "/MacRomanEncoding")
    encoding = BaseEncoding::kMacRoman;
  else
    return false;
  return true;
}

void append_base_names(BaseEncoding encoding, unsigned code, std::vector<std::string>& names) {
  if (code > 255) return;
  std::string_view all = table(encoding)[code];
  while (!all.empty()) {
    std::size_t space = std::min(all.find(' '), all.size());
    names.emplace_back(all.substr(0, space));
    all.remove_prefix(std::min(space + 1, all.size()));
  }
}

int base_code(BaseEncoding encoding, std::string_view name) {
  for (unsigned code = 0; code < 256; ++code) {
    std::string_view all = table(encoding)[code];
    for (std::size_t at = all.find(name); at != std::string_view::npos; at = all.find(name, at + 1))
      if ((at == 0 || all[at - 1] == ' ') &&
          (at + name.size() == all.size() || all[at + name.size()] == ' '))
        return static_cast<int>(code);
  }
  return -1;
}

std::uint32_t glyph_unicode(std::string_view name) {
  if (name.size() == 7 && name.substr(0, 3) == "uni") return hex_value(name.substr(3));
  if (name.size() >= 5 && name.size() <= 7 && name[0] == 'u') {
    std::uint32_t value = hex_value(name.substr(1));
    return value <= 0x10FFFF ? value : 0;
  }
  auto end = std::end(kGlyphList);
  auto it = std::lower_bound(std::begin(kGlyphList), end, name,
                             [](const GlyphUnicode& g, std::string_view n) { return g.name < n; });
  return it != end && it->name == name ? it->unicode : 0;
}

const char* mac_glyph_name(unsigned index) { return index < 258 ? kMacGlyphOrder[index] : ""; }
const char* cff_standard_string(unsigned sid) { return sid < 391 ? kCffStandardStrings[sid] : ""; }
}  // namespace pagerift::splitter::fonts
