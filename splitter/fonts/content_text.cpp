#include "splitter/fonts/content_text.h"

#include "splitter/page/resources.h"

namespace pagerift::splitter::fonts {
namespace {

bool is_space(char c) {
  return c == '\0' || c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
}
// A vertical tab is white space to qpdf and not to the standard: readers may part a word there.
bool is_doubtful(char c) { return c == '\v'; }
bool is_delimiter(char c) {
  return is_space(c) || c == '/' || c == '(' || c == ')' || c == '<' || c == '>' || c == '[' ||
         c == ']' || c == '{' || c == '}' || c == '%';
}
int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A literal string from just past its "(" to just past its ")"; false when it does not end.
bool literal(std::string_view s, std::size_t& i, ShownString& out) {
  int depth = 1;
  std::size_t n = s.size();
  while (i < n) {
    char c = s[i++];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return true;
    } else if (c == '\r' || c == '\n') {
      out.uncertain = true;
      if (c == '\r' && i < n && s[i] == '\n') ++i;
      c = '\n';
    } else if (c == '\\') {
      if (i == n) return false;
      c = s[i++];
      switch (c) {
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case 't': c = '\t'; break;
        case 'b': c = '\b'; break;
        case 'f': c = '\f'; break;
        case '\r':
          if (i < n && s[i] == '\n') ++i;
          continue;
        case '\n': continue;
        default:
          if (c >= '0' && c <= '7') {
            unsigned value = static_cast<unsigned>(c - '0');
            for (int k = 0; k < 2 && i < n && s[i] >= '0' && s[i] <= '7'; ++k)
              value = value * 8 + static_cast<unsigned>(s[i++] - '0');
            // Readers keep the low byte of \400 to \777; the standard says nothing of them.
            if (value > 255) out.uncertain = true;
            c = static_cast<char>(value & 0xff);
          }
      }
    }
    out.bytes += c;
  }
  return false;
}

bool hex_string(std::string_view s, std::size_t& i, ShownString& out) {
  int high = -1;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '>') {
      ++i;
      if (high >= 0) out.bytes += static_cast<char>(high << 4);
      return true;
    }
    if (is_space(c)) continue;
    int d = hex_digit(c);
    if (d < 0) return false;
    if (high < 0) {
      high = d;
    } else {
      out.bytes += static_cast<char>(high << 4 | d);
      high = -1;
    }
  }
  return false;
}

}  // namespace

bool read_content(std::string_view s, ContentReader& reader) {
  std::vector<Operand> operands;
  std::vector<ShownString> strings;
  // Open arrays and dictionaries: '[' or '<'. Only the strings of a top-level array are kept.
  std::string open;
  std::size_t array_first = 0;
  auto push = [&](Operand::Kind kind, std::string_view text) {
    if (open.empty()) operands.push_back({kind, text, 0, 0});
  };
  std::size_t i = 0, n = s.size();
  while (i < n) {
    char c = s[i];
    if (is_space(c)) {
      ++i;
    } else if (c == '%') {
      while (i < n && s[i] != '\r' && s[i] != '\n') ++i;
    } else if (c == '/') {
      std::size_t start = i++;
      for (; i < n && !is_delimiter(s[i]); ++i)
        if (is_doubtful(s[i])) return false;
      push(Operand::kName, s.substr(start, i - start));
    } else if (c == '(' || (c == '<' && !(i + 1 < n && s[i + 1] == '<'))) {
      ShownString str;
      ++i;
      if (!(c == '(' ? literal(s, i, str) : hex_string(s, i, str))) return false;
      bool keep = open.empty() || open == "[";
      if (keep) strings.push_back(std::move(str));
      if (open.empty())
        operands.push_back({Operand::kString, {}, strings.size() - 1, strings.size()});
    } else if (c == '<') {
      i += 2;
      if (open.size() >= 64) return false;
      open += '<';
    } else if (c == '>') {
      if (i + 1 == n || s[i + 1] != '>' || open.empty() || open.back() != '<') return false;
      i += 2;
      open.pop_back();
      push(Operand::kOther, {});
    } else if (c == '[') {
      ++i;
      if (open.size() >= 64) return false;
      if (open.empty()) array_first = strings.size();
      open += '[';
    } else if (c == ']') {
      if (open.empty() || open.back() != '[') return false;
      ++i;
      open.pop_back();
      if (open.empty()) operands.push_back({Operand::kArray, {}, array_first, strings.size()});
    } else if (c == ')' || c == '{' || c == '}') {
      return false;
    } else {
      std::size_t start = i;
      for (; i < n && !is_delimiter(s[i]); ++i)
        if (is_doubtful(s[i])) return false;
      std::string_view word = s.substr(start, i - start);
      char first = word[0];
      if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
        push(Operand::kNumber, word);
      } else if (word == "true" || word == "false" || word == "null") {
        push(Operand::kOther, word);
      } else {
        if (!open.empty()) return false;  // an operator inside an array or dictionary
        if (word == "ID") {
          if (!skip_inline_image(s, i)) return false;
        } else if (!reader.op(word, operands, strings)) {
          return false;
        }
        operands.clear();
        strings.clear();
      }
    }
  }
  return open.empty();
}

}  // namespace pagerift::splitter::fonts
