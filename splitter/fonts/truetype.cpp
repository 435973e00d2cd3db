#include "splitter/fonts/truetype.h"

#include "splitter/fonts/encodings.h"

#include <algorithm>
#include <cstring>

namespace pagerift::splitter::fonts {
namespace {

constexpr int kMaxComponentDepth = 16;

std::uint32_t tag_of(const char* tag) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(tag[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(tag[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(tag[2])) << 8 |
         static_cast<unsigned char>(tag[3]);
}

// Big-endian reads that check their bounds: false (and zero) past the end.
struct Reader {
  std::string_view s;
  bool ok = true;
  std::uint32_t u(std::size_t at, int bytes) {
    if (at > s.size() || s.size() - at < static_cast<std::size_t>(bytes)) {
      ok = false;
      return 0;
    }
    std::uint32_t v = 0;
    for (int k = 0; k < bytes; ++k)
      v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]);
    return v;
  }
  std::uint32_t u16(std::size_t at) { return u(at, 2); }
  std::uint32_t u32(std::size_t at) { return u(at, 4); }
};

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v >> 8 & 0xff);
  out += static_cast<char>(v & 0xff);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xffff);
}
void set32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k)
    out[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (24 - 8 * k) & 0xff);
}

std::uint32_t checksum(std::string_view data) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < data.size(); i += 4) {
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k)
      word = word << 8 | (i + k < data.size() ? static_cast<unsigned char>(data[i + k]) : 0u);
    sum += word;
  }
  return sum;
}

// The glyph a cmap subtable (from its format field on) gives `code`; 0 for none. False in
// `ok` when the subtable cannot be read.
std::uint32_t cmap_lookup(std::string_view sub, std::uint32_t code, bool& ok) {
  Reader r{sub};
  std::uint32_t format = r.u16(0), glyph = 0;
  if (format == 0) {
    glyph = code < 256 ? r.u(6 + code, 1) : 0;
  } else if (format == 4) {
    std::uint32_t segments = r.u16(6) / 2;
    if (code > 0xffff) return 0;
    for (std::uint32_t k = 0; k < segments && r.ok; ++k) {
      std::uint32_t end = r.u16(14 + 2 * k);
      if (code > end) continue;
      std::size_t starts = 16 + 2 * segments, deltas = starts + 2 * segments,
                  ranges = deltas + 2 * segments;
      std::uint32_t start = r.u16(starts + 2 * k);
      if (code < start) break;
      std::uint32_t delta = r.u16(deltas + 2 * k), range = r.u16(ranges + 2 * k);
      if (range == 0) {
        glyph = (code + delta) & 0xffff;
      } else {
        std::uint32_t g = r.u16(ranges + 2 * k + range + 2 * (code - start));
        glyph = g ? (g + delta) & 0xffff : 0;
      }
      break;
    }
  } else if (format == 6) {
    std::uint32_t first = r.u16(6), count = r.u16(8);
    glyph = code >= first && code - first < count ? r.u16(10 + 2 * (code - first)) : 0;
  } else if (format == 12) {
    std::uint32_t groups = r.u32(12);
    if (groups > sub.size() / 12) ok = false;
    for (std::uint32_t k = 0; k < groups && r.ok; ++k) {
      std::uint32_t start = r.u32(16 + 12 * k), end = r.u32(20 + 12 * k);
      if (code >= start && code <= end) {
        glyph = r.u32(24 + 12 * k) + (code - start);
        break;
      }
    }
  } else {
    ok = false;
  }
  if (!r.ok) ok = false;
  return glyph;
}

}  // namespace

const TrueTypeFont::Table* TrueTypeFont::table(const char* tag) const {
  std::uint32_t want = tag_of(tag);
  for (auto& t : tables_)
    if (t.tag == want) return &t;
  return nullptr;
}

bool TrueTypeFont::parse(std::string_view program) {
  font_ = program;
  Reader r{program};
  std::uint32_t version = r.u32(0), count = r.u16(4);
  if (version != 0x00010000 && version != tag_of("true")) return false;
  for (std::uint32_t k = 0; k < count; ++k) {
    std::size_t at = 12 + 16 * k;
    Table t{r.u32(at), r.u32(at + 8), r.u32(at + 12)};
    if (!r.ok || t.offset > program.size() || t.length > program.size() - t.offset) return false;
    tables_.push_back(t);
  }
  glyf_ = table("glyf");
  loca_ = table("loca");
  head_ = table("head");
  const Table* maxp = table("maxp");
  if (!glyf_ || !loca_ || !head_ || !maxp || head_->length < 54 || maxp->length < 6) return false;
  long_loca_ = r.u16(head_->offset + 50) != 0;
  glyph_count_ = r.u16(maxp->offset + 4);
  if (glyph_count_ == 0 || (glyph_count_ + 1) * (long_loca_ ? 4u : 2u) > loca_->length)
    return false;
  for (std::size_t g = 0; g < glyph_count_; ++g)
    if (glyph_offset(g) > glyph_offset(g + 1) || glyph_offset(g + 1) > glyf_->length) return false;
  return read_cmap() && read_post();
}

std::uint32_t TrueTypeFont::glyph_offset(std::size_t gid) const {
  Reader r{font_};
  return long_loca_ ? r.u32(loca_->offset + 4 * gid) : 2 * r.u16(loca_->offset + 2 * gid);
}

bool TrueTypeFont::read_cmap() {
  const Table* cmap = table("cmap");
  if (!cmap) return true;
  Reader r{font_.substr(cmap->offset, cmap->length)};
  std::uint32_t count = r.u16(2);
  for (std::uint32_t k = 0; k < count && r.ok; ++k) {
    std::uint32_t platform = r.u16(4 + 8 * k), encoding = r.u16(4 + 8 * k + 2);
    std::uint32_t offset = r.u32(4 + 8 * k + 4);
    if (offset >= cmap->length) return false;
    std::string_view sub = r.s.substr(offset);
    std::uint32_t format = Reader{sub}.u16(0);
    if (format == 14) continue;  // variation sequences: no reader maps PDF codes through them
    bool ok = true;
    cmap_lookup(sub, 0, ok);
    if (!ok) return false;
    cmaps_.push_back({platform, encoding, sub});
  }
  return r.ok;
}

bool TrueTypeFont::read_post() {
  const Table* post = table("post");
  if (!post) return true;
  Reader r{font_.substr(post->offset, post->length)};
  std::uint32_t version = r.u32(0);
  if (version == 0x00010000) {
    for (unsigned g = 0; g < 258 && g < glyph_count_; ++g)
      post_names_.emplace(mac_glyph_name(g), g);
    return true;
  }
  if (version != 0x00020000) return true;  // no names a reader could look up
  std::uint32_t count = r.u16(32);
  std::vector<std::string_view> extra;
  std::size_t at = 34 + 2 * count;
  while (r.ok && at < r.s.size()) {
    std::uint32_t length = r.u(at, 1);
    if (length > r.s.size() - at - 1) return false;
    extra.push_back(r.s.substr(at + 1, length));
    at += 1 + length;
  }
  for (std::uint32_t g = 0; g < count && r.ok; ++g) {
    std::uint32_t index = r.u16(34 + 2 * g);
    if (index < 258)
      post_names_.emplace(mac_glyph_name(index), g);
    else if (index - 258 < extra.size())
      post_names_.emplace(std::string(extra[index - 258]), g);
  }
  return r.ok;
}

void TrueTypeFont::lookup(Cmaps which, std::uint32_t code,
                          std::vector<std::uint32_t>& glyphs) const {
  for (auto& cmap : cmaps_) {
    bool unicode =
        cmap.platform == 0 || (cmap.platform == 3 && (cmap.encoding == 1 || cmap.encoding == 10));
    if ((which == Cmaps::kUnicode && !unicode) ||
        (which == Cmaps::kMacRoman && !(cmap.platform == 1 && cmap.encoding == 0)) ||
        (which == Cmaps::kSymbol && !(cmap.platform == 3 && cmap.encoding == 0)))
      continue;
    bool ok = true;
    if (std::uint32_t g = cmap_lookup(cmap.data, code, ok)) glyphs.push_back(g);
  }
}

long TrueTypeFont::glyph_named(const std::string& name) const {
  auto it = post_names_.find(name);
  return it == post_names_.end() ? -1 : static_cast<long>(it->second);
}

bool TrueTypeFont::subset(std::vector<bool>& keep, std::string& out) const {
  keep.resize(glyph_count_, false);
  keep[0] = true;
  Reader r{font_};
  // Components of kept composites, and theirs, in passes bounded by the nesting allowed.
  for (int pass = 0; pass <= kMaxComponentDepth; ++pass) {
    bool added = false;
    for (std::size_t g = 0; g < glyph_count_; ++g) {
      if (!keep[g]) continue;
      std::size_t at = glyf_->offset + glyph_offset(g), end = glyf_->offset + glyph_offset(g + 1);
      if (end - at < 10 || !(r.u16(at) & 0x8000)) continue;  // empty or simple
      for (at += 10; r.ok;) {
        std::uint32_t flags = r.u16(at), component = r.u16(at + 2);
        if (!r.ok || at + 4 > end || component >= glyph_count_) return false;
        if (!keep[component]) added = keep[component] = true;
        at += 4 + ((flags & 1) ? 4 : 2);
        if (flags & 0x08)
          at += 2;
        else if (flags & 0x40)
          at += 4;
        else if (flags & 0x80)
          at += 8;
        if (!(flags & 0x20)) break;
      }
      if (!r.ok) return false;
    }
    if (!added) break;
    if (pass == kMaxComponentDepth) return false;
  }
  std::string glyf, loca;
  for (std::size_t g = 0; g <= glyph_count_; ++g) {
    if (long_loca_)
      put32(loca, static_cast<std::uint32_t>(glyf.size()));
    else
      put16(loca, static_cast<std::uint32_t>(glyf.size() / 2));
    if (g < glyph_count_ && keep[g])
      glyf.append(font_, glyf_->offset + glyph_offset(g), glyph_offset(g + 1) - glyph_offset(g));
  }
  // 'loca' may be longer than the glyphs need; what follows them is kept.
  loca.append(font_, loca_->offset + loca.size(),
              loca_->length - std::min<std::size_t>(loca_->length, loca.size()));
  std::size_t count = tables_.size();
  out.assign(font_.substr(0, 12));
  out.resize(12 + 16 * count, '\0');
  std::size_t head_at = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const Table& t = tables_[k];
    std::string_view data = &t == glyf_   ? std::string_view(glyf)
                            : &t == loca_ ? std::string_view(loca)
                                          : font_.substr(t.offset, t.length);
    std::size_t at = out.size();
    out.append(data);
    if (&t == head_) {
      head_at = at;
      set32(out, at + 8, 0);  // checkSumAdjustment, set below
    }
    std::size_t dir = 12 + 16 * k;
    set32(out, dir, t.tag);
    set32(out, dir + 4, checksum(std::string_view(out).substr(at, data.size())));
    set32(out, dir + 8, static_cast<std::uint32_t>(at));
    set32(out, dir + 12, static_cast<std::uint32_t>(data.size()));
    out.resize((out.size() + 3) & ~std::size_t{3}, '\0');
  }
  set32(out, head_at + 8, 0xB1B0AFBAu - checksum(out));
  return true;
}

}  // namespace pagerift::splitter::fonts
