// Text and path helpers: the one place for Windows path joins, blanks, and
// conversions between UTF-8 (all text inside the program) and UTF-16 (what
// Windows takes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagerift {

// `name` inside `folder`, with exactly one backslash between them: a drive
// root ("C:\") already ends in its own.
std::string InFolder(std::string_view folder, std::string_view name);
// `path` with a trailing backslash, added unless it already ends in one (an
// empty path becomes "\").
std::string WithTrailingBackslash(std::string path);
// The folder that holds `path`: no trailing backslash, except at a drive
// root, which keeps its own. Empty when `path` names no folder.
std::string ParentFolder(std::string_view path);

// Blanks are spaces and tabs.
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);
bool IsOnlySpaces(std::string_view text);  // empty counts

// Code points in UTF-8 text, and the byte offset where code point `count`
// begins (the size when there are fewer).
size_t Utf8Length(std::string_view text);
size_t Utf8Offset(std::string_view text, size_t count);

// Malformed input turns into U+FFFD rather than failing.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace pagerift
