#include <gtest/gtest.h>

#include "fakes.h"
#include "intake/getfile.h"

namespace pagerift {
namespace {

using namespace std::string_literals;

TEST(GetFileTest, InitialFolderFallsBackToTheProgramFolder) {
  testing::FakeWorld w;
  w.fs.nonEmptyFolders = {"C:\\Docs\\", "D:\\My Files \\"};
  struct Case {
    std::string given, program, expected;
  } cases[] = {
      {"", "C:\\Apps", "C:\\Apps"},
      {"    ", "C:\\Apps", "C:\\Apps"},
      {"", "E:\\", "E:\\"},                    // a drive root keeps its backslash
      {"C:\\Docs", "C:\\Apps", "C:\\Docs\\"},  // searched with the "\" appended
      {"C:\\Docs\\", "C:\\Apps", "C:\\Docs\\"},
      {"C:\\Missing", "C:\\Apps", "C:\\Apps"},  // missing, empty or unreadable alike
      {"C:\\Missing\\", "E:\\", "E:\\"},
      {"D:\\My Files ", "C:\\Apps", "D:\\My Files \\"},  // only all-blank is blank
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveInitialFolder(c.given, c.program, w.fs), c.expected) << "[" << c.given << "]";
  }
}

TEST(GetFileTest, FilterBecomesNulTerminatedPieces) {
  struct Case {
    std::string given, expected;
  } cases[] = {
      {"", "*.*\0*.*\0"s},
      {"   ", "*.*\0*.*\0"s},
      {"PDF Files(*.PDF)|*.pdf", "PDF Files(*.PDF)\0*.pdf\0"s},
      {"PDF|*.pdf|All|*.*", "PDF\0*.pdf\0All\0*.*\0"s},  // four pieces, first pair first
      {"a||b", "a\0\0b\0"s},
      {"|", "\0\0"s},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConvertFilter(c.given), c.expected) << "[" << c.given << "]";
}

TEST(GetFileTest, TheRequestReachesTheDialogAndTheAnswerComesBack) {
  testing::FakeWorld w;
  w.fs.nonEmptyFolders = {"C:\\Docs\\"};
  w.dialogs.openResult = "C:\\Docs\\a.pdf";
  EXPECT_EQ(GetFile(w.ports, "Pick one", "C:\\Docs", "x|y", 0xFFFFFFFFu), "C:\\Docs\\a.pdf");
  w.dialogs.openResult = "";
  EXPECT_EQ(GetFile(w.ports, "Again", "", "", kOfnLongNames), "");

  ASSERT_EQ(w.dialogs.openRequests.size(), 2u);
  const OpenFileRequest& r = w.dialogs.openRequests[0];
  EXPECT_EQ(r.title, "Pick one");
  EXPECT_EQ(r.initialFolder, "C:\\Docs\\");
  EXPECT_EQ(r.filter, "x\0y\0"s);
  EXPECT_EQ(r.flags, 0xFFFFFFFFu);
  EXPECT_EQ(w.dialogs.openRequests[1].initialFolder, w.shell.programFolder);
  EXPECT_EQ(w.dialogs.openRequests[1].flags, kOfnLongNames);
}

}  // namespace
}  // namespace pagerift
