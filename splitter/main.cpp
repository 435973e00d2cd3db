// data\pdftk.exe: `pdftk "<source>" burst` writes one PDF per page into the current folder.
// Exit codes are listed in docs/splitter.md. It never reads stdin and never prompts.
#include "splitter/burst.h"
#include "splitter/platform/fs.h"

#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxWarningLines = 20;

int run(const std::vector<std::string>& args) {
  using namespace pagerift::splitter;
  using pagerift::SplitterExit;
  if (args.size() != 2 || args[0].empty() || args[1] != "burst") {
    fs::error_line("usage: pdftk \"<source.pdf>\" burst");
    return static_cast<int>(SplitterExit::kUsage);
  }
  BurstResult result = burst(args[0], "", Teardown::kLeaveToExit);
  if (result.code != SplitterExit::kDone) {
    fs::error_line("pdftk: " + result.error);
    return static_cast<int>(result.code);
  }
  for (std::size_t i = 0; i < result.warnings.size() && i < kMaxWarningLines; ++i)
    fs::error_line("pdftk: warning: " + result.warnings[i]);
  if (result.warnings.size() > kMaxWarningLines)
    fs::error_line("pdftk: warning: " + std::to_string(result.warnings.size() - kMaxWarningLines) +
                   " more warnings");
  return static_cast<int>(SplitterExit::kDone);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  pagerift::splitter::fs::restrict_dll_search();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(pagerift::splitter::fs::utf8_from_wide(argv[i]));
  return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
