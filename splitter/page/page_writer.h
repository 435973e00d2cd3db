// Writes single pages of an open document as complete PDF files.
#pragma once

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include "splitter/fonts/font_subsets.h"
#include "splitter/page/links.h"
#include "splitter/structure/structure.h"
#include "splitter/write/encryption.h"
#include "splitter/write/page_serializer.h"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace pagerift::splitter {

// Decides what each page file holds: the page with its links mended, its label, its form fields
// with the form's defaults, the catalog entries that speak for every page (language, XMP
// metadata, output intents, viewer preferences, optional content), the page's part of the
// structure tree and of the outlines, and the document information.
// PageSerializer then writes it straight from the source. A page file claims no more than it is:
// signature values stay behind, a source that claims PDF/A-1 gives page files in that form (PDF
// 1.4, no object streams), and an encrypted source's page files are encrypted as it is.
class PageWriter {
 public:
  // `pdf` must stay open while this writer lives. Prepares it once: inherited page attributes
  // are pushed onto the pages, and resources that pages share are pruned per page. Each page
  // file's /ID is derived from `id_seed`, the page number and the file's bytes.
  PageWriter(QPDF& pdf, std::string id_seed);
  PageWriter(const PageWriter&) = delete;
  PageWriter& operator=(const PageWriter&) = delete;

  std::size_t page_count() const { return pages_.size(); }

  // The set's file names, one per page: links to other pages name them. Without them such links
  // stay as they are.
  void set_file_names(std::vector<std::string> names) { links_.set_file_names(std::move(names)); }
  // Whether a page file written so far names another: then they must keep their names.
  bool names_files() const { return links_.names_files(); }

  // Writes page `index` (from 0) as a whole PDF file into `out`. Throws when the source's data
  // cannot be read; `out` may throw when it cannot take the bytes.
  void write(std::size_t index, Pipeline& out);

 private:
  QPDFObjectHandle form_for(QPDFObjectHandle page, const std::set<QPDFObjGen>& dropped);
  void warn(const std::string& message);
  QPDFObjectHandle labels_for(std::size_t index);

  QPDF& pdf_;
  std::vector<QPDFObjectHandle> pages_;
  std::set<QPDFObjGen> outside_;  // every page and page-tree node, the structure and outlines
  QPDFPageLabelDocumentHelper labels_;
  QPDFAcroFormDocumentHelper forms_;
  QPDFObjectHandle acroform_, info_;
  std::vector<std::pair<std::string, QPDFObjectHandle>> shared_entries_;  // of the catalog
  std::string version_, id_seed_;
  std::optional<Encryption> encryption_;
  FileForm form_;        // points into encryption_
  bool signed_ = false;  // warned that page files are not signed
  LinkMender links_;
  std::optional<DocumentStructure> structure_;  // reads pages_ and links_
  fonts::FontSubsets fonts_;
  Substitutes substitutes_;
  PageSerializer serializer_;
};

}  // namespace pagerift::splitter
