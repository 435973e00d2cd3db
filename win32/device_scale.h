// Where the 96-DPI model meets the device. The model lays the window out in
// twips as if every screen had 96 DPI (15 twips a pixel), so the start-up's
// scaling rule finds nothing to change, as on a Windows that stretches a
// window which is not DPI aware. The shell shows the window at its own DPI,
// s = DPI / 96 times as large in device pixels; this is the one place that
// maps between the model's units and the device's.
#pragma once

#include <windows.h>

#include <cmath>

#include "core/form.h"

namespace pagerift::win {

class DeviceScale {
 public:
  static constexpr UINT kDesignDpi = 96;
  explicit DeviceScale(UINT dpi = kDesignDpi) : dpi_(dpi ? dpi : kDesignDpi) {}
  UINT dpi() const { return dpi_; }
  // Twips of the model to device pixels, rounded half away from zero.
  int Px(double twips) const { return static_cast<int>(std::lround(twips * dpi_ / kTwipsPerInch)); }
  // A length in 96-DPI pixels (an inset, a line) to device pixels.
  int Scaled(int px) const { return static_cast<int>(std::lround(double(px) * dpi_ / kDesignDpi)); }
  // Device pixels to the model's twips.
  float Twips(int px) const { return static_cast<float>(double(px) * kTwipsPerInch / dpi_); }

 private:
  UINT dpi_;
};

// The DPI `w` is shown at: its monitor's for a program that is per-monitor
// aware, the system's otherwise; with no window, the system's.
UINT WindowDpi(HWND w);

}  // namespace pagerift::win
