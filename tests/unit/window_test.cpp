#include <gtest/gtest.h>

#include "core/events.h"
#include "app/window_behaviour.h"
#include "fakes.h"
#include "skin/combos.h"
#include "skin/hover.h"
#include "skin/controls.h"

namespace pagerift {
namespace {

using testing::FakeWorld;
using Calls = std::vector<std::string>;
constexpr ControlId kOptionButtons[] = {picButtonBR, picButtonR, picButtonChannel};

PicturePtr PictureOf(const Form& form, ControlId id) { return form[id].Picture; }

TEST(HoverTest, DropZoneHighlightsInsideItsBoundsEdgesIncluded) {
  for (float tpp : {15.0f, 12.0f}) {  // the zone's current size counts, not its design size
    Form form = MakeMainForm();
    const float w = form[picDrag].Width = 545 * tpp, h = form[picDrag].Height = 302 * tpp;
    struct Case {
      float x, y;
      bool inside;
    } cases[] = {
        {0, 0, true},          {w, h, true},         {w, 0, true},
        {0, h, true},          {w / 2, h / 2, true}, {-0.01f, 5, false},
        {w + 0.01f, 5, false}, {5, -0.01f, false},   {5, h + 0.01f, false},
    };
    for (const auto& c : cases) {
      FakeWorld world;
      DropZoneMouseMove(form, world.ports, c.x, c.y);
      DropZoneMouseMove(form, world.ports, c.x, c.y);  // acts on every move
      SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
      EXPECT_EQ(PictureOf(form, picDrag), PictureOf(form, c.inside ? imgDragLight : imgDrag));
      const std::string call = c.inside ? "SetCapture picDrag" : "ReleaseCapture";
      EXPECT_EQ(world.log.calls, (Calls{call, call}));
    }
  }
}

TEST(HoverTest, PressesAndHighlightsShowTheHoldersPictures) {
  FakeWorld w;
  Form form = MakeMainForm();
  form[picDrag].Picture = PictureOf(form, imgDragLight);
  PicturePtr duringPump;
  w.pump.OnNextPump([&] { duringPump = PictureOf(form, picDrag); });
  DropZoneMouseDown(form, w.ports);
  EXPECT_EQ(duringPump, PictureOf(form, imgDrag));  // shown before anything else runs
  EXPECT_EQ(w.log.calls, Calls{"DoEvents"});

  BrowseMouseMove(form);
  EXPECT_EQ(PictureOf(form, imgBrowse), PictureOf(form, imgBrowseLight));
  BrowseMouseDown(form);
  EXPECT_EQ(PictureOf(form, imgBrowse), PictureOf(form, imgBrowseDark));
  for (ControlId button : kOptionButtons) {
    OptionButtonMouseMove(form, button);
    EXPECT_EQ(PictureOf(form, button), PictureOf(form, imgButtonLight));
  }
}

// Sees whether the hover pictures are still highlighted while the move lasts.
class MoveWatcher : public testing::FakeWindow {
 public:
  MoveWatcher(testing::CallLog& log, const Form& form) : FakeWindow(log), form_(form) {}
  void BeginMove() override {
    FakeWindow::BeginMove();
    zoneDuringMove = form_[picDrag].Picture;
  }
  PicturePtr zoneDuringMove;

 private:
  const Form& form_;
};

TEST(WindowTest, BackgroundMovesOnlyWithTheLeftButtonAndAlwaysResetsHover) {
  struct Case {
    int buttons;
    Calls calls;
  } cases[] = {
      {0, {}},
      {kRightButton | kMiddleButton, {}},
      {kLeftButton, {"ReleaseCapture", "BeginMove"}},
      {kLeftButton | kRightButton, {"ReleaseCapture", "BeginMove"}},
  };
  for (const auto& c : cases) {
    FakeWorld w;
    Form form = MakeMainForm();
    MoveWatcher window(w.log, form);
    Ports ports{w.pump, w.process, w.shell, w.fs, w.dialogs, w.screen, window};
    for (ControlId b : kOptionButtons) OptionButtonMouseMove(form, b);
    BrowseMouseDown(form);
    form[picDrag].Picture = PictureOf(form, imgDragLight);

    BackgroundMouseMove(form, ports, c.buttons);
    SCOPED_TRACE(c.buttons);
    EXPECT_EQ(w.log.calls, c.calls);
    if (!c.calls.empty()) {
      EXPECT_EQ(window.zoneDuringMove, PictureOf(form, imgDragLight));
    }
    for (ControlId b : kOptionButtons) EXPECT_EQ(PictureOf(form, b), SkinArt().button);
    EXPECT_EQ(PictureOf(form, imgBrowse), nullptr);
    EXPECT_EQ(PictureOf(form, picDrag), PictureOf(form, imgDrag));
    EXPECT_EQ(PictureOf(form, imgButton), SkinArt().button);  // the holders keep theirs
    EXPECT_EQ(PictureOf(form, imgDrag), SkinArt().dropZone);
  }
}

TEST(WindowTest, HotspotsAndTheShapeTick) {
  FakeWorld w;
  Form form = MakeMainForm();
  form[Timer3].Enabled = true;
  ShapeTick(form, w.ports);
  EXPECT_FALSE(form[Timer3].Enabled);
  MinimizeClick(form, w.ports);
  EXPECT_EQ(PictureOf(form, imgMin), nullptr);
  HelpClick(w.ports);
  EXPECT_EQ(w.log.calls, (Calls{"ApplyColorKey 16711935 250", "Minimize",
                                "Open http://www.pagerift.example/pagerift.html"}));
  EXPECT_THROW(Unload(w.ports), testing::ProgramEnded);
  EXPECT_EQ(w.log.calls.back(), "EndProgram");
}

TEST(CombosTest, EachOptionButtonDropsItsOwnList) {
  FakeWorld w;
  for (ControlId control : kOptionButtons) OptionButtonClick(w.ports, control);
  for (ControlId other : {picDrag, cmbBR, imgExit}) OptionButtonClick(w.ports, other);
  EXPECT_EQ(w.log.calls,
            (Calls{"ShowDropDown cmbBR", "ShowDropDown cmbR", "ShowDropDown cmbChannel"}));
}

}  // namespace
}  // namespace pagerift
