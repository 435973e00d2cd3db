// The window operations the handlers ask for.
#include "win32/frame.h"

#include "skin/controls.h"

namespace pagerift::win {

void Frame::SetTopmost() {
  topmost_ = true;
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Frame::Show() {
  Sync();
  ShowWindow(hwnd_, SW_SHOW);
  // Wine forgets a topmost request made while the window was hidden.
  if (topmost_) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
  if (HWND txt = ControlWindow(txtPath)) SetFocus(txt);
}

void Frame::Repaint() {
  Sync();
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Frame::ApplyColorKey(uint32_t key, uint8_t alpha) {
  LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  SetLayeredWindowAttributes(hwnd_, key, alpha, LWA_COLORKEY);
}

void Frame::BeginMove() {
  ::ReleaseCapture();
  SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void Frame::Minimize() { ShowWindow(hwnd_, SW_MINIMIZE); }

void Frame::SetCapture(ControlId control) {
  if (HWND w = ControlWindow(control)) ::SetCapture(w);
}

void Frame::ReleaseCapture() { ::ReleaseCapture(); }

void Frame::ShowDropDown(ControlId combo) {
  // All bits set, as the window has always sent it, not just TRUE.
  if (HWND w = ControlWindow(combo)) SendMessageW(w, CB_SHOWDROPDOWN, ~WPARAM{0}, 0);
}

}  // namespace pagerift::win
