// The few file-system operations the splitter needs, on UTF-8 paths.
// One implementation per platform (fs_posix.cpp, fs_win.cpp), so the rest stays portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pagerift::splitter::fs {

enum class Kind { missing, file, directory, other };

// What lies at `path`. `error` gets a reason when the answer is `other` because it could not be
// examined (e.g. permission denied on a parent folder).
Kind kind_of(const std::string& path, std::string* error = nullptr);

// Opens an existing file for binary reading, letting others read and write it meanwhile.
FILE* open_read(const std::string& path, std::string& error);

// A file opened by create_new: a descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Creates a file that must not exist yet (so nothing is ever clobbered by a temporary file).
// Returns kNoHandle with `exists` set when the name is taken, or with `error` set on other
// failures.
Handle create_new(const std::string& path, bool& exists, std::string& error);
// Writes all of `data`, in as few calls as the system allows.
bool write_all(Handle file, const char* data, std::size_t size, std::string& error);
// False when the system reports that written data may be lost.
bool close(Handle file, std::string& error);

// Renames `from` to `to` only if nothing is called `to` yet, in one step: an existing file is never
// replaced. `exists` tells a taken name apart from other failures.
bool rename_new(const std::string& from, const std::string& to, bool& exists, std::string& error);

void remove_file(const std::string& path);

// The names in folder `dir` ("" = the current folder), "." and ".." left out.
bool list_names(const std::string& dir, std::vector<std::string>& names, std::string& error);

// The form in which the folder compares names: two names with the same key are one file
// (Windows folders ignore case, POSIX ones do not).
std::string name_key(const std::string& name);

unsigned long process_id();

#ifdef _WIN32
// Makes the system folder the only place Windows looks in for DLLs loaded later on our behalf,
// never the program's folder or the current one.
void restrict_dll_search();
#endif

// The path with its last component only (no folders).
std::string file_name(const std::string& path);

// Writes one line to stderr, readable on a console even when it is not UTF-8.
void error_line(const std::string& utf8);

#ifdef _WIN32
std::string utf8_from_wide(const wchar_t* wide);
#endif

}  // namespace pagerift::splitter::fs
