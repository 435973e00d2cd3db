// Splits one PDF into one PDF per page: the heart of data\pdftk.exe.
#pragma once

#include "core/splitter_exit.h"

#include <cstddef>
#include <string>
#include <vector>

namespace pagerift::splitter {

struct BurstResult {
  SplitterExit code = SplitterExit::kDone;
  std::string error;                  // one line, set when code is not kDone
  std::vector<std::string> warnings;  // recoverable damage, deduplicated
  std::size_t pages = 0;              // page files written
};

// Writes the page files of `source` into `out_dir` ("" = the current folder), named as PageSet
// chooses. Pages are written under temporary names and renamed into place once all are done. On
// failure no page file of this run is left behind, and no file that was there before is changed.
//
// With kLeaveToExit the parsed source is not freed, for a program that ends right after: freeing
// a large document's objects one by one takes up to a seventh of a burst, and the end of the
// process does it at once. Only the first burst of a process that asks leaves it; later ones
// free theirs.
enum class Teardown { kFree, kLeaveToExit };
BurstResult burst(const std::string& source, const std::string& out_dir = "",
                  Teardown teardown = Teardown::kFree);

}  // namespace pagerift::splitter
