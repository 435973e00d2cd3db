// UTF-8 text as the W APIs take it. The conversions themselves are the
// core's; only the ANSI code page needs Windows.
#pragma once

#include <string>

namespace pagerift::win {

std::wstring ToWide(const std::string& utf8);
std::string ToUtf8(const std::wstring& wide);
std::string ToUtf8(const wchar_t* wide, size_t length);
// Bytes in the ANSI code page to UTF-8.
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace pagerift::win
