// The keyboard. Tab moves the focus between the folder box and the drop zone
// (the dialog manager's work); Return and Space press the focused drop zone;
// F1 belongs to the window, wherever the focus is. The focus cue follows
// Windows' convention: hidden until the user first works with the keyboard.
#include "win32/frame.h"

#include <windowsx.h>

#include <algorithm>

namespace pagerift::win {

namespace {

constexpr int kFocusCueInset = 3;  // 96-DPI pixels: inside the drop zone's own frame line

bool IsPress(UINT vk) { return vk == VK_RETURN || vk == VK_SPACE; }

}  // namespace

bool Frame::PreTranslate(MSG& msg) {
  if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    if (hideFocusCue_)
      SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1) {
      // A held key opens the page once.
      if (!(HIWORD(msg.lParam) & KF_REPEAT)) {
        const std::optional<ControlId> focus = FocusedControl();
        Dispatch([&] { mainPtr_->KeyDown(focus, Key::Help); });
      }
      return true;
    }
  }
  return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void Frame::HideFocusCueUntilKeyboardUse() {
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
}

void Frame::OnChangeUiState(HWND w, WPARAM wParam, LPARAM lParam) {
  if (w != hwnd_) return (void)DefWindowProcW(w, WM_CHANGEUISTATE, wParam, lParam);
  // What Windows does for a top-level window, done here because Wine does
  // not: the change comes back down as WM_UPDATEUISTATE. A user who asked
  // Windows to show keyboard cues always keeps them.
  BOOL always = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0);
  if (LOWORD(wParam) == UIS_SET && always) return;
  SendMessageW(hwnd_, WM_UPDATEUISTATE, wParam, lParam);
}

bool Frame::FocusCueShown(HWND box) const { return GetFocus() == box && !hideFocusCue_; }

void Frame::DrawFocusCue(HWND box, HDC dc, RECT rc) const {
  if (!FocusCueShown(box)) return;
  InflateRect(&rc, -scale_.Scaled(kFocusCueInset), -scale_.Scaled(kFocusCueInset));
  // As thick as the scale: dotted rectangles one inside the other.
  for (int line = 0; line < std::max(1, scale_.Scaled(1)); ++line) {
    DrawFocusRect(dc, &rc);
    InflateRect(&rc, -1, -1);
  }
}

std::optional<ControlId> Frame::FocusedControl() const { return IdOf(GetFocus()); }

UINT Frame::OnGetDlgCode(HWND w, LPMSG msg) {
  if (w == hwnd_) return FORWARD_WM_GETDLGCODE(w, msg, DefWindowProcW);
  // Return comes to a picture box, as Space does, instead of being taken as
  // the dialog's default button.
  const bool enter = msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
  return DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
}

void Frame::OnKey(HWND w, UINT vk, BOOL, int repeat, UINT flags) {
  if (w == hwnd_ || !IsPress(vk)) return FORWARD_WM_KEYDOWN(w, vk, repeat, flags, DefWindowProcW);
  if (flags & KF_REPEAT) return;  // a held key presses once
  const std::optional<ControlId> id = IdOf(w);
  Dispatch([&] { mainPtr_->KeyDown(id, vk == VK_RETURN ? Key::Return : Key::Space); });
}

void Frame::OnSetFocus(HWND w, HWND) {
  if (w != hwnd_) {
    lastFocus_ = w;
    InvalidateRect(w, nullptr, FALSE);
    return;
  }
  // The window has the focus back (after a dialog, a message box, another
  // program, or a hidden control): hand it on to the control that had it, as
  // a dialog does, so that a keyboard user goes on where they were.
  if (lastFocus_ && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_))
    SetFocus(lastFocus_);
}

void Frame::OnKillFocus(HWND w, HWND) {
  if (w != hwnd_) InvalidateRect(w, nullptr, FALSE);
}

void Frame::OnUpdateUiState(HWND w, WPARAM wParam, LPARAM lParam) {
  DefWindowProcW(w, WM_UPDATEUISTATE, wParam, lParam);  // Windows' own record, and the children's
  if (w != hwnd_ || !(HIWORD(wParam) & UISF_HIDEFOCUS)) return;
  // Kept here too: Wine keeps no UI state, and says every cue is shown.
  if (LOWORD(wParam) == UIS_SET) hideFocusCue_ = true;
  if (LOWORD(wParam) == UIS_CLEAR) hideFocusCue_ = false;
  const HWND focus = GetFocus();
  if (const std::optional<ControlId> id = IdOf(focus);
      id && (*formPtr_)[*id].kind == ControlKind::PictureBox)
    InvalidateRect(focus, nullptr, FALSE);
}

}  // namespace pagerift::win
