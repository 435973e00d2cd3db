#include "splitter/fonts/type1.h"

#include "splitter/fonts/encodings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>

namespace pagerift::splitter::fonts {
namespace {

constexpr std::uint16_t kEexecKey = 55665, kCharstringKey = 4330;
constexpr int kMaxSubrDepth = 16;      // the format allows 10
constexpr long kMaxSteps = 4'000'000;  // operators run per font, all glyphs together

bool is_space(char c) {
  return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == '\0';
}

std::string decrypt(std::string_view in, std::uint16_t r) {
  std::string out(in.size(), '\0');
  for (std::size_t i = 0; i < in.size(); ++i) {
    auto c = static_cast<unsigned char>(in[i]);
    out[i] = static_cast<char>(c ^ (r >> 8));
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
  }
  return out;
}

std::string encrypt(std::string_view in, std::uint16_t r) {
  std::string out(in.size(), '\0');
  for (std::size_t i = 0; i < in.size(); ++i) {
    auto c = static_cast<unsigned char>(static_cast<unsigned char>(in[i]) ^ (r >> 8));
    out[i] = static_cast<char>(c);
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
  }
  return out;
}

// A PostScript token reader over the decrypted private part.
struct Tokens {
  std::string_view s;
  std::size_t at = 0;
  void skip_space() {
    while (at < s.size() && is_space(s[at])) ++at;
  }
  std::string_view next() {
    skip_space();
    std::size_t start = at;
    if (at < s.size() && s[at] == '/') ++at;
    while (at < s.size() && !is_space(s[at]) && s[at] != '/' && s[at] != '[' && s[at] != ']' &&
           s[at] != '{' && s[at] != '}')
      ++at;
    if (at == start && at < s.size()) ++at;  // a bracket or brace on its own
    return s.substr(start, at - start);
  }
  std::string_view peek() {
    std::size_t saved = at;
    std::string_view token = next();
    at = saved;
    return token;
  }
  bool integer(long& value) {
    std::string_view token = next();
    if (token.empty() || token.size() > 9) return false;
    value = 0;
    for (char c : token) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return true;
  }
};

// The binary part of "<length> RD <bytes>": one space after the RD token, then the bytes.
bool binary(Tokens& t, std::size_t& data, std::size_t& size) {
  long length = 0;
  if (!t.integer(length)) return false;
  std::string_view rd = t.next();
  if (rd.empty() || t.at >= t.s.size() || t.s[t.at] != ' ') return false;
  data = t.at + 1;
  size = static_cast<std::size_t>(length);
  if (size > t.s.size() - data) return false;
  t.at = data + size;
  return true;
}

// Consumes the words that end an entry: a subroutine's "NP" (or "|", "noaccess put", "put"),
// a glyph's "ND" (or "|-", "noaccess def", "def").
void entry_end(Tokens& t, bool glyph) {
  std::size_t saved = t.at;
  std::string_view word = t.next();
  if (word == (glyph ? "ND" : "NP") || word == (glyph ? "|-" : "|") ||
      word == (glyph ? "def" : "put"))
    return;
  if (word == "noaccess" && t.next() == (glyph ? "def" : "put")) return;
  t.at = saved;
}

}  // namespace

bool Type1Font::read_encoding(std::string_view clear) {
  encoding_.assign(256, std::string());
  std::size_t at = clear.find("/Encoding");
  if (at == std::string_view::npos) return true;
  Tokens t{clear, at + 9};
  if (t.peek() == "StandardEncoding") {
    standard_encoding_ = true;
    return true;
  }
  // "dup <code> /<name> put", until the "def" that ends the array.
  while (t.at < clear.size()) {
    std::string_view word = t.next();
    if (word == "def" || word.empty()) return true;
    if (word != "dup") continue;
    std::size_t saved = t.at;
    long code = 0;
    if (!t.integer(code)) {
      t.at = saved;
      continue;
    }
    std::string_view name = t.next();
    if (code > 255 || name.size() < 2 || name[0] != '/') return false;
    encoding_[static_cast<std::size_t>(code)] = std::string(name.substr(1));
  }
  return true;
}

bool Type1Font::read_private() {
  std::string_view p = private_;
  std::size_t lenIV = p.find("/lenIV");
  if (lenIV != std::string_view::npos) {
    Tokens t{p, lenIV + 6};
    std::string_view word = t.next();
    if (word == "-1")
      len_iv_ = -1;
    else if (word.size() == 1 && word[0] >= '0' && word[0] <= '9')
      len_iv_ = word[0] - '0';
    else
      return false;
  }
  std::size_t subrs = p.find("/Subrs");
  std::size_t glyphs = p.find("/CharStrings");
  if (glyphs == std::string_view::npos || (subrs != std::string_view::npos && subrs > glyphs))
    return false;
  if (subrs != std::string_view::npos) {
    Tokens t{p, subrs + 6};
    long count = 0;
    t.skip_space();
    subrs_count_at_ = t.at;
    if (!t.integer(count)) return false;
    subrs_count_end_ = t.at;
    if (t.next() != "array") return false;
    subrs_.assign(static_cast<std::size_t>(count), Entry{0, 0, 0, 0, {}});
    long next = 0;
    while (t.peek() == "dup") {
      t.skip_space();
      std::size_t start = t.at;
      t.next();
      long index = 0;
      Entry entry{start, 0, 0, 0, {}};
      // In index order, so that the entries can be rewritten in one pass.
      if (!t.integer(index) || index >= count || index != next++ ||
          !binary(t, entry.data, entry.size))
        return false;
      entry_end(t, false);
      entry.end = t.at;
      subrs_[static_cast<std::size_t>(index)] = entry;
    }
    // A subroutine index the program never fills cannot be rewritten in place.
    if (next != count) return false;
    if (t.at > glyphs) return false;
  }
  Tokens t{p, glyphs + 12};
  long count = 0;
  if (!t.integer(count) || t.next() != "dict") return false;
  while (t.at < p.size() && t.peek() != "begin") t.next();
  t.next();
  while (true) {
    std::string_view name = t.peek();
    if (name.size() < 2 || name[0] != '/') break;
    t.skip_space();
    Entry entry{t.at, 0, 0, 0, std::string(name.substr(1))};
    t.next();
    if (!binary(t, entry.data, entry.size)) return false;
    entry_end(t, true);
    entry.end = t.at;
    glyphs_.push_back(std::move(entry));
  }
  // Of two glyphs of one name, readers may take either: such a program is not cut.
  for (std::size_t k = 0; k < glyphs_.size(); ++k)
    if (!by_name_.emplace(glyphs_[k].name, k).second) return false;
  reach_.assign(glyphs_.size(), Reach{});
  budget_ = kMaxSteps;
  return !glyphs_.empty() && t.peek() == "end";
}

bool Type1Font::parse(std::string_view program, std::size_t length1, std::size_t length2) {
  if (program.empty() || static_cast<unsigned char>(program[0]) == 0x80) return false;  // PFB
  std::size_t eexec = program.find("eexec");
  if (eexec == std::string_view::npos) return false;
  std::size_t start = eexec + 5;
  while (start < program.size() && is_space(program[start])) ++start;
  if (start != length1 || length2 < 4 || length2 > program.size() - start) return false;
  auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (std::all_of(program.begin() + static_cast<long>(start),
                  program.begin() + static_cast<long>(start + 4), hex))
    return false;  // hexadecimal eexec
  clear_ = program.substr(0, start);
  trailer_ = program.substr(start + length2);
  private_ = decrypt(program.substr(start, length2), kEexecKey);
  return read_encoding(clear_) && read_private();
}

bool Type1Font::has_glyph(const std::string& name) const { return by_name_.count(name) != 0; }

std::string Type1Font::plain(const Entry& entry) const {
  std::string_view code(private_.data() + entry.data, entry.size);
  if (len_iv_ < 0) return std::string(code);
  std::string decrypted = decrypt(code, kCharstringKey);
  return decrypted.substr(
      std::min<std::size_t>(decrypted.size(), static_cast<std::size_t>(len_iv_)));
}

bool Type1Font::run(std::string_view code, std::vector<double>& stack, std::vector<double>& ps,
                    Reach& reach, int depth) const {
  const double unknown = std::nan("");
  auto pop = [&]() {
    if (stack.empty()) return unknown;
    double v = stack.back();
    stack.pop_back();
    return v;
  };
  auto index = [&](double v, std::size_t limit, std::size_t& out) {
    if (!(v >= 0) || v != std::floor(v) || v >= static_cast<double>(limit)) return false;
    out = static_cast<std::size_t>(v);
    return true;
  };
  for (std::size_t i = 0; i < code.size();) {
    if (--budget_ < 0 || stack.size() > 64) return false;
    auto v = static_cast<unsigned char>(code[i++]);
    if (v >= 32) {
      double number = 0;
      if (v <= 246) {
        number = v - 139;
      } else if (v <= 254) {
        if (i >= code.size()) return false;
        int w = static_cast<unsigned char>(code[i++]);
        number = v <= 250 ? (v - 247) * 256 + w + 108 : -(v - 251) * 256 - w - 108;
      } else {
        if (code.size() - i < 4) return false;
        std::uint32_t u = 0;
        for (int k = 0; k < 4; ++k) u = u << 8 | static_cast<unsigned char>(code[i++]);
        number = static_cast<std::int32_t>(u);
      }
      stack.push_back(number);
      continue;
    }
    if (v == 10) {  // callsubr
      std::size_t n = 0;
      if (depth >= kMaxSubrDepth || !index(pop(), subrs_.size(), n)) return false;
      if (!called_[n]) {
        called_[n] = true;
        reach.subrs.push_back(static_cast<std::uint32_t>(n));
      }
      std::string body = plain(subrs_[n]);
      if (!run(body, stack, ps, reach, depth + 1)) return false;
      continue;
    }
    if (v == 11) return true;  // return
    if (v == 14) return true;  // endchar
    if (v != 12) {
      stack.clear();
      continue;
    }
    if (i >= code.size()) return false;
    auto x = static_cast<unsigned char>(code[i++]);
    if (x == 6) {  // seac: both parts are glyphs in the standard encoding
      double achar = pop(), bchar = pop();
      for (double c : {bchar, achar}) {
        std::size_t k = 0;
        std::vector<std::string> names;
        if (!index(c, 256, k)) return false;
        append_base_names(BaseEncoding::kStandard, static_cast<unsigned>(k), names);
        if (names.empty()) return false;
        reach.more.push_back(names.front());
      }
      return true;
    }
    if (x == 16) {  // callothersubr: its arguments come back through pop
      double other = pop(), count = pop();
      std::size_t n = 0;
      if (!(other >= 0) || !index(count, 64, n) || n > stack.size()) return false;
      for (std::size_t k = 0; k < n; ++k) ps.push_back(pop());
      continue;
    }
    if (x == 17) {  // pop
      if (ps.empty()) {
        stack.push_back(unknown);
      } else {
        stack.push_back(ps.back());
        ps.pop_back();
      }
      continue;
    }
    if (x == 12) {  // div
      pop();
      pop();
      stack.push_back(unknown);
      continue;
    }
    stack.clear();
  }
  return true;
}

const Type1Font::Reach& Type1Font::reach(std::size_t glyph) const {
  Reach& r = reach_[glyph];
  if (r.read) return r;
  r.read = true;
  called_.assign(subrs_.size(), false);
  std::vector<double> stack, ps;
  r.ok = run(plain(glyphs_[glyph]), stack, ps, r, 0);
  if (!r.ok) r.subrs.clear(), r.more.clear();
  return r;
}

bool Type1Font::subset(const std::set<std::string>& names, std::string& out, std::size_t& length1,
                       std::size_t& length2, std::size_t& length3,
                       std::vector<std::string>& kept) const {
  std::vector<bool> keep(glyphs_.size(), false), subrs(subrs_.size(), false);
  // Subroutines 0 to 3 carry the flex and hint replacement mechanism.
  for (std::size_t k = 0; k < 4 && k < subrs.size(); ++k) subrs[k] = true;
  std::vector<std::string> todo(names.begin(), names.end());
  todo.push_back(".notdef");
  while (!todo.empty()) {
    std::string name = std::move(todo.back());
    todo.pop_back();
    auto it = by_name_.find(name);
    if (it == by_name_.end() || keep[it->second]) continue;
    keep[it->second] = true;
    const Reach& r = reach(it->second);
    if (!r.ok) return false;
    for (std::uint32_t n : r.subrs) subrs[n] = true;
    todo.insert(todo.end(), r.more.begin(), r.more.end());
  }
  // Whatever a kept subroutine reaches was followed with it; the others become a bare return.
  std::string bare(len_iv_ < 0 ? 0 : static_cast<std::size_t>(len_iv_), '\0');
  bare += '\x0b';
  if (len_iv_ >= 0) bare = encrypt(bare, kCharstringKey);
  std::string p;
  p.reserve(private_.size());
  std::size_t at = 0, count = subrs.size();
  while (count > 0 && !subrs[count - 1]) --count;
  if (!subrs_.empty()) {
    p.append(private_, 0, subrs_count_at_);
    p += std::to_string(count);
    at = subrs_count_end_;
  }
  for (std::size_t k = 0; k < subrs_.size(); ++k) {
    const Entry& e = subrs_[k];
    if (k >= count) {
      // Entries are in index order but for the words between them; those stay.
      at = e.end;
      continue;
    }
    p.append(private_, at, e.start - at);
    if (subrs[k]) {
      p.append(private_, e.start, e.end - e.start);
    } else {
      // "dup <index> <length> RD <bytes> NP": the same words around the new bytes.
      Tokens t{private_, e.start};
      t.next();
      t.next();
      t.next();
      std::size_t rd_end = t.at;
      p += "dup " + std::to_string(k) + ' ' + std::to_string(bare.size());
      p.append(private_, rd_end, e.data - rd_end);
      p += bare;
      p.append(private_, e.data + e.size, e.end - e.data - e.size);
    }
    at = e.end;
  }
  for (std::size_t k = 0; k < glyphs_.size(); ++k) {
    const Entry& e = glyphs_[k];
    p.append(private_, at, e.start - at);
    if (keep[k]) {
      p.append(private_, e.start, e.end - e.start);
      kept.push_back(e.name);
    }
    at = e.end;
  }
  p.append(private_, at, std::string::npos);
  std::string encrypted = encrypt(p, kEexecKey);
  out.clear();
  out.reserve(clear_.size() + encrypted.size() + trailer_.size());
  out.append(clear_).append(encrypted).append(trailer_);
  length1 = clear_.size();
  length2 = encrypted.size();
  length3 = trailer_.size();
  return true;
}

}  // namespace pagerift::splitter::fonts
