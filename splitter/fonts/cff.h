// Bare CFF font programs (/FontFile3 /Type1C and /CIDFontType0C) cut down to the glyphs a page
// needs. Glyph ids, the charset, the encoding, the private dictionaries and every subroutine
// stay: a dropped glyph's charstring becomes a bare endchar, written where the charstrings were,
// so no offset in the font moves.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter::fonts {

class CffFont {
 public:
  // False for anything but a single-font CFF with Type 2 charstrings that this reads with
  // certainty.
  bool parse(std::string_view program);

  bool cid_keyed() const { return cid_keyed_; }
  std::size_t glyph_count() const { return charstrings_.size(); }
  // The glyph of a name (through the charset of a font that is not CID-keyed), of a CID
  // (through the charset of one that is), or -1.
  long glyph_named(const std::string& name) const;
  long glyph_of_cid(std::uint32_t cid) const;
  // The font's own encoding: the glyph name of each code, empty where it has none.
  const std::vector<std::string>& encoding() const { return encoding_; }
  const std::string& glyph_name(std::size_t gid) const { return names_[gid]; }

  // Adds to `keep` glyph 0 and the parts of accented characters (endchar with four arguments)
  // of the glyphs kept, and writes the font with only those charstrings; `freed` gets the bytes
  // that became zeros. False when a charstring cannot be followed with certainty.
  bool subset(std::vector<bool>& keep, std::string& out, std::size_t& freed) const;
  // Where the charstrings are, which are all a subset changes.
  std::size_t charstrings_start() const { return charstrings_index_.start; }
  std::size_t charstrings_end() const { return charstrings_index_.end; }

 private:
  struct Range {
    std::size_t start = 0, size = 0;
  };
  struct Index {
    std::size_t start = 0, end = 0;  // of the whole index
    std::size_t off_size = 0;
    std::vector<Range> items;
  };
  bool read_index(std::size_t at, Index& index) const;
  bool read_charset(std::size_t at);
  bool read_encoding(std::size_t at);
  bool read_private(std::size_t at, std::size_t size, Index* subrs);
  bool read_fd(std::size_t fd_array, std::size_t fd_select);
  bool run(std::string_view code, std::vector<double>& stack, std::size_t& stems,
           std::vector<std::size_t>& more, int depth, long& budget, bool& ended) const;
  std::string string_of(std::uint32_t sid) const;

  std::string_view cff_;
  bool cid_keyed_ = false;
  Index strings_, global_subrs_, local_subrs_;
  Index charstrings_index_;
  std::vector<Range> charstrings_;
  std::vector<Range> extents_;          // of everything read but the charstrings
  std::vector<std::uint32_t> charset_;  // by glyph: its SID, or its CID
  std::vector<std::string> names_, encoding_;
  std::map<std::string, std::size_t> by_name_;
  std::map<std::uint32_t, std::size_t> by_cid_;
};

}  // namespace pagerift::splitter::fonts
