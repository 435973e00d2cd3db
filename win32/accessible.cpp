#include "win32/accessible.h"

#include <iterator>
#include <new>
#include <string>

#include "app/window_behaviour.h"
#include "skin/controls.h"
#include "win32/frame.h"
#include "win32/system_dlls.h"
#include "win32/text.h"

namespace pagerift::win {

namespace {

// By child id, 1 up. The folder box lies below the visible area, and is
// offered only while it holds the focus, so that a reader can say where the
// focus is when the window first shows.
constexpr ControlId kChildren[] = {picDrag, imgMin, imgExit, imgHelp, lblPb, txtPath};
constexpr LONG kAlwaysOffered = kChildStatus;

constexpr wchar_t kDropZoneDescription[] = L"Return or Space opens a dialog to choose a PDF file.";

VARIANT Nothing() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

VARIANT I4(LONG value) {
  VARIANT v = Nothing();
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

HRESULT ToBstr(const std::wstring& text, BSTR* out) {
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

std::optional<LONG> AccessibleChildOf(ControlId control) {
  for (size_t i = 0; i < std::size(kChildren); ++i)
    if (kChildren[i] == control) return static_cast<LONG>(i + 1);
  return std::nullopt;
}

HRESULT Accessible::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG Accessible::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Accessible::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

LONG Accessible::ChildCount() const {
  if (self_) return 0;
  const bool folderFocused = GetFocus() == frame_->ControlWindow(txtPath);
  return kAlwaysOffered + (folderFocused ? 1 : 0);
}

HRESULT Accessible::Resolve(const VARIANT& child, std::optional<ControlId>& control) const {
  if (!frame_) return RPC_E_DISCONNECTED;
  if (child.vt != VT_I4) return E_INVALIDARG;
  if (child.lVal == CHILDID_SELF) {
    control = self_;
    return S_OK;
  }
  if (self_ || child.lVal < 1 || child.lVal > ChildCount()) return E_INVALIDARG;
  control = kChildren[child.lVal - 1];
  return S_OK;
}

bool Accessible::Acts(ControlId control) const {
  // The controls a click does something on, while a click can reach them:
  // not the drop zone from a drop until its job is over.
  const Control& c = frame_->form()[control];
  const bool clickable =
      control == picDrag || control == imgMin || control == imgExit || control == imgHelp;
  return clickable && c.Visible && c.Enabled;
}

template <typename F>
HRESULT Accessible::Text(const VARIANT& child, BSTR* out, F&& text) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::optional<ControlId> control;
  if (HRESULT hr = Resolve(child, control); FAILED(hr)) return hr;
  try {
    return ToBstr(text(control), out);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Accessible::get_accName(VARIANT child, BSTR* name) {
  return Text(child, name, [this](std::optional<ControlId> c) {
    const Form& form = frame_->form();
    if (!c) return ToWide(form.Caption);
    // The status text says what it shows; everything else is named as its
    // tooltip names it for a mouse user.
    return ToWide(*c == lblPb ? form[lblPb].Caption : form[*c].ToolTipText);
  });
}

HRESULT Accessible::get_accValue(VARIANT child, BSTR* value) {
  return Text(child, value, [this](std::optional<ControlId> c) {
    if (c == txtPath) return ToWide(frame_->form()[txtPath].Text);
    if (c == imgHelp) return ToWide(HelpUrl());
    return std::wstring();
  });
}

HRESULT Accessible::get_accDescription(VARIANT child, BSTR* description) {
  return Text(child, description, [](std::optional<ControlId> c) {
    return std::wstring(c == picDrag ? kDropZoneDescription : L"");
  });
}

HRESULT Accessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  return Text(child, shortcut, [](std::optional<ControlId> c) {
    if (c == imgHelp) return std::wstring(L"F1");
    if (c == imgExit) return std::wstring(L"Alt+F4");
    return std::wstring();
  });
}

HRESULT Accessible::get_accDefaultAction(VARIANT child, BSTR* action) {
  return Text(child, action, [this](std::optional<ControlId> c) {
    if (!c || !Acts(*c)) return std::wstring();
    return std::wstring(c == imgHelp ? L"Jump" : L"Press");
  });
}

HRESULT Accessible::get_accHelp(VARIANT child, BSTR* help) {
  return Text(child, help, [](std::optional<ControlId>) { return std::wstring(); });
}

HRESULT Accessible::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) {
  if (!topic) return E_POINTER;
  *topic = 0;
  return Text(child, file, [](std::optional<ControlId>) { return std::wstring(); });
}

HRESULT Accessible::get_accRole(VARIANT child, VARIANT* role) {
  if (!role) return E_POINTER;
  *role = Nothing();
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(child, c); FAILED(hr)) return hr;
  LONG r = ROLE_SYSTEM_CLIENT;
  if (c == imgHelp) {
    r = ROLE_SYSTEM_LINK;
  } else if (c == lblPb) {
    r = ROLE_SYSTEM_STATICTEXT;
  } else if (c == txtPath) {
    r = ROLE_SYSTEM_TEXT;
  } else if (c) {
    r = ROLE_SYSTEM_PUSHBUTTON;
  }
  *role = I4(r);
  return S_OK;
}

HRESULT Accessible::get_accState(VARIANT child, VARIANT* state) {
  if (!state) return E_POINTER;
  *state = Nothing();
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(child, c); FAILED(hr)) return hr;
  const HWND focus = GetFocus();
  LONG s = 0;
  if (!c) {
    s = STATE_SYSTEM_FOCUSABLE | (focus == frame_->hwnd() ? STATE_SYSTEM_FOCUSED : 0);
  } else if (c == picDrag) {
    s = Acts(picDrag) ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
    if (focus == frame_->ControlWindow(picDrag)) s |= STATE_SYSTEM_FOCUSED;
  } else if (c == txtPath) {
    // Offered only while it holds the focus; it lies below the visible area.
    s = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_OFFSCREEN;
  } else if (c == imgHelp) {
    s = STATE_SYSTEM_LINKED;
  } else if (c == lblPb) {
    s = STATE_SYSTEM_READONLY;
  }
  *state = I4(s);
  return S_OK;
}

HRESULT Accessible::get_accParent(IDispatch** parent) {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  if (!frame_) return RPC_E_DISCONNECTED;
  // A control's parent is the frame's client area; the client area's is the
  // frame's window, which Windows describes.
  if (self_) {
    IAccessible* client = frame_->AccessibleFor(frame_->hwnd());
    return client ? client->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(parent))
                  : E_OUTOFMEMORY;
  }
  static const auto create = SystemFunction<decltype(&CreateStdAccessibleObject)>(
      L"oleacc.dll", "CreateStdAccessibleObject");
  if (!create) return E_NOTIMPL;
  return create(frame_->hwnd(), OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
}

HRESULT Accessible::get_accChildCount(LONG* count) {
  if (!count) return E_POINTER;
  *count = 0;
  if (!frame_) return RPC_E_DISCONNECTED;
  *count = ChildCount();
  return S_OK;
}

HRESULT Accessible::get_accChild(VARIANT child, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(child, c); FAILED(hr)) return hr;
  return S_FALSE;  // every child is a simple element of this object
}

HRESULT Accessible::get_accFocus(VARIANT* focus) {
  if (!focus) return E_POINTER;
  *focus = Nothing();
  if (!frame_) return RPC_E_DISCONNECTED;
  const HWND f = GetFocus();
  if (self_) {
    if (f != frame_->ControlWindow(*self_)) return S_FALSE;
    *focus = I4(CHILDID_SELF);
  } else if (f == frame_->hwnd()) {
    *focus = I4(CHILDID_SELF);
  } else if (f == frame_->ControlWindow(picDrag)) {
    *focus = I4(kChildDropZone);
  } else if (f == frame_->ControlWindow(txtPath)) {
    *focus = I4(kChildFolder);
  } else {
    return S_FALSE;
  }
  return S_OK;
}

HRESULT Accessible::get_accSelection(VARIANT* selection) {
  if (!selection) return E_POINTER;
  *selection = Nothing();
  return frame_ ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT Accessible::accSelect(LONG flags, VARIANT child) {
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(child, c); FAILED(hr)) return hr;
  if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
  HWND target = nullptr;
  if (!c) {
    target = frame_->hwnd();
  } else if (c == txtPath || (c == picDrag && Acts(picDrag))) {
    target = frame_->ControlWindow(*c);
  }
  if (!target) return DISP_E_MEMBERNOTFOUND;
  SetFocus(target);
  return S_OK;
}

HRESULT Accessible::accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT child) {
  if (!x || !y || !w || !h) return E_POINTER;
  *x = *y = *w = *h = 0;
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(child, c); FAILED(hr)) return hr;
  const RECT r = frame_->ScreenRect(c);
  *x = r.left;
  *y = r.top;
  *w = r.right - r.left;
  *h = r.bottom - r.top;
  return S_OK;
}

HRESULT Accessible::accNavigate(LONG dir, VARIANT start, VARIANT* end) {
  if (!end) return E_POINTER;
  *end = Nothing();
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(start, c); FAILED(hr)) return hr;
  if (self_) return S_FALSE;  // a lone control's siblings are the frame's to give
  const LONG from = start.lVal;
  LONG to = 0;
  switch (dir) {
    case NAVDIR_FIRSTCHILD:
    case NAVDIR_LASTCHILD:
      if (from != CHILDID_SELF) return E_INVALIDARG;
      to = dir == NAVDIR_FIRSTCHILD ? 1 : ChildCount();
      break;
    case NAVDIR_NEXT:
    case NAVDIR_PREVIOUS:
      if (from == CHILDID_SELF) return S_FALSE;  // the client area's siblings are Windows'
      to = from + (dir == NAVDIR_NEXT ? 1 : -1);
      break;
    default: return DISP_E_MEMBERNOTFOUND;
  }
  if (to < 1 || to > ChildCount()) return S_FALSE;
  *end = I4(to);
  return S_OK;
}

HRESULT Accessible::accHitTest(LONG x, LONG y, VARIANT* child) {
  if (!child) return E_POINTER;
  *child = Nothing();
  if (!frame_) return RPC_E_DISCONNECTED;
  const POINT p{x, y};
  RECT whole = frame_->ScreenRect(self_);
  if (!PtInRect(&whole, p)) return S_FALSE;
  if (!self_) {
    for (LONG id = 1; id <= kAlwaysOffered; ++id) {  // the folder box is never on screen
      RECT r = frame_->ScreenRect(kChildren[id - 1]);
      if (PtInRect(&r, p)) {
        *child = I4(id);
        return S_OK;
      }
    }
  }
  *child = I4(CHILDID_SELF);
  return S_OK;
}

HRESULT Accessible::accDoDefaultAction(VARIANT child) {
  std::optional<ControlId> c;
  if (HRESULT hr = Resolve(child, c); FAILED(hr)) return hr;
  if (!c || !Acts(*c)) return DISP_E_MEMBERNOTFOUND;
  // Later, from the message loop: the click may open a modal dialog or end
  // the program, and the reader that asked must not wait on either.
  frame_->PostActivate(*c);
  return S_OK;
}

}  // namespace pagerift::win
