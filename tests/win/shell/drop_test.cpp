// A real CF_HDROP handed to the drop zone's registered OLE target.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "started_app.h"
#include "win32/drop_target.h"
#include "win32/text.h"

using namespace pagerift;  // the controls by name

namespace {

// A data object offering a file list, or plain text.
class FileData : public IDataObject {
 public:
  FileData(std::vector<std::wstring> files, bool asText)
      : files_(std::move(files)), text_(asText) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override {
    if (QueryGetData(fmt) != S_OK) return DV_E_FORMATETC;
    medium->tymed = TYMED_HGLOBAL;
    medium->pUnkForRelease = nullptr;
    medium->hGlobal = text_ ? TextGlobal() : DropGlobal();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override {
    CLIPFORMAT want = text_ ? CF_UNICODETEXT : CF_HDROP;
    return fmt->cfFormat == want && (fmt->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  HGLOBAL DropGlobal() const {
    std::wstring list;
    for (auto& f : files_) list += f + L'\0';
    list += L'\0';
    SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL g = GlobalAlloc(GHND, bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), list.data(),
           list.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    return g;
  }
  HGLOBAL TextGlobal() const {
    const wchar_t text[] = L"just some text";
    HGLOBAL g = GlobalAlloc(GHND, sizeof text);
    memcpy(GlobalLock(g), text, sizeof text);
    GlobalUnlock(g);
    return g;
  }
  std::vector<std::wstring> files_;
  bool text_;
};

struct DropZone : StartedApp {
  void SetUp() override {
    StartedApp::SetUp();
    if (HasFatalFailure()) return;
    target = app.frame().dropTarget();
    ASSERT_NE(target, nullptr) << "picDrag is not registered for drops";
  }
  const void* Picture() { return form()[picDrag].Picture.get(); }
  const void* Holder(ControlId id) { return form()[id].Picture.get(); }

  pagerift::win::DropTarget* target = nullptr;
};

}  // namespace

TEST_F(DropZone, ThreeFilesAreQueuedInDropOrderAndTheJobIsArmed) {
  const std::wstring unicode =
      L"C:\\Docs\\\u041E\u0442\u0447\u0451\u0442 2026 \u2014 \u5B63\u5EA6 \U0001F600.pdf";
  FileData data({L"C:\\a.pdf", unicode, L"C:\\Some Folder\\b c.pdf"}, false);
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  POINTL pt{100, 100};
  EXPECT_EQ(target->DragEnter(&data, 0, pt, &effect), S_OK);
  EXPECT_EQ(Picture(), Holder(imgDrag));
  EXPECT_EQ(target->DragOver(0, pt, &effect), S_OK);
  EXPECT_NE(effect, static_cast<DWORD>(DROPEFFECT_NONE)) << "wine needs an effect while dragging";
  EXPECT_EQ(Picture(), Holder(imgDragLight));
  EXPECT_EQ(target->Drop(&data, 0, pt, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));

  auto& form = app.main().form();
  ASSERT_EQ(Queue(form).size(), 3u);
  EXPECT_EQ(Queue(form)[0], "C:\\a.pdf");
  EXPECT_EQ(Queue(form)[1], pagerift::win::ToUtf8(unicode));
  EXPECT_EQ(Queue(form)[2], "C:\\Some Folder\\b c.pdf");
  EXPECT_EQ(Picture(), Holder(imgDrag));
  EXPECT_FALSE(form[picDrag].Visible);
  EXPECT_TRUE(form[Timer1].Enabled);
  EXPECT_FALSE(IsWindowVisible(app.frame().ControlWindow(picDrag)));
  EXPECT_EQ(SendMessageW(app.frame().ControlWindow(lstFile), LB_GETCOUNT, 0, 0), 3);
}

TEST_F(DropZone, TextChangesOnlyThePictureAndStillReportsCopy) {
  FileData data({}, true);
  DWORD effect = DROPEFFECT_COPY;
  POINTL pt{100, 100};
  target->DragEnter(&data, 0, pt, &effect);
  target->DragOver(0, pt, &effect);
  EXPECT_EQ(target->Drop(&data, 0, pt, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  auto& form = app.main().form();
  EXPECT_TRUE(Queue(form).empty());
  EXPECT_TRUE(form[picDrag].Visible);
  EXPECT_FALSE(form[Timer1].Enabled);
  EXPECT_EQ(Picture(), Holder(imgDrag));
}
