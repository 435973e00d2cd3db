#include "splitter/platform/fs.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <share.h>

#include <algorithm>

#include "core/text.h"

namespace pagerift::splitter::fs {
namespace {

// Windows' wchar_t is a UTF-16 code unit.
std::wstring wide(const std::string& utf8) {
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string utf8(const wchar_t* w, int len) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(w), static_cast<size_t>(len)));
}

std::string last_error_text(DWORD code = GetLastError()) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text = n ? utf8(buf, static_cast<int>(n)) : "error " + std::to_string(code);
  if (buf) LocalFree(buf);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace

std::string utf8_from_wide(const wchar_t* w) {
  return w && *w ? utf8(w, static_cast<int>(wcslen(w))) : std::string();
}

Kind kind_of(const std::string& path, std::string* error) {
  DWORD attrs = GetFileAttributesW(wide(path).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
        code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH || code == ERROR_INVALID_DRIVE)
      return Kind::missing;
    if (error) *error = last_error_text(code);
    return Kind::other;
  }
  return (attrs & FILE_ATTRIBUTE_DIRECTORY) ? Kind::directory : Kind::file;
}

FILE* open_read(const std::string& path, std::string& error) {
  FILE* f = _wfsopen(wide(path).c_str(), L"rb", _SH_DENYNO);
  if (!f) error = last_error_text(_doserrno ? static_cast<DWORD>(_doserrno) : GetLastError());
  return f;
}

Handle create_new(const std::string& path, bool& exists, std::string& error) {
  exists = false;
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    error = last_error_text(code);
    return kNoHandle;
  }
  return reinterpret_cast<Handle>(h);
}

bool write_all(Handle file, const char* data, std::size_t size, std::string& error) {
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), data, chunk, &written, nullptr) ||
        written == 0) {
      error = last_error_text();
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool close(Handle file, std::string& error) {
  if (CloseHandle(reinterpret_cast<HANDLE>(file))) return true;
  error = last_error_text();
  return false;
}

bool rename_new(const std::string& from, const std::string& to, bool& exists, std::string& error) {
  exists = false;
  if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), 0)) return true;
  DWORD code = GetLastError();
  exists = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
  error = last_error_text(code);
  return false;
}

void remove_file(const std::string& path) { DeleteFileW(wide(path).c_str()); }

bool list_names(const std::string& dir, std::vector<std::string>& names, std::string& error) {
  std::wstring pattern = dir.empty() ? L"*" : wide(dir) + L"\\*";
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return true;  // not even "." : an empty drive root
    error = last_error_text(code);
    return false;
  }
  do {
    std::string name = utf8_from_wide(found.cFileName);
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (FindNextFileW(h, &found));
  DWORD code = GetLastError();
  FindClose(h);
  if (code == ERROR_NO_MORE_FILES) return true;
  error = last_error_text(code);
  return false;
}

std::string name_key(const std::string& name) {
  std::wstring w = wide(name);
  if (w.empty()) return {};
  std::wstring upper(w.size(), L'\0');
  int n =
      LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), static_cast<int>(w.size()),
                    upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return name;
  return utf8(upper.data(), n);
}

unsigned long process_id() { return GetCurrentProcessId(); }

void restrict_dll_search() {
  // Windows 7 has the call only with its update KB2533623.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto set_default = reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!set_default || !set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

std::string file_name(const std::string& path) {
  auto cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void error_line(const std::string& text) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err != INVALID_HANDLE_VALUE && err && GetConsoleMode(err, &mode)) {
    std::wstring line = wide(text) + L"\r\n";
    DWORD written = 0;
    WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace pagerift::splitter::fs
