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

// Type 1 and TrueType programs are subset, keeping their format, glyph ids, codes and every
// font-level table or dictionary; the font descriptor's /CharSet and /CIDSet are made to list
// what the subset holds, and a font that was whole gets a subset tag derived from its glyphs.
// Everything else stays whole, counted by reason.
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
  // A stream of the pool with `packed` (compressed) as its data.
  QPDFObjectHandle packed_stream(const std::string& packed, QPDFObjectHandle dict);
  // The program decoded, from the cache where it is kept; null when it cannot be read.
  ParsedProgram* program_data(QPDFObjectHandle stream);

  QPDF& pdf_;
  GlyphUse use_;
  std::map<std::string, std::size_t> counts_;
  // Streams written in place of the source's, reused from page to page so that the source
  // does not grow with every page.
  std::vector<QPDFObjectHandle> pool_;
  std::size_t pooled_ = 0;
  // Programs are decoded and read once for the pages that carry them, within a budget.
  std::map<QPDFObjGen, std::unique_ptr<ParsedProgram>> parsed_;
  std::size_t parsed_bytes_ = 0;
  ParsedProgram scratch_;  // one that does not fit
  struct Packed {
    std::string glyphs, data;
  };
  std::map<QPDFObjGen, Packed> packed_by_program_;
  std::size_t packed_bytes_ = 0;
  std::map<QPDFObjGen, CodeNames> encodings_;
  std::string data_, packed_;
  // What the page file carries is compressed at zlib's fastest setting, the encrypted part of a
  // Type 1 program too: storing it, or coding it by Huffman codes alone, took a third (a sixth) of
  // the CPU of a LaTeX document's burst away, but gave page files 6% (5%) larger. The dropped
  // charstrings of a CFF subset are zeros, which any setting takes away.
  Deflater deflater_{1};
};

}  // namespace pagerift::splitter::fonts
