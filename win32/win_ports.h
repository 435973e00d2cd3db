// The ports, done with the W APIs.
#pragma once

#include <windows.h>

#include "core/ports.h"
#include "win32/raii.h"

namespace pagerift::win {

class Frame;

class WinPump : public MessagePump {
 public:
  explicit WinPump(Frame& frame) : frame_(frame) {}
  void DoEvents() override;

 private:
  Frame& frame_;
};

class WinProcessRunner : public ProcessRunner {
 public:
  explicit WinProcessRunner(MessagePump& pump) : pump_(pump) {}
  std::optional<uint32_t> RunHidden(const std::string& application,
                                    const std::string& commandLine) override;

 private:
  MessagePump& pump_;
};

class WinShell : public ShellPort {
 public:
  explicit WinShell(Frame& frame) : frame_(frame) {}
  void Beep() override;
  void MessageBox(const std::string& text, const std::string& title, bool warning) override;
  void Open(const std::string& target) override;
  std::string ProgramFolder() override;
  std::string CurrentFolder() override;
  bool AnotherInstanceRunning() override;
  std::string AnsiToUtf8(const std::string& bytes) override;
  std::string DecimalSeparator() override;
  [[noreturn]] void EndProgram() override;

 private:
  Frame& frame_;
  UniqueHandle instanceMutex_;
};

class WinFileSystem : public FileSystem {
 public:
  bool CreateFolder(const std::string& path) override;
  std::optional<std::string> ReadOrdinaryFile(const std::string& path) override;
  bool FolderHasEntries(const std::string& folder) override;
};

class WinDialogs : public Dialogs {
 public:
  explicit WinDialogs(Frame& frame) : frame_(frame) {}
  std::string OpenFile(const OpenFileRequest& request) override;
  std::optional<std::string> BrowseForFolder(const std::string& text) override;

 private:
  Frame& frame_;
};

// The screen as the model sees it: 96 DPI always (device_scale.h).
class WinScreen : public Screen {
 public:
  float TwipsPerPixelX() override;
  float TwipsPerPixelY() override;
};

}  // namespace pagerift::win
