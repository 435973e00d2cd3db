// The window's design values, written out once more by hand, control by
// control: a slip in a rewrite of the control table has to get past this.
#include <gtest/gtest.h>

#include "skin/controls.h"

namespace pagerift {
namespace {

struct Design {
  ControlId id;
  int interval;     // timers only; they all start disabled
  const char* tip;  // "" for none
  bool hand;
  bool focus;  // has a place in the tab order
};

constexpr Design kDesign[] = {
    {Timer3, 50, "", false, false},
    {Timer1, 100, "", false, false},
    {picDrag, 0, "Drag PDF files onto this DropZone", false, true},
    {lstFile, 0, "", false, true},
    {picButtonChannel, 0, "MP3 Audio Channel(Stereo or Mono)", false, true},
    {picButtonR, 0, "MP3 Audio Rate", false, true},
    {picButtonBR, 0, "MP3 Audio Bitrate", false, true},
    {Timer2, 1000, "", false, false},
    {txtPath, 0, "Select a Folder to Output", false, true},
    {cmbChannel, 0, "MP3 Audio Channel(Stereo or Mono)", false, true},
    {cmbR, 0, "MP3 Audio Rate", false, true},
    {cmbBR, 0, "MP3 Audio Bitrate", false, true},
    {lblPb, 0, "", false, false},
    {lblPath, 0, "", true, false},
    {imgMin, 0, "Minimize Window", true, false},
    {imgDragLight, 0, "", false, false},
    {imgDrag, 0, "", false, false},
    {imgBrowseDark, 0, "", false, false},
    {imgBrowseLight, 0, "", false, false},
    {imgBrowse, 0, "Select an Output Folder", false, false},
    {imgButtonLight, 0, "", false, false},
    {imgButton, 0, "", false, false},
    {imgPB, 0, "", false, false},
    {imgPBRight, 0, "", false, false},
    {imgPBLeft, 0, "", false, false},
    {imgHelp, 0, "Website", true, false},
    {imgExit, 0, "Exit", true, false},
};

TEST(DesignValuesTest, TimersTooltipsPointersAndFocusAreAsDesigned) {
  const Form form = MakeMainForm();
  ASSERT_EQ(std::size(kDesign), kControlCount);
  for (size_t i = 0; i < kControlCount; ++i) {
    const Design& d = kDesign[i];
    const Control& c = form[d.id];
    SCOPED_TRACE(ControlName(d.id));
    EXPECT_EQ(d.id, i) << "the table above lists each control once, in creation order";
    EXPECT_EQ(c.IsTimer(), d.interval != 0);
    if (c.IsTimer()) {
      EXPECT_EQ(c.Interval, d.interval);
      EXPECT_FALSE(c.Enabled);
    }
    EXPECT_EQ(c.ToolTipText, d.tip);
    EXPECT_EQ(c.handPointer, d.hand);
    EXPECT_EQ(c.TabIndex >= 0, d.focus);
  }
}

}  // namespace
}  // namespace pagerift
