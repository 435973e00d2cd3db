// Signatures do not carry over: a signature value signs bytes of the source, never of a page file.
#pragma once

#include "splitter/write/page_serializer.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <set>

namespace pagerift::splitter {

// Whether the document carries a signature value, or a claim that rests on one (/Perms, /DSS).
// `forms` is the document's form, analysed once for both.
bool is_signed(QPDF& pdf, QPDFAcroFormDocumentHelper& forms);

// For each widget of `page` whose field holds a signature value: the widget and its field, as
// the page file has them, in `substitutes`, without the value and without being a signature
// field (the widget keeps its appearance, so the page looks the same). Top-level fields that the
// page's form must leave out go into `dropped`. Empty signature fields stay as they are. Whether
// any signature was taken off.
bool unsign_page(QPDFObjectHandle page, Substitutes& substitutes, std::set<QPDFObjGen>& dropped);

}  // namespace pagerift::splitter
