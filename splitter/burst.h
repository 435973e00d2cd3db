// Splits one PDF into one PDF per page: the heart of data\pdftk.exe.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pagerift::splitter {

// Exit codes of the splitter; docs/splitter.md lists them for users.
enum ExitCode : int {
  kOk = 0,
  kUsage = 1,
  kCannotRead = 2,   // missing, a folder, or cannot be opened
  kNotPdf = 3,       // not a PDF, damaged beyond repair, or no pages
  kPassword = 4,     // needs a user password
  kCannotWrite = 5,  // a page file cannot be written or put in place
  kInternal = 6,     // out of memory or an unexpected fault
};

struct BurstResult {
  int code = kOk;
  std::string error;                  // one line, set when code != kOk
  std::vector<std::string> warnings;  // recoverable damage, deduplicated
  std::size_t pages = 0;              // page files written
};

// Writes the page files of `source` into `out_dir` ("" = the current folder), named as PageSet
// chooses. Pages are written under temporary names and renamed into place once all are done. On
// failure no page file of this run is left behind, and no file that was there before is changed.
BurstResult burst(const std::string& source, const std::string& out_dir = "");

}  // namespace pagerift::splitter
