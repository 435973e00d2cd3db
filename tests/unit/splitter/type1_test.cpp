// A Type 1 program read and cut down directly, built here byte by byte: eexec-encrypted, with
// plain charstrings (lenIV -1).
#include "splitter/fonts/type1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using pagerift::splitter::fonts::Type1Font;

namespace {

std::string eexec(const std::string& plain) {
  std::uint16_t r = 55665;
  std::string out;
  for (char p : plain) {
    auto c = static_cast<unsigned char>(static_cast<unsigned char>(p) ^ (r >> 8));
    out += static_cast<char>(c);
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
  }
  return out;
}

// A program whose CharStrings hold `glyphs` ("/name" each), every one an endchar.
struct Program {
  std::string data;
  std::size_t length1 = 0, length2 = 0;
};
Program program(const std::vector<std::string>& glyphs) {
  std::string clear =
      "%!FontType1-1.0: Test\n/FontName /Test def\n"
      "/Encoding StandardEncoding def\ncurrentfile eexec\r";
  std::string priv =
      "abcd dup /Private 5 dict dup begin\n"
      "/RD{string currentfile exch readstring pop}executeonly def\n"
      "/ND{noaccess def}executeonly def\n/NP{noaccess put}executeonly def\n"
      "/lenIV -1 def\n/CharStrings " +
      std::to_string(glyphs.size()) + " dict dup begin\n";
  for (auto& name : glyphs) priv += name + " 1 RD \x0e ND\n";
  priv += "end\nend\nmark currentfile closefile\n";
  Program p;
  p.data = clear + eexec(priv);
  p.length1 = clear.size();
  p.length2 = priv.size();
  return p;
}

}  // namespace

TEST(Type1, ReadsOnlyWhatItCanBeSureOf) {
  Type1Font font;
  Program good = program({"/.notdef", "/a", "/b"});
  ASSERT_TRUE(font.parse(good.data, good.length1, good.length2));
  EXPECT_TRUE(font.has_glyph("a"));
  EXPECT_FALSE(font.has_glyph("c"));
  std::string out;
  std::size_t l1 = 0, l2 = 0, l3 = 0;
  std::vector<std::string> kept;
  ASSERT_TRUE(font.subset({"b"}, out, l1, l2, l3, kept));
  EXPECT_EQ(kept, (std::vector<std::string>{".notdef", "b"}));
  EXPECT_EQ(l1, good.length1);
  EXPECT_EQ(l1 + l2 + l3, out.size());
  // A second subset of the same program: what its glyphs reach was read once, and still holds.
  kept.clear();
  ASSERT_TRUE(font.subset({"a", "b"}, out, l1, l2, l3, kept));
  EXPECT_EQ(kept.size(), 3u);

  // Two glyphs of one name: readers differ on which they draw, so the program is not cut.
  Program twice = program({"/.notdef", "/a", "/a"});
  EXPECT_FALSE(Type1Font().parse(twice.data, twice.length1, twice.length2));
  // Lengths that do not say where the encrypted part starts.
  EXPECT_FALSE(Type1Font().parse(good.data, good.length1 - 1, good.length2));
  EXPECT_FALSE(Type1Font().parse(good.data, good.length1, good.data.size()));
}
