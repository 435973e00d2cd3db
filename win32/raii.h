// Owners for the handles the shell holds, so nothing is closed by hand.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace pagerift::win {

template <typename T, typename Traits>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T h) : h_(h) {}
  ~Unique() { reset(); }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  Unique& operator=(Unique&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = std::exchange(o.h_, Traits::Invalid());
    }
    return *this;
  }
  T get() const { return h_; }
  explicit operator bool() const { return Traits::IsValid(h_); }
  void reset(T h = Traits::Invalid()) {
    if (Traits::IsValid(h_)) Traits::Close(h_);
    h_ = h;
  }
  T release() { return std::exchange(h_, Traits::Invalid()); }

 private:
  T h_ = Traits::Invalid();
};

// Kernel calls fail with null or with INVALID_HANDLE_VALUE, depending on the
// call; neither is ever closed.
struct KernelHandle {
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
};
struct HandleTraits : KernelHandle {
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindTraits : KernelHandle {
  static void Close(HANDLE h) { FindClose(h); }
};
template <typename G>
struct GdiTraits {
  static G Invalid() { return nullptr; }
  static bool IsValid(G h) { return h != nullptr; }
  static void Close(G h) { DeleteObject(h); }
};
struct MemDcTraits {
  static HDC Invalid() { return nullptr; }
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};

using UniqueHandle = Unique<HANDLE, HandleTraits>;
using UniqueFind = Unique<HANDLE, FindTraits>;
using UniqueBitmap = Unique<HBITMAP, GdiTraits<HBITMAP>>;
using UniqueFont = Unique<HFONT, GdiTraits<HFONT>>;
using UniqueMemDc = Unique<HDC, MemDcTraits>;

// Selects a GDI object into a DC for a scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A window's DC for a scope.
class WindowDc {
 public:
  explicit WindowDc(HWND w) : w_(w), dc_(GetDC(w)) {}
  ~WindowDc() { ReleaseDC(w_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND w_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND w) : w_(w) { dc_ = BeginPaint(w, &ps_); }
  ~PaintScope() { EndPaint(w_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND w_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// OLE for the UI thread's lifetime (drag and drop, the folder dialog).
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  bool ok_;
};

}  // namespace pagerift::win
