#include "win32/frame.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cmath>

#include "win32/drop_target.h"
#include "win32/faults.h"
#include "win32/ports.h"
#include "skin/art/resource_ids.h"
#include "win32/text.h"
#include "skin/controls.h"

namespace pagerift::win {

namespace {

constexpr wchar_t kFrameClass[] = L"PageriftFrame";
constexpr wchar_t kBoxClass[] = L"PageriftPictureBox";

int Buttons(WPARAM wp) {
  int b = 0;
  if (wp & MK_LBUTTON) b |= kLeftButton;
  if (wp & MK_RBUTTON) b |= kRightButton;
  if (wp & MK_MBUTTON) b |= kMiddleButton;
  return b;
}

}  // namespace

void Frame::Attach(MainWindow& main) {
  mainPtr_ = &main;
  formPtr_ = &main.form();
}

Frame::~Frame() {
  Revoke();
  if (hwnd_) DestroyWindow(hwnd_);
}

int Frame::PxX(float twips) const { return static_cast<int>(std::lround(twips / tppX_)); }
int Frame::PxY(float twips) const { return static_cast<int>(std::lround(twips / tppY_)); }

bool Frame::Create(HINSTANCE instance) {
  dpiY_ = ScreenDpi(LOGPIXELSY);
  tppX_ = 1440.0f / ScreenDpi(LOGPIXELSX);
  tppY_ = 1440.0f / dpiY_;
  hand_ = LoadCursorW(instance, MAKEINTRESOURCEW(IDC_HAND_POINTER));
  if (!hand_) hand_ = LoadCursorW(nullptr, IDC_HAND);

  WNDCLASSEXW wc{sizeof wc};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kFrameClass;
  auto registered = [&wc] {
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  };
  if (!registered()) return false;
  wc.lpfnWndProc = BoxProc;
  wc.hIcon = wc.hIconSm = nullptr;
  wc.lpszClassName = kBoxClass;
  if (!registered()) return false;

  // Centred for the design size, which is also the size the window keeps in
  // pixels once start-up has scaled it.
  const int w = static_cast<int>(std::lround(formPtr_->Width / 15));
  const int h = static_cast<int>(std::lround(formPtr_->Height / 15));
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - w) / 2;
  const int y = work.top + (work.bottom - work.top - h) / 2;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, ToWide(formPtr_->Caption).c_str(),
                          WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, x, y, w, h,
                          nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  CreateControls(instance);
  CreateTooltips(instance);
  if (HWND drop = ControlWindow(picDrag)) dropTarget_ = DropTarget::Register(drop, *mainPtr_, *this);
  Sync();
  return true;
}

void Frame::CreateControls(HINSTANCE instance) {
  windows_.assign(formPtr_->controls.size(), nullptr);
  applied_.assign(formPtr_->controls.size(), Applied{});
  for (size_t i = 0; i < formPtr_->controls.size(); ++i) {
    const Control& c = formPtr_->controls[i];
    const wchar_t* cls = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ex = 0;
    switch (c.kind) {
      case ControlKind::PictureBox:
        cls = kBoxClass;
        style |= WS_CLIPCHILDREN;
        break;
      case ControlKind::ListBox:
        cls = L"LISTBOX";
        style |= LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT;
        break;
      case ControlKind::TextBox:
        cls = L"EDIT";
        style |= ES_AUTOHSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::ComboBox:
        cls = L"COMBOBOX";
        style |= CBS_DROPDOWNLIST | WS_VSCROLL;
        break;
      default:
        continue;  // windowless: painted by the frame
    }
    if (c.TabIndex >= 0) style |= WS_TABSTOP;
    HWND parent = hwnd_;
    if (c.container) parent = ControlWindow(*c.container);
    // Combo boxes need room for their drop-down list.
    int extra = c.kind == ControlKind::ComboBox ? 200 : 0;
    HWND w = CreateWindowExW(ex, cls, L"", style, PxX(c.Left), PxY(c.Top), PxX(c.Width),
                             PxY(c.Height) + extra, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 100)), instance,
                             c.kind == ControlKind::PictureBox ? this : nullptr);
    windows_[i] = w;
    if (c.kind == ControlKind::ComboBox) {
      for (auto& item : c.List)
        SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(item).c_str()));
      applied_[i].list = c.List;
    }
  }
  // Tab order: the windows' z-order follows the tab index.
  HWND after = HWND_TOP;
  for (int tab = 0;; ++tab) {
    bool any = false;
    for (size_t i = 0; i < formPtr_->controls.size(); ++i) {
      if (formPtr_->controls[i].TabIndex != tab || !windows_[i]) continue;
      SetWindowPos(windows_[i], after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = windows_[i];
      any = true;
    }
    if (!any) break;
  }
}

void Frame::CreateTooltips(HINSTANCE instance) {
  // Unowned: under wine a window that owns a topmost tooltip cannot itself
  // be made topmost.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                             nullptr, instance, nullptr);
  if (!tooltip_) return;
  for (size_t i = 0; i < formPtr_->controls.size(); ++i) {
    const Control& c = formPtr_->controls[i];
    if (c.ToolTipText.empty()) continue;
    std::wstring tip = ToWide(c.ToolTipText);
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.lpszText = tip.data();
    if (windows_[i]) {
      ti.uFlags |= TTF_IDISHWND;
      ti.hwnd = hwnd_;
      ti.uId = reinterpret_cast<UINT_PTR>(windows_[i]);
    } else {
      ti.hwnd = hwnd_;
      ti.uId = i + 1;
      ti.rect = ControlRect(c);
    }
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

HWND Frame::ControlWindow(ControlId id) const { return id < windows_.size() ? windows_[id] : nullptr; }

std::optional<ControlId> Frame::IdOf(HWND w) const {
  for (size_t i = 0; i < windows_.size(); ++i)
    if (windows_[i] && windows_[i] == w) return static_cast<ControlId>(i);
  return std::nullopt;
}

template <typename F>
void Frame::Dispatch(F&& handler) {
  if (revoked_) return;
  RunGuarded("a window message", handler);
  Sync();
}

void Frame::Revoke() {
  if (revoked_) return;
  revoked_ = true;
  if (dropTarget_) DropTarget::Revoke(dropTarget_);
  dropTarget_ = nullptr;
}

LRESULT CALLBACK Frame::FrameProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    reinterpret_cast<Frame*>(cs->lpCreateParams)->hwnd_ = w;
  }
  auto* self = reinterpret_cast<Frame*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  return self ? self->OnFrameMessage(msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT CALLBACK Frame::BoxProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<Frame*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  return self ? self->OnBoxMessage(w, msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT Frame::OnFrameMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PaintScope ps(hwnd_);
      Paint(ps.dc());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const Control* c = HitTest(p);
      std::optional<ControlId> id;
      if (c) id = c->id;
      float x = (p.x * tppX_) - (c ? c->Left : 0), y = (p.y * tppY_) - (c ? c->Top : 0);
      Dispatch([&] { mainPtr_->MouseMove(id, Buttons(wp), x, y); });
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      const Control* c = HitTest({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      if (!c) return 0;
      const ControlId id = c->id;
      if (msg == WM_LBUTTONDOWN) pressed_ = id;
      Dispatch([&] { mainPtr_->MouseDown(id, Buttons(wp)); });
      return 0;
    }
    case WM_LBUTTONUP: {
      const Control* c = HitTest({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      const auto pressed = std::exchange(pressed_, std::nullopt);
      if (c && pressed == c->id) Dispatch([&] { mainPtr_->Click(*pressed); });
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd_) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(hwnd_, &p);
        const Control* c = HitTest(p);
        SetCursor(c && c->handPointer ? hand_ : LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_TIMER: {
      size_t i = wp - 1;
      if (i < formPtr_->controls.size() && formPtr_->controls[i].IsTimer() && formPtr_->controls[i].Enabled) {
        const ControlId id = formPtr_->controls[i].id;
        Dispatch([&] { mainPtr_->TimerTick(id); });
      }
      return 0;
    }
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lp);
      const std::optional<ControlId> id = IdOf(from);
      if (!id || syncing_) break;
      if (HIWORD(wp) == EN_CHANGE) {
        int n = GetWindowTextLengthW(from);
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(from, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        std::string utf8 = ToUtf8(text);
        RunGuarded("a text change", [&] { mainPtr_->TextChanged(*id, utf8); });
        applied_[static_cast<size_t>(GetDlgCtrlID(from) - 100)].text = utf8;
      } else if (HIWORD(wp) == CBN_SELCHANGE) {
        int sel = static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0));
        RunGuarded("a selection change", [&] { mainPtr_->SelectionChanged(*id, sel); });
        applied_[static_cast<size_t>(GetDlgCtrlID(from) - 100)].listIndex = sel;
      }
      return 0;
    }
    case WM_CLOSE:
    case WM_ENDSESSION:
      if (msg == WM_ENDSESSION && !wp) break;
      Revoke();
      mainPtr_->Unload();
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT Frame::OnBoxMessage(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
  const std::optional<ControlId> id = IdOf(box);
  if (!id) return DefWindowProcW(box, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: {
      PaintScope ps(box);
      RECT rc;
      GetClientRect(box, &rc);
      FillRect(ps.dc(), &rc, GetSysColorBrush(COLOR_WINDOW));
      if (const Control& c = (*formPtr_)[*id]; c.Picture)
        DrawBitmap(ps.dc(), PictureBitmap(c.Picture->resource), rc, false);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      float x = GET_X_LPARAM(lp) * tppX_, y = GET_Y_LPARAM(lp) * tppY_;
      Dispatch([&] { mainPtr_->MouseMove(id, Buttons(wp), x, y); });
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (msg == WM_LBUTTONDOWN) pressed_ = id;
      Dispatch([&] { mainPtr_->MouseDown(*id, Buttons(wp)); });
      return 0;
    case WM_LBUTTONUP: {
      RECT rc;
      GetClientRect(box, &rc);
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const auto pressed = std::exchange(pressed_, std::nullopt);
      if (pressed == id && PtInRect(&rc, p)) Dispatch([&] { mainPtr_->Click(*id); });
      return 0;
    }
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    default:
      break;
  }
  return DefWindowProcW(box, msg, wp, lp);
}

}  // namespace pagerift::win
