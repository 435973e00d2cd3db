// Our pruning of shared resources against qpdf's own: the same keys left on every page and form,
// and the same number of warnings, on awkward content made here and on every file of qpdf's corpus.
#include "splitter/page/resources.h"

#include <gtest/gtest.h>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <filesystem>
#include <functional>
#include <optional>

namespace fs = std::filesystem;
using pagerift::splitter::remove_unreferenced_resources;
using pagerift::splitter::ResourceNames;
using pagerift::splitter::scan_resource_names;

namespace {

// What pruning left: for each page and each form it draws, the font and XObject names kept.
std::vector<std::string> outcome(QPDF& pdf) {
  std::vector<std::string> kept;
  auto keys = [&](QPDFObjectHandle resources) {
    std::string line;
    for (const char* type : {"/Font", "/XObject"})
      if (resources.isDictionary() && resources.getKey(type).isDictionary())
        for (auto& key : resources.getKey(type).getKeys()) line += std::string(type) + key + " ";
    kept.push_back(line);
  };
  for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
    keys(page.getAttribute("/Resources", false));
    page.forEachFormXObject(true,
                            [&](QPDFObjectHandle& form, QPDFObjectHandle&, std::string const&) {
                              keys(form.getDict().getKey("/Resources"));
                            });
  }
  kept.push_back("warnings " + std::to_string(pdf.numWarnings()));
  return kept;
}

// Prunes two copies of one document, one our way and one qpdf's, and says what each left.
void expect_same_as_qpdf(const std::function<void(QPDF&)>& open, const std::string& what) {
  QPDF ours, theirs;
  for (QPDF* pdf : {&ours, &theirs}) {
    pdf->setSuppressWarnings(true);
    open(*pdf);
  }
  std::optional<std::string> our_error, their_error;
  try {
    remove_unreferenced_resources(ours);
  } catch (std::exception& e) {
    our_error = e.what();
  }
  try {
    QPDFPageDocumentHelper(theirs).removeUnreferencedResources();
  } catch (std::exception& e) {
    their_error = e.what();
  }
  ASSERT_EQ(our_error, their_error) << what;
  if (!our_error) {
    EXPECT_EQ(outcome(ours), outcome(theirs)) << what;
  }
}

// One page with fonts F1 to F3 and a form Fm1 that has images Im1 and Im2 of its own.
void page_with(QPDF& pdf, const std::string& page_content, const std::string& form_content) {
  pdf.emptyPDF();
  auto font = [&] {
    return pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
  };
  auto image = [&] {
    auto im = QPDFObjectHandle::newStream(&pdf, "x");
    im.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    return im;
  };
  auto form = QPDFObjectHandle::newStream(&pdf, form_content);
  form.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
  form.getDict().replaceKey(
      "/Resources",
      QPDFObjectHandle::newDictionary(
          {{"/XObject", QPDFObjectHandle::newDictionary({{"/Im1", image()}, {"/Im2", image()}})}}));
  auto resources = QPDFObjectHandle::newDictionary(
      {{"/Font",
        QPDFObjectHandle::newDictionary({{"/F1", font()}, {"/F2", font()}, {"/F3", font()}})},
       {"/XObject", QPDFObjectHandle::newDictionary({{"/Fm1", form}})}});
  auto page =
      pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>"));
  page.replaceKey("/Resources", resources);
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, page_content));
  pdf.addPage(page, false);
}

TEST(Resources, AwkwardContentIsPrunedAsQpdfDoesAndTheScannerDeclinesWhatItCannotBeSureOf) {
  struct Case {
    const char* content;
    bool scanned;  // read by the scanner rather than by qpdf's parser
  };
  const Case cases[] = {
      {"BT /F1 12 Tf (a) Tj ET /Fm1 Do", true},
      {"BT /F2 12 Tf [(x) -250 (y)] TJ ET", true},
      {"/F3 /F1 12 Tf", true},         // the last name counts
      {"[/F2 /F3] pop /F1 Tf", true},  // names in arrays do not
      {"/Span << /MCID 0 /F2 (x) >> BDC EMC /F1 12 Tf", true},
      {"/F1 12 Tf % /F2 Tf\n(escaped \\) and \\( and (nested) parentheses) Tj <41 42> Tj", true},
      {"/F9 12 Tf /Fm1 Do", true},  // an unknown font
      {"/F1 12 Tf true false null 1.2.3 Tj", true},
      // Inline images end where qpdf's tokenizer says: data may hold "EI" and names.
      {"BI /W 1 /H 1 /BPC 8 /CS /G ID x EI /F2 12 Tf", true},
      {"/F1 Tf BI /W 4 /H 1 /BPC 8 /CS /G ID /F3 EI\nEI /F2 12 Tf", true},
      {"/F1 Tf BI /W 1 /H 1 ID\n\x01 EI Q\nBI /W 1 /H 1 ID \xff EI /Fm1 Do", true},
      {"/F1 12 Tf BI /W 1 /H 1 ID x", false},  // no EI
      {"/F1 12 Tf BI /W 1 /H 1 ID", false},
      {"/F1 12 Tf [ID x EI] /F2 Tf", false},
      {"/F1 12 Tf % a comment to the very end", false},
      {"/F#31 12 Tf", false},
      {"/F1 12 Tf (unterminated", false},
      {"/F1 12 Tf ] /F2 Tf", false},
      {"/F1 12 Tf { /F2 Tf }", false},
      {"<< /A 1 /A 2 >> BDC /F1 Tf", false},
      {"<< /A >> BDC /F1 Tf", false},
      {"<< 1 /A >> BDC /F1 Tf", false},
      {"[/F1 12 Tf", false},
      {"<4G> Tj /F1 Tf", false},
      {"/F1 12 Tf > /F2 Tf", false},
      {"/F1 12 Tf ) /F2 Tf", false},
      {"/F1 12 Tf 99999999999999999999 0 Td /F2 Tf", false},  // no 64-bit integer
      {"/F1 12 Tf -000000000000000000001 0 Td 9999999999999999999.9 0 Td", true},
  };
  for (auto& c : cases) {
    ResourceNames names;
    EXPECT_EQ(scan_resource_names(c.content, names), c.scanned) << c.content;
    for (const char* form : {"/Im1 Do", "/Im2 Do (", "q Q"})
      expect_same_as_qpdf([&](QPDF& pdf) { page_with(pdf, c.content, form); },
                          std::string(c.content) + " | form: " + form);
  }
}

TEST(Resources, EveryFileOfTheCorpusIsPrunedAsQpdfDoes) {
  fs::path corpus = PAGERIFT_QPDF_CORPUS;
  if (corpus.empty() || !fs::is_directory(corpus))
    GTEST_SKIP() << "no corpus at '" << corpus << "'";
  int compared = 0;
  for (auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".pdf") continue;
    std::string file = entry.path().string();
    try {
      QPDF probe;
      probe.setSuppressWarnings(true);
      probe.processFile(file.c_str());
      probe.getAllPages();
    } catch (std::exception&) {
      continue;  // qpdf cannot open it: no pages to prune
    }
    expect_same_as_qpdf([&](QPDF& pdf) { pdf.processFile(file.c_str()); }, file);
    ++compared;
  }
  EXPECT_GT(compared, 400);
}

}  // namespace
