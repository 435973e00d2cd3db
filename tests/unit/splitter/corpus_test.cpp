// Reliability over qpdf's own test files (damaged, encrypted, odd structures): every file either
// splits into exactly as many page files as it has pages, or fails cleanly with a non-zero code,
// one line on stderr and no files. Nothing may crash or hang.
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <cstdio>
#include <optional>

using namespace splitter_test;

namespace {

struct Expected {
  size_t pages = 0;
  bool clean = false;  // qpdf reads every object without a warning
};

// What a reader gets, or nothing when qpdf cannot open the file without a password.
std::optional<Expected> expected_of(const fs::path& file) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(file.string().c_str());
    Expected expected{pdf.getAllPages().size()};
    for (auto& obj : pdf.getAllObjects()) obj.isNull();  // resolves every object
    expected.clean = !pdf.anyWarnings();
    return expected;
  } catch (std::exception&) {
    return std::nullopt;
  }
}

// What a reader would object to in a page file, if anything. Warnings count only where the
// source had none: damage that came with the source may come along.
std::optional<std::string> page_file_problem(const fs::path& file, bool source_clean) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(file.string().c_str());
    if (pdf.getAllPages().size() != 1) return "not one page";
    for (auto& obj : pdf.getAllObjects()) {
      if (!obj.isStream()) continue;
      // Readers do not look up references among a stream's filters.
      auto filter = obj.getDict().getKey("/Filter");
      bool direct = !filter.isIndirect();
      if (filter.isArray())
        for (auto& item : filter.getArrayAsVector()) direct = direct && !item.isIndirect();
      if (!direct) return "stream " + obj.getObjGen().unparse(' ') + " has an indirect filter";
    }
    if (source_clean && pdf.anyWarnings()) return pdf.getWarnings().front().what();
  } catch (std::exception& e) {
    return e.what();
  }
  return std::nullopt;
}

TEST(Corpus, EveryFileSplitsExactlyOrFailsCleanly) {
  fs::path corpus = PAGERIFT_QPDF_CORPUS;
  if (corpus.empty() || !fs::is_directory(corpus))
    GTEST_SKIP() << "no corpus at '" << corpus << "'";
  std::vector<fs::path> files;
  for (auto& entry : fs::directory_iterator(corpus))
    if (entry.path().extension() == ".pdf") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());

  int split = 0, failed = 0, wrong = 0, crashed = 0;
  for (auto& file : files) {
    TempDir here;
    auto expected = expected_of(file);
    auto result = run_burst(here.path, {file.string(), "burst"}, {.timeout_seconds = 60});
    size_t written = list_dir(here.path).size();
    std::string name = file.filename().string();
    if (result.signal || result.timed_out) {
      ++crashed;
      ADD_FAILURE() << name << ": signal " << result.signal << (result.timed_out ? " (hung)" : "");
    } else if (result.exit_code == 0 && expected && written == expected->pages) {
      ++split;
      for (auto& page : list_dir(here.path))
        if (auto problem = page_file_problem(here.path / page, expected->clean)) {
          ++wrong;
          ADD_FAILURE() << name << ": " << page << ": " << *problem;
        }
    } else if (result.exit_code != 0 && written == 0 && result.err_lines() == 1) {
      ++failed;
    } else {
      ++wrong;
      ADD_FAILURE() << name << ": exit " << result.exit_code << ", " << written
                    << " files, expected "
                    << (expected ? std::to_string(expected->pages) : "failure")
                    << "; stderr: " << result.err;
    }
  }
  std::printf("corpus %s: %zu files: split ok %d, failed honestly %d, wrong %d, crashed %d\n",
              corpus.string().c_str(), files.size(), split, failed, wrong, crashed);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(crashed, 0);
}

}  // namespace
