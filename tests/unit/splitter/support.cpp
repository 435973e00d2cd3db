#include "support.h"

#include <gtest/gtest.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace splitter_test {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "burst-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

namespace {

QPDFObjectHandle parse_indirect(QPDF& pdf, const std::string& text) {
  return pdf.makeIndirectObject(QPDFObjectHandle::parse(text));
}

// Page 1: a note and a link to page 2. Page 2: a text field, in a form with its defaults.
void add_annotations(QPDF& pdf, std::vector<QPDFObjectHandle>& pages) {
  auto note = parse_indirect(
      pdf, "<< /Type /Annot /Subtype /Text /Rect [10 10 30 30] /Contents (note on page 1) >>");
  auto link = parse_indirect(pdf, "<< /Type /Annot /Subtype /Link /Rect [50 50 90 70] >>");
  link.replaceKey("/Dest",
                  QPDFObjectHandle::newArray({pages.at(1), QPDFObjectHandle::newName("/Fit")}));
  pages.at(0).replaceKey("/Annots", QPDFObjectHandle::newArray({note, link}));
  auto field =
      parse_indirect(pdf,
                     "<< /Type /Annot /Subtype /Widget /FT /Tx /T (customer) /V (Ada Lovelace) "
                     "/F 4 /Rect [72 600 300 620] /DA (/Helv 12 Tf 0 g) >>");
  field.replaceKey("/P", pages.at(1));
  pages.at(1).replaceKey("/Annots", QPDFObjectHandle::newArray({field}));
  auto form = QPDFObjectHandle::parse(
      "<< /DA (/Helv 0 Tf 0 g) /NeedAppearances true /DR << /Font << >> >> >>");
  form.getKey("/DR").getKey("/Font").replaceKey(
      "/Helv", parse_indirect(pdf, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
  form.replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
  pdf.getRoot().replaceKey("/AcroForm", form);
}

}  // namespace

void make_pdf(const fs::path& path, const Recipe& recipe) {
  QPDF pdf;
  pdf.emptyPDF();
  auto shared = parse_indirect(pdf, "<< /Font << >> >>");
  shared.getKey("/Font").replaceKey(
      "/F1", parse_indirect(pdf, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
  shared.getKey("/Font").replaceKey(
      "/F2", parse_indirect(pdf, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"));
  auto same_content =
      QPDFObjectHandle::newStream(&pdf, "BT /F1 24 Tf 72 720 Td (Same page) Tj ET\n");
  std::vector<QPDFObjectHandle> pages;
  for (int n = 1; n <= recipe.pages; ++n) {
    auto page = parse_indirect(pdf, "<< /Type /Page /MediaBox [0 0 612 792] >>");
    std::string font = recipe.shared_fonts && n % 2 == 0 ? "/F2" : "/F1";
    page.replaceKey(
        "/Contents",
        recipe.shared_content
            ? same_content
            : QPDFObjectHandle::newStream(&pdf, "BT " + font + " 24 Tf 72 720 Td (" + recipe.title +
                                                    "Page " + std::to_string(n) + ") Tj ET\n"));
    page.replaceKey("/Resources",
                    recipe.shared_fonts || recipe.shared_content
                        ? shared
                        : QPDFObjectHandle::newDictionary(
                              {{"/Font", QPDFObjectHandle::newDictionary(
                                             {{"/F1", shared.getKey("/Font").getKey("/F1")}})}}));
    if (n == recipe.big_page) {
      std::string noise(200 * 1024, '\0');
      std::mt19937 random(42);
      for (auto& c : noise) c = static_cast<char>(random());
      page.replaceKey(
          "/Resources",
          QPDFObjectHandle::newDictionary(
              {{"/XObject", QPDFObjectHandle::newDictionary(
                                {{"/Im1", QPDFObjectHandle::newStream(&pdf, noise)}})}}));
    }
    pdf.addPage(page, false);
    pages.push_back(page);
  }
  if (recipe.labels)
    pdf.getRoot().replaceKey(
        "/PageLabels",
        QPDFObjectHandle::parse("<< /Nums [0 << /S /r >> 2 << /S /D /P (A-) >>] >>"));
  if (recipe.info)
    pdf.getTrailer().replaceKey(
        "/Info", parse_indirect(pdf, "<< /Title (Quarterly report) /Author (Pagerift tests) >>"));
  if (recipe.annotations) add_annotations(pdf, pages);

  QPDFWriter writer(pdf, path.string().c_str());
  writer.setStaticID(true);
  writer.setObjectStreamMode(recipe.object_streams && !recipe.no_id ? qpdf_o_generate
                                                                    : qpdf_o_disable);
  if (!recipe.user_password.empty() || !recipe.owner_password.empty())
    writer.setR6EncryptionParameters(recipe.user_password.c_str(), recipe.owner_password.c_str(),
                                     true, false, false, false, false, false, qpdf_r3p_none, true);
  writer.write();
  if (recipe.no_id) {
    // The trailer follows the table, so blanking the array keeps every offset right.
    std::string bytes = read_file(path);
    std::size_t id = bytes.find("/ID [", bytes.rfind("trailer"));
    if (id == std::string::npos) throw std::runtime_error("no /ID in the trailer");
    std::size_t length = bytes.find(']', id) + 1 - id;
    bytes.replace(id, length, length, ' ');
    write_file(path, bytes);
  }
}

PageFile::PageFile(const fs::path& path) {
  pdf.setSuppressWarnings(true);
  pdf.processFile(path.string().c_str());
  EXPECT_EQ(pdf.getAllPages().size(), 1u) << path;
  EXPECT_FALSE(pdf.anyWarnings()) << path;
  int pages = 0;
  for (auto& obj : pdf.getAllObjects())
    pages += obj.isDictionary() && obj.getKey("/Type").isNameAndEquals("/Page");
  EXPECT_EQ(pages, 1) << path;
}

QPDFPageObjectHelper PageFile::page() { return QPDFPageDocumentHelper(pdf).getAllPages().at(0); }

namespace {

std::string dest_of(QPDFObjectHandle item) {
  QPDFObjectHandle action = item.getKey("/A");
  return (action.isDictionary() ? action.getKey("/D") : item.getKey("/Dest")).unparseResolved();
}

}  // namespace

std::string lead(PageFile& file, QPDFObjectHandle item) {
  QPDFObjectHandle action = item.getKey("/A");
  if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoToR")) {
    QPDFObjectHandle spec = action.getKey("/F");
    return (spec.isDictionary() ? spec.getKey("/UF") : spec).getUTF8Value() + " " + dest_of(item);
  }
  QPDFObjectHandle dest = action.isDictionary() ? action.getKey("/D") : item.getKey("/Dest");
  if (!dest.isArray() ||
      dest.getArrayItem(0).getObjGen() != file.page().getObjectHandle().getObjGen())
    return "elsewhere " + dest_of(item);
  std::string view = dest_of(item);
  return "here " + view.substr(view.find('/'));
}

std::string PageFile::text() {
  Pl_Buffer buffer("contents");
  page().pipeContents(&buffer);
  auto data = buffer.getBufferSharedPointer();
  return std::string(reinterpret_cast<char*>(data->getBuffer()), data->getSize());
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> list_dir(const fs::path& dir) {
  std::vector<std::string> names;
  for (auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> page_names(const std::string& stem, int pages) {
  std::vector<std::string> names;
  int width = std::max<int>(4, static_cast<int>(std::to_string(pages).size()));
  for (int n = 1; n <= pages; ++n) {
    std::string number = std::to_string(n);
    names.push_back(stem + "_pg_" +
                    std::string(static_cast<std::size_t>(width) - number.size(), '0') + number +
                    ".pdf");
  }
  std::sort(names.begin(), names.end());
  return names;
}

int RunResult::err_lines() const {
  int lines = 0;
  for (char c : err) lines += c == '\n';
  return lines;
}

RunResult run_burst(const fs::path& cwd, const std::vector<std::string>& args,
                    const RunOptions& options) {
  TempDir scratch;  // stderr goes to a file: a pipe could fill up while we wait
  fs::path err_path = scratch.path / "stderr";
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(err, 2);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    if (options.remove_cwd && rmdir(cwd.c_str()) != 0) _exit(126);
    if (options.max_file_size) {
      signal(SIGXFSZ, SIG_IGN);  // a too-large write then fails with EFBIG instead
      rlimit limit{static_cast<rlim_t>(options.max_file_size),
                   static_cast<rlim_t>(options.max_file_size)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.cpu_seconds) {
      rlimit limit{static_cast<rlim_t>(options.cpu_seconds),
                   static_cast<rlim_t>(options.cpu_seconds)};
      setrlimit(RLIMIT_CPU, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(PAGERIFT_BURST_EXE)};
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(PAGERIFT_BURST_EXE, argv.data());
    _exit(127);
  }
  RunResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      break;
    }
    if (options.while_running) options.while_running();
    std::this_thread::sleep_for(std::chrono::milliseconds(options.while_running ? 1 : 5));
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.err = read_file(err_path);
  return result;
}

}  // namespace splitter_test
