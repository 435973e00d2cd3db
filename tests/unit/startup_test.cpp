#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/startup.h"
#include "fakes.h"
#include "skin/controls.h"

namespace pagerift {
namespace {

using testing::FakeWorld;
using testing::ProgramEnded;

TEST(StartupTest, ASecondInstanceEndsBeforeAnythingIsShown) {
  FakeWorld w;
  w.shell.anotherInstance = true;
  Form form = MakeMainForm();
  EXPECT_THROW(RunStartup(form, w.ports), ProgramEnded);
  EXPECT_EQ(w.log.calls, std::vector<std::string>{"EndProgram"});
  EXPECT_EQ(form[txtPath].Text, "");
  EXPECT_FALSE(form[Timer3].Enabled);
}

// Notes what the form looks like when the window is repainted.
class RepaintWatcher : public testing::FakeWindow {
 public:
  RepaintWatcher(testing::CallLog& log, const Form& form) : FakeWindow(log), form_(form) {}
  void Repaint() override {
    FakeWindow::Repaint();
    timerArmedAtRepaint = form_[Timer3].Enabled;
  }
  bool timerArmedAtRepaint = true;

 private:
  const Form& form_;
};

TEST(StartupTest, ShowsTheWindowBeforeSettingsAndArmsTheShapeLast) {
  FakeWorld w;
  w.shell.programFolder = "E:\\";  // a drive root keeps its backslash
  w.fs.files["E:\\setup.ini"] = "1,1,1,D:\\Out";
  Form form = MakeMainForm();
  form.lngStep = 7;
  w.screen.x = w.screen.y = 12;
  RepaintWatcher window(w.log, form);
  Ports ports{w.pump, w.process, w.shell, w.fs, w.dialogs, w.screen, window};
  std::string pathDuringPump = "unset";
  w.pump.OnNextPump([&] { pathDuringPump = form[txtPath].Text; });

  RunStartup(form, ports);
  EXPECT_EQ(w.log.calls, (std::vector<std::string>{"SetTopmost", "Show", "DoEvents", "Repaint"}));
  EXPECT_EQ(pathDuringPump, "");  // the settings come after the first pump
  EXPECT_EQ(form[txtPath].Text, "D:\\Out");
  EXPECT_FALSE(window.timerArmedAtRepaint);
  EXPECT_TRUE(form[Timer3].Enabled);
  EXPECT_EQ(form.lngStep, 0);
  EXPECT_EQ(form.Width, 6576);
  EXPECT_EQ(form[lblPath].Caption, "Current Folder..");  // shortened once
}

TEST(StartupTest, ShorteningGrowsTheCaptionToTwentyFiveAndStops) {
  std::string caption = "Current Folder";
  std::vector<size_t> lengths;
  for (int i = 0; i < 7; ++i) lengths.push_back((caption = ShortenCaption(caption)).size());
  EXPECT_EQ(lengths, (std::vector<size_t>{16, 18, 20, 22, 24, 25, 25}));
  EXPECT_EQ(ShortenCaption("0123456789"), "0123456789");
  EXPECT_EQ(ShortenCaption("01234567890"), "01234567890..");
  // Characters, not bytes: ten two-byte letters stay, more are cut between letters.
  std::string umlauts;
  for (int i = 0; i < 24; ++i) umlauts += "\xC3\xBC";
  EXPECT_EQ(ShortenCaption(umlauts.substr(0, 20)), umlauts.substr(0, 20));
  EXPECT_EQ(ShortenCaption(umlauts), umlauts.substr(0, 46) + "..");
}

TEST(ScalingTest, KeepsEveryControlAtItsDesignPixelSize) {
  const Form design = MakeMainForm();
  for (float tpp : {15.0f, 12.0f, 10.0f}) {  // 96, 120 and 144 DPI
    SCOPED_TRACE(tpp);
    Form form = MakeMainForm();
    ScaleToScreen(form, tpp, tpp);
    EXPECT_FLOAT_EQ(form.Width / tpp, 548);
    EXPECT_FLOAT_EQ(form.Height / tpp, 366);
    for (size_t i = 0; i < form.controls.size(); ++i) {
      const Control& c = form.controls[i];
      const Control& d = design.controls[i];
      SCOPED_TRACE(ControlName(c.id));
      for (auto [now, was] :
           {std::pair{c.Left, d.Left}, {c.Top, d.Top}, {c.Width, d.Width}, {c.Height, d.Height}}) {
        EXPECT_NEAR(now / tpp, was / 15, 1e-3);
      }
      EXPECT_NEAR(c.FontSize * 20 / tpp, d.FontSize * 20 / 15, 1e-4);  // pixels high
    }
  }
  Form form = MakeMainForm();
  ScaleToScreen(form, 12, 10);
  EXPECT_EQ(form.Width, 6576);
  EXPECT_EQ(form[imgExit].Left, 6360);
  EXPECT_FLOAT_EQ(form[imgExit].Top, 60);
  EXPECT_FLOAT_EQ(form[lblPb].FontSize, 7.2f);  // fonts follow the horizontal factor
  EXPECT_EQ(form[picDrag].Width / 12, 545);
  EXPECT_EQ(form[picDrag].Height / 10, 302);

  for (float broken : {0.0f, -12.0f, NAN}) {
    Form same = MakeMainForm();
    ScaleToScreen(same, broken, 12);
    EXPECT_EQ(same.Width, 8220);
    EXPECT_EQ(same[picDrag].Width, 8175);
  }
}

// Pixel rectangle of a top-level control on a screen of `tpp` twips per pixel.
struct Rect {
  float l, t, r, b;
};
Rect Pixels(const Control& c, float tpp) {
  return {c.Left / tpp, c.Top / tpp, (c.Left + c.Width) / tpp, (c.Top + c.Height) / tpp};
}

TEST(ControlTableTest, OnlyFiveControlsShowInsideTheWindowAtAnyResolution) {
  for (float tpp : {15.0f, 12.0f, 10.0f}) {
    SCOPED_TRACE(tpp);
    Form form = MakeMainForm();
    ScaleToScreen(form, tpp, tpp);
    std::vector<std::string> seen;
    std::vector<Rect> rects;
    for (const Control& c : form.controls) {
      if (c.IsTimer() || !c.Visible || c.container) continue;
      const Rect p = Pixels(c, tpp);
      if (p.r <= 0 || p.b <= 0 || p.l >= 548 || p.t >= 366) continue;
      seen.push_back(ControlName(c.id));
      EXPECT_TRUE(p.l >= 0 && p.t >= 0 && p.r <= 548.01f && p.b <= 366.01f) << ControlName(c.id);
      for (const Rect& o : rects) EXPECT_TRUE(p.r <= o.l || o.r <= p.l || p.b <= o.t || o.b <= p.t);
      rects.push_back(p);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"imgExit", "imgHelp", "imgMin", "lblPb", "picDrag"}));
  }
}

TEST(ControlTableTest, MakesEveryNamedControlOnceInTheOrderOfTheNames) {
  const Form form = MakeMainForm();
  ASSERT_EQ(form.controls.size(), kControlCount);
  for (size_t i = 0; i < kControlCount; ++i)
    EXPECT_EQ(form.controls[i].id, i) << ControlName(form.controls[i].id);
  EXPECT_STREQ(ControlName(txtPath), "txtPath");
}

TEST(ControlTableTest, FocusMovesInTabOrder) {
  std::vector<std::pair<int, std::string>> tabs;
  for (const Control& c : MakeMainForm().controls)
    if (c.TabIndex >= 0) tabs.emplace_back(c.TabIndex, ControlName(c.id));
  std::sort(tabs.begin(), tabs.end());
  std::string order;
  for (const auto& [index, name] : tabs) order += name + " ";
  EXPECT_EQ(order,
            "cmbBR cmbR cmbChannel txtPath picButtonBR picButtonR picButtonChannel "
            "picDrag lstFile ");
}

}  // namespace
}  // namespace pagerift
