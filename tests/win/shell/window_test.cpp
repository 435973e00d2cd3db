// The real window, made by the real shell, in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include "win32/app.h"
#include "win32/text.h"
#include "win_paths.h"

using namespace pagerift;  // the controls by name
using pagerift::win::App;

namespace {

RECT ChildRect(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void ExpectRect(const RECT& r, int x, int y, int w, int h, const char* what) {
  EXPECT_EQ(r.left, x) << what;
  EXPECT_EQ(r.top, y) << what;
  EXPECT_EQ(r.right - r.left, w) << what;
  EXPECT_EQ(r.bottom - r.top, h) << what;
}

}  // namespace

TEST(Window, StartsCentredTopmostWithEveryControlInPlace) {
  App app;
  ASSERT_TRUE(app.Create(GetModuleHandleW(nullptr)));
  app.main().Load();
  HWND frame = app.frame().hwnd();

  EXPECT_TRUE(IsWindowVisible(frame));
  wchar_t title[64] = {};
  GetWindowTextW(frame, title, 64);
  EXPECT_STREQ(title, L"Pagerift");
  RECT client;
  GetClientRect(frame, &client);
  EXPECT_EQ(client.right, 548);
  EXPECT_EQ(client.bottom, 366);
  RECT outer;
  GetWindowRect(frame, &outer);
  EXPECT_EQ(outer.right - outer.left, 548) << "no frame around the client area";
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR(outer.left - work.left, work.right - outer.right, 1);
  EXPECT_NEAR(outer.top - work.top, work.bottom - outer.bottom, 1);
  EXPECT_TRUE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);

  auto& f = app.frame();
  ExpectRect(ChildRect(frame, f.ControlWindow(picDrag)), 1, 27, 545, 302, "picDrag");
  ExpectRect(ChildRect(frame, f.ControlWindow(txtPath)), 308, 406, 161, 23, "txtPath");
  ExpectRect(ChildRect(f.ControlWindow(picDrag), f.ControlWindow(lstFile)), 410, 24, 113, 88,
             "lstFile inside picDrag");
  ExpectRect(ChildRect(frame, f.ControlWindow(picButtonBR)), 82, 661, 19, 19, "picButtonBR");
  for (ControlId hidden : {lstFile, cmbBR, cmbR, cmbChannel, picButtonR})
    EXPECT_FALSE(IsWindowVisible(f.ControlWindow(hidden))) << ControlName(hidden);
  EXPECT_TRUE(IsWindowVisible(f.ControlWindow(picDrag)));

  EXPECT_EQ(GetFocus(), f.ControlWindow(txtPath));
  wchar_t text[64] = {};
  GetWindowTextW(f.ControlWindow(txtPath), text, 64);
  EXPECT_STREQ(text, L"C:\\Output");
  EXPECT_EQ(SendMessageW(f.ControlWindow(cmbBR), CB_GETCOUNT, 0, 0), 12);
  EXPECT_EQ(SendMessageW(f.ControlWindow(cmbBR), CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST(Window, TypingIntoTheFolderBoxReachesTheModel) {
  App app;
  ASSERT_TRUE(app.Create(GetModuleHandleW(nullptr)));
  app.main().Load();
  SetWindowTextW(app.frame().ControlWindow(txtPath), L"D:\\Pages \u0439");
  EXPECT_EQ(app.main().form()[txtPath].Text, "D:\\Pages \xD0\xB9");
}

TEST(Window, ASecondInstanceEndsWithoutAWindow) {
  // Hold the program's instance mutex as a running copy would.
  HANDLE running = CreateMutexW(nullptr, TRUE, L"Local\\Pagerift.SingleInstance");
  ASSERT_NE(running, nullptr);
  std::wstring exe = pagerift::win::ToWide(WinPath(PAGERIFT_EXE));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exe + L"\"";
  ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0) << "second copy kept running";
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  if (code == STILL_ACTIVE) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(running);
}
