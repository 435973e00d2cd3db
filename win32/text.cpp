#include "win32/text.h"

#include <windows.h>

#include "core/text.h"

namespace pagerift::win {

// Windows' wchar_t is a UTF-16 code unit.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring ToWide(const std::string& utf8) {
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string ToUtf8(const wchar_t* wide, size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide), length));
}

std::string ToUtf8(const std::wstring& wide) { return ToUtf8(wide.data(), wide.size()); }

std::string AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int size = static_cast<int>(ansi.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
  return ToUtf8(wide);
}

}  // namespace pagerift::win
