// The frame's side of what a screen reader finds: the objects it hands out,
// where each control shows, a click put off until the message loop, and the
// events that tell a reader something changed.
#include <new>

#include "skin/controls.h"
#include "win32/accessible.h"
#include "win32/frame.h"
#include "win32/system_dlls.h"

namespace pagerift::win {

IAccessible* Frame::AccessibleFor(HWND w) {
  Accessible** slot = nullptr;
  std::optional<ControlId> self;
  if (w == hwnd_) {
    slot = &clientAccessible_;
  } else if (w && w == ControlWindow(picDrag)) {
    slot = &dropZoneAccessible_;
    self = picDrag;
  } else {
    return nullptr;
  }
  if (!*slot) *slot = new (std::nothrow) Accessible(*this, self);
  return *slot;
}

void Frame::DisconnectAccessible() {
  for (Accessible** slot : {&clientAccessible_, &dropZoneAccessible_}) {
    if (!*slot) continue;
    (*slot)->Disconnect();
    (*slot)->Release();
    *slot = nullptr;
  }
}

LRESULT Frame::OnGetObject(HWND w, WPARAM wParam, LPARAM lParam) {
  // The object id comes as a 32-bit value, however wide lParam is.
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT && !revoked_) {
    static const auto lresultFrom =
        SystemFunction<decltype(&LresultFromObject)>(L"oleacc.dll", "LresultFromObject");
    IAccessible* object = lresultFrom ? AccessibleFor(w) : nullptr;
    if (object) return lresultFrom(__uuidof(IAccessible), wParam, object);
  }
  return DefWindowProcW(w, WM_GETOBJECT, wParam, lParam);
}

RECT Frame::ScreenRect(std::optional<ControlId> control) const {
  RECT r{};
  if (!control) {
    GetClientRect(hwnd_, &r);
  } else if (HWND w = ControlWindow(*control)) {
    GetWindowRect(w, &r);
    return r;
  } else {
    r = PaintedRect((*formPtr_)[*control]);
  }
  MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Frame::PostActivate(ControlId control) { PostMessageW(hwnd_, kActivateMessage, control, 0); }

void Frame::NotifyAccessible(ControlId control, DWORD event) {
  if (auto child = AccessibleChildOf(control)) NotifyWinEvent(event, hwnd_, OBJID_CLIENT, *child);
}

}  // namespace pagerift::win
