#include "splitter/fonts/font_subsets.h"

#include "splitter/fonts/encodings.h"
#include "splitter/fonts/truetype.h"
#include "splitter/fonts/type1.h"
#include "splitter/write/digest.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <stdexcept>

namespace pagerift::splitter::fonts {

struct FontSubsets::Program {
  enum Kind { kType1, kTrueType, kOther } kind = kOther;
  QPDFObjectHandle stream;
  std::vector<QPDFObjectHandle> fonts;  // the font dictionaries that use it, Type 0 ones at the top
  std::string held;                     // why it stays whole, if it does
};

namespace {

// The dictionary that holds the font descriptor: a Type 0 font's descendant, or the font.
QPDFObjectHandle described(QPDFObjectHandle font) {
  if (!font.getKey("/Subtype").isNameAndEquals("/Type0")) return font;
  QPDFObjectHandle kids = font.getKey("/DescendantFonts");
  return kids.isArray() && kids.getArrayNItems() == 1 ? kids.getArrayItem(0)
                                                      : QPDFObjectHandle::newNull();
}

bool has_tag(const std::string& name) {
  if (name.size() < 8 || name[7] != '+') return false;
  for (std::size_t k = 1; k < 7; ++k)
    if (name[k] < 'A' || name[k] > 'Z') return false;
  return true;
}

// The names a simple font's encoding may give `code`. The program's own encoding stands in
// where the font's says nothing (`own`; null for a TrueType font), with StandardEncoding
// beside it: readers differ on which they take. False for an encoding this does not read.
bool names_for(QPDFObjectHandle font, unsigned code, const Type1Font* own,
               std::vector<std::string>& names) {
  QPDFObjectHandle encoding = font.getKey("/Encoding");
  BaseEncoding base{};
  if (encoding.isName()) {
    if (!base_encoding_named(encoding.getName(), base)) return false;
    append_base_names(base, code, names);
    return true;
  }
  if (encoding.isDictionary()) {
    QPDFObjectHandle differences = encoding.getKey("/Differences");
    if (differences.isArray()) {
      long at = -1;
      std::string found;
      for (auto& item : differences.aitems()) {
        if (item.isInteger())
          at = item.getIntValue();
        else if (item.isName() && at >= 0)
          if (at++ == static_cast<long>(code)) found = item.getName().substr(1);
      }
      if (!found.empty()) {
        names.push_back(found);
        return true;
      }
    } else if (!differences.isNull()) {
      return false;
    }
    QPDFObjectHandle base_name = encoding.getKey("/BaseEncoding");
    if (base_name.isName()) {
      if (!base_encoding_named(base_name.getName(), base)) return false;
      append_base_names(base, code, names);
      return true;
    }
    if (!base_name.isNull()) return false;
  } else if (!encoding.isNull()) {
    return false;
  }
  if (own && !own->standard_encoding() && !own->encoding()[code].empty())
    names.push_back(own->encoding()[code]);
  append_base_names(BaseEncoding::kStandard, code, names);
  return true;
}

// Stream data decoded; false when it cannot be.
bool decoded(QPDFObjectHandle stream, std::string& out) {
  try {
    std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
    out.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    return true;
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception&) {
    return false;
  }
}

std::size_t length_of(QPDFObjectHandle dict, const char* key) {
  QPDFObjectHandle value = dict.getKey(key);
  return value.isInteger() && value.getIntValue() >= 0
             ? static_cast<std::size_t>(value.getIntValue())
             : static_cast<std::size_t>(-1);
}

// Six capital letters from the program's name and what the subset keeps, so that the same
// subset is named alike on every run.
std::string tag_for(const std::string& name, const std::string& kept) {
  std::string digest = Md5().add(name).add(kept).finish();
  std::string tag;
  for (std::size_t k = 0; k < 6; ++k) tag += static_cast<char>('A' + static_cast<unsigned char>(digest[k]) % 26);
  return tag + "+";
}

}  // namespace

FontSubsets::~FontSubsets() {
  const char* path = std::getenv("PAGERIFT_FONT_COUNTS");
  if (!path || !*path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    for (auto& [what, count] : counts_) std::fprintf(f, "%s\t%zu\n", what.c_str(), count);
    std::fclose(f);
  }
}

QPDFObjectHandle FontSubsets::new_stream(const std::string& data, QPDFObjectHandle dict) {
  if (pooled_ == pool_.size()) pool_.push_back(QPDFObjectHandle::newStream(&pdf_));
  QPDFObjectHandle stream = pool_[pooled_++];
  // What the page file carries is compressed here, at zlib's fastest setting: most of a Type 1
  // program is encrypted and hardly compresses at any setting.
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  packed_.resize(size);
  if (compress2(reinterpret_cast<Bytef*>(packed_.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                1) != Z_OK)
    throw std::runtime_error("compression failed");
  packed_.resize(size);
  stream.replaceDict(dict);
  stream.replaceStreamData(packed_, QPDFObjectHandle::newName("/FlateDecode"),
                           QPDFObjectHandle::newNull());
  return stream;
}

void FontSubsets::prepare(QPDFObjectHandle page, QPDFObjectHandle acroform,
                          Substitutes& substitutes) {
  pooled_ = 0;
  bool certain = false;
  try {
    certain = use_.collect(page, acroform);
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception&) {
  }
  std::map<QPDFObjGen, Program> programs;
  auto program_of = [&](QPDFObjectHandle font) -> Program* {
    QPDFObjectHandle descriptor = described(font).getKey("/FontDescriptor");
    if (!descriptor.isDictionary()) return nullptr;
    static const std::pair<const char*, Program::Kind> kFiles[] = {
        {"/FontFile", Program::kType1}, {"/FontFile2", Program::kTrueType},
        {"/FontFile3", Program::kOther}};
    for (auto [key, kind] : kFiles) {
      QPDFObjectHandle stream = descriptor.getKey(key);
      if (!stream.isStream()) continue;
      Program& p = programs[stream.getObjGen()];
      p.kind = kind;
      p.stream = stream;
      if (kind == Program::kOther) p.held = "CFF not yet subset";
      if (!descriptor.isIndirect() || !described(font).isIndirect()) p.held = "direct font dictionary";
      return &p;
    }
    return nullptr;
  };
  for (auto& [og, font] : use_.fonts())
    if (Program* p = program_of(font)) {
      p->fonts.push_back(font);
      if (auto held = use_.held().find(og); held != use_.held().end()) p->held = held->second;
      if (!certain) p->held = "drawing not followed";
    }
  for (auto& font : use_.held_direct())
    if (Program* p = program_of(font)) p->held = "direct font dictionary";
  for (auto& [og, p] : programs) {
    Substitutes mine;
    if (p.held.empty()) {
      try {
        if (!subset(p, mine)) p.held = "program not read";
      } catch (std::bad_alloc&) {
        throw;
      } catch (std::exception&) {
        p.held = "program not read";
      }
    }
    if (p.held.empty()) substitutes.insert(mine.begin(), mine.end());
    ++counts_[p.held.empty() ? "subset" : "whole: " + p.held];
  }
}

bool FontSubsets::subset(Program& p, Substitutes& substitutes) {
  if (!decoded(p.stream, data_)) return false;
  QPDFObjectHandle dict = p.stream.getDict().shallowCopy();
  for (const char* key : {"/Filter", "/DecodeParms", "/Length"}) dict.removeKey(key);
  std::string out, kept_list;
  std::vector<std::string> kept_names;
  std::vector<bool> keep_cids;
  auto shown = [&](QPDFObjectHandle font) -> const std::vector<bool>* {
    auto it = use_.shown().find(font.getObjGen());
    return it == use_.shown().end() ? nullptr : &it->second.codes;
  };
  if (p.kind == Program::kType1) {
    Type1Font program;
    if (!program.parse(data_, length_of(p.stream.getDict(), "/Length1"),
                       length_of(p.stream.getDict(), "/Length2")))
      return false;
    std::set<std::string> names;
    for (auto& font : p.fonts) {
      if (font.getKey("/Subtype").isNameAndEquals("/Type0")) return false;
      if (const std::vector<bool>* codes = shown(font))
        for (unsigned c = 0; c < 256; ++c) {
          std::vector<std::string> candidates;
          if ((*codes)[c] && !names_for(font, c, &program, candidates)) return false;
          if ((*codes)[c]) names.insert(candidates.begin(), candidates.end());
        }
    }
    std::size_t l1 = 0, l2 = 0, l3 = 0;
    if (!program.subset(names, out, l1, l2, l3, kept_names)) return false;
    dict.replaceKey("/Length1", QPDFObjectHandle::newInteger(static_cast<long long>(l1)));
    dict.replaceKey("/Length2", QPDFObjectHandle::newInteger(static_cast<long long>(l2)));
    dict.replaceKey("/Length3", QPDFObjectHandle::newInteger(static_cast<long long>(l3)));
    for (auto& name : kept_names) kept_list += "/" + name;
  } else {
    TrueTypeFont program;
    if (!program.parse(data_)) return false;
    std::vector<bool> keep(program.glyph_count(), false);
    auto add = [&](std::uint32_t gid) {
      if (gid < keep.size()) keep[gid] = true;
    };
    std::vector<std::uint32_t> found;
    for (auto& font : p.fonts) {
      const std::vector<bool>* codes = shown(font);
      if (font.getKey("/Subtype").isNameAndEquals("/Type0")) {
        QPDFObjectHandle cid_font = described(font);
        if (!cid_font.getKey("/Subtype").isNameAndEquals("/CIDFontType2")) return false;
        QPDFObjectHandle map = cid_font.getKey("/CIDToGIDMap");
        std::string table;
        if (map.isStream()) {
          if (!decoded(map, table)) return false;
        } else if (!map.isNull() && !map.isNameAndEquals("/Identity")) {
          return false;
        }
        if (!codes) continue;
        keep_cids.resize(65536, false);
        keep_cids[0] = true;
        for (std::uint32_t cid = 0; cid < 65536; ++cid) {
          if (!(*codes)[cid]) continue;
          keep_cids[cid] = true;
          if (!map.isStream())
            add(cid);
          else if (2 * cid + 1 < table.size())
            add(static_cast<unsigned char>(table[2 * cid]) << 8 | static_cast<unsigned char>(table[2 * cid + 1]));
        }
        continue;
      }
      if (!codes) continue;
      for (std::uint32_t c = 0; c < 256; ++c) {
        if (!(*codes)[c]) continue;
        found.clear();
        using Cmaps = TrueTypeFont::Cmaps;
        program.lookup(Cmaps::kAll, c, found);
        for (std::uint32_t high : {0xF000u, 0xF100u, 0xF200u}) program.lookup(Cmaps::kSymbol, high | c, found);
        if (!program.has_cmap()) found.push_back(c);
        std::vector<std::string> names;
        if (!names_for(font, c, nullptr, names)) return false;
        for (auto& name : names) {
          std::uint32_t u = glyph_unicode(name);
          long named = program.glyph_named(name);
          if (!u && named < 0 && name != ".notdef") return false;  // readers may know it
          if (u) program.lookup(Cmaps::kUnicode, u, found);
          if (named >= 0) found.push_back(static_cast<std::uint32_t>(named));
          if (int mac = base_code(BaseEncoding::kMacRoman, name); mac >= 0)
            program.lookup(Cmaps::kMacRoman, static_cast<std::uint32_t>(mac), found);
        }
        for (std::uint32_t g : found) add(g);
      }
    }
    if (!program.subset(keep, out)) return false;
    dict.replaceKey("/Length1", QPDFObjectHandle::newInteger(static_cast<long long>(out.size())));
    for (std::size_t g = 0; g < keep.size(); ++g)
      if (keep[g]) kept_list += std::to_string(g) + " ";
  }
  if (out.size() >= data_.size()) {
    p.held = "every glyph drawn";
    return true;
  }
  substitutes[p.stream.getObjGen()] = new_stream(out, dict);
  // The descriptors, and the names, that say what the program now holds.
  std::set<QPDFObjGen> done;
  for (auto& font : p.fonts) {
    QPDFObjectHandle inner = described(font);
    QPDFObjectHandle descriptor = inner.getKey("/FontDescriptor");
    if (!done.insert(descriptor.getObjGen()).second) continue;
    QPDFObjectHandle copy = descriptor.shallowCopy();
    std::string name = copy.getKey("/FontName").isName() ? copy.getKey("/FontName").getName() : "";
    std::string tag = has_tag(name) || name.empty() ? "" : tag_for(name, kept_list);
    if (!tag.empty()) copy.replaceKey("/FontName", QPDFObjectHandle::newName("/" + tag + name.substr(1)));
    if (copy.hasKey("/CharSet") && p.kind == Program::kType1) {
      std::string charset;
      for (auto& glyph : kept_names)
        if (glyph != ".notdef") charset += "/" + glyph;
      copy.replaceKey("/CharSet", QPDFObjectHandle::newString(charset));
    }
    if (QPDFObjectHandle cid_set = copy.getKey("/CIDSet"); cid_set.isStream() && !keep_cids.empty()) {
      std::string bits;
      for (std::size_t cid = 0; cid < keep_cids.size(); ++cid) {
        if (cid % 8 == 0) bits += '\0';
        if (keep_cids[cid]) bits.back() = static_cast<char>(bits.back() | (0x80 >> (cid % 8)));
      }
      while (bits.size() > 1 && bits.back() == '\0') bits.pop_back();
      substitutes[cid_set.getObjGen()] = new_stream(bits, QPDFObjectHandle::newDictionary());
    }
    substitutes[descriptor.getObjGen()] = copy;
    if (tag.empty()) continue;
    // Every font dictionary on the program takes the tag into its /BaseFont.
    for (auto& other : p.fonts) {
      for (QPDFObjectHandle dict : {other, described(other)}) {
        if (!dict.isIndirect() || substitutes.count(dict.getObjGen())) continue;
        QPDFObjectHandle base = dict.getKey("/BaseFont");
        if (!base.isName() || has_tag(base.getName())) continue;
        QPDFObjectHandle renamed = dict.shallowCopy();
        renamed.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + tag + base.getName().substr(1)));
        substitutes[dict.getObjGen()] = renamed;
      }
    }
  }
  return true;
}

}  // namespace pagerift::splitter::fonts
