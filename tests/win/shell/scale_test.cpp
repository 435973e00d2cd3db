// The window at another display scale, in this process: what WM_DPICHANGED
// does to it, which picture a DPI gets, and what resampling keeps.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "skin/controls.h"
#include "started_app.h"
#include "win32/pictures.h"

using namespace pagerift;  // the controls by name
using pagerift::win::PictureBitmap;

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);

struct Dib {
  explicit Dib(HBITMAP b) {
    if (b) GetObjectW(b, sizeof dib, &dib);
  }
  int w() const { return dib.dsBm.bmWidth; }
  int h() const { return dib.dsBm.bmHeight; }
  COLORREF At(int x, int y) const {  // as GetPixel gives it
    const uint32_t p = static_cast<const uint32_t*>(dib.dsBm.bmBits)[y * w() + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  DIBSECTION dib{};
};

RECT ClientRectOf(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

struct Scale : StartedApp {
  HWND Frame() { return app.frame().hwnd(); }
  void MoveTo(UINT dpi, RECT suggested) {
    SendMessageW(Frame(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
  }
};

}  // namespace

TEST_F(Scale, OnAScreenOfTwiceTheDpiTheWindowTakesTheSuggestedRectAndEveryPartDoubles) {
  ASSERT_EQ(app.frame().dpi(), 96u) << "the test prefix runs at 96 DPI";
  const RECT suggested{40, 30, 40 + 1096, 30 + 732};
  MoveTo(192, suggested);
  EXPECT_EQ(app.frame().dpi(), 192u);
  RECT outer;
  GetWindowRect(Frame(), &outer);
  EXPECT_TRUE(EqualRect(&outer, &suggested));

  HWND zone = app.frame().ControlWindow(picDrag);
  const RECT zoneRect = ClientRectOf(Frame(), zone);
  EXPECT_EQ(zoneRect.left, 1);
  EXPECT_EQ(zoneRect.top, 53);
  EXPECT_EQ(zoneRect.right - zoneRect.left, 1090);
  EXPECT_EQ(zoneRect.bottom - zoneRect.top, 604);
  // The close hotspot, where a screen reader is told it is.
  const RECT exit = app.frame().ScreenRect(imgExit);
  EXPECT_EQ(exit.left - outer.left, 1060);
  EXPECT_EQ(exit.right - exit.left, 30);
  // The tooltip knows the hotspot's new place too.
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = Frame();
  ti.uId = imgExit + 1;
  HWND tip = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM out) {
        wchar_t cls[64];
        GetClassNameW(w, cls, 64);
        if (std::wstring(cls) != TOOLTIPS_CLASSW) return TRUE;
        *reinterpret_cast<HWND*>(out) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&tip));
  ASSERT_NE(tip, nullptr);
  ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
  EXPECT_EQ(ti.rect.left, 1060);
  EXPECT_EQ(ti.rect.bottom - ti.rect.top, 30);

  // Redrawn with the picture drawn for 200 % (normal or lit, as the pointer
  // has it), pixel for pixel along a row through the title "Drop PDF files here".
  const Dib drawn(PictureBitmap(*form()[picDrag].Picture, 192));
  ASSERT_EQ(drawn.w(), 1090);
  RedrawWindow(zone, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC dc = GetDC(zone);
  int same = 0, edges = 0;
  for (int x = 300; x < 800; ++x) {
    const COLORREF want = drawn.At(x, 340);
    same += GetPixel(dc, x, 340) == want;
    edges += want != drawn.At(x - 1, 340);
  }
  ReleaseDC(zone, dc);
  EXPECT_EQ(same, 500);
  EXPECT_GT(edges, 40) << "the row should cross the title's letters";

  // And back: the 96-DPI layout again.
  MoveTo(96, RECT{40, 30, 40 + 548, 30 + 366});
  EXPECT_EQ(ClientRectOf(Frame(), zone).right, 1 + 545);
}

TEST(Pictures, ADpiGetsThePictureDrawnForItsScaleOrTheNextLargerScaledToFit) {
  using pagerift::win::ArtScaleFor;
  EXPECT_EQ(ArtScaleFor(96), 100);
  EXPECT_EQ(ArtScaleFor(72), 100);
  EXPECT_EQ(ArtScaleFor(120), 125);
  EXPECT_EQ(ArtScaleFor(110), 125);
  EXPECT_EQ(ArtScaleFor(144), 150);
  EXPECT_EQ(ArtScaleFor(168), 175);
  EXPECT_EQ(ArtScaleFor(192), 200);
  EXPECT_EQ(ArtScaleFor(288), 200);  // past the largest: that one, scaled up

  const Picture& zone = *SkinArt().dropZone;
  for (auto [dpi, w, h] :
       {std::tuple{96u, 545, 302}, {120u, 681, 378}, {110u, 624, 346}, {288u, 1635, 906}}) {
    const Dib b(PictureBitmap(zone, dpi));
    EXPECT_EQ(b.w(), w) << dpi;
    EXPECT_EQ(b.h(), h) << dpi;
  }
  EXPECT_EQ(PictureBitmap(zone, 110), PictureBitmap(zone, 110)) << "made once";
}

TEST(Pictures, AResampledBackgroundKeepsTheColourKeyExactAndNeverBlendsIt) {
  for (UINT dpi : {110u, 132u, 240u}) {
    const Dib bg(PictureBitmap(*SkinArt().background, dpi));
    ASSERT_GT(bg.w(), 0) << dpi;
    int key = 0, blends = 0;
    for (int y = 0; y < bg.h(); ++y)
      for (int x = 0; x < bg.w(); ++x) {
        const COLORREF c = bg.At(x, y);
        key += c == kKey;
        // Between key and face: pinkish, red and blue well above green.
        blends += c != kKey && GetRValue(c) > GetGValue(c) + 60 && GetBValue(c) > GetGValue(c) + 60;
      }
    EXPECT_EQ(bg.At(0, 0), kKey) << dpi;  // the top-left corner's cut
    EXPECT_EQ(bg.At(bg.w() - 1, bg.h() - 1), kKey) << dpi;
    EXPECT_NE(bg.At(bg.w() / 2, bg.h() / 2), kKey) << dpi;
    EXPECT_GT(key, bg.w() * 4) << dpi;  // the margins at least
    EXPECT_EQ(blends, 0) << dpi;
  }
}

TEST(Pictures, APackedBmpThatLiesAboutItsLengthIsRefused) {
  using pagerift::win::DecodePackedBmp;
  EXPECT_EQ(DecodePackedBmp(""), nullptr);
  EXPECT_EQ(DecodePackedBmp("PRZ1"), nullptr);
  EXPECT_EQ(DecodePackedBmp(std::string("PRZ1\xff\xff\xff\x7f", 8) + "x"), nullptr);  // 2 GB
  EXPECT_EQ(DecodePackedBmp(std::string("PRZ1\x10\x00\x00\x00", 8) + "not zlib"), nullptr);
}
