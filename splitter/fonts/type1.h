// Type 1 font programs (/FontFile) cut down to the glyphs a page needs, still Type 1: the
// cleartext part, the private dictionary and every subroutine index stay as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pagerift::splitter::fonts {

class Type1Font {
 public:
  // Reads a program as a PDF holds it: `length1` bytes of cleartext ending in eexec, `length2`
  // bytes encrypted (binary), the rest its trailer. False when it is anything else or its
  // private part cannot be read with certainty.
  bool parse(std::string_view program, std::size_t length1, std::size_t length2);

  // The program's own encoding, by code: empty names where it has none. `standard_encoding`
  // when it says StandardEncoding instead.
  const std::vector<std::string>& encoding() const { return encoding_; }
  bool standard_encoding() const { return standard_encoding_; }
  bool has_glyph(const std::string& name) const;

  // Writes the program with the glyphs of `names` that it has, .notdef, the parts of their
  // accented characters (seac) and the subroutines they reach; every other subroutine becomes
  // one that only returns, and those past the last one kept are dropped. `kept` gets the glyph
  // names kept, in the program's order. False when a glyph's charstring cannot be followed with
  // certainty. What each glyph reaches is read once, for the first subset that keeps it.
  bool subset(const std::set<std::string>& names, std::string& out, std::size_t& length1,
              std::size_t& length2, std::size_t& length3, std::vector<std::string>& kept) const;

 private:
  struct Entry {
    std::size_t start, end;  // of the whole entry, in private_
    std::size_t data, size;  // of its charstring, in private_
    std::string name;        // a glyph's name
  };
  // The subroutines a glyph's charstring calls, and the glyphs its accent (seac) is made of.
  struct Reach {
    bool read = false, ok = false;
    std::vector<std::uint32_t> subrs;
    std::vector<std::string> more;
  };
  bool read_encoding(std::string_view clear);
  bool read_private();
  const Reach& reach(std::size_t glyph) const;
  bool run(std::string_view code, std::vector<double>& stack, std::vector<double>& ps, Reach& reach,
           int depth) const;
  std::string plain(const Entry& entry) const;

  std::string_view clear_, trailer_;
  std::string private_;  // decrypted, with its four leading bytes
  int len_iv_ = 4;
  std::vector<Entry> subrs_, glyphs_;
  std::unordered_map<std::string, std::size_t> by_name_;
  mutable std::vector<Reach> reach_;  // by glyph
  mutable std::vector<bool> called_;  // by subroutine, while one glyph is read
  mutable long budget_ = 0;           // operators left to run, all glyphs together
  std::size_t subrs_count_at_ = 0, subrs_count_end_ = 0;  // the N of "/Subrs N array"
  std::vector<std::string> encoding_;
  bool standard_encoding_ = false;
};

}  // namespace pagerift::splitter::fonts
