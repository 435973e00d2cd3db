// Input built to hurt the splitter: offsets past any range, warnings by the hundred thousand,
// headers qpdf cannot read back. Every case ends with a documented exit code, and a page file
// only where qpdf can open it.
#include "splitter/source/file_source.h"
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/FileInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFSystemError.hh>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>

using namespace splitter_test;

namespace {

const fs::path kRegressions = PAGERIFT_REGRESSIONS;

// Whether a step throws, and if so whether qpdf's own system error: what qpdf makes of the fault.
template <typename Step>
std::string outcome(Step step) {
  try {
    step();
    return "ok";
  } catch (const QPDFSystemError&) {
    return "system error";
  } catch (const std::exception& e) {
    return std::string("other: ") + e.what();
  }
}

TEST(FileSource, SeeksAndReadsAsQpdfsOwnSource) {
  TempDir dir;
  std::string bytes(200 * 1024, '\0');  // past the block size, so reads cross blocks
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  write_file(dir.path / "f", bytes);
  FILE* file = std::fopen((dir.path / "f").c_str(), "rb");
  ASSERT_TRUE(file);
  pagerift::splitter::CachedFileSource ours("f", file);
  FileInputSource theirs((dir.path / "f").c_str());

  constexpr auto kMax = std::numeric_limits<qpdf_offset_t>::max();
  constexpr auto kMin = std::numeric_limits<qpdf_offset_t>::min();
  const auto size = static_cast<qpdf_offset_t>(bytes.size());
  const std::pair<qpdf_offset_t, int> seeks[] = {
      {189, SEEK_SET},  {kMax, SEEK_CUR},     {kMax - 100, SEEK_CUR}, {65530, SEEK_SET},
      {-1, SEEK_SET},   {kMin, SEEK_CUR},     {-190, SEEK_CUR},       {-10, SEEK_END},
      {kMax, SEEK_END}, {kMin, SEEK_END},     {-size, SEEK_END},      {-size - 1, SEEK_END},
      {size, SEEK_SET}, {size + 5, SEEK_SET}, {131071, SEEK_SET},
  };
  for (auto [offset, whence] : seeks) {
    std::string what = std::to_string(offset) + " from " + std::to_string(whence);
    EXPECT_EQ(outcome([&] { ours.seek(offset, whence); }),
              outcome([&] { theirs.seek(offset, whence); }))
        << what;
    EXPECT_EQ(ours.tell(), theirs.tell()) << what;
    char a[100] = {}, b[100] = {};
    EXPECT_EQ(ours.read(a, sizeof a), theirs.read(b, sizeof b)) << what;
    EXPECT_EQ(std::string(a, sizeof a), std::string(b, sizeof b)) << what;
    EXPECT_EQ(ours.tell(), theirs.tell()) << what;
  }
  std::fclose(file);
}

// A PDF written by hand, objects numbered from 1 with the catalog first, under `header`.
std::string pdf_of(const std::vector<std::string>& objects,
                   const std::string& header = "%PDF-1.4") {
  std::string out = header + "\n", table;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    char row[32];
    std::snprintf(row, sizeof row, "%010zu 00000 n \n", out.size());
    table += row;
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  std::string size = std::to_string(objects.size() + 1), at = std::to_string(out.size());
  return out + "xref\n0 " + size + "\n0000000000 65535 f \n" + table + "trailer<</Size " + size +
         "/Root 1 0 R>>\nstartxref\n" + at + "\n%%EOF\n";
}

std::string stream(const std::string& dict, const std::string& data) {
  return "<<" + dict + "/Length " + std::to_string(data.size()) + ">>stream\n" + data +
         "\nendstream";
}

// `pages` pages that draw one content stream with one resources dictionary, so that pruning
// reads the content.
std::string shared_content_pdf(const std::string& content, int pages = 2) {
  std::string kids;
  for (int n = 0; n < pages; ++n) kids += std::to_string(5 + n) + " 0 R ";
  std::vector<std::string> objects = {
      "<</Type/Catalog/Pages 2 0 R>>",
      "<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string(pages) + ">>", stream("", content),
      "<</Font<<>>>>"};
  for (int n = 0; n < pages; ++n)
    objects.push_back(
        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents 3 0 R"
        "/Resources 4 0 R>>");
  return pdf_of(objects);
}

class Hostile : public ::testing::Test {
 protected:
  RunResult burst(const fs::path& file, const RunOptions& options = {}) {
    return run_burst(out.path, {file.string(), "burst"}, options);
  }
  TempDir out;
};

TEST_F(Hostile, LengthPastAnyOffsetIsDamageQpdfRecoversFrom) {
  auto result = burst(kRegressions / "burst" / "seek-past-offset-range.pdf");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find("offset 9223372036854775807 (1): Invalid argument"), std::string::npos)
      << result.err;
  EXPECT_EQ(list_dir(out.path), page_names("seek-past-offset-range", 1));
}

// Each stray ")" is a warning of qpdf's content parser, twice over: 320,000 of them from a 1.6 MB
// file. Kept in a list that was searched for every new one, they took minutes.
TEST_F(Hostile, WarningsByTheHundredThousandTakeLinearTime) {
  std::string content;
  for (int i = 0; i < 160000; ++i) content += "1 2 3 4 )\n";
  write_file(out.path / "in.pdf", shared_content_pdf(content));
  TempDir here;
  // About a second of CPU; a guard twenty times that stops a run that is quadratic.
  auto result =
      run_burst(here.path, {(out.path / "in.pdf").string(), "burst"}, {.cpu_seconds = 30});
  ASSERT_EQ(result.exit_code, 0) << result.err.substr(0, 2000);
  EXPECT_EQ(list_dir(here.path), page_names("in", 2));
  EXPECT_EQ(result.err_lines(), 21);  // twenty warnings and how many more there were
}

// qpdf cannot read back a version past what an int holds, in the source or in a page file that
// copies it; one it cannot read at all it takes for 1.2, after a warning.
TEST_F(Hostile, HeaderVersionIsReadAsQpdfReadsIt) {
  const std::vector<std::string> objects = {"<</Type/Catalog/Pages 2 0 R>>",
                                            "<</Type/Pages/Kids[3 0 R]/Count 1>>",
                                            "<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]>>"};
  const std::pair<std::string, std::string> cases[] = {
      {"%PDF-99999999999.9", ""}, {"%PDF-1.99999999999", ""}, {"%PDF-x.y", "1.5"},
      {"%PDF-1.", "1.5"},         {"%PDF-1.2", "1.5"},        {"%PDF-01.7", "1.7"},
      {"%PDF-2.0", "2.0"},        {"%PDF-1.6abc", "1.6"},
  };
  for (auto& [header, written] : cases) {
    TempDir here;
    write_file(out.path / "v.pdf", pdf_of(objects, header));
    auto result = run_burst(here.path, {(out.path / "v.pdf").string(), "burst"});
    if (written.empty()) {
      EXPECT_EQ(result.exit_code, 3) << header << ": " << result.err;
      EXPECT_EQ(result.err_lines(), 1) << header << ": " << result.err;
      EXPECT_EQ(list_dir(here.path), std::vector<std::string>{}) << header;
      continue;
    }
    EXPECT_EQ(result.exit_code, 0) << header << ": " << result.err;
    ASSERT_EQ(list_dir(here.path), page_names("v", 1)) << header;
    QPDF page;
    page.processFile((here.path / "v_pg_0001.pdf").c_str());
    std::string version;
    int extension_level = 0;
    page.getVersionAsPDFVersion().getVersion(version, extension_level);
    EXPECT_EQ(version, written) << header;
    EXPECT_EQ(page.getPDFVersion(), written) << header;
  }
}

// Structures that loop or nest without end and lengths past any file: each ends with a code of
// the contract and no hang, whole page files or nothing at all.
TEST_F(Hostile, InputBuiltToExhaustItEndsCleanly) {
  TempDir in;
  std::string command =
      std::string("python3 ") + PAGERIFT_HOSTILE_PDFS + " --cheap " + in.path.string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::map<std::string, int> codes = {
      {"nested-10000", 0},
      {"object-stream-in-itself", 0},
      {"page-tree-cycle", 3},  // qpdf refuses a loop in the page tree
      {"length-2-62", 0},      // damage qpdf recovers from
      {"header-version-99999999999", 3},
  };
  ASSERT_EQ(list_dir(in.path).size(), codes.size());
  for (auto& [name, code] : codes) {
    TempDir here;
    auto result = run_burst(here.path, {(in.path / (name + ".pdf")).string(), "burst"},
                            {.timeout_seconds = 60, .cpu_seconds = 30});
    EXPECT_EQ(result.exit_code, code) << name << ": " << result.err;
    if (result.exit_code != 0) {
      EXPECT_EQ(list_dir(here.path), std::vector<std::string>{}) << name;
      continue;
    }
    for (auto& page : list_dir(here.path)) {
      QPDF pdf;
      pdf.setSuppressWarnings(true);
      EXPECT_NO_THROW(pdf.processFile((here.path / page).c_str())) << name << ": " << page;
    }
  }
}

}  // namespace
