// A page file is its page, whole: its links to pages of the source still lead there, and it keeps
// what the document says of every page (language, XMP, output intents, viewer preferences,
// optional content). Checked on the structure of the real binary's page files; how they render is
// held against the source in the e2e suite and tools/fidelity.sh.
#include "support.h"
#include "whole_doc.h"

#include <gtest/gtest.h>

using namespace splitter_test;

namespace {

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
