// A page file is its page, whole: its links to pages of the source still lead there, and it keeps
// what the document says of every page (language, XMP, output intents, viewer preferences,
// optional content). Checked on the structure of the real binary's page files; how they render is
// held against the source in the e2e suite and tools/fidelity.sh.
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDFWriter.hh>

using namespace splitter_test;

namespace {

const char kXmp[] =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
    "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/></x:xmpmeta>\n"
    "<?xpacket end='w'?>";

struct Doc {
  QPDF pdf;
  std::vector<QPDFObjectHandle> pages;
  QPDFObjectHandle add(const std::string& text) {
    return pdf.makeIndirectObject(QPDFObjectHandle::parse(&pdf, text));
  }
  QPDFObjectHandle page(int n) { return pages.at(static_cast<std::size_t>(n - 1)); }
  // A link annotation: `target` is the rest of its dictionary, "%1" to "%3" standing for
  // references to those pages.
  QPDFObjectHandle link(std::string target, bool direct = false) {
    for (int n = 1; n <= 3; ++n)
      for (std::size_t at; (at = target.find("%" + std::to_string(n))) != std::string::npos;)
        target.replace(at, 2, page(n).unparse());
    auto annot = QPDFObjectHandle::parse(
        &pdf, "<< /Type /Annot /Subtype /Link /Rect [0 0 10 10] " + target + " >>");
    return direct ? annot : pdf.makeIndirectObject(annot);
  }
  void write(const fs::path& path) {
    QPDFWriter writer(pdf, path.string().c_str());
    writer.setStaticID(true);
    writer.write();
  }
};

// Three pages. Page 1 draws one optional content group the document shows and one it hides.
void make_pages(Doc& doc) {
  doc.pdf.emptyPDF();
  auto font = doc.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  auto shown = doc.add("<< /Type /OCG /Name (Shown note) >>");
  auto hidden = doc.add("<< /Type /OCG /Name (Hidden note) >>");
  for (int n = 1; n <= 3; ++n) {
    std::string text = "BT /F1 24 Tf 72 720 Td (Page " + std::to_string(n) + ") Tj ET\n";
    if (n == 1)
      text +=
          "/OC /on BDC 0 1 0 rg 100 100 100 100 re f EMC /OC /off BDC 1 0 0 rg 300 300 100 "
          "100 re f EMC\n";
    auto page = doc.add("<< /Type /Page /MediaBox [0 0 612 792] >>");
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&doc.pdf, text));
    auto resources = QPDFObjectHandle::parse("<< /Font << >> /Properties << >> >>");
    resources.getKey("/Font").replaceKey("/F1", font);
    if (n == 1) {
      resources.getKey("/Properties").replaceKey("/on", shown);
      resources.getKey("/Properties").replaceKey("/off", hidden);
    }
    page.replaceKey("/Resources", resources);
    doc.pdf.addPage(page, false);
    doc.pages.push_back(page);
  }
  auto oc = QPDFObjectHandle::parse(
      "<< /D << /Name (Default) /BaseState /ON >> /Configs [<< /Name (All) >>] >>");
  oc.replaceKey("/OCGs", QPDFObjectHandle::newArray({shown, hidden}));
  oc.getKey("/D").replaceKey("/OFF", QPDFObjectHandle::newArray({hidden}));
  oc.getKey("/D").replaceKey("/Order", QPDFObjectHandle::newArray({shown, hidden}));
  doc.pdf.getRoot().replaceKey("/OCProperties", doc.add(oc.unparse()));
}

// Every kind of link, the five catalog entries, and named destinations in both places.
void make_whole(const fs::path& path) {
  Doc doc;
  make_pages(doc);
  QPDFObjectHandle root = doc.pdf.getRoot();
  root.replaceKey("/Lang", QPDFObjectHandle::newString("de-CH"));
  auto xmp = QPDFObjectHandle::newStream(&doc.pdf, kXmp);
  xmp.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
  xmp.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
  root.replaceKey("/Metadata", xmp);
  auto icc = QPDFObjectHandle::newStream(&doc.pdf, std::string(300, 'c'));
  icc.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(3));
  auto intent = QPDFObjectHandle::parse(
      "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB) >>");
  intent.replaceKey("/DestOutputProfile", icc);
  root.replaceKey("/OutputIntents", QPDFObjectHandle::newArray({intent}));
  root.replaceKey("/ViewerPreferences", QPDFObjectHandle::parse("<< /DisplayDocTitle true >>"));
  root.replaceKey("/Dests", QPDFObjectHandle::parse(&doc.pdf, "<< /chap [" + doc.page(3).unparse() +
                                                                  " /XYZ null null 0] >>"));
  auto leaf1 =
      doc.add("<< /Limits [(a) (m)] /Names [(intro) [" + doc.page(1).unparse() + " /FitH 700]] >>");
  auto leaf2 = doc.add("<< /Names [(sec.2) << /D [" + doc.page(2).unparse() + " /FitB] >>] >>");
  root.replaceKey("/Names",
                  QPDFObjectHandle::newDictionary(
                      {{"/Dests", QPDFObjectHandle::newDictionary(
                                      {{"/Kids", QPDFObjectHandle::newArray({leaf1, leaf2})}})}}));
  doc.page(1).replaceKey("/Annots",
                         QPDFObjectHandle::newArray({
                             doc.link("/Dest [%1 /XYZ 10 20 1.5]"),
                             doc.link("/Dest [%3 /Fit]"),
                             doc.link("/A << /S /GoTo /D (sec.2) >>"),
                             doc.link("/Dest /chap"),
                             doc.link("/A << /S /GoTo /D (intro) /Next << /S /URI /URI (x:) >> >>"),
                             doc.link("/A << /S /URI /URI (https://example.org/) >>"),
                             doc.link("/Dest (nowhere)"),
                             doc.link("/A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>"),
                             doc.link("/Dest [1 /FitV 30]"),
                         }));
  // Direct annotations, in the page's own array and in an array of its own.
  doc.page(2).replaceKey("/Annots",
                         QPDFObjectHandle::newArray({doc.link("/Dest [%1 /Fit]", true)}));
  doc.page(3).replaceKey("/Annots", doc.pdf.makeIndirectObject(QPDFObjectHandle::newArray(
                                        {doc.link("/Dest [%3 /FitR 1 2 3 4]", true)})));
  doc.write(path);
}

std::string dest_of(QPDFObjectHandle annot) {
  QPDFObjectHandle action = annot.getKey("/A");
  return (action.isDictionary() ? action.getKey("/D") : annot.getKey("/Dest")).unparseResolved();
}

// Where a mended link leads: "here <view>" on its own page, or "<file> <dest>" for a GoToR.
std::string lead(PageFile& file, QPDFObjectHandle annot) {
  QPDFObjectHandle action = annot.getKey("/A");
  if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoToR")) {
    QPDFObjectHandle spec = action.getKey("/F");
    return (spec.isDictionary() ? spec.getKey("/UF") : spec).getUTF8Value() + " " + dest_of(annot);
  }
  QPDFObjectHandle dest = action.isDictionary() ? action.getKey("/D") : annot.getKey("/Dest");
  if (!dest.isArray() ||
      dest.getArrayItem(0).getObjGen() != file.page().getObjectHandle().getObjGen())
    return "elsewhere " + dest_of(annot);
  std::string view = dest_of(annot);
  return "here " + view.substr(view.find('/'));
}

std::vector<std::string> leads(PageFile& file) {
  std::vector<std::string> all;
  for (auto& annot : file.page().getAnnotations())
    all.push_back(lead(file, annot.getObjectHandle()));
  return all;
}

class WholePage : public ::testing::Test {
 protected:
  TempDir in, out;
};

TEST_F(WholePage, LinksLeadToTheirPagesInTheSetsOwnFilesWithTheirViews) {
  make_whole(in.path / "doc.pdf");
  // The first burst takes "doc", the second "doc (2)": each set's links name its own files.
  for (std::string stem : {"doc", "doc (2)"}) {
    auto result = run_burst(out.path, {(in.path / "doc.pdf").string(), "burst"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto names = page_names(stem, 3);
    PageFile one(out.path / names[0]), two(out.path / names[1]), three(out.path / names[2]);
    EXPECT_EQ(leads(one), (std::vector<std::string>{
                              "here /XYZ 10 20 1.5 ]",
                              stem + "_pg_0003.pdf [ 0 /Fit ]",
                              stem + "_pg_0002.pdf [ 0 /FitB ]",
                              stem + "_pg_0003.pdf [ 0 /XYZ null null 0 ]",
                              "here /FitH 700 ]",
                              "elsewhere null",
                              "elsewhere (nowhere)",
                              "other.pdf [ 0 /Fit ]",
                              stem + "_pg_0002.pdf [ 0 /FitV 30 ]",
                          }));
    auto annots = one.page().getAnnotations();
    EXPECT_EQ(annots.at(4).getObjectHandle().getKey("/A").getKey("/Next").getKey("/URI").unparse(),
              "(x:)");
    EXPECT_EQ(annots.at(5).getObjectHandle().getKey("/A").getKey("/URI").getUTF8Value(),
              "https://example.org/");
    EXPECT_EQ(leads(two), (std::vector<std::string>{stem + "_pg_0001.pdf [ 0 /Fit ]"}));
    EXPECT_EQ(leads(three), (std::vector<std::string>{"here /FitR 1 2 3 4 ]"}));
  }
}

TEST_F(WholePage, EveryPageKeepsTheCatalogEntriesThatSpeakForAllPages) {
  make_whole(in.path / "doc.pdf");
  QPDF source;
  source.processFile((in.path / "doc.pdf").string().c_str());
  auto result = run_burst(out.path, {(in.path / "doc.pdf").string(), "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  for (auto& name : page_names("doc", 3)) {
    PageFile file(out.path / name);
    QPDFObjectHandle root = file.pdf.getRoot();
    EXPECT_EQ(root.getKey("/Lang").getUTF8Value(), "de-CH") << name;
    // XMP byte for byte, stored as it was: readable as text.
    QPDFObjectHandle xmp = root.getKey("/Metadata");
    ASSERT_TRUE(xmp.isStream()) << name;
    auto raw = xmp.getRawStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw->getBuffer()), raw->getSize()), kXmp);
    EXPECT_FALSE(xmp.getDict().hasKey("/Filter"));
    auto profile = root.getKey("/OutputIntents").getArrayItem(0).getKey("/DestOutputProfile");
    ASSERT_TRUE(profile.isStream()) << name;
    auto icc = profile.getStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(icc->getBuffer()), icc->getSize()),
              std::string(300, 'c'));
    EXPECT_TRUE(root.getKey("/ViewerPreferences").getKey("/DisplayDocTitle").getBoolValue());
    // The whole optional content configuration: both groups, the hidden one off by default.
    QPDFObjectHandle oc = root.getKey("/OCProperties");
    ASSERT_TRUE(oc.isDictionary()) << name;
    std::vector<std::string> groups;
    for (auto& group : oc.getKey("/OCGs").aitems())
      groups.push_back(group.getKey("/Name").getUTF8Value());
    EXPECT_EQ(groups, (std::vector<std::string>{"Shown note", "Hidden note"}));
    EXPECT_EQ(oc.getKey("/D").getKey("/OFF").getArrayItem(0).getKey("/Name").getUTF8Value(),
              "Hidden note");
    EXPECT_EQ(oc.getKey("/Configs").getArrayItem(0).getKey("/Name").getUTF8Value(), "All");
  }
  // The page draws the groups through its own resources, which are the catalog's groups.
  PageFile one(out.path / "doc_pg_0001.pdf");
  auto properties = one.page().getObjectHandle().getKey("/Resources").getKey("/Properties");
  EXPECT_EQ(properties.getKey("/off").getObjGen(), one.pdf.getRoot()
                                                       .getKey("/OCProperties")
                                                       .getKey("/D")
                                                       .getKey("/OFF")
                                                       .getArrayItem(0)
                                                       .getObjGen());
}

TEST_F(WholePage, AFileNameOutsideAsciiIsGivenAsUnicodeToo) {
  make_whole(in.path / "Отчёт.pdf");
  auto result = run_burst(out.path, {(in.path / "Отчёт.pdf").string(), "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  PageFile two(out.path / "Отчёт_pg_0002.pdf");
  auto spec = two.page().getAnnotations().at(0).getObjectHandle().getKey("/A").getKey("/F");
  ASSERT_TRUE(spec.isDictionary());
  EXPECT_EQ(spec.getKey("/UF").getUTF8Value(), "Отчёт_pg_0001.pdf");
  EXPECT_EQ(spec.getKey("/F").getStringValue(), "Отчёт_pg_0001.pdf");
}

// Links and catalog entries of the wrong kind, name trees that loop, destinations that lead
// nowhere: each page file is still whole and clean, and what cannot be mended is left alone.
TEST_F(WholePage, MalformedLinksAndEntriesAreLeftAsTheyAre) {
  Doc doc;
  make_pages(doc);
  QPDFObjectHandle root = doc.pdf.getRoot();
  root.replaceKey("/OCProperties", QPDFObjectHandle::parse("[1 2]"));
  root.replaceKey("/Lang", QPDFObjectHandle::newName("/en"));
  root.replaceKey("/Metadata", QPDFObjectHandle::parse("<< /Type /Metadata >>"));
  root.replaceKey("/OutputIntents", QPDFObjectHandle::parse("<< >>"));
  root.replaceKey("/ViewerPreferences", QPDFObjectHandle::newString("x"));
  root.replaceKey("/Dests", QPDFObjectHandle::parse("[/a /b]"));
  auto loop = doc.add("<< /Names [(loop) [" + doc.page(2).unparse() + " /Fit] 7 (odd) (last)] >>");
  loop.replaceKey("/Kids",
                  QPDFObjectHandle::newArray({loop, QPDFObjectHandle::newInteger(3), loop}));
  root.replaceKey("/Names", QPDFObjectHandle::newDictionary({{"/Dests", loop}}));
  auto font = doc.add("<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
  doc.page(1).replaceKey("/Annots", QPDFObjectHandle::newArray({
                                        doc.link("/Dest (loop)"),
                                        doc.link("/Dest [%2 /XYZ 1 2 3 4 5 6]"),
                                        doc.link("/Dest [%2 /XYZ << >> 1 2]"),
                                        doc.link("/A << /S /GoTo /D 42 >>"),
                                        doc.link("/A << /S /GoTo >> /Dest [%2 /Fit]"),
                                        doc.link("/Dest [99 /Fit]"),
                                        doc.link("/Dest [-1 /Fit]"),
                                        doc.link("/Dest [" + font.unparse() + " /Fit]"),
                                        doc.link("/Dest [<< /Type /Page >> /Fit]"),
                                        doc.link("/Dest []"),
                                        doc.link("/Dest (odd)"),
                                        QPDFObjectHandle::parse("[/not /an /annotation]"),
                                        QPDFObjectHandle::newNull(),
                                    }));
  doc.write(in.path / "bad.pdf");
  auto result = run_burst(out.path, {(in.path / "bad.pdf").string(), "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  PageFile one(out.path / "bad_pg_0001.pdf");
  for (const char* key :
       {"/OCProperties", "/Lang", "/Metadata", "/OutputIntents", "/ViewerPreferences"})
    EXPECT_FALSE(one.pdf.getRoot().hasKey(key)) << key;
  std::vector<std::string> got;
  for (auto& annot : one.page().getAnnotations()) {
    QPDFObjectHandle dest = annot.getObjectHandle().getKey("/Dest");
    bool font = dest.isArray() && dest.getArrayItem(0).isDictionaryOfType("/Font");
    got.push_back(font ? "elsewhere [ (a font) /Fit ]" : lead(one, annot.getObjectHandle()));
  }
  EXPECT_EQ(got, (std::vector<std::string>{
                     "bad_pg_0002.pdf [ 0 /Fit ]",
                     "elsewhere [ null /XYZ 1 2 3 4 5 6 ]",
                     "elsewhere [ null /XYZ << >> 1 2 ]",
                     "elsewhere 42",
                     "elsewhere null",
                     "elsewhere [ 99 /Fit ]",
                     "elsewhere [ -1 /Fit ]",
                     "elsewhere [ (a font) /Fit ]",
                     "elsewhere [ << /Type /Page >> /Fit ]",
                     "elsewhere [ ]",
                     "elsewhere (odd)",
                 }));
  PageFile(out.path / "bad_pg_0002.pdf");
  PageFile(out.path / "bad_pg_0003.pdf");
}

}  // namespace
