// What a page draws with each of its fonts: the codes shown, through everything the page draws.
#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace pagerift::splitter::fonts {

// The codes shown in one font dictionary: one byte each for a simple font, two for a Type 0 font
// with an Identity CMap.
struct FontCodes {
  QPDFObjectHandle font;
  std::vector<bool> codes;
  std::vector<std::uint16_t> listed;  // a Type 0 font's codes shown, each once
};

// `dict`'s entry for `key`; null when `dict` is no dictionary.
QPDFObjectHandle entry(QPDFObjectHandle dict, const char* key);

// The appearance streams of the page's annotations, in every state.
std::vector<QPDFObjectHandle> appearances(QPDFObjectHandle page);

class GlyphUse {
 public:
  // Walks what the page draws: its content, the form XObjects, tiling patterns and soft masks
  // it reaches, its annotations' appearances and its Type 3 fonts' glyph procedures. False when
  // any of it cannot be followed with certainty: then no font of the page may be subset.
  bool collect(QPDFObjectHandle page, QPDFObjectHandle acroform);

  // Every font dictionary met in the resources walked, and the reason to keep it whole where
  // there is one (a form may draw new text with it, its codes cannot be read with certainty).
  const std::map<QPDFObjGen, QPDFObjectHandle>& fonts() const { return fonts_; }
  const std::map<QPDFObjGen, std::string>& held() const { return held_; }
  // Font dictionaries that are no indirect objects: their programs stay whole.
  const std::vector<QPDFObjectHandle>& held_direct() const { return held_direct_; }
  // The codes shown, by font dictionary.
  const std::map<QPDFObjGen, FontCodes>& shown() const { return shown_; }

 private:
  bool draw(QPDFObjectHandle stream, QPDFObjectHandle resources, QPDFObjectHandle font, int depth);
  bool read(const std::string& content, QPDFObjectHandle resources, QPDFObjectHandle font,
            int depth);
  void meet(QPDFObjectHandle resources);
  void meet_font(QPDFObjectHandle font);
  bool show(QPDFObjectHandle font, const std::string& bytes, bool uncertain,
            QPDFObjectHandle resources, int depth);
  void hold(QPDFObjectHandle font, const std::string& why);
  void hold_form_fonts(QPDFObjectHandle page, QPDFObjectHandle acroform);

  std::map<QPDFObjGen, QPDFObjectHandle> fonts_;
  std::map<QPDFObjGen, std::string> held_;
  std::map<QPDFObjGen, FontCodes> shown_;
  std::vector<QPDFObjectHandle> held_direct_;
  std::set<std::string> form_names_;  // the font names of every /DA
  std::set<QPDFObjGen> resources_met_, type3_drawn_;
  std::set<std::pair<QPDFObjGen, QPDFObjGen>> drawn_;  // form, font at its start
  friend class TextOps;
};

}  // namespace pagerift::splitter::fonts
