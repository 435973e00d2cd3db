#include "win32/system_dlls.h"

#include <map>
#include <string>

namespace pagerift::win {

void RestrictDllSearch() {
  // Windows 7 has the call only with its update KB2533623.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryW(L"");  // keeps at least the current folder out of the search
}

HMODULE SystemLibrary(const wchar_t* name) {
  static std::map<std::wstring, HMODULE> loaded;
  auto it = loaded.find(name);
  if (it != loaded.end()) return it->second;
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A Windows that does not know the flag: name the file in full.
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
      module = LoadLibraryExW((std::wstring(folder, n) + L"\\" + name).c_str(), nullptr,
                              LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  // A failure is kept too: one that recurs on every message would cost a
  // search of the disk each time.
  return loaded.emplace(name, module).first->second;
}

}  // namespace pagerift::win
