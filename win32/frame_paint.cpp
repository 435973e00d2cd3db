// Painting: the frame shows the skin, then the windowless images and labels
// in creation order; a picture box shows its picture. And the pixel
// rectangles all of it is laid out by.
#include "win32/frame.h"

#include <algorithm>
#include <cmath>

#include "skin/controls.h"
#include "win32/pictures.h"
#include "win32/text.h"

namespace pagerift::win {

namespace {

COLORREF ToColorRef(uint32_t c) {
  return (c & 0x80000000u) ? GetSysColor(static_cast<int>(c & 0xFF)) : static_cast<COLORREF>(c);
}

}  // namespace

int Frame::PxX(float twips) const { return scale_.Px(twips); }
int Frame::PxY(float twips) const { return scale_.Px(twips); }

RECT Frame::ControlRect(const Control& c) const {
  RECT r{PxX(c.Left), PxY(c.Top), 0, 0};
  r.right = r.left + PxX(c.Width);
  r.bottom = r.top + PxY(c.Height);
  return r;
}

RECT Frame::PaintedRect(const Control& c) const {
  return c.kind == ControlKind::Label ? LabelRect(c) : ControlRect(c);
}

RECT Frame::LabelRect(const Control& c) const {
  RECT r = ControlRect(c);
  if (!c.autoSize || c.Caption.empty()) return r;
  // Sized to its caption; a right-aligned label keeps its right edge.
  WindowDc dc(hwnd_);
  Selected font(dc.get(), const_cast<Frame*>(this)->Font(c.FontSize, c.fontUnderline));
  std::wstring text = ToWide(c.Caption);
  SIZE extent{};
  GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  if (c.alignRight)
    r.left = r.right - extent.cx;
  else
    r.right = r.left + extent.cx;
  r.bottom = std::max<LONG>(r.bottom, r.top + extent.cy);
  return r;
}

void Frame::Paint(HDC target) {
  RECT client;
  GetClientRect(hwnd_, &client);
  UniqueMemDc dc(CreateCompatibleDC(target));
  UniqueBitmap canvas(CreateCompatibleBitmap(target, client.right, client.bottom));
  Selected canvasSel(dc.get(), canvas.get());

  FillRect(dc.get(), &client, GetSysColorBrush(COLOR_WINDOW));
  if (auto& bg = SkinArt().background)
    DrawBitmap(dc.get(), PictureBitmap(*bg, dpi()), client, false);

  SetBkMode(dc.get(), TRANSPARENT);
  for (const Control& c : formPtr_->controls) {
    if (!c.Visible || c.IsWindowed() || c.IsTimer()) continue;
    if (c.kind == ControlKind::Image && c.Picture) {
      DrawBitmap(dc.get(), PictureBitmap(*c.Picture, dpi()), ControlRect(c), c.Stretch);
    } else if (c.kind == ControlKind::Label && !c.Caption.empty()) {
      RECT r = LabelRect(c);
      Selected font(dc.get(), Font(c.FontSize, c.fontUnderline));
      SetTextColor(dc.get(), ToColorRef(c.ForeColor));
      std::wstring text = ToWide(c.Caption);
      DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r,
                (c.alignRight ? DT_RIGHT : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
}

void Frame::PaintBox(HWND box, HDC dc) {
  RECT rc;
  GetClientRect(box, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
  if (const std::optional<ControlId> id = IdOf(box)) {
    if (const PicturePtr& picture = (*formPtr_)[*id].Picture)
      DrawBitmap(dc, PictureBitmap(*picture, dpi()), rc, false);
  }
  DrawFocusCue(box, dc, rc);
}

}  // namespace pagerift::win
