// libFuzzer target: the Type 1 subsetter on a raw program (cleartext, binary eexec part, an
// optional trailer of zeros). What it takes apart it must put together again: the subset parses,
// holds exactly the glyphs it says it kept, and subsetting it again to them changes nothing.
#include "splitter/fonts/type1.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using pagerift::splitter::fonts::Type1Font;

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "type1: %s\n", what);
  std::abort();
}

// Where the parts of a program end, as a PDF's /Length1 and /Length2 would say.
bool lengths(const std::string& s, std::size_t& l1, std::size_t& l2) {
  std::size_t eexec = s.find("eexec");
  if (eexec == std::string::npos) return false;
  l1 = eexec + 5;
  while (l1 < s.size() && (s[l1] == ' ' || s[l1] == '\r' || s[l1] == '\n' || s[l1] == '\t')) ++l1;
  std::size_t end = s.rfind("cleartomark");
  if (end == std::string::npos || end < l1) end = s.size();
  while (end > l1 && (s[end - 1] == '0' || s[end - 1] == '\r' || s[end - 1] == '\n')) --end;
  l2 = end - l1;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string program(reinterpret_cast<const char*>(data), size);
  std::size_t l1 = 0, l2 = 0;
  if (!lengths(program, l1, l2)) return 0;
  Type1Font font;
  if (!font.parse(program, l1, l2)) return 0;
  // Every second glyph the encoding names, and a few that are often there.
  std::set<std::string> names{"A", "a", "Aacute", "space"};
  for (std::size_t c = 0; c < 256; c += 2)
    if (!font.encoding()[c].empty()) names.insert(font.encoding()[c]);
  std::string out;
  std::size_t n1 = 0, n2 = 0, n3 = 0;
  std::vector<std::string> kept;
  if (!font.subset(names, out, n1, n2, n3, kept)) return 0;
  if (n1 + n2 + n3 != out.size() || n1 != l1) fail("the lengths do not add up");
  Type1Font again;
  if (!again.parse(out, n1, n2)) fail("the subset does not parse");
  for (auto& name : kept)
    if (!again.has_glyph(name)) fail("a glyph said kept is missing");
  std::string twice;
  std::vector<std::string> kept_twice;
  std::set<std::string> same(kept.begin(), kept.end());
  if (!again.subset(same, twice, n1, n2, n3, kept_twice)) fail("the subset cannot be subset");
  if (kept_twice != kept) fail("the subset's subset keeps other glyphs");
  return 0;
}
