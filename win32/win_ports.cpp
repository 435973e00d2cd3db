#include "win32/win_ports.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "core/text.h"
#include "win32/device_scale.h"
#include "win32/frame.h"
#include "win32/raii.h"
#include "win32/text.h"

namespace pagerift::win {

void WinPump::DoEvents() {
  frame_.Sync();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (frame_.PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  frame_.Sync();
}

namespace {

// Sleeps until `process` ends, handling messages as they arrive. The handle
// we hold cannot be confused with a reused process id.
void WaitPumping(HANDLE process, MessagePump& pump) {
  for (;;) {
    DWORD r = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) return;
    if (r == WAIT_OBJECT_0 + 1) {
      pump.DoEvents();
      continue;
    }
    // The wait itself failed, which a handle of our own should never make it
    // do: poll instead, so the window stays alive until the process ends.
    while (WaitForSingleObject(process, 50) == WAIT_TIMEOUT) pump.DoEvents();
    return;
  }
}

}  // namespace

std::optional<uint32_t> WinProcessRunner::RunHidden(const std::string& application,
                                                    const std::string& commandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  si.wShowWindow = SW_HIDE;
  // No standard handles: the splitter never reads input, and nothing it
  // might wait on is connected.
  si.hStdInput = si.hStdOutput = si.hStdError = nullptr;
  PROCESS_INFORMATION pi{};
  std::wstring app = ToWide(application);
  std::wstring cmd = ToWide(commandLine);
  if (!CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return std::nullopt;
  UniqueHandle process(pi.hProcess);
  UniqueHandle thread(pi.hThread);
  // The job has just set what the window is to show while the splitter runs;
  // with no input coming, nothing else would paint it.
  pump_.DoEvents();
  WaitPumping(process.get(), pump_);
  // Started is started: even a wait that broke down reports an exit code
  // (STILL_ACTIVE if it is somehow still running), so the file is never
  // handed to a second splitter.
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

void WinShell::Beep() { MessageBeep(MB_OK); }

void WinShell::MessageBox(const std::string& text, const std::string& title, bool warning) {
  frame_.Sync();
  ::MessageBoxW(frame_.hwnd(), ToWide(text).c_str(), ToWide(title).c_str(),
                MB_OK | (warning ? MB_ICONWARNING : 0));
}

void WinShell::Open(const std::string& target) {
  ShellExecuteW(nullptr, L"open", ToWide(target).c_str(), L"", L"", SW_SHOWNORMAL);
}

std::string WinShell::ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return ParentFolder(ToUtf8(path));
}

std::string WinShell::CurrentFolder() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring path(n, L'\0');
  n = GetCurrentDirectoryW(n, path.data());
  path.resize(n);
  return ToUtf8(path);
}

bool WinShell::AnotherInstanceRunning() {
  instanceMutex_.reset(CreateMutexW(nullptr, TRUE, L"Local\\Pagerift.SingleInstance"));
  return instanceMutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string WinShell::AnsiToUtf8(const std::string& bytes) { return win::AnsiToUtf8(bytes); }

std::string WinShell::DecimalSeparator() {
  wchar_t sep[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8)) return ".";
  return ToUtf8(sep);
}

void WinShell::EndProgram() {
  frame_.Revoke();
  ExitProcess(0);
}

bool WinFileSystem::CreateFolder(const std::string& path) {
  return CreateDirectoryW(ToWide(path).c_str(), nullptr) != 0;
}

std::optional<std::string> WinFileSystem::ReadOrdinaryFile(const std::string& path) {
  std::wstring wide = ToWide(path);
  DWORD attrs = GetFileAttributesW(wide.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES ||
      (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
    return std::nullopt;
  UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();  // present but unreadable: read as empty
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  return bytes;
}

bool WinFileSystem::FolderHasEntries(const std::string& folder) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW(ToWide(folder + "*").c_str(), &found));
  if (!search) return false;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM)) return true;
  } while (FindNextFileW(search.get(), &found));
  return false;
}

UINT WindowDpi(HWND w) {
  // Windows 10 1607 on; before it a program is at most system aware, and
  // the screen's DPI is the window's.
  using ForWindow = UINT(WINAPI*)(HWND);
  static const auto forWindow = reinterpret_cast<ForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = w && forWindow ? forWindow(w) : 0;
  if (!dpi) {
    WindowDc dc(nullptr);
    dpi = static_cast<UINT>(std::max(0, GetDeviceCaps(dc.get(), LOGPIXELSX)));
  }
  return dpi ? dpi : DeviceScale::kDesignDpi;
}

// The model is laid out for 96 DPI, whatever the device: the shell scales.
float WinScreen::TwipsPerPixelX() { return kDesignTwipsPerPixel; }

float WinScreen::TwipsPerPixelY() { return kDesignTwipsPerPixel; }

}  // namespace pagerift::win
