// Helpers for the splitter's tests: temporary folders, PDFs made with libqpdf, and running the
// real pagerift-burst binary as a child process.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace splitter_test {

namespace fs = std::filesystem;

struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  fs::path path;
};

struct Recipe {
  int pages = 1;
  bool shared_content = false;  // one content stream for all pages: cheap huge documents
  bool shared_fonts = false;    // one resources dictionary with /F1 and /F2; odd pages use F1
  bool labels = false;          // pages 1-2 "i", "ii", then "A-1", "A-2", ...
  bool info = false;            // /Title and /Author
  bool annotations = false;     // page 1: a note and a link to page 2; page 2: a text field
  std::string user_password, owner_password;  // 256-bit encryption when either is set
  int big_page = 0;            // this page (from 1) also carries 200 KB of image data
  bool object_streams = true;  // false: a classic cross-reference table
  std::string title;           // the text on page n is "(<title>Page n)"
  bool no_id = false;          // a trailer without /ID (and a classic cross-reference table)
};

void make_pdf(const fs::path& path, const Recipe& recipe);

// Opens a page file as a reader would, insisting on a clean file with one page object: none of
// the source's other pages may come along.
struct PageFile {
  explicit PageFile(const fs::path& path);
  QPDFPageObjectHelper page();
  std::string text();  // the page's content
  QPDF pdf;
};

// Where a mended link or outline item leads: "here <view>" on the file's own page, "<file>
// <dest>" for a GoToR, "elsewhere <dest>" otherwise.
std::string lead(PageFile& file, QPDFObjectHandle item);

std::string read_file(const fs::path& path);
void write_file(const fs::path& path, const std::string& bytes);

// Names in a folder, sorted.
std::vector<std::string> list_dir(const fs::path& dir);

std::vector<std::string> page_names(const std::string& stem, int pages);

struct RunOptions {
  int timeout_seconds = 120;
  long max_file_size = 0;               // RLIMIT_FSIZE for the child; 0 = unlimited
  int cpu_seconds = 0;                  // RLIMIT_CPU for the child, a hang guard; 0 = unlimited
  bool remove_cwd = false;              // the child's folder is deleted before it starts
  std::function<void()> while_running;  // called repeatedly until the child ends
};

struct RunResult {
  int exit_code = -1;  // -1 unless it exited normally
  int signal = 0;      // the signal that ended it, or SIGKILL after a time-out
  bool timed_out = false;
  std::string err;  // everything written to stderr
  int err_lines() const;
};

// Runs pagerift-burst with `args` in folder `cwd`, stdin from /dev/null.
RunResult run_burst(const fs::path& cwd, const std::vector<std::string>& args,
                    const RunOptions& options = {});

}  // namespace splitter_test
