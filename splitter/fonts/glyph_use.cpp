#include "splitter/fonts/glyph_use.h"

#include "splitter/fonts/content_text.h"

#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>

#include <new>

namespace pagerift::splitter::fonts {
namespace {

// Forms within forms, patterns, glyph procedures: deeper than any real document nests them.
constexpr int kMaxDepth = 24;

// The font names a default appearance string (/DA) sets with Tf.
class DefaultAppearance : public ContentReader {
 public:
  explicit DefaultAppearance(std::set<std::string>& names) : names_(names) {}
  bool op(std::string_view name, const std::vector<Operand>& operands,
          const std::vector<ShownString>&) override {
    if (name == "Tf" && operands.size() >= 2 &&
        operands[operands.size() - 2].kind == Operand::kName)
      names_.emplace(operands[operands.size() - 2].text);
    return true;
  }

 private:
  std::set<std::string>& names_;
};

void note_default_appearance(QPDFObjectHandle da, std::set<std::string>& names) {
  if (!da.isString()) return;
  DefaultAppearance reader(names);
  read_content(da.getStringValue(), reader);
}

}  // namespace

// One content stream being read: the font in the graphics state, through q and Q.
class TextOps : public ContentReader {
 public:
  TextOps(GlyphUse& use, QPDFObjectHandle resources, QPDFObjectHandle font, int depth)
      : use_(use), resources_(resources), start_(font), font_(font), depth_(depth) {}

  bool op(std::string_view name, const std::vector<Operand>& args,
          const std::vector<ShownString>& strings) override {
    std::size_t n = args.size();
    auto last_is = [&](Operand::Kind kind) { return n > 0 && args[n - 1].kind == kind; };
    if (name == "q") {
      saved_.push_back(font_);
    } else if (name == "Q") {
      if (!saved_.empty()) {
        font_ = saved_.back();
        saved_.pop_back();
      }
    } else if (name == "Tf") {
      if (n < 2 || args[n - 2].kind != Operand::kName) return false;
      font_ = resource("/Font", args[n - 2].text);
      if (!font_.isDictionary()) return false;
    } else if (name == "Tj" || name == "'" || name == "\"") {
      if (!last_is(Operand::kString)) return false;
      const ShownString& s = strings[args[n - 1].first];
      return use_.show(font_, s.bytes, s.uncertain, resources_, depth_);
    } else if (name == "TJ") {
      if (!last_is(Operand::kArray)) return false;
      for (std::size_t k = args[n - 1].first; k < args[n - 1].last; ++k)
        if (!use_.show(font_, strings[k].bytes, strings[k].uncertain, resources_, depth_))
          return false;
    } else if (name == "Do") {
      if (!last_is(Operand::kName)) return false;
      QPDFObjectHandle xobject = resource("/XObject", args[n - 1].text);
      if (xobject.isStream() && entry(xobject.getDict(), "/Subtype").isNameAndEquals("/Form"))
        return use_.draw(xobject, resources_, font_, depth_ + 1);
    } else if (name == "gs") {
      if (!last_is(Operand::kName)) return false;
      QPDFObjectHandle state = resource("/ExtGState", args[n - 1].text);
      QPDFObjectHandle font = entry(state, "/Font");
      if (font.isArray()) {
        font_ = font.getArrayItem(0);
        if (!font_.isDictionary()) return false;
        use_.meet_font(font_);
      }
      QPDFObjectHandle group = entry(entry(state, "/SMask"), "/G");
      if (group.isStream()) return use_.draw(group, resources_, font_, depth_ + 1);
    } else if ((name == "scn" || name == "SCN") && last_is(Operand::kName)) {
      // A tiling pattern starts from the graphics state its parent stream started with.
      QPDFObjectHandle pattern = resource("/Pattern", args[n - 1].text);
      if (pattern.isStream() && entry(pattern.getDict(), "/PatternType").isInteger() &&
          entry(pattern.getDict(), "/PatternType").getIntValue() == 1)
        return use_.draw(pattern, resources_, start_, depth_ + 1);
    }
    return true;
  }

 private:
  QPDFObjectHandle resource(const char* type, std::string_view name) {
    QPDFObjectHandle dict = entry(resources_, type);
    return dict.isDictionary() ? dict.getKey(std::string(name)) : QPDFObjectHandle::newNull();
  }

  GlyphUse& use_;
  QPDFObjectHandle resources_, start_, font_;
  std::vector<QPDFObjectHandle> saved_;
  int depth_;
};

QPDFObjectHandle entry(QPDFObjectHandle dict, const char* key) {
  return dict.isDictionary() ? dict.getKey(key) : QPDFObjectHandle::newNull();
}

std::vector<QPDFObjectHandle> appearances(QPDFObjectHandle page) {
  std::vector<QPDFObjectHandle> streams;
  QPDFObjectHandle annots = page.getKey("/Annots");
  if (!annots.isArray()) return streams;
  for (auto& annot : annots.aitems()) {
    QPDFObjectHandle ap = entry(annot, "/AP");
    for (const char* state : {"/N", "/R", "/D"}) {
      QPDFObjectHandle look = entry(ap, state);
      if (look.isStream())
        streams.push_back(look);
      else if (look.isDictionary())
        for (auto& [key, value] : look.ditems())
          if (value.isStream()) streams.push_back(value);
    }
  }
  return streams;
}

void GlyphUse::hold(QPDFObjectHandle font, const std::string& why) {
  if (font.isIndirect())
    held_.emplace(font.getObjGen(), why);
  else
    held_direct_.push_back(font);
}

void GlyphUse::meet_font(QPDFObjectHandle font) {
  if (!font.isDictionary()) return;
  if (!font.isIndirect()) return hold(font, "direct font dictionary");
  fonts_.emplace(font.getObjGen(), font);
}

void GlyphUse::meet(QPDFObjectHandle resources) {
  if (!resources.isDictionary()) return;
  if (resources.isIndirect() && !resources_met_.insert(resources.getObjGen()).second) return;
  QPDFObjectHandle fonts = resources.getKey("/Font");
  if (!fonts.isDictionary()) return;
  for (auto& [name, font] : fonts.ditems()) {
    meet_font(font);
    if (font.isDictionary() && form_names_.count(name)) hold(font, "named by a form");
  }
}

bool GlyphUse::show(QPDFObjectHandle font, const std::string& bytes, bool uncertain,
                    QPDFObjectHandle resources, int depth) {
  if (!font.isDictionary()) return false;  // text before any font: readers differ
  meet_font(font);
  QPDFObjectHandle subtype = font.getKey("/Subtype");
  if (subtype.isNameAndEquals("/Type3")) {
    if (!font.isIndirect() || !type3_drawn_.insert(font.getObjGen()).second) return true;
    QPDFObjectHandle procs = font.getKey("/CharProcs");
    QPDFObjectHandle own = font.getKey("/Resources");
    if (!procs.isDictionary()) return true;
    // Every glyph procedure, not only those shown: they are few and small.
    for (auto& [name, proc] : procs.ditems())
      if (proc.isStream() &&
          !draw(proc, own.isDictionary() ? own : resources, QPDFObjectHandle::newNull(), depth + 1))
        return false;
    return true;
  }
  bool two_bytes = false;
  if (subtype.isNameAndEquals("/Type0")) {
    QPDFObjectHandle cmap = font.getKey("/Encoding");
    if (!cmap.isNameAndEquals("/Identity-H") && !cmap.isNameAndEquals("/Identity-V")) {
      hold(font, "CMap not read");
      return true;
    }
    if (uncertain || bytes.size() % 2) {
      hold(font, "string not certain");
      return true;
    }
    two_bytes = true;
  }
  if (!font.isIndirect()) return true;  // held when met
  FontCodes& shown = shown_[font.getObjGen()];
  if (shown.codes.empty()) {
    shown.font = font;
    shown.codes.resize(two_bytes ? 65536 : 256);
  }
  if (two_bytes != (shown.codes.size() == 65536)) return false;
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  if (two_bytes) {
    for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
      auto code = static_cast<std::uint16_t>(byte(k) << 8 | byte(k + 1));
      if (shown.codes[code]) continue;
      shown.codes[code] = true;
      shown.listed.push_back(code);
    }
  } else {
    for (std::size_t k = 0; k < bytes.size(); ++k) shown.codes[byte(k)] = true;
    // A raw line end is a line feed to some readers and itself to others.
    if (uncertain) shown.codes['\r'] = shown.codes['\n'] = true;
  }
  return true;
}

bool GlyphUse::draw(QPDFObjectHandle stream, QPDFObjectHandle resources, QPDFObjectHandle font,
                    int depth) {
  if (depth > kMaxDepth) return false;
  if (!drawn_.emplace(stream.getObjGen(), font.isIndirect() ? font.getObjGen() : QPDFObjGen())
           .second)
    return true;
  QPDFObjectHandle own = stream.getDict().getKey("/Resources");
  if (own.isDictionary()) resources = own;
  meet(resources);
  std::string content;
  try {
    std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
    content.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception&) {
    return false;
  }
  return read(content, resources, font, depth);
}

bool GlyphUse::read(const std::string& content, QPDFObjectHandle resources, QPDFObjectHandle font,
                    int depth) {
  TextOps ops(*this, resources, font, depth);
  return read_content(content, ops);
}

void GlyphUse::hold_form_fonts(QPDFObjectHandle page, QPDFObjectHandle acroform) {
  note_default_appearance(entry(acroform, "/DA"), form_names_);
  QPDFObjectHandle annots = page.getKey("/Annots");
  if (annots.isArray())
    for (auto& annot : annots.aitems()) {
      QPDFObjectHandle node = annot;
      for (int up = 0; up < 32 && node.isDictionary(); ++up, node = node.getKey("/Parent"))
        note_default_appearance(node.getKey("/DA"), form_names_);
    }
  QPDFObjectHandle fonts = entry(entry(acroform, "/DR"), "/Font");
  if (fonts.isDictionary())
    for (auto& [name, font] : fonts.ditems())
      if (font.isDictionary()) {
        meet_font(font);
        hold(font, "named by a form");
      }
}

bool GlyphUse::collect(QPDFObjectHandle page, QPDFObjectHandle acroform) {
  fonts_.clear();
  held_.clear();
  held_direct_.clear();
  shown_.clear();
  form_names_.clear();
  resources_met_.clear();
  type3_drawn_.clear();
  drawn_.clear();
  hold_form_fonts(page, acroform);
  QPDFObjectHandle resources = page.getKey("/Resources");
  meet(resources);
  bool certain = true;
  try {
    QPDF* pdf = page.getOwningQPDF();
    std::size_t warnings = pdf ? pdf->numWarnings() : 0;
    std::string content, ignored;
    Pl_String sink("content", nullptr, content);
    QPDFObjectHandle contents = page.getKey("/Contents");
    if (contents.isStream() || contents.isArray())
      contents.pipeContentStreams(&sink, "page content", ignored);
    if (pdf && pdf->numWarnings() > warnings) certain = false;
    certain = read(content, resources, QPDFObjectHandle::newNull(), 0) && certain;
  } catch (std::bad_alloc&) {
    throw;
  } catch (std::exception&) {
    certain = false;
  }
  for (auto& stream : appearances(page))
    if (!draw(stream, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull(), 1)) certain = false;
  return certain;
}

}  // namespace pagerift::splitter::fonts
