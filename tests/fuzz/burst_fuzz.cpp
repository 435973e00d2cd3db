// libFuzzer target: the whole burst of one PDF, from parsing to page files on disk. The splitter
// reads and writes real files, so the input goes to a folder of this process's own (in memory
// where /dev/shm is there) and the pages come out beside it; the checks are the splitter's
// promises: page files that qpdf opens, one page each, or a clean failure that leaves nothing.
#include "splitter/burst.h"

#include <qpdf/QPDF.hh>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using pagerift::SplitterExit;

namespace {

// Plain characters, so that they are still there when the exit handler runs.
char folder_name[4096];

void remove_work_folder() {
  std::error_code ignored;
  fs::remove_all(folder_name, ignored);
}

const fs::path& work_folder() {
  static const fs::path folder = [] {
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "pagerift-fuzz-XXXXXX").string();
    if (pattern.size() >= sizeof folder_name || !mkdtemp(pattern.data())) std::abort();
    pattern.copy(folder_name, pattern.size());
    std::atexit(remove_work_folder);
    fs::create_directory(fs::path(pattern) / "out");
    return fs::path(pattern);
  }();
  return folder;
}

[[noreturn]] void broken(const std::string& what) {
  std::fprintf(stderr, "broken promise: %s\n", what.c_str());
  std::abort();
}

// What a reader makes of a page file: qpdf opens it, reads its version and finds one page.
void check_page_file(const fs::path& file) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(file.c_str());
    pdf.getVersionAsPDFVersion();
    if (pdf.getAllPages().size() != 1) broken(file.filename().string() + " is not one page");
  } catch (const std::exception& e) {
    broken("qpdf cannot open " + file.filename().string() + ": " + e.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path source = work_folder() / "in.pdf", out = work_folder() / "out";
  std::ofstream(source, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  pagerift::splitter::BurstResult result = pagerift::splitter::burst(source.string(), out.string());

  std::vector<fs::path> written;
  for (auto& entry : fs::directory_iterator(out)) written.push_back(entry.path());
  if (result.code == SplitterExit::kDone) {
    if (written.size() != result.pages) broken("page files are not one a page");
    for (auto& file : written) {
      if (file.filename().string().rfind("in_pg_", 0) != 0) broken("left " + file.string());
      check_page_file(file);
    }
  } else {
    if (!written.empty()) broken("a failure left " + written.front().filename().string());
    if (result.error.empty() || result.error.find('\n') != std::string::npos)
      broken("a failure without one line: " + result.error);
  }
  for (auto& file : written) fs::remove(file);
  return 0;
}
