// One member a window message, for the frame and its picture boxes alike.
#include "win32/frame.h"

#include <windowsx.h>

#include <utility>

#include "win32/text.h"

namespace pagerift::win {

namespace {

int Buttons(UINT keys) {
  int b = 0;
  if (keys & MK_LBUTTON) b |= kLeftButton;
  if (keys & MK_RBUTTON) b |= kRightButton;
  if (keys & MK_MBUTTON) b |= kMiddleButton;
  return b;
}

}  // namespace

Frame::Target Frame::HitTest(HWND w, POINT p) const {
  const float x = scale_.Twips(p.x), y = scale_.Twips(p.y);
  if (w != hwnd_) {
    // A picture box gets its own events, and while it holds the capture also
    // those from outside it.
    RECT client;
    GetClientRect(w, &client);
    return {IdOf(w), x, y, PtInRect(&client, p) != FALSE};
  }
  // On the frame: the topmost windowless control under the point.
  for (auto it = formPtr_->controls.rbegin(); it != formPtr_->controls.rend(); ++it) {
    const Control& c = *it;
    if (!c.Visible || c.IsTimer() || c.IsWindowed()) continue;
    RECT r = PaintedRect(c);
    if (PtInRect(&r, p)) return {c.id, x - c.Left, y - c.Top, true};
  }
  return {std::nullopt, x, y, false};
}

void Frame::OnPaint(HWND w) {
  PaintScope ps(w);
  if (w == hwnd_) {
    Paint(ps.dc());
  } else {
    PaintBox(w, ps.dc());
  }
}

BOOL Frame::OnEraseBkgnd(HWND, HDC) { return TRUE; }  // painting covers every pixel

void Frame::OnMouseMove(HWND w, int x, int y, UINT keys) {
  const Target t = HitTest(w, {x, y});
  Dispatch([&] { mainPtr_->MouseMove(t.control, Buttons(keys), t.x, t.y); });
}

void Frame::OnLButtonDown(HWND w, BOOL, int x, int y, UINT keys) { Press(w, x, y, keys, true); }

void Frame::OnOtherButtonDown(HWND w, BOOL, int x, int y, UINT keys) {
  Press(w, x, y, keys, false);
}

void Frame::Press(HWND w, int x, int y, UINT keys, bool left) {
  const Target t = HitTest(w, {x, y});
  // A click is a left press and release on the same control. A left press
  // anywhere else, the bare skin included, forgets an earlier press whose
  // release never came (a window move swallows it).
  if (left) pressed_ = t.control;
  if (!t.control) return;
  Dispatch([&] { mainPtr_->MouseDown(*t.control, Buttons(keys)); });
}

void Frame::OnLButtonUp(HWND w, int x, int y, UINT) {
  const Target t = HitTest(w, {x, y});
  const std::optional<ControlId> pressed = std::exchange(pressed_, std::nullopt);
  if (t.inside && t.control == pressed) Dispatch([&] { mainPtr_->Click(*pressed); });
}

BOOL Frame::OnSetCursor(HWND w, HWND cursorWindow, UINT hitTest, UINT msg) {
  if (w != hwnd_) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return TRUE;
  }
  if (hitTest != HTCLIENT || cursorWindow != hwnd_)
    return FORWARD_WM_SETCURSOR(w, cursorWindow, hitTest, msg, DefWindowProcW);
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  const Target t = HitTest(w, p);
  const bool hand = t.control && (*formPtr_)[*t.control].handPointer;
  SetCursor(hand ? hand_ : LoadCursorW(nullptr, IDC_ARROW));
  return TRUE;
}

void Frame::OnTimer(HWND w, UINT id) {
  // Timer ids are one past the control's.
  const size_t index = id - 1;
  if (w != hwnd_ || index >= formPtr_->controls.size()) return;
  const Control& c = formPtr_->controls[index];
  if (c.IsTimer() && c.Enabled) Dispatch([&] { mainPtr_->TimerTick(c.id); });
}

void Frame::OnCommand(HWND w, int, HWND control, UINT code) {
  // What the user did in a real control goes into the model; the model's own
  // changes, applied by Sync, come back here too and are not news.
  const std::optional<ControlId> id = IdOf(control);
  if (w != hwnd_ || !id) return;
  if (code == EN_SETFOCUS) lastFocus_ = control;  // only text boxes send this code
  if (syncing_) return;
  if (code == EN_CHANGE) {
    const int n = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(control, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    const std::string utf8 = ToUtf8(text);
    RunGuarded("a text change", [&] { mainPtr_->TextChanged(*id, utf8); });
    applied_[*id].text = utf8;
  } else if (code == CBN_SELCHANGE) {
    const int sel = ComboBox_GetCurSel(control);
    RunGuarded("a selection change", [&] { mainPtr_->SelectionChanged(*id, sel); });
    applied_[*id].listIndex = sel;
  }
}

void Frame::OnClose(HWND w) {
  if (w != hwnd_) return FORWARD_WM_CLOSE(w, DefWindowProcW);
  Revoke();
  mainPtr_->Unload();
}

void Frame::OnDpiChanged(HWND w, UINT dpi, const RECT* suggested) {
  if (w != hwnd_) return;
  SetDpi(dpi);
  // Windows' rectangle keeps the window under the pointer on the new screen;
  // Sync lays the controls out for the new scale and leaves the size be.
  if (suggested)
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  appliedSize_ = SIZE{PxX(formPtr_->Width), PxY(formPtr_->Height)};
  Sync();
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Frame::OnEndSession(HWND w, BOOL ending) {
  if (w != hwnd_ || !ending) return FORWARD_WM_ENDSESSION(w, ending, DefWindowProcW);
  Revoke();
  mainPtr_->Unload();
}

}  // namespace pagerift::win
