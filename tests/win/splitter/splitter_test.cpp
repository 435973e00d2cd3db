// The bundled splitter under Windows: wide command line in, UTF-8 inside, wide file names out.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Folder {
  Folder() {
    static int count = 0;
    path = fs::temp_directory_path() /
           (L"burst-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count));
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::vector<std::wstring> names() const {
    std::vector<std::wstring> found;
    for (auto& entry : fs::directory_iterator(path))
      found.push_back(entry.path().filename().wstring());
    std::sort(found.begin(), found.end());
    return found;
  }
  fs::path path;
};

// A small valid PDF, written out by hand with exact offsets.
std::string tiny_pdf(int pages) {
  std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>", ""};
  std::string kids;
  for (int i = 0; i < pages; ++i) {
    std::string text = "BT /F1 24 Tf 20 100 Td (Page " + std::to_string(i + 1) + ") Tj ET";
    kids += std::to_string(3 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents " +
                      std::to_string(4 + 2 * i) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text +
                      "\nendstream");
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
  std::string pdf = "%PDF-1.4\n", xref = "0000000000 65535 f \n";
  for (size_t i = 0; i < objects.size(); ++i) {
    char line[21];
    snprintf(line, sizeof line, "%010zu 00000 n \n", pdf.size());
    xref += line;
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  std::string size = std::to_string(objects.size() + 1);
  return pdf + "xref\n0 " + size + "\n" + xref + "trailer\n<< /Size " + size +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(pdf.size()) + "\n%%EOF\n";
}

std::string read_file(const fs::path& path) {
  std::ostringstream all;
  all << std::ifstream(path, std::ios::binary).rdbuf();
  return all.str();
}

struct Outcome {
  DWORD exit_code = 0xffffffff;
  std::string err;
};

// Starts the splitter hidden in `cwd`, as the program does, and waits for it.
Outcome burst(const fs::path& cwd, const std::wstring& source) {
  wchar_t self[MAX_PATH * 4];
  fs::path exe =
      fs::path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH * 4))).parent_path() /
      PDFTK_RELATIVE;
  Folder logs;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE err = CreateFileW((logs.path / L"stderr.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                           &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdError = err;
  std::wstring command = L"\"" + exe.wstring() + L"\" \"" + source + L"\" burst";
  PROCESS_INFORMATION process{};
  Outcome outcome;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(),
                     &startup, &process)) {
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &outcome.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(err);
  outcome.err = read_file(logs.path / L"stderr.txt");
  return outcome;
}

const std::wstring kStem = L"Отчёт 2026 — 季度";

TEST(Splitter, SplitsAUnicodeNamedSourceIntoUnicodeNamedPages) {
  Folder in, out;
  std::ofstream(in.path / (kStem + L".pdf"), std::ios::binary) << tiny_pdf(3);
  Outcome run = burst(out.path, (in.path / (kStem + L".pdf")).wstring());
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(out.names(),
            (std::vector<std::wstring>{kStem + L"_pg_0001.pdf", kStem + L"_pg_0002.pdf",
                                       kStem + L"_pg_0003.pdf"}));
  std::string page = read_file(out.path / (kStem + L"_pg_0003.pdf"));
  EXPECT_EQ(page.rfind("%%EOF"), page.size() - 6);

  // Again with the source beside its pages, named relative to the current folder: the new pages
  // take a set of their own, and the older pages and the source stay as they were.
  std::ofstream(out.path / (kStem + L".pdf"), std::ios::binary) << tiny_pdf(2);
  run = burst(out.path, kStem + L".pdf");
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(out.names(),
            (std::vector<std::wstring>{kStem + L" (2)_pg_0001.pdf", kStem + L" (2)_pg_0002.pdf",
                                       kStem + L".pdf", kStem + L"_pg_0001.pdf",
                                       kStem + L"_pg_0002.pdf", kStem + L"_pg_0003.pdf"}));
  EXPECT_EQ(read_file(out.path / (kStem + L"_pg_0003.pdf")), page);
  EXPECT_EQ(read_file(out.path / (kStem + L".pdf")), tiny_pdf(2));
}

// Names differing only in case are one file here, so such a name is taken; and two runs on the same
// source write the same bytes.
TEST(Splitter, ANameTakenInAnyCaseGivesANewSetOfTheSameBytes) {
  Folder in, first, second;
  std::ofstream(in.path / L"report.pdf", std::ios::binary) << tiny_pdf(3);
  std::ofstream(second.path / L"REPORT_pg_0002.PDF", std::ios::binary) << "someone else's";
  EXPECT_EQ(burst(first.path, (in.path / L"report.pdf").wstring()).exit_code, 0u);
  Outcome run = burst(second.path, (in.path / L"report.pdf").wstring());
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(second.names(),
            (std::vector<std::wstring>{L"REPORT_pg_0002.PDF", L"report (2)_pg_0001.pdf",
                                       L"report (2)_pg_0002.pdf", L"report (2)_pg_0003.pdf"}));
  EXPECT_EQ(read_file(second.path / L"REPORT_pg_0002.PDF"), "someone else's");
  for (int n = 1; n <= 3; ++n) {
    std::wstring page = L"_pg_000" + std::to_wstring(n) + L".pdf";
    EXPECT_EQ(read_file(second.path / (L"report (2)" + page)),
              read_file(first.path / (L"report" + page)))
        << n;
  }
}

TEST(Splitter, AMissingSourceFailsWithOneUtf8LineAndNoFiles) {
  Folder out;
  Outcome run = burst(out.path, (out.path / (kStem + L".pdf")).wstring());
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_TRUE(out.names().empty());
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82"), std::string::npos)
      << run.err;  // "Отчёт"
}

}  // namespace
