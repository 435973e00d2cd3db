// TrueType font programs (/FontFile2) cut down to the glyphs a page needs. Glyph ids stay: a
// dropped glyph keeps its place in 'loca' with no outline, and every table but 'glyf' and 'loca'
// is copied as it is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter::fonts {

class TrueTypeFont {
 public:
  // False for anything but a TrueType-outline sfnt whose tables this reads with certainty.
  bool parse(std::string_view program);

  std::size_t glyph_count() const { return glyph_count_; }
  bool has_cmap() const { return !cmaps_.empty(); }
  // Which subtables a look-up goes through: every one (a code as it is), the Unicode ones, the
  // Macintosh Roman one, the Windows symbol one.
  enum class Cmaps { kAll, kUnicode, kMacRoman, kSymbol };
  // Every glyph those of the font's cmap subtables give `code`.
  void lookup(Cmaps which, std::uint32_t code, std::vector<std::uint32_t>& glyphs) const;
  // The glyph the 'post' table names `name`, or -1.
  long glyph_named(const std::string& name) const;

  // Adds to `keep` (by glyph id) glyph 0 and the components of its composite glyphs, and writes
  // the font with only those outlines. False when an outline cannot be read.
  bool subset(std::vector<bool>& keep, std::string& out) const;

 private:
  struct Table {
    std::uint32_t tag, offset, length;
  };
  const Table* table(const char* tag) const;
  bool read_cmap();
  bool read_post();
  std::uint32_t glyph_offset(std::size_t gid) const;

  std::string_view font_;
  std::vector<Table> tables_;
  std::size_t glyph_count_ = 0;
  bool long_loca_ = false;
  const Table *glyf_ = nullptr, *loca_ = nullptr, *head_ = nullptr;
  struct Cmap {
    std::uint32_t platform, encoding;
    std::string_view data;  // from its format field on
  };
  std::vector<Cmap> cmaps_;
  std::map<std::string, std::uint32_t> post_names_;
};

}  // namespace pagerift::splitter::fonts
