#include "win32/text.h"

#include <windows.h>

namespace pagerift::win {

namespace {

std::wstring Widen(UINT codePage, const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

}  // namespace

std::wstring ToWide(const std::string& utf8) { return Widen(CP_UTF8, utf8); }

std::string ToUtf8(const wchar_t* wide, size_t length) {
  if (length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), s.data(), n, nullptr, nullptr);
  return s;
}

std::string ToUtf8(const std::wstring& wide) { return ToUtf8(wide.data(), wide.size()); }

std::string AnsiToUtf8(const std::string& ansi) { return ToUtf8(Widen(CP_ACP, ansi)); }

}  // namespace pagerift::win
