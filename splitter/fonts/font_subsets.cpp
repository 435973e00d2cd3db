#include "splitter/fonts/font_subsets.h"

#include "splitter/fonts/cff.h"
#include "splitter/fonts/programs.h"
#include "splitter/fonts/truetype.h"
#include "splitter/fonts/type1.h"
#include "splitter/write/digest.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <stdexcept>

namespace pagerift::splitter::fonts {

struct FontSubsets::Program {
  enum Kind { kType1, kTrueType, kCff, kOther } kind = kOther;
  QPDFObjectHandle stream;
  std::vector<QPDFObjectHandle> fonts;  // the font dictionaries that use it, Type 0 ones at the top
  std::string held;                     // why it stays whole, if it does
};

namespace {

bool has_tag(const std::string& name) {
  if (name.size() < 8 || name[7] != '+') return false;
  for (std::size_t k = 1; k < 7; ++k)
    if (name[k] < 'A' || name[k] > 'Z') return false;
  return true;
}

// Six capital letters from the program's name and what the subset keeps, so that the same
// subset is named alike on every run.
std::string tag_for(const std::string& name, const std::string& kept) {
  std::string digest = Md5().add(name).add(kept).finish();
  std::string tag;
  for (std::size_t k = 0; k < 6; ++k)
    tag += static_cast<char>('A' + static_cast<unsigned char>(digest[k]) % 26);
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

// What the decoded programs, and the last subset of each, may hold: the fonts of a typical
// document fit many times over, and the peak memory of a large one grows by no more.
constexpr std::size_t kParsedBudget = 512u << 10, kPackedBudget = 256u << 10;

FontSubsets::FontSubsets(QPDF& pdf) : pdf_(pdf) {}

ParsedProgram* FontSubsets::program_data(QPDFObjectHandle stream) {
  if (auto it = parsed_.find(stream.getObjGen()); it != parsed_.end()) return it->second.get();
  scratch_.type1.reset();
  scratch_.truetype.reset();
  scratch_.cff.reset();
  scratch_.unreadable = false;
  if (!decoded(stream, scratch_.data)) return nullptr;
  // A Type 1 program is kept decrypted too: twice its size.
  std::size_t cost = 2 * scratch_.data.size();
  if (cost > kParsedBudget - parsed_bytes_) return &scratch_;
  parsed_bytes_ += cost;
  auto kept = std::make_unique<ParsedProgram>();
  kept->data = std::move(scratch_.data);
  return (parsed_[stream.getObjGen()] = std::move(kept)).get();
}

QPDFObjectHandle FontSubsets::packed_stream(const std::string& packed, QPDFObjectHandle dict) {
  if (pooled_ == pool_.size()) pool_.push_back(QPDFObjectHandle::newStream(&pdf_));
  QPDFObjectHandle stream = pool_[pooled_++];
  stream.replaceDict(dict);
  stream.replaceStreamData(packed, QPDFObjectHandle::newName("/FlateDecode"),
                           QPDFObjectHandle::newNull());
  return stream;
}

void FontSubsets::prepare(QPDFObjectHandle page, QPDFObjectHandle acroform,
                          Substitutes& substitutes) {
  pooled_ = 0;
  // The encodings read are kept for the fonts of the pages to come, but for no more than so many
  // fonts: each takes some 15 kB.
  if (encodings_.size() > 32) encodings_.clear();
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
        {"/FontFile", Program::kType1},
        {"/FontFile2", Program::kTrueType},
        {"/FontFile3", Program::kOther}};
    for (auto [key, kind] : kFiles) {
      QPDFObjectHandle stream = descriptor.getKey(key);
      if (!stream.isStream()) continue;
      Program& p = programs[stream.getObjGen()];
      p.kind = kind;
      p.stream = stream;
      if (kind == Program::kOther) {
        QPDFObjectHandle subtype = stream.getDict().getKey("/Subtype");
        if (subtype.isNameAndEquals("/Type1C") || subtype.isNameAndEquals("/CIDFontType0C"))
          p.kind = Program::kCff;
        else
          p.held = "OpenType not yet subset";
      }
      if (!descriptor.isIndirect() || !described(font).isIndirect())
        p.held = "direct font dictionary";
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
  ProgramUse use{p.stream, program_data(p.stream), p.fonts, &use_.shown(), &encodings_};
  if (!use.program) return false;
  ProgramSubset cut;
  bool ok = p.kind == Program::kType1 ? subset_type1(use, cut)
            : p.kind == Program::kCff ? subset_cff(use, cut)
                                      : subset_truetype(use, cut);
  if (!ok) return false;
  // A subset costs its compression on every page; it is written where it leaves out a good part.
  if (cut.saved == 0 || cut.saved < use.program->data.size() / 10) {
    p.held = cut.saved == 0 ? "every glyph drawn" : "little to gain";
    return true;
  }
  QPDFObjectHandle dict = p.stream.getDict().shallowCopy();
  for (const char* key : {"/Filter", "/DecodeParms", "/Length"}) dict.removeKey(key);
  for (auto& [key, value] : cut.lengths) dict.replaceKey(key, QPDFObjectHandle::newInteger(value));
  // A font that the pages draw alike (a running head's, say) is compressed once for all of them.
  Packed& last = packed_by_program_[p.stream.getObjGen()];
  if (last.glyphs != cut.glyphs) {
    deflater_.run(cut.data, packed_);
    packed_bytes_ -= last.data.size();
    last = {};
    if (packed_.size() <= kPackedBudget - packed_bytes_) {
      last = {cut.glyphs, packed_};
      packed_bytes_ += packed_.size();
    }
  }
  substitutes[p.stream.getObjGen()] =
      packed_stream(last.glyphs == cut.glyphs ? last.data : packed_, dict);
  // The descriptors, and the names, that say what the program now holds.
  std::set<QPDFObjGen> done;
  for (auto& font : p.fonts) {
    QPDFObjectHandle inner = described(font);
    QPDFObjectHandle descriptor = inner.getKey("/FontDescriptor");
    if (!done.insert(descriptor.getObjGen()).second) continue;
    QPDFObjectHandle copy = descriptor.shallowCopy();
    std::string name = copy.getKey("/FontName").isName() ? copy.getKey("/FontName").getName() : "";
    std::string tag = has_tag(name) || name.empty() ? "" : tag_for(name, cut.glyphs);
    if (!tag.empty())
      copy.replaceKey("/FontName", QPDFObjectHandle::newName("/" + tag + name.substr(1)));
    if (copy.hasKey("/CharSet") && !cut.names.empty()) {
      std::string charset;
      for (auto& glyph : cut.names)
        if (glyph != ".notdef") charset += "/" + glyph;
      copy.replaceKey("/CharSet", QPDFObjectHandle::newString(charset));
    }
    if (QPDFObjectHandle cid_set = copy.getKey("/CIDSet");
        cid_set.isStream() && !cut.cids.empty()) {
      std::string bits;
      for (std::size_t cid = 0; cid < cut.cids.size(); ++cid) {
        if (cid % 8 == 0) bits += '\0';
        if (cut.cids[cid]) bits.back() = static_cast<char>(bits.back() | (0x80 >> (cid % 8)));
      }
      while (bits.size() > 1 && bits.back() == '\0') bits.pop_back();
      deflater_.run(bits, packed_);
      substitutes[cid_set.getObjGen()] = packed_stream(packed_, QPDFObjectHandle::newDictionary());
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
        renamed.replaceKey("/BaseFont",
                           QPDFObjectHandle::newName("/" + tag + base.getName().substr(1)));
        substitutes[dict.getObjGen()] = renamed;
      }
    }
  }
  return true;
}

}  // namespace pagerift::splitter::fonts
