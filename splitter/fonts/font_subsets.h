// Each page file's embedded fonts cut down to the glyphs its page draws.
#pragma once

#include "splitter/fonts/glyph_use.h"
#include "splitter/fonts/programs.h"
#include "splitter/write/deflater.h"
#include "splitter/write/page_serializer.h"

#include <qpdf/QPDF.hh>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter::fonts {

// Type 1, TrueType and CFF programs of 32 kB or more are subset, keeping their format, glyph
// ids, codes and every font-level table or dictionary; the font descriptor's /CharSet and
// /CIDSet are made to list what the subset holds, and a font that was whole gets a subset tag
// derived from its glyphs. Everything else stays whole, counted by reason.
class FontSubsets {
 public:
  explicit FontSubsets(QPDF& pdf);
  // With PAGERIFT_FONT_COUNTS naming a file, appends the counts to it (for the benchmarks).
  ~FontSubsets();
  FontSubsets(const FontSubsets&) = delete;
  FontSubsets& operator=(const FontSubsets&) = delete;

  // Adds to `substitutes` what stands in for the page's fonts in its page file. `acroform` is
  // the source's form dictionary, or null.
  void prepare(QPDFObjectHandle page, QPDFObjectHandle acroform, Substitutes& substitutes);

  // Font programs written, page by page: subset, and left whole by reason.
  const std::map<std::string, std::size_t>& counts() const { return counts_; }

  struct Program;

 private:
  bool subset(Program& program, Substitutes& substitutes);
  // Whether the page carries a program large enough to subset; counts the others when not.
  bool worth_reading(QPDFObjectHandle page);
  // A stream of the pool with `packed` (compressed) as its data.
  QPDFObjectHandle packed_stream(const std::string& packed, QPDFObjectHandle dict);
  // `cut` compressed into `out`.
  void pack(QPDFObjGen program, const ProgramSubset& cut, std::string& out);
  // The program decoded, from the cache where it is kept; null when it cannot be read.
  ParsedProgram* program_data(QPDFObjectHandle stream, bool type1);

  QPDF& pdf_;
  GlyphUse use_;
  std::map<std::string, std::size_t> counts_;
  // Streams written in place of the source's, reused from page to page so that the source
  // does not grow with every page.
  std::vector<QPDFObjectHandle> pool_;
  std::size_t pooled_ = 0;
  // Programs are decoded and read once for the pages that carry them, within a budget; the one
  // used longest ago makes room.
  struct Kept {
    std::unique_ptr<ParsedProgram> program;
    std::size_t cost = 0, used = 0;
  };
  std::map<QPDFObjGen, Kept> parsed_;
  std::size_t parsed_bytes_ = 0, clock_ = 0;
  std::unique_ptr<ParsedProgram> scratch_;  // one larger than all the budget
  struct Packed {
    std::string glyphs, data;
  };
  std::map<QPDFObjGen, Packed> packed_by_program_;
  std::size_t packed_bytes_ = 0;
  std::map<QPDFObjGen, CodeNames> encodings_;
  std::string packed_;
  // What the page file carries is compressed at zlib's fastest setting. The dropped charstrings
  // of a CFF subset are zeros, which any setting takes away.
  Deflater deflater_{1};
  // Most of a program is the same in every subset of it (a CFF program but its charstrings, a
  // Type 1 program's cleartext part and trailer): those parts are compressed once, at the best
  // setting, and joined to the part that changes. A Type 1 program's encrypted part does not
  // compress at all (1.0008 of its size at any setting, over 30 programs of pdfTeX, Computer
  // Modern and Latin Modern), and compressing it was most of the burst's CPU: it is stored.
  struct Ends {
    DeflatePiece head, tail;
  };
  std::map<QPDFObjGen, Ends> ends_;
  std::size_t ends_bytes_ = 0;
  Ends ends_scratch_;
  DeflatePiece middle_;
  Deflater middle_deflater_{1, true};
  Deflater piece_deflater_{9, true};
};

}  // namespace pagerift::splitter::fonts
