// Writes single pages of an open document as complete PDF files.
#pragma once

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include "splitter/page_serializer.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace pagerift::splitter {

// Decides what each page file holds: the page, its label, its form fields with the form's
// defaults, and the document information. PageSerializer then writes it straight from the source.
class PageWriter {
 public:
  // `pdf` must stay open while this writer lives. Prepares it once: inherited page attributes
  // are pushed onto the pages, and resources that pages share are pruned per page. Each page
  // file's /ID is derived from `id_seed`, the page number and the file's bytes.
  PageWriter(QPDF& pdf, std::string id_seed);

  std::size_t page_count() const { return pages_.size(); }

  // Writes page `index` (from 0) as a whole PDF file into `out`. Throws when the source's data
  // cannot be read; `out` may throw when it cannot take the bytes.
  void write(std::size_t index, Pipeline& out);

 private:
  QPDFObjectHandle form_for(QPDFObjectHandle page);
  QPDFObjectHandle labels_for(std::size_t index);

  QPDF& pdf_;
  std::vector<QPDFObjectHandle> pages_;
  std::set<QPDFObjGen> outside_;  // every page and page-tree node
  QPDFPageLabelDocumentHelper labels_;
  QPDFAcroFormDocumentHelper forms_;
  QPDFObjectHandle acroform_, extensions_, info_;
  std::string version_, id_seed_;
  PageSerializer serializer_;
};

}  // namespace pagerift::splitter
