// What a screen reader finds in the window. The frame's client area answers
// with an object whose children are the controls a user can reach, named by
// their tooltips; the drop zone's own window answers for the drop zone alone,
// which is what a reader asks when the focus moves onto it.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <atomic>
#include <optional>

#include "core/form.h"

namespace pagerift::win {

class Frame;

// MinGW's oleacc import library names IID_IAccessible as a function of the
// DLL, so that symbol is a jump, not the GUID: use __uuidof(IAccessible).

// The children's ids, 1 up; 0 is CHILDID_SELF, the object itself.
enum AccessibleChild : LONG {
  kChildDropZone = 1,
  kChildMinimize,
  kChildClose,
  kChildHelp,
  kChildStatus,
  kChildFolder,  // the folder box, offered only while it holds the focus
};

// The child a control is offered as, if any.
std::optional<LONG> AccessibleChildOf(ControlId control);

class Accessible final : public IAccessible {
 public:
  // No control: the frame's client area with its children; a control: that
  // control alone, as its own window's object.
  Accessible(Frame& frame, std::optional<ControlId> self) : frame_(&frame), self_(self) {}
  // The frame is going away; every call fails from now on.
  void Disconnect() { frame_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: readers call the methods directly; there is no type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~Accessible() = default;
  // The control a child id names (none: the frame itself), or an error for
  // an id this object does not offer.
  HRESULT Resolve(const VARIANT& child, std::optional<ControlId>& control) const;
  // A text property of the child: `text` gives it, empty for none.
  template <typename F>
  HRESULT Text(const VARIANT& child, BSTR* out, F&& text) const;
  LONG ChildCount() const;
  // Whether the control does anything when clicked just now.
  bool Acts(ControlId control) const;

  Frame* frame_;
  std::optional<ControlId> self_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace pagerift::win
