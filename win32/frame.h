// frmMain made real: the borderless window and its child controls. The model
// stays the truth: the frame turns window messages into MainWindow's handlers
// and brings the real windows in line with the model after each one.
//
//   frame.cpp           creating the windows, and the window procedure
//   frame_messages.cpp  one member a message, and where a pointer event lands
//   frame_sync.cpp      bringing the real windows in line with the model
//   frame_ops.cpp       the window operations the handlers ask for
//   frame_paint.cpp     painting, and the pixel rectangles of the controls
//   frame_keys.cpp      the keyboard: keys, the focus and its cue
//   frame_access.cpp    the frame's side of what a screen reader finds (accessible.h)
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "core/ports.h"
#include "win32/device_scale.h"
#include "win32/faults.h"
#include "win32/raii.h"

namespace pagerift::win {

class Accessible;
class DropTarget;

class Frame : public WindowOps {
 public:
  Frame() = default;
  // The handlers that window events go to; before Create.
  void Attach(MainWindow& main);
  ~Frame() override;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  // Creates the window and every control, hidden, centred for its design
  // size; false when Windows refuses.
  bool Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }
  DropTarget* dropTarget() const { return dropTarget_; }
  // The native window of a windowed control; null for the others.
  HWND ControlWindow(ControlId id) const;
  // Brings every real window in line with the model.
  void Sync();
  // Stops delivering events (the program is ending).
  void Revoke();
  // Every message a message loop takes goes here first; true when it has
  // been handled (a key of the window's own, or the dialog keys: Tab...).
  bool PreTranslate(MSG& msg);

  // For the accessible objects.
  const Form& form() const { return *formPtr_; }
  // The object that answers for the frame's client area or a control's
  // window; null for other windows.
  IAccessible* AccessibleFor(HWND w);
  // Where a control shows on screen; no control: the client area.
  RECT ScreenRect(std::optional<ControlId> control) const;
  // Clicks the control for a user without a mouse, from the message loop.
  void PostActivate(ControlId control);
  // The DPI the window is drawn for.
  UINT dpi() const { return scale_.dpi(); }

  // WindowOps
  void SetTopmost() override;
  void Show() override;
  void Repaint() override;
  void ApplyColorKey(uint32_t key, uint8_t alpha) override;
  void BeginMove() override;
  void Minimize() override;
  void SetCapture(ControlId control) override;
  void ReleaseCapture() override;
  void ShowDropDown(ControlId combo) override;

 private:
  // What was last applied to the real windows, per control.
  struct Applied {
    RECT rect{-1, -1, -1, -1};
    bool visible = false, enabled = true, timerOn = false, created = false;
    const void* picture = nullptr;
    std::string text, caption;
    std::vector<std::string> list;
    int listIndex = -2;
    float fontSize = -1;
  };
  // Where a pointer event lands: the control (none: the bare window), the
  // point in twips relative to it, and whether it lies within the control.
  struct Target {
    std::optional<ControlId> control;
    float x = 0, y = 0;
    bool inside = false;
  };
  static constexpr int kFirstControlId = 100;       // child window ids, in control order
  static constexpr int kComboListHeight = 200;      // a combo's window holds its drop-down too
  static constexpr UINT kActivateMessage = WM_APP;  // wParam: the control

  // frame.cpp
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(HWND w, UINT msg, WPARAM wParam, LPARAM lParam);
  void CreateControls(HINSTANCE instance);
  void CreateTooltips(HINSTANCE instance);
  void ApplyTooltipFont();
  std::optional<ControlId> IdOf(HWND w) const;
  template <typename F>
  void Dispatch(F&& handler);

  // frame_messages.cpp
  void OnPaint(HWND w);
  BOOL OnEraseBkgnd(HWND w, HDC dc);
  void OnMouseMove(HWND w, int x, int y, UINT keys);
  void OnLButtonDown(HWND w, BOOL doubleClick, int x, int y, UINT keys);
  void OnOtherButtonDown(HWND w, BOOL doubleClick, int x, int y, UINT keys);
  void OnLButtonUp(HWND w, int x, int y, UINT keys);
  BOOL OnSetCursor(HWND w, HWND cursorWindow, UINT hitTest, UINT msg);
  void OnTimer(HWND w, UINT id);
  void OnCommand(HWND w, int id, HWND control, UINT code);
  void OnClose(HWND w);
  void OnEndSession(HWND w, BOOL ending);
  void OnDpiChanged(HWND w, UINT dpi, const RECT* suggested);
  void Press(HWND w, int x, int y, UINT keys, bool left);
  Target HitTest(HWND w, POINT p) const;

  // frame_keys.cpp
  void OnKey(HWND w, UINT vk, BOOL down, int repeat, UINT flags);
  UINT OnGetDlgCode(HWND w, LPMSG msg);
  void OnSetFocus(HWND w, HWND previous);
  void OnKillFocus(HWND w, HWND next);
  void OnChangeUiState(HWND w, WPARAM wParam, LPARAM lParam);
  void OnUpdateUiState(HWND w, WPARAM wParam, LPARAM lParam);
  void HideFocusCueUntilKeyboardUse();
  bool FocusCueShown(HWND box) const;
  void DrawFocusCue(HWND box, HDC dc, RECT rc) const;
  std::optional<ControlId> FocusedControl() const;

  // frame_access.cpp
  LRESULT OnGetObject(HWND w, WPARAM wParam, LPARAM lParam);
  void NotifyAccessible(ControlId control, DWORD event);
  void DisconnectAccessible();

  // frame_sync.cpp
  void SetDpi(UINT dpi);  // and lays everything out afresh at the next Sync
  void SyncControl(size_t index);
  void SyncList(HWND w, const Control& c, Applied& a);
  HFONT Font(float size, bool underline);

  // frame_paint.cpp
  int PxX(float twips) const;
  int PxY(float twips) const;
  RECT ControlRect(const Control& c) const;  // in its container's pixels
  RECT LabelRect(const Control& c) const;
  RECT PaintedRect(const Control& c) const;  // where a windowless control shows
  void Paint(HDC dc);
  void PaintBox(HWND box, HDC dc);

  MainWindow* mainPtr_ = nullptr;
  Form* formPtr_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  DeviceScale scale_;
  UniqueFont tooltipFont_;
  std::vector<HWND> windows_;     // by control id; null for windowless
  std::vector<Applied> applied_;  // by control id
  std::map<std::pair<int, bool>, UniqueFont> fonts_;
  SIZE appliedSize_{-1, -1};
  std::optional<ControlId> pressed_;  // control a left press went down on
  HWND lastFocus_ = nullptr;          // the control that last held the focus
  bool hideFocusCue_ = false;         // UISF_HIDEFOCUS
  Accessible* clientAccessible_ = nullptr;
  Accessible* dropZoneAccessible_ = nullptr;
  DropTarget* dropTarget_ = nullptr;
  bool revoked_ = false;
  bool syncing_ = false;
  bool topmost_ = false;
  HCURSOR hand_ = nullptr;
};

// Runs a handler for a message, then shows what it changed.
template <typename F>
void Frame::Dispatch(F&& handler) {
  if (revoked_) return;
  RunGuarded("a window message", handler);
  Sync();
}

}  // namespace pagerift::win
