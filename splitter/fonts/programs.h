// Which glyphs of a font program the codes shown need, and the program cut down to them, for
// each kind of program that is subset.
#pragma once

#include "splitter/fonts/glyph_use.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter::fonts {

using ShownCodes = std::map<QPDFObjGen, FontCodes>;
// The glyph names a simple font's encoding may give each code.
using CodeNames = std::vector<std::vector<std::string>>;

class Type1Font;
class TrueTypeFont;
class CffFont;

// A program decoded and read, kept from page to page where the budget allows.
struct ParsedProgram {
  ParsedProgram();
  ~ParsedProgram();
  std::string data;  // decoded
  std::unique_ptr<Type1Font> type1;
  std::unique_ptr<TrueTypeFont> truetype;
  std::unique_ptr<CffFont> cff;
  bool unreadable = false;
};

// One program and the font dictionaries on the page that use it (Type 0 ones at the top).
struct ProgramUse {
  QPDFObjectHandle stream;
  ParsedProgram* program = nullptr;
  std::vector<QPDFObjectHandle> fonts;
  const ShownCodes* shown = nullptr;
  std::map<QPDFObjGen, CodeNames>* encodings = nullptr;  // kept from page to page
};

// What a program is cut down to.
struct ProgramSubset {
  std::string data;
  std::vector<std::pair<std::string, long long>> lengths;  // /Length1 and the like
  std::vector<std::string> names;   // the glyph names kept, where the program names them
  std::vector<std::uint16_t> cids;  // the CIDs kept, in a CID font: in order, each once
  std::string glyphs;               // what was kept, for the subset tag
  std::size_t saved = 0;            // bytes of the program no longer drawn
  // The first `head` and the last `tail` bytes of `data` are the same in every subset of the
  // program; `middle_stored` when what is between them does not compress (a Type 1 program's
  // encrypted part).
  std::size_t head = 0, tail = 0;
  bool middle_stored = false;
};

// Each false when the program, or the way the fonts use it, cannot be read with certainty.
bool subset_type1(const ProgramUse& use, ProgramSubset& out);
bool subset_truetype(const ProgramUse& use, ProgramSubset& out);
bool subset_cff(const ProgramUse& use, ProgramSubset& out);

// The dictionary that holds the font descriptor: a Type 0 font's descendant, or the font.
QPDFObjectHandle described(QPDFObjectHandle font);

// Stream data decoded; false when it cannot be.
bool decoded(QPDFObjectHandle stream, std::string& out);

}  // namespace pagerift::splitter::fonts
