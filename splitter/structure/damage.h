// How the structure tree and the outlines report damage: once, whatever the damage and however
// often it is met, and never by failing the run.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <string>
#include <utility>

namespace pagerift::splitter {

class Damage {
 public:
  Damage(QPDF& pdf, std::string what) : pdf_(pdf), what_(std::move(what)) {}
  // Warns on the first call only: the first fault found names the damage.
  void note(const std::string& fault) {
    if (noted_) return;
    noted_ = true;
    pdf_.warn(QPDFExc(qpdf_e_damaged_pdf, pdf_.getFilename(), "", 0,
                      what_ + " is damaged (" + fault + "); the page files keep its sound part"));
  }

 private:
  QPDF& pdf_;
  std::string what_;
  bool noted_ = false;
};

// An object page files can refer to: a direct one (where the source should have an indirect
// one) is made indirect in the parsed source, in memory only.
inline QPDFObjectHandle indirect(QPDF& pdf, QPDFObjectHandle obj) {
  return obj.isIndirect() ? obj : pdf.makeIndirectObject(obj.shallowCopy());
}

}  // namespace pagerift::splitter
