#include "win32/frame.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cmath>

#include "skin/art/resource_ids.h"
#include "skin/controls.h"
#include "win32/drop_target.h"
#include "win32/win_ports.h"
#include "win32/text.h"

namespace pagerift::win {

namespace {

constexpr wchar_t kFrameClass[] = L"PageriftFrame";
constexpr wchar_t kBoxClass[] = L"PageriftPictureBox";

}  // namespace

void Frame::Attach(MainWindow& main) {
  mainPtr_ = &main;
  formPtr_ = &main.form();
}

Frame::~Frame() {
  Revoke();
  DisconnectAccessible();
  if (hwnd_) DestroyWindow(hwnd_);
}

bool Frame::Create(HINSTANCE instance) {
  scale_ = DeviceScale(WindowDpi(nullptr));
  hand_ = LoadCursorW(instance, MAKEINTRESOURCEW(IDC_HAND_POINTER));
  if (!hand_) hand_ = LoadCursorW(nullptr, IDC_HAND);

  // The frame and the picture boxes share the window procedure.
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kBoxClass;
  auto registered = [&wc] {
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  };
  if (!registered()) return false;
  wc.hIcon = wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = kFrameClass;
  if (!registered()) return false;

  // Centred for its size at the system's DPI; a monitor of another DPI
  // corrects it below.
  const int w = PxX(formPtr_->Width);
  const int h = PxY(formPtr_->Height);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - w) / 2;
  const int y = work.top + (work.bottom - work.top - h) / 2;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, ToWide(formPtr_->Caption).c_str(),
                          WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, x, y, w, h,
                          nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  if (const UINT dpi = WindowDpi(hwnd_); dpi != scale_.dpi()) {
    SetDpi(dpi);
    SetWindowPos(hwnd_, nullptr, x - (PxX(formPtr_->Width) - w) / 2,
                 y - (PxY(formPtr_->Height) - h) / 2, PxX(formPtr_->Width), PxY(formPtr_->Height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  CreateControls(instance);
  CreateTooltips(instance);
  HideFocusCueUntilKeyboardUse();
  if (HWND drop = ControlWindow(picDrag))
    dropTarget_ = DropTarget::Register(drop, *mainPtr_, *this);
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
      default: continue;  // windowless: painted by the frame
    }
    if (c.TabIndex >= 0) style |= WS_TABSTOP;
    HWND parent = hwnd_;
    if (c.container) parent = ControlWindow(*c.container);
    const int extra = c.kind == ControlKind::ComboBox ? kComboListHeight : 0;
    HWND w = CreateWindowExW(ex, cls, L"", style, PxX(c.Left), PxY(c.Top), PxX(c.Width),
                             PxY(c.Height) + scale_.Scaled(extra), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + kFirstControlId)),
                             instance, c.kind == ControlKind::PictureBox ? this : nullptr);
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
  ApplyTooltipFont();
}

void Frame::ApplyTooltipFont() {
  // Windows' own tooltip font, at the window's DPI: Windows gives the metrics
  // at the system's.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!tooltip_ || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return;
  LOGFONTW& lf = metrics.lfStatusFont;
  lf.lfHeight = MulDiv(lf.lfHeight, static_cast<int>(dpi()), static_cast<int>(WindowDpi(nullptr)));
  UniqueFont font(CreateFontIndirectW(&lf));
  if (!font) return;
  SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  tooltipFont_ = std::move(font);  // the old one only once the tooltip holds the new
}

HWND Frame::ControlWindow(ControlId id) const {
  return id < windows_.size() ? windows_[id] : nullptr;
}

std::optional<ControlId> Frame::IdOf(HWND w) const {
  const int index = GetDlgCtrlID(w) - kFirstControlId;
  if (w && index >= 0 && static_cast<size_t>(index) < windows_.size() && windows_[index] == w)
    return static_cast<ControlId>(index);
  return std::nullopt;
}

void Frame::Revoke() {
  if (revoked_) return;
  revoked_ = true;
  if (dropTarget_) DropTarget::Revoke(dropTarget_);
  dropTarget_ = nullptr;
}

LRESULT CALLBACK Frame::WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Frame*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (!self->hwnd_) self->hwnd_ = w;  // the frame comes first; its boxes follow
  }
  auto* self = reinterpret_cast<Frame*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  return self ? self->OnMessage(w, msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT Frame::OnMessage(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    HANDLE_MSG(w, WM_PAINT, OnPaint);
    HANDLE_MSG(w, WM_ERASEBKGND, OnEraseBkgnd);
    HANDLE_MSG(w, WM_MOUSEMOVE, OnMouseMove);
    HANDLE_MSG(w, WM_LBUTTONDOWN, OnLButtonDown);
    HANDLE_MSG(w, WM_RBUTTONDOWN, OnOtherButtonDown);
    HANDLE_MSG(w, WM_MBUTTONDOWN, OnOtherButtonDown);
    HANDLE_MSG(w, WM_LBUTTONUP, OnLButtonUp);
    HANDLE_MSG(w, WM_SETCURSOR, OnSetCursor);
    HANDLE_MSG(w, WM_TIMER, OnTimer);
    HANDLE_MSG(w, WM_COMMAND, OnCommand);
    HANDLE_MSG(w, WM_CLOSE, OnClose);
    HANDLE_MSG(w, WM_ENDSESSION, OnEndSession);
    HANDLE_MSG(w, WM_KEYDOWN, OnKey);
    HANDLE_MSG(w, WM_GETDLGCODE, OnGetDlgCode);
    HANDLE_MSG(w, WM_SETFOCUS, OnSetFocus);
    HANDLE_MSG(w, WM_KILLFOCUS, OnKillFocus);
    case WM_CHANGEUISTATE: OnChangeUiState(w, wParam, lParam); return 0;
    case WM_UPDATEUISTATE: OnUpdateUiState(w, wParam, lParam); return 0;
    case WM_GETOBJECT: return OnGetObject(w, wParam, lParam);
    case WM_DPICHANGED:
      OnDpiChanged(w, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case kActivateMessage:
      if (w == hwnd_ && wParam < formPtr_->controls.size())
        Dispatch([&] { mainPtr_->Activate(static_cast<ControlId>(wParam)); });
      return 0;
    default: return DefWindowProcW(w, msg, wParam, lParam);
  }
}

}  // namespace pagerift::win
