// The narrow interfaces through which the handlers reach the outside world.
// The Win32 shell implements them; tests use recording fakes.
//
// Each comment below is the whole of what a handler may count on. The fakes in
// tests/unit do no more than this, and tests/win/shell/contract_test.cpp holds
// the real ports to it, so a unit test can't pass on behaviour Windows lacks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/form.h"

namespace pagerift {

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // One pass: brings the window in line with the model, runs the handlers of
  // the messages already waiting (input, timers, paint), brings the window in
  // line again and returns. It never waits for a message to come.
  virtual void DoEvents() = 0;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Starts `commandLine` with `application` as the program, window hidden,
  // in the program's current folder, and waits for it to end:
  // - nothing when no process was started; then nothing was pumped either;
  // - once it has started, one DoEvents at once, so the window shows what was
  //   set just before the start, then one each time messages arrive, and no
  //   other work while the process runs;
  // - the exit code once the process has ended. A process that started is
  //   never reported as not started, whatever becomes of the wait.
  virtual std::optional<uint32_t> RunHidden(const std::string& application,
                                            const std::string& commandLine) = 0;
};

class ShellPort {
 public:
  virtual ~ShellPort() = default;
  virtual void Beep() = 0;
  // Brings the window in line with the model, then shows the box: modal, OK
  // button only, `warning` adds the warning icon. Returns when it is closed;
  // meanwhile the window takes no input.
  virtual void MessageBox(const std::string& text, const std::string& title, bool warning) = 0;
  // ShellExecute "open" with SW_SHOWNORMAL: a folder or a web address.
  virtual void Open(const std::string& target) = 0;
  // The executable's folder: no trailing backslash except at a drive root.
  virtual std::string ProgramFolder() = 0;
  virtual std::string CurrentFolder() = 0;
  virtual bool AnotherInstanceRunning() = 0;
  // Text in the system's ANSI code page, as UTF-8.
  virtual std::string AnsiToUtf8(const std::string& bytes) = 0;
  // The user's decimal separator, as UTF-8.
  virtual std::string DecimalSeparator() = 0;
  // Ends the process at once. Never returns.
  [[noreturn]] virtual void EndProgram() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Creates one directory level; false when it fails or exists.
  virtual bool CreateFolder(const std::string& path) = 0;
  // The bytes of an ordinary file; nothing for a missing, hidden or system
  // file, or a folder. One that is there but cannot be opened reads as empty.
  virtual std::optional<std::string> ReadOrdinaryFile(const std::string& path) = 0;
  // Whether a search of `folder` (ending in "\") finds any entry that is not
  // a system entry. "." counts, so any folder but a drive root that can be
  // listed has one. False when the search fails.
  virtual bool FolderHasEntries(const std::string& folder) = 0;
};

struct OpenFileRequest {
  std::string title;
  std::string initialFolder;  // already resolved
  std::string filter;         // pieces each followed by a NUL
  uint32_t flags = 0;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Both bring the window in line with the model, then show a modal dialog
  // and return when it is closed; meanwhile the window takes no input.
  // The chosen path, whatever its length, or empty when cancelled or failed.
  virtual std::string OpenFile(const OpenFileRequest& request) = 0;
  // The chosen folder's file-system path, or nothing on cancel or when the
  // item has no such path.
  virtual std::optional<std::string> BrowseForFolder(const std::string& text) = 0;
};

class Screen {
 public:
  virtual ~Screen() = default;
  virtual float TwipsPerPixelX() = 0;
  virtual float TwipsPerPixelY() = 0;
};

class WindowOps {
 public:
  virtual ~WindowOps() = default;
  virtual void SetTopmost() = 0;
  // Show and Repaint bring the window in line with the model first.
  virtual void Show() = 0;
  virtual void Repaint() = 0;
  // Adds WS_EX_LAYERED, then the colour key with its alpha.
  virtual void ApplyColorKey(uint32_t key, uint8_t alpha) = 0;
  // Hands the pointer to the system's window move; returns when it ends.
  virtual void BeginMove() = 0;
  virtual void Minimize() = 0;
  virtual void SetCapture(ControlId control) = 0;
  virtual void ReleaseCapture() = 0;
  virtual void ShowDropDown(ControlId combo) = 0;
};

struct Ports {
  MessagePump& pump;
  ProcessRunner& process;
  ShellPort& shell;
  FileSystem& fs;
  Dialogs& dialogs;
  Screen& screen;
  WindowOps& window;
};

}  // namespace pagerift
