// A page file's cross-reference section, in either of its two forms.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pagerift::splitter {

// One row per object number: type (0 free, 1 in the file, 2 in an object stream), then the
// offset or the object stream's number, then the generation or the index in the stream.
using XrefRows = std::vector<std::array<std::uint64_t, 3>>;

// The rows as a cross-reference stream's data, before compression, with the field widths it
// needs (`/W [1 w1 w2]`).
std::string xref_stream_data(const XrefRows& rows, int& w1, int& w2);

// A classic table ("xref" to the last row) for objects at `offsets`, by number from 1; an offset
// of 0 is a free number.
std::string xref_table(const std::vector<std::uint64_t>& offsets);

}  // namespace pagerift::splitter
