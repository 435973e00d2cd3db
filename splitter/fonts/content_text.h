// Reads the text-showing operators of a content stream, and the operators that change or reach
// the font, without building an object for every token.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pagerift::splitter::fonts {

// One operand of an operator, as far as the font code needs to know it.
struct Operand {
  enum Kind { kNumber, kName, kString, kArray, kOther } kind = kOther;
  std::string_view text;            // a name with its slash, or a number
  std::size_t first = 0, last = 0;  // kString: one string, kArray: its strings, in `strings`
};

// A string's bytes as shown. A literal string with a raw line end in it is read as a line feed
// by the standard, but not by every reader: `uncertain` says so.
struct ShownString {
  std::string bytes;
  bool uncertain = false;
};

class ContentReader {
 public:
  virtual ~ContentReader() = default;
  // Called for every operator with its operands; return false to stop reading.
  virtual bool op(std::string_view name, const std::vector<Operand>& operands,
                  const std::vector<ShownString>& strings) = 0;
};

// Reads `content` to the end. False when it holds anything that is not plainly content (an
// unbalanced string, array or dictionary, braces, an inline image without an end, a vertical tab
// outside a string, which readers take apart differently) or when
// `reader` stopped: then what it was told may be incomplete.
bool read_content(std::string_view content, ContentReader& reader);

}  // namespace pagerift::splitter::fonts
