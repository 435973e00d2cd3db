// What reaches the handlers without a mouse: keys, and a screen reader's
// default actions.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "fakes.h"

namespace pagerift {
namespace {

using Calls = std::vector<std::string>;
constexpr const char* kHelp = "Open http://www.pagerift.example/pagerift.html";

struct MainWindowTest : ::testing::Test {
  testing::FakeWorld w;
  MainWindow main{w.ports};
  Form& form = main.form();
};

TEST_F(MainWindowTest, ReturnAndSpaceOnTheDropZoneTakeTheClicksRoad) {
  for (Key key : {Key::Return, Key::Space}) {
    MainWindow fresh{w.ports};
    w.log.calls.clear();
    w.dialogs.openResult = "C:\\in.pdf";
    fresh.KeyDown(picDrag, key);
    EXPECT_EQ(w.log.calls, (Calls{"OpenFile Open Files", "DoEvents"}));
    EXPECT_EQ(Queue(fresh.form()), std::vector<std::string>{"C:\\in.pdf"});
    EXPECT_FALSE(fresh.form()[picDrag].Visible);
    EXPECT_TRUE(fresh.form()[Timer1].Enabled);
  }
}

TEST_F(MainWindowTest, KeysPressNothingElseAndNothingOnAZoneThatTakesNoInput) {
  for (std::optional<ControlId> focus : {std::optional<ControlId>{txtPath}, {lstFile}, {}})
    for (Key key : {Key::Return, Key::Space}) main.KeyDown(focus, key);
  form[picDrag].Enabled = false;  // the job runs
  main.KeyDown(picDrag, Key::Return);
  main.Activate(picDrag);
  form[picDrag].Enabled = true;
  form[picDrag].Visible = false;  // queued, the job about to start
  main.KeyDown(picDrag, Key::Space);
  main.Activate(picDrag);
  EXPECT_EQ(w.log.calls, Calls{});
}

TEST_F(MainWindowTest, HelpOpensTheSiteWhereverTheFocusIs) {
  form[picDrag].Enabled = false;
  for (std::optional<ControlId> focus : {std::optional<ControlId>{txtPath}, {picDrag}, {}})
    main.KeyDown(focus, Key::Help);
  EXPECT_EQ(w.log.calls, (Calls{kHelp, kHelp, kHelp}));
}

}  // namespace
}  // namespace pagerift
