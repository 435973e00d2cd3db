#include "splitter/fonts/programs.h"

#include "splitter/fonts/cff.h"
#include "splitter/fonts/encodings.h"
#include "splitter/fonts/truetype.h"
#include "splitter/fonts/type1.h"

#include <algorithm>
#include <new>
#include <set>

namespace pagerift::splitter::fonts {
namespace {

// The names a simple font's encoding may give each code. The program's own encoding stands in
// where the font's says nothing (`own`, names by code; null for a TrueType font), with
// StandardEncoding beside it: readers differ on which they take. False for an encoding this
// does not read.
bool encoding_names(QPDFObjectHandle font, const std::vector<std::string>* own, CodeNames& names) {
  names.assign(256, {});
  QPDFObjectHandle encoding = font.getKey("/Encoding");
  BaseEncoding base{};
  if (encoding.isName()) {
    if (!base_encoding_named(encoding.getName(), base)) return false;
    for (unsigned code = 0; code < 256; ++code) append_base_names(base, code, names[code]);
    return true;
  }
  std::vector<bool> differs(256, false);
  if (encoding.isDictionary()) {
    QPDFObjectHandle differences = encoding.getKey("/Differences");
    if (differences.isArray()) {
      long at = -1;
      for (auto& item : differences.aitems()) {
        if (item.isInteger()) {
          at = item.getIntValue();
        } else if (item.isName() && at >= 0 && at < 256) {
          auto code = static_cast<std::size_t>(at++);
          names[code] = {item.getName().substr(1)};
          differs[code] = true;
        } else if (item.isName()) {
          ++at;
        }
      }
    } else if (!differences.isNull()) {
      return false;
    }
    QPDFObjectHandle base_name = encoding.getKey("/BaseEncoding");
    if (base_name.isName()) {
      if (!base_encoding_named(base_name.getName(), base)) return false;
      for (unsigned code = 0; code < 256; ++code)
        if (!differs[code]) append_base_names(base, code, names[code]);
      return true;
    }
    if (!base_name.isNull()) return false;
  } else if (!encoding.isNull()) {
    return false;
  }
  for (unsigned code = 0; code < 256; ++code) {
    if (differs[code]) continue;
    if (own && code < own->size() && !(*own)[code].empty()) names[code].push_back((*own)[code]);
    append_base_names(BaseEncoding::kStandard, code, names[code]);
  }
  return true;
}

// The same, read once for each font dictionary of the run.
const CodeNames* encoding_of(const ProgramUse& use, QPDFObjectHandle font,
                             const std::vector<std::string>* own) {
  auto it = use.encodings->find(font.getObjGen());
  if (it == use.encodings->end()) {
    CodeNames names;
    if (!encoding_names(font, own, names)) names.clear();
    it = use.encodings->emplace(font.getObjGen(), std::move(names)).first;
  }
  return it->second.empty() ? nullptr : &it->second;
}

std::size_t length_of(QPDFObjectHandle dict, const char* key) {
  QPDFObjectHandle value = dict.getKey(key);
  return value.isInteger() && value.getIntValue() >= 0
             ? static_cast<std::size_t>(value.getIntValue())
             : static_cast<std::size_t>(-1);
}

const std::vector<bool>* shown(const ProgramUse& use, QPDFObjectHandle font) {
  auto it = use.shown->find(font.getObjGen());
  return it == use.shown->end() ? nullptr : &it->second.codes;
}

bool is_type0(QPDFObjectHandle font) { return font.getKey("/Subtype").isNameAndEquals("/Type0"); }

// The names every simple font on the program may draw with the codes it shows.
bool names_drawn(const ProgramUse& use, const std::vector<std::string>* own,
                 std::set<std::string>& names) {
  for (auto& font : use.fonts) {
    if (is_type0(font)) return false;
    const std::vector<bool>* codes = shown(use, font);
    if (!codes) continue;
    const CodeNames* by_code = encoding_of(use, font, own);
    if (!by_code) return false;
    for (unsigned c = 0; c < 256; ++c)
      if ((*codes)[c]) names.insert((*by_code)[c].begin(), (*by_code)[c].end());
  }
  return true;
}

// Adds the CIDs a Type 0 font shows, and 0, to `cids`; false when its descendant is not of
// `subtype`. `in_order` puts them in order, each once, when all fonts are added.
bool cids_drawn(const ProgramUse& use, QPDFObjectHandle font, const char* subtype,
                std::vector<std::uint16_t>& cids) {
  if (!described(font).getKey("/Subtype").isNameAndEquals(subtype)) return false;
  auto it = use.shown->find(font.getObjGen());
  cids.push_back(0);
  if (it != use.shown->end())
    cids.insert(cids.end(), it->second.listed.begin(), it->second.listed.end());
  return true;
}

void in_order(std::vector<std::uint16_t>& cids) {
  std::sort(cids.begin(), cids.end());
  cids.erase(std::unique(cids.begin(), cids.end()), cids.end());
}

}  // namespace

QPDFObjectHandle described(QPDFObjectHandle font) {
  if (!is_type0(font)) return font;
  QPDFObjectHandle kids = font.getKey("/DescendantFonts");
  return kids.isArray() && kids.getArrayNItems() == 1 ? kids.getArrayItem(0)
                                                      : QPDFObjectHandle::newNull();
}

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

ParsedProgram::ParsedProgram() = default;
ParsedProgram::~ParsedProgram() = default;

namespace {

// The program read as `Font`, once: false when it cannot be.
template <typename Font, typename... Lengths>
const Font* parsed(ParsedProgram& p, std::unique_ptr<Font>& slot, Lengths... lengths) {
  if (!slot && !p.unreadable) {
    auto font = std::make_unique<Font>();
    if (font->parse(p.data, lengths...))
      slot = std::move(font);
    else
      p.unreadable = true;
  }
  return slot.get();
}

}  // namespace

bool subset_type1(const ProgramUse& use, ProgramSubset& out) {
  QPDFObjectHandle stream = use.stream;
  QPDFObjectHandle dict = stream.getDict();
  const Type1Font* font = parsed(*use.program, use.program->type1, length_of(dict, "/Length1"),
                                 length_of(dict, "/Length2"));
  if (!font) return false;
  const Type1Font& program = *font;
  std::set<std::string> names;
  if (!names_drawn(use, program.standard_encoding() ? nullptr : &program.encoding(), names))
    return false;
  std::size_t l1 = 0, l2 = 0, l3 = 0;
  if (!program.subset(names, out.data, l1, l2, l3, out.names)) return false;
  out.lengths = {{"/Length1", static_cast<long long>(l1)},
                 {"/Length2", static_cast<long long>(l2)},
                 {"/Length3", static_cast<long long>(l3)}};
  for (auto& name : out.names) out.glyphs += "/" + name;
  out.saved = use.program->data.size() - std::min(use.program->data.size(), out.data.size());
  out.head = l1;
  out.tail = l3;
  out.middle_stored = true;
  return true;
}

bool subset_truetype(const ProgramUse& use, ProgramSubset& out) {
  const TrueTypeFont* font = parsed(*use.program, use.program->truetype);
  if (!font) return false;
  const TrueTypeFont& program = *font;
  std::vector<bool> keep(program.glyph_count(), false);
  auto add = [&](std::uint32_t gid) {
    if (gid < keep.size()) keep[gid] = true;
  };
  std::vector<std::uint32_t> found;
  using Cmaps = TrueTypeFont::Cmaps;
  for (auto& font : use.fonts) {
    if (is_type0(font)) {
      QPDFObjectHandle map = described(font).getKey("/CIDToGIDMap");
      std::string table;
      if (map.isStream() ? !decoded(map, table)
                         : !map.isNull() && !map.isNameAndEquals("/Identity"))
        return false;
      std::size_t from = out.cids.size();
      if (!cids_drawn(use, font, "/CIDFontType2", out.cids)) return false;
      for (std::size_t k = from; k < out.cids.size(); ++k) {
        std::uint32_t cid = out.cids[k];
        if (!map.isStream())
          add(cid);
        else if (2 * cid + 1 < table.size())
          add(static_cast<unsigned char>(table[2 * cid]) << 8 |
              static_cast<unsigned char>(table[2 * cid + 1]));
      }
      continue;
    }
    const std::vector<bool>* codes = shown(use, font);
    if (!codes) continue;
    const CodeNames* by_code = encoding_of(use, font, nullptr);
    if (!by_code) return false;
    // Every glyph a reader may take for the code: through the code itself (and the symbol
    // cmap's F0xx), through the encoding's glyph names to Unicode or Mac Roman codes, and
    // through the names of the 'post' table.
    for (std::uint32_t c = 0; c < 256; ++c) {
      if (!(*codes)[c]) continue;
      found.clear();
      program.lookup(Cmaps::kAll, c, found);
      for (std::uint32_t high : {0xF000u, 0xF100u, 0xF200u})
        program.lookup(Cmaps::kSymbol, high | c, found);
      if (!program.has_cmap()) found.push_back(c);
      for (auto& name : (*by_code)[c]) {
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
  if (!program.subset(keep, out.data)) return false;
  in_order(out.cids);
  out.lengths = {{"/Length1", static_cast<long long>(out.data.size())}};
  for (std::size_t g = 0; g < keep.size(); ++g)
    if (keep[g]) out.glyphs += std::to_string(g) + " ";
  out.saved = use.program->data.size() - std::min(use.program->data.size(), out.data.size());
  return true;
}

bool subset_cff(const ProgramUse& use, ProgramSubset& out) {
  const CffFont* font = parsed(*use.program, use.program->cff);
  if (!font) return false;
  const CffFont& program = *font;
  std::vector<bool> keep(program.glyph_count(), false);
  if (program.cid_keyed() || is_type0(use.fonts.front())) {
    for (auto& font : use.fonts) {
      std::size_t from = out.cids.size();
      if (!is_type0(font) || !cids_drawn(use, font, "/CIDFontType0", out.cids)) return false;
      for (std::size_t k = from; k < out.cids.size(); ++k) {
        std::uint32_t cid = out.cids[k];
        // A CFF font that is not CID-keyed is drawn by glyph id.
        long g = program.cid_keyed() ? program.glyph_of_cid(cid) : static_cast<long>(cid);
        if (g >= 0 && static_cast<std::size_t>(g) < keep.size())
          keep[static_cast<std::size_t>(g)] = true;
      }
    }
  } else {
    std::set<std::string> names;
    if (!names_drawn(use, &program.encoding(), names)) return false;
    for (auto& name : names)
      if (long g = program.glyph_named(name); g >= 0) keep[static_cast<std::size_t>(g)] = true;
  }
  if (!program.subset(keep, out.data, out.saved)) return false;
  in_order(out.cids);
  out.head = program.charstrings_start();
  out.tail = out.data.size() - program.charstrings_end();
  for (std::size_t g = 0; g < keep.size(); ++g) {
    if (!keep[g]) continue;
    out.glyphs += std::to_string(g) + " ";
    if (!program.cid_keyed()) out.names.push_back(program.glyph_name(g));
  }
  return true;
}

}  // namespace pagerift::splitter::fonts
