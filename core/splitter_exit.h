// The exit codes of the bundled splitter, data\pdftk.exe: the splitter ends
// with them, and the job names them after a file that failed. The README and
// docs/splitter.md list them for users.
#pragma once

namespace pagerift {

enum class SplitterExit : int {
  kDone = 0,         // warnings about recovered damage may be on stderr
  kUsage = 1,        // not exactly "<source>" burst
  kCannotRead = 2,   // missing, a folder, or cannot be opened
  kNotPdf = 3,       // not a PDF, damaged beyond repair, or no pages
  kPassword = 4,     // needs a user password
  kCannotWrite = 5,  // a page file cannot be written or put in place
  kInternal = 6,     // out of memory or an unexpected fault
};

// The largest code the splitter ends with; anything above it is not the splitter's own (a crash).
constexpr int kSplitterExitLast = static_cast<int>(SplitterExit::kInternal);

}  // namespace pagerift
