// The folder dialog behind the browse button, and the option lists, with the
// real dialogs and controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "started_app.h"
#include "win32/text.h"

using namespace pagerift;  // the controls by name

namespace {

struct Choice : StartedApp {
  // A left click at a point of the frame, as the mouse would give it.
  void ClickFrame(int x, int y) {
    HWND f = app.frame().hwnd();
    SendMessageW(f, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(f, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
};

// Notes the wParam of the last CB_SHOWDROPDOWN a combo was sent.
WNDPROC g_comboProc = nullptr;
WPARAM g_dropDownWParam = 0;
LRESULT CALLBACK ComboSpy(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == CB_SHOWDROPDOWN) g_dropDownWParam = wParam;
  return CallWindowProcW(g_comboProc, w, msg, wParam, lParam);
}

}  // namespace

TEST_F(Choice, BrowseOpensTheFolderDialogAndTakesTheConfirmedFolder) {
  std::atomic<bool> seen{false};
  std::thread confirm = PressWhenShown(L"Browse for Folder", IDOK, [&](HWND) { seen = true; });
  ClickFrame(490, 412);  // imgBrowse lies below the visible area
  confirm.join();
  ASSERT_TRUE(seen) << "no folder dialog";
  const std::string chosen = app.main().form()[txtPath].Text;
  EXPECT_NE(chosen, "C:\\Output");
  DWORD attrs = GetFileAttributesW(pagerift::win::ToWide(chosen).c_str());
  EXPECT_TRUE(attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) << chosen;
  // Shortened at start-up and once more after the choice.
  EXPECT_EQ(app.main().form()[lblPath].Caption, "Current Folder....");
}

TEST_F(Choice, CancelLeavesTheFolderAsItWas) {
  std::atomic<bool> seen{false};
  std::thread cancel = PressWhenShown(L"Browse for Folder", IDCANCEL, [&](HWND) { seen = true; });
  ClickFrame(490, 412);
  cancel.join();
  ASSERT_TRUE(seen);
  EXPECT_EQ(app.main().form()[txtPath].Text, "C:\\Output");
}

TEST_F(Choice, EachOptionButtonDropsItsOwnListWithAllBitsSet) {
  auto& f = app.frame();
  for (ControlId c : {cmbBR, cmbR, cmbChannel})
    g_comboProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(f.ControlWindow(c), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboSpy)));
  for (auto [button, combo] : {std::pair{picButtonBR, cmbBR}, std::pair{picButtonR, cmbR},
                               std::pair{picButtonChannel, cmbChannel}}) {
    for (ControlId c : {cmbBR, cmbR, cmbChannel})
      SendMessageW(f.ControlWindow(c), CB_SHOWDROPDOWN, FALSE, 0);
    HWND b = f.ControlWindow(button);
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(g_dropDownWParam, ~WPARAM{0}) << ControlName(button);
    for (ControlId c : {cmbBR, cmbR, cmbChannel})
      EXPECT_EQ(SendMessageW(f.ControlWindow(c), CB_GETDROPPEDSTATE, 0, 0) != 0, c == combo)
          << ControlName(button) << " / " << ControlName(c);
  }
}
