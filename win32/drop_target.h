// The drop zone's OLE drop target.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"

namespace pagerift::win {

class Frame;

class DropTarget : public IDropTarget {
 public:
  // Registers a target for `window`; null when OLE refuses.
  static DropTarget* Register(HWND window, MainWindow& main, Frame& frame);
  static void Revoke(DropTarget* target);

  // The CF_HDROP paths that `data` offers, in order; nothing without a file list.
  static std::optional<std::vector<std::string>> FilesOf(IDataObject* data);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override;

 private:
  DropTarget(HWND window, MainWindow& main, Frame& frame)
      : window_(window), main_(main), frame_(frame) {}
  virtual ~DropTarget() = default;
  void Notify(DragState state);

  LONG refs_ = 1;
  HWND window_;
  MainWindow& main_;
  Frame& frame_;
};

}  // namespace pagerift::win
