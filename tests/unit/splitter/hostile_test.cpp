// Input built to hurt the splitter: offsets past any range, warnings by the hundred thousand,
// headers qpdf cannot read back. Every case ends with a documented exit code, and a page file
// only where qpdf can open it.
#include "splitter/file_source.h"
#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/FileInputSource.hh>
#include <qpdf/QPDFSystemError.hh>

#include <cstdint>
#include <limits>

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

}  // namespace
