// Page sets: how they are named beside earlier ones, that they never mix or replace anything, even
// when a name is taken while they are put in place, and that the same source gives the same bytes.
#include "splitter/write/page_set.h"
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <map>
#include <optional>
#include <set>

using namespace splitter_test;
namespace splitter = pagerift::splitter;

namespace {

std::string id_of(const fs::path& page_file) {
  QPDF pdf;
  pdf.processFile(page_file.string().c_str());
  return pdf.getTrailer().getKey("/ID").getArrayItem(0).getStringValue();
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir) {
  std::map<std::string, std::string> all;
  for (auto& name : list_dir(dir))
    all[name] = fs::is_directory(dir / name) ? "(folder)" : read_file(dir / name);
  return all;
}

// The page files of `source` burst alone into an empty folder, under the names of set `stem`.
std::map<std::string, std::string> alone(const fs::path& source, const std::string& stem) {
  TempDir empty;
  auto result = run_burst(empty.path, {source.string(), "burst"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::map<std::string, std::string> renamed;
  std::string own = splitter::output_stem(source.string());
  for (auto& [name, bytes] : contents(empty.path)) renamed[stem + name.substr(own.size())] = bytes;
  return renamed;
}

TEST(Sets, SameNamedSourcesGetSetsOfTheirOwnAndReplaceNothing) {
  TempDir d1, d2, out;
  make_pdf(d1.path / "report.pdf", {.pages = 12, .title = "first "});
  make_pdf(d2.path / "report.pdf", {.pages = 5, .title = "second "});
  fs::create_directory(out.path /
                       "report (2)_pg_0004.pdf");  // takes the whole of set (2) for 5 pages
  auto before = contents(out.path);

  for (auto* dir : {&d1, &d2, &d1}) {
    auto result = run_burst(out.path, {(dir->path / "report.pdf").string(), "burst"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }

  auto expected = before;
  expected.merge(alone(d1.path / "report.pdf", "report"));
  expected.merge(alone(d2.path / "report.pdf", "report (3)"));
  expected.merge(alone(d1.path / "report.pdf", "report (4)"));
  EXPECT_EQ(contents(out.path), expected);
}

TEST(Sets, TheSameSourceGivesTheSameBytesAndEveryPageItsOwnId) {
  TempDir in;
  // The test PDFs all carry one fixed /ID, as some producers write: the pages must differ anyway.
  std::vector<fs::path> sources{in.path / "a.pdf", in.path / "b.pdf", in.path / "c.pdf",
                                in.path / "d.pdf"};
  make_pdf(sources[0], {.pages = 4, .title = "a "});
  make_pdf(sources[1], {.pages = 4, .title = "b "});
  make_pdf(sources[2], {.pages = 4, .title = "c ", .no_id = true});
  make_pdf(sources[3], {.pages = 4, .title = "d ", .no_id = true});
  std::set<std::string> ids;
  for (auto& source : sources) {
    TempDir once, twice;
    for (auto* dir : {&once, &twice})
      ASSERT_EQ(run_burst(dir->path, {source.string(), "burst"}).exit_code, 0);
    EXPECT_EQ(contents(once.path), contents(twice.path)) << source;
    for (auto& name : list_dir(once.path)) ids.insert(id_of(once.path / name));
  }
  EXPECT_EQ(ids.size(), 16u);
}

// PageSet itself, where the test decides what happens between choosing names and putting pages.
struct Staged {
  Staged(const fs::path& dir, int pages)
      : set(dir.string(), "scan", static_cast<std::size_t>(pages)) {
    std::string error;
    EXPECT_TRUE(set.choose_names(error)) << error;
    write("page ");
  }
  // Writes every page anew, saying under which names it is written.
  void write(const std::string& text) {
    std::string error;
    for (std::size_t n = 1; n <= set.names().size(); ++n) {
      auto file = set.create_temp(error);
      std::string bytes = text + std::to_string(n);
      EXPECT_TRUE(splitter::fs::write_all(file, bytes.data(), bytes.size(), error)) << error;
      EXPECT_TRUE(splitter::fs::close(file, error)) << error;
    }
  }
  splitter::PageSet set;
};

TEST(Sets, ANameTakenWhilePagesArePutInPlaceMovesTheWholeSetOn) {
  TempDir out;
  std::optional<Staged> staged(std::in_place, out.path, 3);
  EXPECT_EQ(staged->set.names(), page_names("scan", 3));
  write_file(out.path / "scan_pg_0003.pdf", "someone else's");

  std::string error;
  ASSERT_TRUE(staged->set.commit(error)) << error;
  staged.reset();
  auto expected = std::map<std::string, std::string>{{"scan_pg_0003.pdf", "someone else's"},
                                                     {"scan (2)_pg_0001.pdf", "page 1"},
                                                     {"scan (2)_pg_0002.pdf", "page 2"},
                                                     {"scan (2)_pg_0003.pdf", "page 3"}};
  EXPECT_EQ(contents(out.path), expected);
}

// Pages that link to each other name their files, so they are written again for the new names.
TEST(Sets, PagesThatNameEachOtherAreWrittenAgainWhenTheSetMovesOn) {
  TempDir out;
  std::optional<Staged> staged(std::in_place, out.path, 2);
  write_file(out.path / "scan_pg_0001.pdf", "someone else's");
  int rewrites = 0;
  auto rewrite = [&] {
    ++rewrites;
    staged->set.discard_temps();
    staged->write(staged->set.names().front() + " page ");
  };
  std::string error;
  ASSERT_TRUE(staged->set.commit(error, rewrite)) << error;
  staged.reset();
  EXPECT_EQ(rewrites, 1);
  auto expected =
      std::map<std::string, std::string>{{"scan_pg_0001.pdf", "someone else's"},
                                         {"scan (2)_pg_0001.pdf", "scan (2)_pg_0001.pdf page 1"},
                                         {"scan (2)_pg_0002.pdf", "scan (2)_pg_0001.pdf page 2"}};
  EXPECT_EQ(contents(out.path), expected);
}

TEST(Sets, ARenameThatFailsHalfWayLeavesTheFolderAsItWas) {
  TempDir out;
  write_file(out.path / "notes.txt", "there before");
  auto before = contents(out.path);
  std::optional<Staged> staged(std::in_place, out.path, 3);
  for (auto& name : list_dir(out.path))
    if (name.find("-2.tmp") != std::string::npos)
      fs::remove(out.path / name);  // page 2 goes missing

  std::string error;
  EXPECT_FALSE(staged->set.commit(error));
  EXPECT_NE(error.find("scan_pg_0002.pdf"), std::string::npos) << error;
  staged.reset();
  EXPECT_EQ(contents(out.path), before);
}

}  // namespace
