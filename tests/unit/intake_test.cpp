#include <gtest/gtest.h>

#include "app/startup.h"
#include "fakes.h"
#include "intake/folder_choice.h"
#include "intake/intake.h"
#include "skin/controls.h"

namespace pagerift {
namespace {

using namespace std::string_literals;
using Paths = std::vector<std::string>;

class IntakeTest : public ::testing::Test {
 protected:
  testing::FakeWorld w;
  Form form = MakeMainForm();

  const PicturePtr& Shown() { return form[picDrag].Picture; }
  const PicturePtr& Normal() { return form[imgDrag].Picture; }
  const PicturePtr& Light() { return form[imgDragLight].Picture; }

  void ExpectIdle() {
    EXPECT_TRUE(Queue(form).empty());
    EXPECT_TRUE(form[picDrag].Visible);
    EXPECT_FALSE(form[Timer1].Enabled);
    EXPECT_EQ(w.log.Count("DoEvents"), 0u);
  }
  // One pump, with the zone already hidden and the timer still off inside it.
  void ExpectArmedOnce(const std::function<void()>& handler) {
    w.pump.OnNextPump([this] {
      EXPECT_FALSE(form[picDrag].Visible);
      EXPECT_FALSE(form[Timer1].Enabled);
    });
    handler();
    EXPECT_FALSE(form[picDrag].Visible);
    EXPECT_TRUE(form[Timer1].Enabled);
    EXPECT_EQ(w.log.Count("DoEvents"), 1u);
  }
};

TEST_F(IntakeTest, CancelledDialogChangesNothing) {
  DropZoneClick(form, w.ports);
  ExpectIdle();
  ASSERT_EQ(w.dialogs.openRequests.size(), 1u);
  const OpenFileRequest& r = w.dialogs.openRequests[0];
  EXPECT_EQ(r.title, "Open Files");
  EXPECT_EQ(r.initialFolder, w.shell.programFolder);
  EXPECT_EQ(r.filter, "PDF Files(*.PDF)\0*.pdf\0"s);
  EXPECT_EQ(r.flags, 0x00200008u);  // no multi-select: one path at most
}

TEST_F(IntakeTest, ClickQueuesTheAnswerAsGiven) {
  const std::string path = "C:\\Docs\\Отчёт 2026 — 季度 🎉.pdf";
  w.dialogs.openResult = path;
  ExpectArmedOnce([&] { DropZoneClick(form, w.ports); });
  EXPECT_EQ(Queue(form), Paths{path});
}

TEST_F(IntakeTest, DropQueuesEveryPathInOrderUnchecked) {
  const Paths files = {"C:\\b.pdf",       "C:\\a.pdf",     "C:\\a.pdf",
                       "C:\\Some Folder", "D:\\notes.TXT", "C:\\Docs\\Отчёт 2026 — 季度 🎉.pdf"};
  DropZoneDragOver(form, DragState::Over);
  ExpectArmedOnce([&] { EXPECT_EQ(DropZoneDrop(form, w.ports, files), kDropEffectCopy); });
  EXPECT_EQ(Queue(form), files);
  EXPECT_EQ(Shown(), Normal());
}

TEST_F(IntakeTest, DropWithoutFilesOnlyResetsThePicture) {
  for (const auto& data : {std::optional<Paths>{}, std::optional<Paths>{Paths{}}}) {
    DropZoneDragOver(form, DragState::Over);
    EXPECT_EQ(DropZoneDrop(form, w.ports, data), kDropEffectCopy);
    EXPECT_EQ(Shown(), Normal());
    ExpectIdle();
  }
}

TEST_F(IntakeTest, DragFeedbackSwitchesBetweenTheTwoLooks) {
  ASSERT_NE(Light(), Normal());
  form[picDrag].Picture = Light();  // e.g. left lit by the hover
  DropZoneDragOver(form, DragState::Enter);
  EXPECT_EQ(Shown(), Normal());
  DropZoneDragOver(form, DragState::Over);
  EXPECT_EQ(Shown(), Light());
  DropZoneDragOver(form, DragState::Leave);
  EXPECT_EQ(Shown(), Normal());
  ExpectIdle();
}

TEST_F(IntakeTest, FolderChoiceReplacesOnConfirmAndShortensTheLabelEveryTime) {
  form[txtPath].Text = "C:\\Output";
  w.dialogs.folderResults = {"D:\\Pages",  std::nullopt, "C:\\",      "E:\\Out\\Später",
                             std::nullopt, std::nullopt, std::nullopt};
  struct Step {
    const char* path;
    size_t dots;
  } steps[] = {
      {"D:\\Pages", 2},        {"D:\\Pages", 4},        {"C:\\", 6},
      {"E:\\Out\\Später", 8},  {"E:\\Out\\Später", 10}, {"E:\\Out\\Später", 11},
      {"E:\\Out\\Später", 11},
  };  // the label's 14 characters grow by two a use until the 23-character cut holds them
  for (const auto& s : steps) {
    BrowseClick(form, w.ports);
    EXPECT_EQ(form[txtPath].Text, s.path);
    EXPECT_EQ(form[lblPath].Caption, "Current Folder" + std::string(s.dots, '.'));
  }
  EXPECT_EQ(w.log.Count("BrowseForFolder Please select a folder:"), 7u);
}

}  // namespace
}  // namespace pagerift
