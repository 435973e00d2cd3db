// The real ports held to what app/ports.h promises, one behaviour a test:
// whatever a unit test counts on of a fake must be true of these.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "started_app.h"
#include "win32/text.h"
#include "win_paths.h"

using namespace pagerift;  // the controls by name
using pagerift::win::ToWide;
using pagerift::win::WinProcessRunner;

namespace {

// A pump that only notes when it was called.
struct CountingPump : pagerift::MessagePump {
  void DoEvents() override { calls.push_back(GetTickCount()); }
  std::vector<DWORD> calls;
};

std::string SleeperCommand(int ms, int code) {
  return "\"" + WinPath(SLEEPER_EXE) + "\" " + std::to_string(ms) + " " + std::to_string(code);
}

void DrainMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

struct Started : StartedApp {
  std::wstring RealText(ControlId control) {
    wchar_t text[512] = {};
    GetWindowTextW(app.frame().ControlWindow(control), text, 512);
    return text;
  }
};

}  // namespace

TEST_F(Started, DoEventsSyncsRunsWhatIsWaitingAndNeverWaits) {
  DrainMessages();
  form()[txtPath].Text = "Q:\\Synced";
  std::atomic<int> ticks{0};
  static std::atomic<int>* seen = &ticks;
  SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR, DWORD) { ++*seen; });
  Sleep(50);  // the timer is due: a WM_TIMER waits
  app.ports().pump.DoEvents();
  EXPECT_EQ(RealText(txtPath), L"Q:\\Synced");
  EXPECT_GE(ticks.load(), 1) << "a waiting message was not handled";

  const DWORD start = GetTickCount();
  for (int i = 0; i < 20; ++i) app.ports().pump.DoEvents();
  EXPECT_LT(GetTickCount() - start, 1000u) << "DoEvents waited for messages to come";
}

TEST(ProcessContract, PumpsAtOnceWhenStartedThenOnlyForMessagesAndReturnsTheExitCode) {
  DrainMessages();
  CountingPump pump;
  WinProcessRunner runner(pump);
  const DWORD start = GetTickCount();
  auto code = runner.RunHidden(WinPath(SLEEPER_EXE), SleeperCommand(1500, 3));
  const DWORD elapsed = GetTickCount() - start;
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 3u);
  EXPECT_GE(elapsed, 1400u) << "returned before the process ended";
  ASSERT_FALSE(pump.calls.empty()) << "no pump while the process ran";
  EXPECT_LT(pump.calls.front() - start, 500u) << "the first pump came late";
  EXPECT_LT(pump.calls.size(), 10u) << "it pumped with no messages coming";
}

TEST(ProcessContract, AStartThatFailsIsNotStartedAndPumpsNothing) {
  CountingPump pump;
  WinProcessRunner runner(pump);
  EXPECT_FALSE(runner.RunHidden("Z:\\no\\such\\pdftk.exe", "\"Z:\\no\\such\\pdftk.exe\" x burst"));
  EXPECT_TRUE(pump.calls.empty());
}

TEST_F(Started, MessageBoxShowsTheModelAndHoldsTheWindowUntilClosed) {
  form()[txtPath].Text = "Q:\\Before the box";  // in the model only, so far
  bool synced = false, modal = false;
  HWND frame = app.frame().hwnd();
  std::thread ok = PressWhenShown(L"Contract", IDOK, [&](HWND) {
    synced = RealText(txtPath) == L"Q:\\Before the box";
    modal = !IsWindowEnabled(frame);
  });
  app.ports().shell.MessageBox("Shown.", "Contract", false);
  ok.join();
  EXPECT_TRUE(synced) << "the box came up before the window showed the model";
  EXPECT_TRUE(modal) << "the window took input while the box was up";
  EXPECT_TRUE(IsWindowEnabled(frame));
}

TEST_F(Started, OpenFileIsModalAndReturnsTheChosenPathWhole) {
  // 259 characters: past the 255 of the old buffer, and the longest that
  // Wine's dialog itself can hand back (it holds paths in MAX_PATH buffers).
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = temp;
  for (int level = 0; path.size() < 200; ++level) {
    path += std::wstring(40, static_cast<wchar_t>(L'a' + level)) + L"\\";
    CreateDirectoryW(path.c_str(), nullptr);
  }
  path += std::wstring(259 - path.size() - 4, L'z') + L".pdf";
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_EQ(path.size(), 259u);

  bool modal = false;
  HWND frame = app.frame().hwnd();
  std::thread choose = PressWhenShown(L"Open Files", IDOK, [&](HWND dlg) {
    modal = !IsWindowEnabled(frame);
    // The file name box: a combo box in the Explorer-style dialog, an edit in the old one.
    HWND name = GetDlgItem(dlg, 0x47C);
    if (!name) name = GetDlgItem(dlg, 0x480);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  });
  pagerift::OpenFileRequest request;
  request.title = "Open Files";
  request.filter = std::string("PDF Files(*.PDF)\0*.pdf\0", 24);
  request.flags = 0x00200000 | 0x8;  // long names, keep the current folder
  const std::string chosen = app.ports().dialogs.OpenFile(request);
  choose.join();
  EXPECT_TRUE(modal) << "the window took input while the dialog was up";
  EXPECT_EQ(chosen, pagerift::win::ToUtf8(path));
}

TEST(FileSystemContract, FoldersOneLevelAndOnlyOrdinaryFilesRead) {
  pagerift::win::WinFileSystem fs;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string root =
      pagerift::win::ToUtf8(temp) + "pagerift-fs-contract-" + std::to_string(GetCurrentProcessId());
  EXPECT_TRUE(fs.CreateFolder(root));
  EXPECT_FALSE(fs.CreateFolder(root)) << "an existing folder counts as not made";
  EXPECT_FALSE(fs.CreateFolder(root + "\\missing\\child")) << "only one level is made";
  EXPECT_FALSE(fs.FolderHasEntries(root + "\\missing\\"));
  EXPECT_TRUE(fs.FolderHasEntries(root + "\\")) << "an empty folder still lists \".\"";

  auto write = [&](const std::string& name, DWORD attributes) {
    const std::string path = root + "\\" + name;
    HANDLE f = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           attributes, nullptr);
    DWORD n = 0;
    WriteFile(f, "abc", 3, &n, nullptr);
    CloseHandle(f);
    return path;
  };
  EXPECT_EQ(fs.ReadOrdinaryFile(write("system.ini", FILE_ATTRIBUTE_SYSTEM)), std::nullopt);
  EXPECT_EQ(fs.ReadOrdinaryFile(write("hidden.ini", FILE_ATTRIBUTE_HIDDEN)), std::nullopt);
  EXPECT_EQ(fs.ReadOrdinaryFile(write("plain.ini", FILE_ATTRIBUTE_NORMAL)),
            std::optional<std::string>("abc"));
  EXPECT_EQ(fs.ReadOrdinaryFile(root), std::nullopt) << "a folder";
  EXPECT_EQ(fs.ReadOrdinaryFile(root + "\\absent.ini"), std::nullopt);
}

TEST(TextBoundary, TheCoreConvertsValidTextAsWindowsDoes) {
  for (const char* utf8 :
       {"", "C:\\Output", "Z:\\Отчёт 2026 — 季度 \xF0\x9F\x98\x80.pdf", "\xC3\xA9t\xC3\xA9"}) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring windows(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, windows.data(), n);
    windows.resize(windows.size() - 1);  // the terminator
    EXPECT_EQ(ToWide(utf8), windows) << utf8;
    EXPECT_EQ(pagerift::win::ToUtf8(windows), utf8);
  }
}
