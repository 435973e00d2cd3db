#include "win32/win_ports.h"

#include <commdlg.h>
#include <shlobj.h>

#include "win32/frame.h"
#include "win32/text.h"

namespace pagerift::win {

std::string WinDialogs::OpenFile(const OpenFileRequest& request) {
  frame_.Sync();
  std::wstring filter = ToWide(request.filter);
  filter.push_back(L'\0');  // the list ends with a double NUL
  std::wstring folder = ToWide(request.initialFolder);
  std::wstring title = ToWide(request.title);
  // Room for the longest path Windows knows: a choice is never dropped for
  // its length.
  constexpr DWORD kMaxPath = 32768;
  std::wstring file(kMaxPath, L'\0'), fileTitle(kMaxPath, L'\0');
  wchar_t defExt[2] = {};

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = frame_.hwnd();
  ofn.hInstance = GetModuleHandleW(nullptr);
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = kMaxPath;
  ofn.lpstrFileTitle = fileTitle.data();
  ofn.nMaxFileTitle = kMaxPath;
  ofn.lpstrInitialDir = folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = request.flags;
  ofn.lpstrDefExt = defExt;
  if (!GetOpenFileNameW(&ofn)) return {};
  return ToUtf8(file.c_str(), wcslen(file.c_str()));
}

std::optional<std::string> WinDialogs::BrowseForFolder(const std::string& text) {
  frame_.Sync();
  std::wstring title = ToWide(text);
  BROWSEINFOW bi{};
  bi.hwndOwner = frame_.hwnd();
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi);
  std::wstring path(1024, L'\0');
  BOOL ok = SHGetPathFromIDListW(list, path.data());
  if (list) CoTaskMemFree(list);
  if (!ok) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return ToUtf8(path);
}

}  // namespace pagerift::win
