#include "splitter/fonts/font_subsets.h"

#include "splitter/fonts/cff.h"
#include "splitter/fonts/programs.h"
#include "splitter/fonts/truetype.h"
#include "splitter/fonts/type1.h"
#include "splitter/write/digest.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
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

// A subset is worked out and written again on every page that carries its program, whatever it
// leaves out. Below this size in the source (the stream as stored), what the page files gain
// does not pay for that CPU (docs/BENCHMARKS.md has the figures): a document subset by its
// producer for the whole of it (pdfTeX's Type 1 fonts: nine in ten under 26 kB) stays as it is;
// whole fonts, large CID fonts and math fonts are cut down.
constexpr long long kWorthSubsetting = 32 << 10;

bool worth_subsetting(QPDFObjectHandle program) {
  QPDFObjectHandle length = program.getDict().getKey("/Length");
  return !length.isInteger() || length.getIntValue() >= kWorthSubsetting;
}

}  // namespace

// Through the page's resources and those of everything they hold (forms, patterns, soft masks,
// Type 3 fonts) and of its annotations' appearances, without reading any content: a page whose
// programs are all too small is not read for its text at all.
bool FontSubsets::worth_reading(QPDFObjectHandle page) {
  std::vector<QPDFObjectHandle> todo{entry(page, "/Resources")};
  std::set<QPDFObjGen> seen, small;
  auto add = [&](QPDFObjectHandle holder) {
    if (holder.isStream()) {
      if (holder.isIndirect() && !seen.insert(holder.getObjGen()).second) return;
      holder = holder.getDict();
    }
    QPDFObjectHandle resources = entry(holder, "/Resources");
    if (resources.isDictionary()) todo.push_back(resources);
  };
  for (auto& stream : appearances(page)) add(stream);
  // Past so many dictionaries, the page is read as any other.
  for (std::size_t steps = 0; !todo.empty(); ++steps) {
    if (steps > 4096) return true;
    QPDFObjectHandle resources = todo.back();
    todo.pop_back();
    if (resources.isIndirect() && !seen.insert(resources.getObjGen()).second) continue;
    QPDFObjectHandle fonts = entry(resources, "/Font");
    if (fonts.isDictionary())
      for (auto& [name, font] : fonts.ditems()) {
        if (entry(font, "/Subtype").isNameAndEquals("/Type3")) add(font);
        QPDFObjectHandle descriptor = entry(described(font), "/FontDescriptor");
        for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"}) {
          QPDFObjectHandle program = entry(descriptor, key);
          if (!program.isStream()) continue;
          if (worth_subsetting(program)) return true;
          small.insert(program.getObjGen());
        }
      }
    for (const char* type : {"/XObject", "/Pattern"}) {
      QPDFObjectHandle dict = entry(resources, type);
      if (dict.isDictionary())
        for (auto& [name, value] : dict.ditems()) add(value);
    }
    QPDFObjectHandle states = entry(resources, "/ExtGState");
    if (states.isDictionary())
      for (auto& [name, state] : states.ditems()) add(entry(entry(state, "/SMask"), "/G"));
  }
  counts_["whole: too small to pay"] += small.size();
  return false;
}

FontSubsets::~FontSubsets() {
  const char* path = std::getenv("PAGERIFT_FONT_COUNTS");
  if (!path || !*path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    for (auto& [what, count] : counts_) std::fprintf(f, "%s\t%zu\n", what.c_str(), count);
    std::fclose(f);
  }
}

// What the decoded programs, the last subset of each and the compressed shared parts of each
// may hold: the fonts of a typical document fit many times over, and the peak memory of a large
// one grows by no more.
constexpr std::size_t kParsedBudget = 3u << 19, kPackedBudget = 256u << 10,
                      kEndsBudget = 128u << 10;

FontSubsets::FontSubsets(QPDF& pdf) : pdf_(pdf) {}

ParsedProgram* FontSubsets::program_data(QPDFObjectHandle stream, bool type1) {
  QPDFObjGen og = stream.getObjGen();
  if (auto it = parsed_.find(og); it != parsed_.end()) {
    it->second.used = ++clock_;
    return it->second.program.get();
  }
  auto program = std::make_unique<ParsedProgram>();
  if (!decoded(stream, program->data)) return nullptr;
  // A Type 1 program is kept decrypted too: twice its size.
  std::size_t cost = (type1 ? 2 : 1) * program->data.size();
  if (cost > kParsedBudget) {
    scratch_ = std::move(program);
    return scratch_.get();
  }
  // The programs of the pages just written are the likeliest on the next.
  while (cost > kParsedBudget - parsed_bytes_) {
    auto oldest = std::min_element(parsed_.begin(), parsed_.end(),
                                   [](auto& a, auto& b) { return a.second.used < b.second.used; });
    parsed_bytes_ -= oldest->second.cost;
    parsed_.erase(oldest);
  }
  parsed_bytes_ += cost;
  Kept& kept = parsed_[og];
  kept = {std::move(program), cost, ++clock_};
  return kept.program.get();
}

void FontSubsets::pack(QPDFObjGen program, const ProgramSubset& cut, std::string& out) {
  std::string_view data = cut.data;
  if (cut.head == 0 && cut.tail == 0) return deflater_.run(cut.data, out);
  if (cut.head > data.size() || cut.tail > data.size() - cut.head)
    throw std::logic_error("a subset's parts overlap");
  auto it = ends_.find(program);
  const Ends* ends = it == ends_.end() ? nullptr : &it->second;
  if (ends && (ends->head.size != cut.head || ends->tail.size != cut.tail)) ends = nullptr;
  if (!ends) {
    Ends& made = ends_scratch_;
    piece_deflater_.piece(data.substr(0, cut.head), false, made.head);
    piece_deflater_.piece(data.substr(data.size() - cut.tail), true, made.tail);
    std::size_t cost = made.head.data.size() + made.tail.data.size();
    if (it == ends_.end() && cost <= kEndsBudget - ends_bytes_) {
      ends_bytes_ += cost;
      ends = &(ends_[program] = std::move(made));
    } else {
      ends = &made;
    }
  }
  std::string_view middle = data.substr(cut.head, data.size() - cut.head - cut.tail);
  if (cut.middle_stored)
    stored_piece(middle, middle_);
  else
    middle_deflater_.piece(middle, false, middle_);
  join_stream({&ends->head, &middle_, &ends->tail}, out);
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
  if (!worth_reading(page)) return;
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
    if (p.held.empty() && !worth_subsetting(p.stream)) p.held = "too small to pay";
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
  ProgramUse use{p.stream, program_data(p.stream, p.kind == Program::kType1), p.fonts,
                 &use_.shown(), &encodings_};
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
    pack(p.stream.getObjGen(), cut, packed_);
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
      // One bit a CID, up to the last one kept (the CIDs are in order).
      std::string bits(cut.cids.back() / 8 + 1, '\0');
      for (std::uint16_t cid : cut.cids)
        bits[cid / 8] = static_cast<char>(bits[cid / 8] | (0x80 >> (cid % 8)));
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
