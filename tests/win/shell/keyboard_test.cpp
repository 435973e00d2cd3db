// Keys as the message loop gets them, through the real dialog manager:
// Return on the drop zone, where the focus goes after the dialog, and the
// focus cue's first showing.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "started_app.h"

using namespace pagerift;  // the controls by name

namespace {

struct Keyboard : StartedApp {
  // Wine starts with "always show keyboard cues" on; Windows with it off.
  Keyboard() {
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, nullptr, 0);
  }
  ~Keyboard() override {
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(INT_PTR{cues}), 0);
  }
  HWND Window(ControlId c) { return app.frame().ControlWindow(c); }
  // A key down and up for the focused window, as the system queues them.
  void Press(UINT vk) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, vk, 1);
    PostMessageW(focus, WM_KEYUP, vk, 0xC0000001);
    app.ports().pump.DoEvents();
  }
  BOOL cues = FALSE;
  // The drop zone's pixel just inside its frame line, where the cue runs.
  COLORREF CuePixel() {
    HWND zone = Window(picDrag);
    RedrawWindow(zone, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(zone);
    const COLORREF c = GetPixel(dc, 3, 3);
    ReleaseDC(zone, dc);
    return c;
  }
};

}  // namespace

TEST_F(Keyboard, ReturnOnTheDropZoneOpensTheDialogAndTheFocusComesBack) {
  ASSERT_EQ(GetFocus(), Window(txtPath));
  Press(VK_TAB);
  ASSERT_EQ(GetFocus(), Window(picDrag));
  for (int round = 0; round < 2; ++round) {  // after a cancel the zone still has the keyboard
    std::atomic<bool> seen{false};
    std::thread cancel = PressWhenShown(L"Open Files", IDCANCEL, [&](HWND) { seen = true; });
    Press(VK_RETURN);
    cancel.join();
    EXPECT_TRUE(seen) << "round " << round;
    app.ports().pump.DoEvents();
    EXPECT_EQ(GetFocus(), Window(picDrag)) << "round " << round;
  }
  EXPECT_TRUE(Queue(form()).empty());
}

TEST_F(Keyboard, TheFocusCueShowsOnlyOnceTheKeyboardIsUsed) {
  const COLORREF unfocused = CuePixel();
  SetFocus(Window(picDrag));  // not by a key: no cue yet
  EXPECT_EQ(CuePixel(), unfocused);

  Press(VK_SHIFT);
  EXPECT_NE(CuePixel(), unfocused);

  SetFocus(Window(txtPath));  // the cue goes with the focus
  EXPECT_EQ(CuePixel(), unfocused);
}
