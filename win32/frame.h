// frmMain made real: the borderless window, its child controls, painting,
// and the translation of window messages into MainWindow's handlers.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "core/ports.h"
#include "win32/pictures.h"
#include "win32/raii.h"

namespace pagerift::win {

class DropTarget;

class Frame : public WindowOps {
 public:
  Frame() = default;
  // The handlers that window events go to; before Create.
  void Attach(MainWindow& main);
  ~Frame() override;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  // Creates the window and every control, hidden, centred for its design size.
  bool Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }
  DropTarget* dropTarget() const { return dropTarget_; }
  HWND ControlWindow(ControlId id) const;
  // Brings every real window in line with the model.
  void Sync();
  // Stops delivering events (the program is ending).
  void Revoke();

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

  // Pixels from twips at the screen's resolution.
  int PxX(float twips) const;
  int PxY(float twips) const;
  float TwipsPerPixelX() const { return tppX_; }
  float TwipsPerPixelY() const { return tppY_; }

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

  static LRESULT CALLBACK FrameProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK BoxProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnFrameMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnBoxMessage(HWND box, UINT msg, WPARAM wp, LPARAM lp);

  void CreateControls(HINSTANCE instance);
  void CreateTooltips(HINSTANCE instance);
  void SyncControl(size_t index);
  void SyncList(HWND w, const Control& c, Applied& a);
  RECT ControlRect(const Control& c) const;  // in its container's pixels
  RECT LabelRect(const Control& c) const;
  HFONT Font(float size, bool underline);
  void Paint(HDC dc);
  // The visible windowless control under a frame point, or null.
  const Control* HitTest(POINT p) const;
  // The control that `w` realises, if any.
  std::optional<ControlId> IdOf(HWND w) const;
  template <typename F>
  void Dispatch(F&& handler);

  MainWindow* mainPtr_ = nullptr;
  Form* formPtr_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  float tppX_ = 15, tppY_ = 15;
  int dpiY_ = 96;
  std::vector<HWND> windows_;     // by control index; null for windowless
  std::vector<Applied> applied_;  // by control index
  std::map<std::pair<int, bool>, UniqueFont> fonts_;
  SIZE appliedSize_{-1, -1};
  std::optional<ControlId> pressed_;  // control a left press went down on
  DropTarget* dropTarget_ = nullptr;
  bool revoked_ = false;
  bool syncing_ = false;
  bool topmost_ = false;
  HCURSOR hand_ = nullptr;
};

}  // namespace pagerift::win
