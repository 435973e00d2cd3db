// libFuzzer target: the CFF subsetter on a bare CFF program. The subset has the size of the
// program, parses, keeps every glyph id, the charset and the encoding, and subsetting it again
// to the same glyphs gives the same bytes.
#include "splitter/fonts/cff.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using pagerift::splitter::fonts::CffFont;

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "cff: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string program(reinterpret_cast<const char*>(data), size);
  CffFont font;
  if (!font.parse(program)) return 0;
  std::vector<bool> keep(font.glyph_count(), false);
  for (std::size_t g = 0; g < keep.size(); g += 3) keep[g] = true;
  std::string out;
  std::size_t freed = 0;
  if (!font.subset(keep, out, freed)) return 0;
  if (freed > out.size()) fail("freed more than the font");
  if (out.size() != program.size()) fail("the subset moved the font's offsets");
  CffFont again;
  if (!again.parse(out)) fail("the subset does not parse");
  if (again.glyph_count() != font.glyph_count()) fail("glyph ids moved");
  for (std::size_t g = 0; g < keep.size(); ++g)
    if (again.glyph_name(g) != font.glyph_name(g)) fail("the charset changed");
  if (again.encoding() != font.encoding()) fail("the encoding changed");
  std::vector<bool> same = keep;
  std::string twice;
  if (!again.subset(same, twice, freed)) fail("the subset cannot be subset");
  if (same != keep) fail("the subset's accents reach other glyphs");
  if (twice != out) fail("subsetting the subset changed it");
  return 0;
}
