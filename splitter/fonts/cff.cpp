#include "splitter/fonts/cff.h"

#include "splitter/fonts/encodings.h"

#include <cmath>

namespace pagerift::splitter::fonts {
namespace {

constexpr int kMaxSubrDepth = 16;      // the format allows 10
constexpr long kMaxSteps = 4'000'000;  // operators run per font, all glyphs together

std::uint32_t get(std::string_view s, std::size_t at, std::size_t bytes, bool& ok) {
  if (at > s.size() || s.size() - at < bytes) {
    ok = false;
    return 0;
  }
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < bytes; ++k) v = v << 8 | static_cast<unsigned char>(s[at + k]);
  return v;
}

// One operator of a DICT with its operands; reals are read only to be skipped.
struct DictReader {
  DictReader(std::string_view data, std::size_t from, std::size_t to)
      : s(data), at(from), end(to) {}
  std::string_view s;
  std::size_t at = 0, end = 0;
  bool ok = true;
  std::vector<double> operands;
  // The next operator (12 x as 1200 + x), or -1 at the end.
  int next() {
    operands.clear();
    while (ok && at < end) {
      auto b = static_cast<unsigned char>(s[at++]);
      if (b <= 21) {
        if (b != 12) return b;
        if (at >= end) break;
        return 1200 + static_cast<unsigned char>(s[at++]);
      }
      if (b == 28) {
        operands.push_back(static_cast<std::int16_t>(get(s, at, 2, ok)));
        at += 2;
      } else if (b == 29) {
        operands.push_back(static_cast<std::int32_t>(get(s, at, 4, ok)));
        at += 4;
      } else if (b == 30) {
        while (at < end && (static_cast<unsigned char>(s[at]) & 0x0f) != 0x0f &&
               (static_cast<unsigned char>(s[at]) & 0xf0) != 0xf0)
          ++at;
        ++at;
        operands.push_back(std::nan(""));
      } else if (b >= 32 && b <= 246) {
        operands.push_back(b - 139);
      } else if (b >= 247 && b <= 254) {
        std::uint32_t w = get(s, at++, 1, ok);
        operands.push_back(b <= 250 ? (b - 247) * 256.0 + w + 108 : -(b - 251) * 256.0 - w - 108);
      } else {
        break;
      }
    }
    if (at > end) ok = false;
    return -1;
  }
};

bool offset_value(const std::vector<double>& operands, std::size_t k, std::size_t limit,
                  std::size_t& out) {
  if (operands.size() <= k) return false;
  double v = operands[operands.size() - 1 - k];
  if (!(v >= 0) || v != std::floor(v) || v > static_cast<double>(limit)) return false;
  out = static_cast<std::size_t>(v);
  return true;
}

std::size_t bias(std::size_t count) { return count < 1240 ? 107 : count < 33900 ? 1131 : 32768; }

}  // namespace

bool CffFont::read_index(std::size_t at, Index& index) const {
  bool ok = true;
  index.start = at;
  std::uint32_t count = get(cff_, at, 2, ok);
  if (!ok) return false;
  if (count == 0) {
    index.end = at + 2;
    return true;
  }
  index.off_size = get(cff_, at + 2, 1, ok);
  if (!ok || index.off_size < 1 || index.off_size > 4) return false;
  std::size_t offsets = at + 3, data = offsets + (count + 1) * index.off_size - 1;
  if (data > cff_.size()) return false;
  std::uint32_t last = 1;
  for (std::uint32_t k = 0; k <= count; ++k) {
    std::uint32_t offset = get(cff_, offsets + k * index.off_size, index.off_size, ok);
    if (!ok || offset < last || offset > cff_.size() - data) return false;
    if (k > 0) index.items.push_back({data + last, offset - last});
    last = offset;
  }
  index.end = data + last;
  return true;
}

std::string CffFont::string_of(std::uint32_t sid) const {
  if (sid < 391) return cff_standard_string(sid);
  if (sid - 391 >= strings_.items.size()) return {};
  const Range& r = strings_.items[sid - 391];
  return std::string(cff_.substr(r.start, r.size));
}

bool CffFont::read_charset(std::size_t at) {
  std::size_t glyphs = charstrings_.size();
  charset_.assign(glyphs, 0);
  if (at == 0) {  // ISOAdobe: glyph i is SID i
    if (cid_keyed_ || glyphs > 229) return false;
    for (std::size_t g = 0; g < glyphs; ++g) charset_[g] = static_cast<std::uint32_t>(g);
    return true;
  }
  if (at <= 2) return false;  // the Expert charsets
  bool ok = true;
  std::size_t start = at;
  std::uint32_t format = get(cff_, at++, 1, ok);
  std::size_t g = 1;
  while (ok && g < glyphs) {
    if (format == 0) {
      charset_[g++] = get(cff_, at, 2, ok);
      at += 2;
    } else if (format == 1 || format == 2) {
      std::uint32_t first = get(cff_, at, 2, ok);
      std::uint32_t left = get(cff_, at + 2, format == 1 ? 1 : 2, ok);
      at += format == 1 ? 3 : 4;
      for (std::uint32_t k = 0; k <= left && g < glyphs; ++k) charset_[g++] = first + k;
    } else {
      return false;
    }
  }
  extents_.push_back({start, at - start});
  return ok;
}

bool CffFont::read_encoding(std::size_t at) {
  encoding_.assign(256, std::string());
  if (at == 0) {
    for (unsigned code = 0; code < 256; ++code) {
      std::vector<std::string> names;
      append_base_names(BaseEncoding::kStandard, code, names);
      if (!names.empty()) encoding_[code] = names.front();
    }
    return true;
  }
  if (at == 1) return false;  // the Expert encoding
  bool ok = true;
  std::size_t start = at;
  std::uint32_t format = get(cff_, at++, 1, ok);
  std::size_t g = 1;
  if ((format & 0x7f) == 0) {
    std::uint32_t codes = get(cff_, at++, 1, ok);
    for (std::uint32_t k = 0; k < codes && ok; ++k, ++g)
      if (g < names_.size()) encoding_[get(cff_, at++, 1, ok)] = names_[g];
  } else if ((format & 0x7f) == 1) {
    std::uint32_t ranges = get(cff_, at++, 1, ok);
    for (std::uint32_t k = 0; k < ranges && ok; ++k) {
      std::uint32_t first = get(cff_, at, 1, ok), left = get(cff_, at + 1, 1, ok);
      at += 2;
      for (std::uint32_t c = first; c <= first + left && c < 256; ++c, ++g)
        if (g < names_.size()) encoding_[c] = names_[g];
    }
  } else {
    return false;
  }
  if (format & 0x80) {
    std::uint32_t supplements = get(cff_, at++, 1, ok);
    for (std::uint32_t k = 0; k < supplements && ok; ++k, at += 3)
      encoding_[get(cff_, at, 1, ok)] = string_of(get(cff_, at + 1, 2, ok));
  }
  extents_.push_back({start, at - start});
  return ok;
}

bool CffFont::parse(std::string_view program) {
  cff_ = program;
  bool ok = true;
  if (get(cff_, 0, 1, ok) != 1 || !ok) return false;
  Index names, top;
  if (!read_index(get(cff_, 2, 1, ok), names) || names.items.size() != 1 ||
      !read_index(names.end, top) || top.items.size() != 1 || !read_index(top.end, strings_) ||
      !read_index(strings_.end, global_subrs_))
    return false;
  DictReader dict{cff_, top.items[0].start, top.items[0].start + top.items[0].size};
  std::size_t charset = 0, encoding = 0, charstrings = 0, private_size = 0, private_at = 0;
  std::size_t fd_array = 0, fd_select = 0;
  extents_ = {{0, global_subrs_.end}};
  for (int op; (op = dict.next()) >= 0;) {
    if (op == 1230) cid_keyed_ = true;
    if (op == 1206 && !(dict.operands.size() == 1 && dict.operands[0] == 2)) return false;
    if (op == 1236 && !offset_value(dict.operands, 0, cff_.size(), fd_array)) return false;
    if (op == 1237 && !offset_value(dict.operands, 0, cff_.size(), fd_select)) return false;
    if (op == 15 && !offset_value(dict.operands, 0, cff_.size(), charset)) return false;
    if (op == 16 && !offset_value(dict.operands, 0, cff_.size(), encoding)) return false;
    if (op == 17 && !offset_value(dict.operands, 0, cff_.size(), charstrings)) return false;
    if (op == 18 && (!offset_value(dict.operands, 0, cff_.size(), private_at) ||
                     !offset_value(dict.operands, 1, cff_.size(), private_size)))
      return false;
  }
  if (!dict.ok || charstrings == 0 || !read_index(charstrings, charstrings_index_)) return false;
  charstrings_ = charstrings_index_.items;
  if (charstrings_.empty() || charstrings_index_.end > cff_.size()) return false;
  // The private dictionaries with their subroutines: the top one, or those of the FDArray.
  if (!cid_keyed_ && private_size > 0 && !read_private(private_at, private_size, &local_subrs_))
    return false;
  if (cid_keyed_ && !read_fd(fd_array, fd_select)) return false;
  if (!read_charset(charset)) return false;
  names_.assign(charstrings_.size(), std::string());
  for (std::size_t g = 0; g < charstrings_.size(); ++g) {
    if (cid_keyed_) {
      by_cid_.emplace(charset_[g], g);
    } else {
      names_[g] = g ? string_of(charset_[g]) : ".notdef";
      by_name_.emplace(names_[g], g);
    }
  }
  if (!cid_keyed_ && !read_encoding(encoding)) return false;
  // The charstrings are written again in place: nothing else may lie where they are.
  for (const Range& e : extents_)
    if (e.size > 0 && e.start < charstrings_index_.end &&
        charstrings_index_.start < e.start + e.size)
      return false;
  return true;
}

bool CffFont::read_private(std::size_t at, std::size_t size, Index* subrs_out) {
  if (at > cff_.size() || size > cff_.size() - at) return false;
  extents_.push_back({at, size});
  DictReader priv{cff_, at, at + size};
  for (int op; (op = priv.next()) >= 0;) {
    std::size_t offset = 0;
    Index subrs;
    if (op != 19) continue;
    if (!offset_value(priv.operands, 0, cff_.size() - at, offset) ||
        !read_index(at + offset, subrs))
      return false;
    extents_.push_back({subrs.start, subrs.end - subrs.start});
    if (subrs_out) *subrs_out = subrs;
  }
  return priv.ok;
}

bool CffFont::read_fd(std::size_t fd_array, std::size_t fd_select) {
  Index fds;
  if (fd_array == 0 || fd_select == 0 || !read_index(fd_array, fds)) return false;
  extents_.push_back({fds.start, fds.end - fds.start});
  for (const Range& fd : fds.items) {
    DictReader dict{cff_, fd.start, fd.start + fd.size};
    for (int op; (op = dict.next()) >= 0;) {
      std::size_t at = 0, size = 0;
      if (op == 18 &&
          (!offset_value(dict.operands, 0, cff_.size(), at) ||
           !offset_value(dict.operands, 1, cff_.size(), size) || !read_private(at, size, nullptr)))
        return false;
    }
    if (!dict.ok) return false;
  }
  bool ok = true;
  std::uint32_t format = get(cff_, fd_select, 1, ok);
  std::size_t size = format == 0 ? 1 + charstrings_.size()
                     : format == 3
                         ? 5 + 3 * static_cast<std::size_t>(get(cff_, fd_select + 1, 2, ok))
                         : 0;
  if (!ok || size == 0 || size > cff_.size() - fd_select) return false;
  extents_.push_back({fd_select, size});
  return true;
}

long CffFont::glyph_named(const std::string& name) const {
  auto it = by_name_.find(name);
  return it == by_name_.end() ? -1 : static_cast<long>(it->second);
}

long CffFont::glyph_of_cid(std::uint32_t cid) const {
  auto it = by_cid_.find(cid);
  return it == by_cid_.end() ? -1 : static_cast<long>(it->second);
}

bool CffFont::run(std::string_view code, std::vector<double>& stack, std::size_t& stems,
                  std::vector<std::size_t>& more, int depth, long& budget, bool& ended) const {
  for (std::size_t i = 0; i < code.size();) {
    if (--budget < 0 || stack.size() > 96) return false;
    auto v = static_cast<unsigned char>(code[i++]);
    bool ok = true;
    if (v >= 32 || v == 28) {
      double number = 0;
      if (v == 28) {
        number = static_cast<std::int16_t>(get(code, i, 2, ok));
        i += 2;
      } else if (v <= 246) {
        number = v - 139;
      } else if (v <= 254) {
        number = v <= 250 ? (v - 247) * 256.0 + get(code, i, 1, ok) + 108
                          : -(v - 251) * 256.0 - get(code, i, 1, ok) - 108;
        ++i;
      } else {
        number = static_cast<std::int32_t>(get(code, i, 4, ok)) / 65536.0;
        i += 4;
      }
      if (!ok) return false;
      stack.push_back(number);
      continue;
    }
    switch (v) {
      case 1:
      case 3:
      case 18:
      case 23:  // the stem hints
        stems += stack.size() / 2;
        stack.clear();
        break;
      case 19:
      case 20:  // hintmask, cntrmask: an implicit vstem, then the mask's bytes
        stems += stack.size() / 2;
        stack.clear();
        i += (stems + 7) / 8;
        break;
      case 10:
      case 29: {  // callsubr, callgsubr
        const Index& subrs = v == 10 ? local_subrs_ : global_subrs_;
        if (stack.empty() || depth >= kMaxSubrDepth) return false;
        double at = stack.back() + static_cast<double>(bias(subrs.items.size()));
        stack.pop_back();
        if (!(at >= 0) || at != std::floor(at) || at >= static_cast<double>(subrs.items.size()))
          return false;
        const Range& r = subrs.items[static_cast<std::size_t>(at)];
        if (!run(cff_.substr(r.start, r.size), stack, stems, more, depth + 1, budget, ended))
          return false;
        if (ended) return true;  // the subroutine ended the glyph
        break;
      }
      case 11: return true;  // return
      case 14: {             // endchar; with four arguments more, an accented character
        if (stack.size() >= 4) {
          for (double c : {stack[stack.size() - 2], stack[stack.size() - 1]}) {
            std::vector<std::string> names;
            if (!(c >= 0 && c < 256 && c == std::floor(c))) return false;
            append_base_names(BaseEncoding::kStandard, static_cast<unsigned>(c), names);
            long g = names.empty() ? -1 : glyph_named(names.front());
            if (g < 0) return false;
            more.push_back(static_cast<std::size_t>(g));
          }
        }
        ended = true;
        return true;
      }
      case 12: {
        std::uint32_t x = get(code, i++, 1, ok);
        if (!ok) return false;
        // Arithmetic and storage could make a subroutine number that this does not compute.
        if (x <= 30 && x != 0 && !(x >= 34 && x <= 37)) return false;
        stack.clear();
        break;
      }
      default: stack.clear();
    }
  }
  return true;
}

bool CffFont::subset(std::vector<bool>& keep, std::string& out, std::size_t& freed) const {
  keep.resize(charstrings_.size(), false);
  keep[0] = true;
  if (!cid_keyed_) {
    std::vector<std::size_t> todo;
    for (std::size_t g = 0; g < keep.size(); ++g)
      if (keep[g]) todo.push_back(g);
    long budget = kMaxSteps;
    std::vector<bool> done(keep.size(), false);
    while (!todo.empty()) {
      std::size_t g = todo.back();
      todo.pop_back();
      if (done[g]) continue;
      done[g] = keep[g] = true;
      std::vector<double> stack;
      std::size_t stems = 0;
      bool ended = false;
      if (!run(cff_.substr(charstrings_[g].start, charstrings_[g].size), stack, stems, todo, 0,
               budget, ended))
        return false;
    }
  }
  // The new index where the old one was, with the same offset size; what it frees is zeros.
  const Index& old = charstrings_index_;
  std::string index = std::string(cff_.substr(old.start, 3));
  std::string data;
  std::uint32_t offset = 1;
  std::string offsets;
  auto put_offset = [&](std::uint32_t v) {
    for (std::size_t k = old.off_size; k-- > 0;) offsets += static_cast<char>(v >> (8 * k) & 0xff);
  };
  put_offset(offset);
  for (std::size_t g = 0; g < charstrings_.size(); ++g) {
    if (keep[g])
      data.append(cff_.substr(charstrings_[g].start, charstrings_[g].size));
    else
      data += '\x0e';
    if (old.off_size < 4 && data.size() + 1 >= (std::size_t{1} << (8 * old.off_size))) return false;
    put_offset(static_cast<std::uint32_t>(data.size() + 1));
  }
  index += offsets;
  index += data;
  if (index.size() > old.end - old.start) return false;
  freed = old.end - old.start - index.size();
  out.assign(cff_);
  out.replace(old.start, index.size(), index);
  std::fill(out.begin() + static_cast<long>(old.start + index.size()),
            out.begin() + static_cast<long>(old.end), '\0');
  return true;
}

}  // namespace pagerift::splitter::fonts
