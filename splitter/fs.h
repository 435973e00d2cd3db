// The few file-system operations the splitter needs, on UTF-8 paths.
// One implementation per platform (fs_posix.cpp, fs_win.cpp), so burst.cpp stays portable.
#pragma once

#include <cstdio>
#include <string>

namespace pagerift::splitter::fs {

enum class Kind { missing, file, directory, other };

// What lies at `path`. `error` gets a reason when the answer is `other` because it could not be
// examined (e.g. permission denied on a parent folder).
Kind kind_of(const std::string& path, std::string* error = nullptr);

// Opens an existing file for binary reading, letting others read and write it meanwhile.
FILE* open_read(const std::string& path, std::string& error);

// Creates a file that must not exist yet (so nothing is ever clobbered by a temporary file).
// Returns nullptr with `exists` set when the name is taken, or with `error` set on other failures.
FILE* create_new(const std::string& path, bool& exists, std::string& error);

// Renames `from` to `to`, replacing an existing file `to` in one step.
bool replace(const std::string& from, const std::string& to, std::string& error);

void remove_file(const std::string& path);

// True when both names refer to one existing file (hard links, symbolic links, other spellings).
bool same_file(const std::string& a, const std::string& b);

unsigned long process_id();

// The path with its last component only (no folders).
std::string file_name(const std::string& path);

// Writes one line to stderr, readable on a console even when it is not UTF-8.
void error_line(const std::string& utf8);

#ifdef _WIN32
std::string utf8_from_wide(const wchar_t* wide);
#endif

}  // namespace pagerift::splitter::fs
