// The open-file dialog wrapper. The dialog itself lives in the shell; what
// can be decided without it (where it opens, the filter list) is here.
#pragma once

#include <cstdint>
#include <string>

#include "core/ports.h"

namespace pagerift {

constexpr uint32_t kOfnNoChangeDir = 0x00000008;
constexpr uint32_t kOfnLongNames = 0x00200000;

// Where the dialog opens. Blank (empty or spaces only) means the program
// folder. Otherwise the argument with a trailing "\" when a search of it finds
// an entry; an empty, missing or unreadable folder falls back to the program
// folder too.
std::string ResolveInitialFolder(const std::string& folder, const std::string& programFolder,
                                 FileSystem& fs);

// The "|"-separated filter as the dialog wants it: every piece (empty ones
// kept) followed by one NUL, so "a|b" becomes "a\0b\0" and blank becomes
// "*.*\0*.*\0". The closing NUL of the double-NUL list is not part of the
// returned text: the shell hands the string over with its own terminator
// (c_str()), which supplies it.
std::string ConvertFilter(const std::string& filter);

// Shows the dialog and returns the chosen path, or empty text when nothing
// was chosen. `flags` reach the dialog unchanged.
std::string GetFile(Ports& ports, const std::string& title, const std::string& initialFolder,
                    const std::string& filter, uint32_t flags);

}  // namespace pagerift
