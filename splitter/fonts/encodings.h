// The glyph names of PDF's base encodings, and the Unicode values of glyph names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter::fonts {

enum class BaseEncoding { kStandard, kWinAnsi, kMacRoman };

// The base encoding a /BaseEncoding or /Encoding name stands for; false for any other name
// (MacExpertEncoding among them: a font that uses it stays whole).
bool base_encoding_named(std::string_view name, BaseEncoding& encoding);

// Appends every name `encoding` gives `code` (none, one, or more where writers differ).
void append_base_names(BaseEncoding encoding, unsigned code, std::vector<std::string>& names);

// The Unicode value a viewer gives a glyph name: the Adobe Glyph List for New Fonts, and the
// uniXXXX and uXXXX[XX] forms. 0 when the name is none of these.
std::uint32_t glyph_unicode(std::string_view name);

// The code that `encoding` gives a glyph name, or -1.
int base_code(BaseEncoding encoding, std::string_view name);

// The name of glyph `index` (below 258) of the standard Macintosh glyph order.
const char* mac_glyph_name(unsigned index);
// CFF's standard string `sid` (below 391).
const char* cff_standard_string(unsigned sid);
}  // namespace pagerift::splitter::fonts
