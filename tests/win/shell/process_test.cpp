// The splitter's runner: a real child, waited for on its handle.
#include <gtest/gtest.h>
#include <windows.h>

#include "win32/frame.h"
#include "win32/win_ports.h"
#include "win_paths.h"

using pagerift::win::Frame;
using pagerift::win::WinProcessRunner;
using pagerift::win::WinPump;

namespace {

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto secs = [](FILETIME t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
  };
  return secs(kernel) + secs(user);
}

std::string SleeperCommand(int ms, int code) {
  // Appended piece by piece: GCC 12 warns (falsely, -Wrestrict) on a literal plus a string here.
  std::string command = "\"";
  command += WinPath(SLEEPER_EXE);
  command += "\" " + std::to_string(ms) + " " + std::to_string(code);
  return command;
}

int g_handled = 0;

LRESULT CALLBACK Counter(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) ++g_handled;
  return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

TEST(ProcessRunner, WaitsOnTheHandleWhileMessagesKeepFlowing) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Counter;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CounterWindow";
  RegisterClassW(&wc);
  HWND sink = CreateWindowW(L"CounterWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
  ASSERT_NE(sink, nullptr);
  // Messages posted during the wait, from a timer callback.
  SetTimer(sink, 1, 100, [](HWND w, UINT, UINT_PTR, DWORD) { PostMessageW(w, WM_APP, 0, 0); });

  Frame frame;  // no window: the pump only dispatches
  WinPump pump(frame);
  WinProcessRunner runner(pump);
  const double cpuBefore = CpuSeconds();
  const DWORD start = GetTickCount();
  auto code = runner.RunHidden(WinPath(SLEEPER_EXE), SleeperCommand(2000, 7));
  const DWORD elapsed = GetTickCount() - start;
  const double cpu = CpuSeconds() - cpuBefore;

  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 7u);
  EXPECT_GE(elapsed, 1900u);
  EXPECT_GE(g_handled, 5) << "messages were not handled during the wait";
  EXPECT_LT(cpu, 0.3) << "the wait burned " << cpu << " s of CPU in " << elapsed << " ms";
  KillTimer(sink, 1);
  DestroyWindow(sink);
}

TEST(ProcessRunner, ReadsAZeroExitCode) {
  Frame frame;
  WinPump pump(frame);
  WinProcessRunner runner(pump);
  auto code = runner.RunHidden(WinPath(SLEEPER_EXE), SleeperCommand(10, 0));
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
}
