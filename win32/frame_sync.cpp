// Bringing the real windows in line with the model.
#include "win32/frame.h"

#include <commctrl.h>

#include <algorithm>

#include "win32/text.h"

namespace pagerift::win {

void Frame::Sync() {
  if (!hwnd_ || syncing_) return;
  syncing_ = true;
  SIZE size{PxX(formPtr_->Width), PxY(formPtr_->Height)};
  if (size.cx != appliedSize_.cx || size.cy != appliedSize_.cy) {
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    appliedSize_ = size;
  }
  for (size_t i = 0; i < formPtr_->controls.size(); ++i) SyncControl(i);
  syncing_ = false;
}

void Frame::SetDpi(UINT dpi) {
  scale_ = DeviceScale(dpi);
  // Everything was placed, sized and given a font for the old scale.
  appliedSize_ = SIZE{-1, -1};
  for (Applied& a : applied_) {
    a.rect = RECT{-1, -1, -1, -1};
    a.fontSize = -1;
    a.picture = nullptr;
  }
  ApplyTooltipFont();
}

void Frame::SyncControl(size_t i) {
  const Control& c = formPtr_->controls[i];
  Applied& a = applied_[i];
  const bool first = !a.created;
  a.created = true;

  if (c.IsTimer()) {
    if (c.Enabled != a.timerOn || first) {
      if (c.Enabled)
        SetTimer(hwnd_, i + 1, static_cast<UINT>(c.Interval), nullptr);
      else
        KillTimer(hwnd_, i + 1);
      a.timerOn = c.Enabled;
    }
    return;
  }

  HWND w = windows_[i];
  RECT r = PaintedRect(c);
  const bool moved = !EqualRect(&r, &a.rect);

  if (!w) {  // windowless: repaint where it was and where it is
    bool changed = moved || first || c.Visible != a.visible || c.Picture.get() != a.picture ||
                   c.Caption != a.caption || c.FontSize != a.fontSize;
    if (changed) {
      if (a.visible) InvalidateRect(hwnd_, &a.rect, FALSE);
      if (c.Visible) InvalidateRect(hwnd_, &r, FALSE);
      if (moved && tooltip_ && !c.ToolTipText.empty()) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = hwnd_;
        ti.uId = i + 1;
        ti.rect = c.Visible ? r : RECT{};
        SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
      }
    }
    // A reader speaks the status text when it hears that its name changed.
    if (!first && c.Caption != a.caption) NotifyAccessible(c.id, EVENT_OBJECT_NAMECHANGE);
    a.rect = r;
    a.visible = c.Visible;
    a.picture = c.Picture.get();
    a.caption = c.Caption;
    a.fontSize = c.FontSize;
    return;
  }

  if (moved) {
    const int extra = c.kind == ControlKind::ComboBox ? kComboListHeight : 0;
    SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left,
                 r.bottom - r.top + scale_.Scaled(extra), SWP_NOZORDER | SWP_NOACTIVATE);
    a.rect = r;
  }
  if (c.hasFont && c.FontSize != a.fontSize) {
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(Font(c.FontSize, c.fontUnderline)), TRUE);
    a.fontSize = c.FontSize;
  }
  if (!first && (c.Enabled != a.enabled || c.Visible != a.visible))
    NotifyAccessible(c.id, EVENT_OBJECT_STATECHANGE);  // the drop zone is available or not
  if (c.Enabled != a.enabled || first) {
    EnableWindow(w, c.Enabled);
    a.enabled = c.Enabled;
  }
  if (c.Picture.get() != a.picture) {
    a.picture = c.Picture.get();
    InvalidateRect(w, nullptr, FALSE);
  }
  if (c.kind == ControlKind::TextBox && c.Text != a.text) {
    SetWindowTextW(w, ToWide(c.Text).c_str());
    a.text = c.Text;
  }
  if (c.kind == ControlKind::ListBox || c.kind == ControlKind::ComboBox) SyncList(w, c, a);
  if (c.kind == ControlKind::ComboBox && c.ListIndex != a.listIndex) {
    SendMessageW(w, CB_SETCURSEL, static_cast<WPARAM>(c.ListIndex), 0);
    a.listIndex = c.ListIndex;
  }
  if (c.Visible != a.visible || first) {
    ShowWindow(w, c.Visible ? SW_SHOWNA : SW_HIDE);
    a.visible = c.Visible;
  }
}

void Frame::SyncList(HWND w, const Control& c, Applied& a) {
  if (c.List == a.list) return;
  const bool combo = c.kind == ControlKind::ComboBox;
  const UINT add = combo ? CB_ADDSTRING : LB_ADDSTRING;
  const UINT del = combo ? CB_DELETESTRING : LB_DELETESTRING;
  auto& old = a.list;
  // The queue changes at its ends: entries leave from the front, new ones
  // arrive at the back. Apply just that, so a long queue stays cheap.
  auto keepsFrom = [&](size_t d) {
    return old.size() - d <= c.List.size() &&
           std::equal(old.begin() + static_cast<long>(d), old.end(), c.List.begin());
  };
  size_t drop = 0;
  if (!keepsFrom(0)) {
    if (!old.empty() && keepsFrom(1)) {
      drop = 1;
    } else {
      SendMessageW(w, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
      old.clear();
    }
  }
  for (size_t k = 0; k < drop; ++k) SendMessageW(w, del, 0, 0);
  old.erase(old.begin(), old.begin() + static_cast<long>(drop));
  for (size_t k = old.size(); k < c.List.size(); ++k)
    SendMessageW(w, add, 0, reinterpret_cast<LPARAM>(ToWide(c.List[k]).c_str()));
  old = c.List;
}

HFONT Frame::Font(float size, bool underline) {
  // A point is a 72nd of an inch.
  const int height = -PxY(size * kTwipsPerInch / 72);
  auto key = std::make_pair(height, underline);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second.get();
  HFONT f = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  return fonts_.emplace(key, UniqueFont(f)).first->second.get();
}

}  // namespace pagerift::win
