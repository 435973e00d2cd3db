// Writes the seeds of the fuzz targets: PDFs as the splitter's tests make them and qpdf's test
// files for the burst, their pages' content for the scanner, a few setup.ini files for the
// settings reader.
//   fuzz_seeds OUT_DIR [QPDF_CORPUS_DIR]
#include "support.h"
#include "tagged_doc.h"
#include "whole_doc.h"

#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstdio>
#include <set>

using namespace splitter_test;

namespace {

constexpr std::uintmax_t kMaxSeed = 64 * 1024;  // the campaigns' -max_len

void generated_pdfs(const fs::path& dir) {
  const std::pair<const char*, Recipe> recipes[] = {
      {"plain", {.pages = 2}},
      {"shared", {.pages = 3, .shared_fonts = true, .labels = true, .info = true}},
      {"form", {.pages = 2, .annotations = true}},
      {"owner", {.pages = 1, .owner_password = "o"}},
      {"user", {.pages = 1, .user_password = "u", .owner_password = "o"}},
      {"classic", {.pages = 2, .object_streams = false}},
      {"no-id", {.pages = 2, .no_id = true}},
  };
  for (auto& [name, recipe] : recipes) make_pdf(dir / (std::string(name) + ".pdf"), recipe);
  // Links of every kind, named destinations in both places, optional content, XMP.
  make_whole(dir / "whole.pdf");
  // A structure tree of every kind of content, and outlines three levels deep.
  make_tagged(dir / "tagged.pdf");
}

// Every page's content, decoded: what the scanner reads.
void contents_of(const fs::path& pdf_file, const fs::path& dir, std::set<std::string>& seen) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(pdf_file.c_str());
    for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
      std::string content;
      Pl_String sink("content", nullptr, content);
      page.pipeContents(&sink);
      if (content.empty() || content.size() > kMaxSeed || !seen.insert(content).second) continue;
      write_file(dir / (std::to_string(seen.size()) + ".txt"), content);
    }
  } catch (std::exception&) {
    // A file qpdf cannot read has no content to give; it is a burst seed all the same.
  }
}

void settings(const fs::path& dir) {
  // The first byte picks the decimal separator.
  const char* const files[] = {
      ".2\r\n1\r\n0\r\nD:\\Pages\r\n",
      ".2,1,0,D:\\Pages",
      ".3,1,0,\"D:\\a,b\"",
      ",\"2,5\",\"1,51\",0,C:\\x",
      ".-1,12,1,\"\"",
      ".\xEF\xBB\xBF"
      "0,0,0,D:\\M\xC3\xBC"
      "ller",
      ".32767.5,-32768.5,+0.5e1,\t\" q \"",
      ".\"open, to\r\nthe end",
  };
  int n = 0;
  for (const char* text : files) write_file(dir / ("ini" + std::to_string(++n)), text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR [QPDF_CORPUS_DIR]\n");
    return 1;
  }
  fs::path out = argv[1];
  for (const char* target : {"burst", "scanner", "settings", "text"})
    fs::create_directories(out / target);
  generated_pdfs(out / "burst");
  if (argc > 2 && fs::is_directory(argv[2]))
    for (auto& entry : fs::directory_iterator(argv[2]))
      if (entry.path().extension() == ".pdf" && entry.file_size() <= kMaxSeed)
        fs::copy_file(entry.path(), out / "burst" / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
  std::set<std::string> seen;
  for (auto& entry : fs::directory_iterator(out / "burst"))
    contents_of(entry.path(), out / "scanner", seen);
  // The font code reads the same content for its text.
  for (auto& entry : fs::directory_iterator(out / "scanner"))
    fs::copy_file(entry.path(), out / "text" / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
  settings(out / "settings");
  std::printf("seeds in %s\n", out.c_str());
  return 0;
}
