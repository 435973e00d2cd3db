#include "core/text.h"

namespace pagerift {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }
bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The code point that starts at `i`, moving `i` past it; U+FFFD for what is
// not UTF-8, which then takes up as few bytes as can be.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  const int more = lead < 0xC2 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
  if (more == 0) return kReplacement;
  char32_t c = lead & (0x3F >> more);
  for (int k = 0; k < more; ++k, ++i) {
    if (i >= s.size() || !IsContinuation(static_cast<unsigned char>(s[i]))) return kReplacement;
    c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  }
  const char32_t least[] = {0, 0x80, 0x800, 0x10000};  // shorter forms are not text
  return c < least[more] || IsSurrogate(c) || c > 0x10FFFF ? kReplacement : c;
}

void EncodeUtf8(char32_t c, std::string& out) {
  if (c < 0x80) return out.push_back(static_cast<char>(c));
  const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out.push_back(static_cast<char>(((0xFF00 >> (more + 1)) & 0xFF) | (c >> (6 * more))));
  for (int k = more - 1; k >= 0; --k)
    out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

}  // namespace

std::string InFolder(std::string_view folder, std::string_view name) {
  return WithTrailingBackslash(std::string(folder)).append(name);
}

std::string WithTrailingBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

std::string ParentFolder(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return {};
  const bool driveRoot = slash == 2 && path[1] == ':';
  return std::string(path.substr(0, driveRoot ? slash + 1 : slash));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsOnlySpaces(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (unsigned char b : text) n += !IsContinuation(b);
  return n;
}

size_t Utf8Offset(std::string_view text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[i])) && seen++ == count) return i;
  }
  return text.size();
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() &&
                      utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF;
    if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    EncodeUtf8(IsSurrogate(c) ? kReplacement : c, out);  // a lone half is not text
  }
  return out;
}

}  // namespace pagerift
