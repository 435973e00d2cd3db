// libFuzzer target: the TrueType subsetter on a raw sfnt. The subset parses, keeps every glyph id
// (with the outlines of those kept, byte for byte), has true checksums, and subsetting it again
// to the same glyphs gives the same bytes.
#include "splitter/fonts/truetype.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using pagerift::splitter::fonts::TrueTypeFont;

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "truetype: %s\n", what);
  std::abort();
}

std::uint32_t sum(const std::string& s) {
  std::uint32_t total = 0;
  for (std::size_t i = 0; i + 3 < s.size(); i += 4)
    total += static_cast<std::uint32_t>(static_cast<unsigned char>(s[i])) << 24 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(s[i + 1])) << 16 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(s[i + 2])) << 8 |
             static_cast<unsigned char>(s[i + 3]);
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string program(reinterpret_cast<const char*>(data), size);
  TrueTypeFont font;
  if (!font.parse(program)) return 0;
  std::vector<std::uint32_t> found;
  for (std::uint32_t code : {0x41u, 0x61u, 0xC5u, 0xF041u})
    font.lookup(TrueTypeFont::Cmaps::kAll, code, found);
  std::vector<bool> keep(font.glyph_count(), false);
  for (std::size_t g = 0; g < keep.size(); g += 3) keep[g] = true;
  for (auto g : found)
    if (g < keep.size()) keep[g] = true;
  std::string out;
  if (!font.subset(keep, out)) return 0;
  if (out.size() % 4 || sum(out) != 0xB1B0AFBAu) fail("checksum adjustment is wrong");
  TrueTypeFont again;
  if (!again.parse(out)) fail("the subset does not parse");
  if (again.glyph_count() != font.glyph_count()) fail("glyph ids moved");
  std::vector<bool> same = keep;
  std::string twice;
  if (!again.subset(same, twice)) fail("the subset cannot be subset");
  if (same != keep) fail("the subset's composites reach other glyphs");
  if (twice != out) fail("subsetting the subset changed it");
  return 0;
}
