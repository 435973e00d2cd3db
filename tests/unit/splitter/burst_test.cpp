// The splitter's contract, checked on the real pagerift-burst binary.
#include "splitter/write/page_set.h"
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include <set>

using namespace splitter_test;
using pagerift::splitter::output_stem;
using pagerift::splitter::page_file_name;
using pagerift::splitter::set_stem;

namespace {

class Burst : public ::testing::Test {
 protected:
  fs::path source(const std::string& name, const Recipe& recipe = {}) {
    make_pdf(in.path / name, recipe);
    return in.path / name;
  }
  RunResult burst(const fs::path& file, const RunOptions& options = {}) {
    return run_burst(out.path, {file.string(), "burst"}, options);
  }
  TempDir in, out;
};

TEST(PageNames, HaveFourDigitsOrAsManyAsTheCountNeedsAndTheStemOfTheSource) {
  EXPECT_EQ(page_file_name("a", 9, 9), "a_pg_0009.pdf");
  EXPECT_EQ(page_file_name("a", 10, 10), "a_pg_0010.pdf");
  EXPECT_EQ(page_file_name("a", 1, 10000), "a_pg_00001.pdf");
  EXPECT_EQ(output_stem("/data/in/Report.PDF"), "Report");
  EXPECT_EQ(output_stem("scan.v2.pdf"), "scan.v2");
  EXPECT_EQ(output_stem("notes.txt"), "notes.txt");  // "notes.pdf" and "notes.txt" stay apart
  EXPECT_EQ(output_stem(".pdf"), ".pdf");
  EXPECT_EQ(set_stem("report", 1), "report");
  EXPECT_EQ(set_stem("report", 2), "report (2)");
}

TEST_F(Burst, WritesOneFilePerPageNamedAfterTheSource) {
  for (auto [stem, pages] : std::vector<std::pair<std::string, int>>{{"doc", 9},
                                                                     {"doc", 10},
                                                                     {"100% %d %s", 2},
                                                                     {" two  blanks ", 2},
                                                                     {"Отчёт 2026 — 季度", 2}}) {
    TempDir here;
    auto result = run_burst(here.path, {source(stem + ".pdf", {.pages = pages}).string(), "burst"});
    ASSERT_EQ(result.exit_code, 0) << stem << ": " << result.err;
    EXPECT_EQ(result.err, "");
    auto names = page_names(stem, pages);
    ASSERT_EQ(list_dir(here.path), names);
    for (int n = 1; n <= pages; ++n)
      EXPECT_NE(PageFile(here.path / names[n - 1]).text().find("(Page " + std::to_string(n) + ")"),
                std::string::npos);
  }
}

TEST_F(Burst, TenThousandPagesGetFiveDigits) {
  auto result = burst(source("big.pdf", {.pages = 10000, .shared_content = true}));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  auto names = list_dir(out.path);
  ASSERT_EQ(names.size(), 10000u);
  EXPECT_EQ(names.front(), "big_pg_00001.pdf");
  EXPECT_EQ(names.back(), "big_pg_10000.pdf");
  PageFile last(out.path / names.back());
}

TEST_F(Burst, EveryFailureHasItsCodeOneLineAndLeavesNothing) {
  auto file = [&](const char* name, const std::string& bytes) {
    write_file(in.path / name, bytes);
    return (in.path / name).string();
  };
  std::string pdf = source("d.pdf", {.pages = 3}).string();
  const std::vector<std::tuple<const char*, int, std::vector<std::string>>> cases = {
      {"no arguments", 1, {}},
      {"no operation", 1, {pdf}},
      {"other operation", 1, {pdf, "cat"}},
      {"extra argument", 1, {pdf, "burst", "more"}},
      {"missing source", 2, {(in.path / "gone.pdf").string(), "burst"}},
      {"source is a folder", 2, {in.path.string(), "burst"}},
      {"text file", 3, {file("t.pdf", "just text\n"), "burst"}},
      {"empty file", 3, {file("e.pdf", ""), "burst"}},
      {"header then junk", 3, {file("j.pdf", "%PDF-1.7\n" + std::string(5000, 'x')), "burst"}},
      {"no pages",
       3,
       {file("n.pdf",
             "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
             "2 0 obj<</Type/Pages/Kids[]/Count 0>>endobj\ntrailer<</Root 1 0 R>>\n"),
        "burst"}},
      {"user password",
       4,
       {source("locked.pdf", {.pages = 2, .user_password = "u", .owner_password = "o"}).string(),
        "burst"}},
  };
  for (auto& [what, code, args] : cases) {
    auto before = list_dir(out.path);
    auto result = run_burst(out.path, args);
    EXPECT_EQ(result.exit_code, code) << what << ": " << result.err;
    EXPECT_EQ(result.err_lines(), 1) << what << ": " << result.err;
    EXPECT_EQ(list_dir(out.path), before) << what;
  }
}

TEST_F(Burst, UnwritableFolderAndFullDiskFailWithCode5AndNoFiles) {
  auto result = burst(source("doc.pdf", {.pages = 3}), {.remove_cwd = true});
  EXPECT_EQ(result.exit_code, 5) << result.err;
  EXPECT_EQ(result.err_lines(), 1) << result.err;

  // Page 3 does not fit: pages 1 and 2 are written by then and must go again, while an older
  // page file with a name of the set stays as it was.
  TempDir here;
  write_file(here.path / "doc_pg_0001.pdf", "older page file");
  result = run_burst(here.path, {source("doc.pdf", {.pages = 4, .big_page = 3}).string(), "burst"},
                     {.max_file_size = 100 * 1024});
  EXPECT_EQ(result.exit_code, 5) << result.err;
  EXPECT_EQ(result.err_lines(), 1) << result.err;
  EXPECT_EQ(list_dir(here.path), std::vector<std::string>{"doc_pg_0001.pdf"});
  EXPECT_EQ(read_file(here.path / "doc_pg_0001.pdf"), "older page file");
}

TEST_F(Burst, SplitsOwnerPasswordOnlyAndRecoverableDamage) {
  auto result = burst(source("owned.pdf", {.pages = 2, .owner_password = "owner"}));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  ASSERT_EQ(list_dir(out.path), page_names("owned", 2));
  PageFile page(out.path / "owned_pg_0002.pdf");
  EXPECT_TRUE(page.pdf.isEncrypted());
  EXPECT_NE(page.text().find("(Page 2)"), std::string::npos);

  fs::path hurt = source("hurt.pdf", {.pages = 3, .object_streams = false});
  std::string bytes = read_file(hurt);
  bytes.replace(bytes.rfind("startxref"), 9, "startxrex");  // the reader must rebuild the xref
  write_file(hurt, bytes);
  TempDir here;
  result = run_burst(here.path, {hurt.string(), "burst"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find("warning"), std::string::npos);
  EXPECT_EQ(list_dir(here.path), page_names("hurt", 3));
}

TEST_F(Burst, NeverOverwritesItsSource) {
  // A source named like a page file, in the output folder.
  make_pdf(out.path / "a_pg_0001.pdf", {.pages = 1});
  std::string original = read_file(out.path / "a_pg_0001.pdf");
  auto result = run_burst(out.path, {"a_pg_0001.pdf", "burst"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(list_dir(out.path),
            (std::vector<std::string>{"a_pg_0001.pdf", "a_pg_0001_pg_0001.pdf"}));
  EXPECT_EQ(read_file(out.path / "a_pg_0001.pdf"), original);

  // A page name that is another name of the source itself is taken like any other.
  TempDir here;
  fs::path b = source("b.pdf", {.pages = 3});
  fs::create_hard_link(b, here.path / "b_pg_0002.pdf");
  original = read_file(b);
  result = run_burst(here.path, {b.string(), "burst"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  auto names = page_names("b (2)", 3);
  names.push_back("b_pg_0002.pdf");
  EXPECT_EQ(list_dir(here.path), names);
  EXPECT_EQ(read_file(b), original);
}

TEST_F(Burst, PageFilesAppearOnlyWhole) {
  std::set<std::string> partial;
  int polls = 0;
  RunOptions watch;
  watch.while_running = [&] {
    ++polls;
    std::error_code ec;
    for (auto& entry : fs::directory_iterator(out.path, ec)) {
      std::string name = entry.path().filename().string(), bytes = read_file(entry.path());
      if (name.find("_pg_") != std::string::npos &&
          (bytes.size() < 6 || bytes.compare(bytes.size() - 6, 6, "%%EOF\n") != 0))
        partial.insert(name);
    }
  };
  auto result = burst(source("long.pdf", {.pages = 3000}), watch);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_GT(polls, 10);
  EXPECT_TRUE(partial.empty()) << *partial.begin();
  EXPECT_EQ(list_dir(out.path), page_names("long", 3000));
  EXPECT_NE(PageFile(out.path / "long_pg_0002.pdf").text().find("(Page 2)"), std::string::npos);
}

TEST_F(Burst, PagesKeepLabelsInformationAnnotationsAndFormFields) {
  auto result = burst(source(
      "form.pdf",
      {.pages = 3, .shared_fonts = true, .labels = true, .info = true, .annotations = true}));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const char* styles[] = {"/r", "/r", "/D"};
  for (int n = 1; n <= 3; ++n) {
    PageFile file(out.path / page_names("form", 3)[n - 1]);
    EXPECT_EQ(file.pdf.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(),
              "Quarterly report");
    auto label = QPDFPageLabelDocumentHelper(file.pdf).getLabelForPage(0);
    EXPECT_EQ(label.getKey("/S").getName(), styles[n - 1]);
    EXPECT_EQ(label.getKey("/P").isString(), n == 3);
    // Shared resources are pruned to what the page uses: F1 on odd pages, F2 on even ones.
    auto fonts = file.page().getObjectHandle().getKey("/Resources").getKey("/Font").getKeys();
    EXPECT_EQ(fonts, (std::set<std::string>{n % 2 ? "/F1" : "/F2"})) << n;
    QPDFAcroFormDocumentHelper form(file.pdf);
    auto fields = form.getFormFields();
    auto annots = file.page().getAnnotations();
    if (n == 1) {
      ASSERT_EQ(annots.size(), 2u);
      EXPECT_EQ(annots[0].getObjectHandle().getKey("/Contents").getUTF8Value(), "note on page 1");
      // The link to page 2 now names page 2's file.
      auto action = annots[1].getObjectHandle().getKey("/A");
      EXPECT_EQ(action.getKey("/F").getUTF8Value(), "form_pg_0002.pdf");
      EXPECT_EQ(action.getKey("/D").unparse(), "[ 0 /Fit ]");
    }
    EXPECT_EQ(fields.size(), n == 2 ? 1u : 0u) << n;
    if (n == 2 && fields.size() == 1) {
      EXPECT_EQ(fields[0].getFullyQualifiedName(), "customer");
      EXPECT_EQ(fields[0].getValueAsString(), "Ada Lovelace");
      EXPECT_EQ(form.getWidgetAnnotationsForPage(file.page()).size(), 1u);
      EXPECT_TRUE(form.getNeedAppearances());
      EXPECT_TRUE(file.pdf.getRoot().getKey("/AcroForm").getKey("/DR").isDictionary());
    }
  }
}

}  // namespace
