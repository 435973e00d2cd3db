#include "win32/drop_target.h"

#include <shellapi.h>

#include "win32/faults.h"
#include "win32/frame.h"
#include "win32/text.h"
#include "skin/controls.h"

namespace pagerift::win {

DropTarget* DropTarget::Register(HWND window, MainWindow& main, Frame& frame) {
  auto* t = new DropTarget(window, main, frame);
  if (FAILED(RegisterDragDrop(window, t))) {
    t->Release();
    return nullptr;
  }
  return t;
}

void DropTarget::Revoke(DropTarget* target) {
  RevokeDragDrop(target->window_);
  target->Release();
}

std::optional<std::vector<std::string>> DropTarget::FilesOf(IDataObject* data) {
  FORMATETC fmt{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&fmt, &medium))) return std::nullopt;
  std::vector<std::string> files;
  if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      // Ask for each length: paths longer than MAX_PATH come through whole.
      UINT len = DragQueryFileW(drop, i, nullptr, 0);
      std::wstring path(len + 1, L'\0');
      DragQueryFileW(drop, i, path.data(), len + 1);
      path.resize(len);
      files.push_back(ToUtf8(path));
    }
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return files;
}

HRESULT DropTarget::QueryInterface(REFIID riid, void** out) {
  if (riid == IID_IUnknown || riid == IID_IDropTarget) {
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG DropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG DropTarget::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

void DropTarget::Notify(DragState state) {
  RunGuarded("a drag over the drop zone", [&] { main_.DragOver(picDrag, state); });
  frame_.Sync();
}

// The effects the source offers go back unchanged while it drags.
HRESULT DropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD*) {
  Notify(DragState::Enter);
  return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL, DWORD*) {
  Notify(DragState::Over);
  return S_OK;
}

HRESULT DropTarget::DragLeave() {
  Notify(DragState::Leave);
  return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  // Copy the paths out now: the data object is the source's, not ours.
  auto files = FilesOf(data);
  unsigned result = kDropEffectCopy;
  RunGuarded("a drop", [&] { result = main_.Drop(picDrag, files); });
  frame_.Sync();
  if (effect) *effect = result;
  return S_OK;
}

}  // namespace pagerift::win
