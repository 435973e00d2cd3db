// Recording fakes of every port. Each call appends a line to one shared log,
// so tests can check the order across ports. Events queued with OnNextPump
// run inside the next DoEvents, which is how re-entrancy is tested.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/ports.h"
#include "skin/controls.h"

namespace pagerift::testing {

struct ProgramEnded {};  // thrown by EndProgram: the process would be gone

struct CallLog {
  std::vector<std::string> calls;
  void Add(std::string s) { calls.push_back(std::move(s)); }
  size_t Count(const std::string& prefix) const {
    size_t n = 0;
    for (auto& c : calls) n += c.rfind(prefix, 0) == 0;
    return n;
  }
};

class FakePump : public MessagePump {
 public:
  explicit FakePump(CallLog& log) : log_(log) {}
  void DoEvents() override {
    log_.Add("DoEvents");
    std::deque<std::function<void()>> now;
    now.swap(queued_);
    for (auto& f : now) f();
  }
  void OnNextPump(std::function<void()> f) { queued_.push_back(std::move(f)); }

 private:
  CallLog& log_;
  std::deque<std::function<void()>> queued_;
};

class FakeProcess : public ProcessRunner {
 public:
  FakeProcess(CallLog& log, MessagePump& pump) : log_(log), pump_(pump) {}
  std::optional<uint32_t> RunHidden(const std::string& app, const std::string& cmd) override {
    log_.Add("RunHidden " + cmd);
    runs.push_back({app, cmd});
    if (cannotStart) return std::nullopt;
    if (refusedStarts > 0) {
      --refusedStarts;
      return std::nullopt;
    }
    // Started: the one pump the real wait makes at once; any more come only
    // with messages, which a test queues with FakePump::OnNextPump.
    pump_.DoEvents();
    auto it = exitCodes.find(cmd);
    return it == exitCodes.end() ? 0u : it->second;
  }
  struct Run {
    std::string application, commandLine;
  };
  std::vector<Run> runs;
  bool cannotStart = false;                   // every start is refused
  int refusedStarts = 0;                      // the next this many starts are refused
  std::map<std::string, uint32_t> exitCodes;  // by command line

 private:
  CallLog& log_;
  MessagePump& pump_;
};

class FakeShell : public ShellPort {
 public:
  explicit FakeShell(CallLog& log) : log_(log) {}
  void Beep() override { log_.Add("Beep"); }
  void MessageBox(const std::string& text, const std::string& title, bool warning) override {
    log_.Add("MessageBox " + title);
    messages.push_back({text, title, warning});
  }
  void Open(const std::string& target) override { log_.Add("Open " + target); }
  std::string ProgramFolder() override { return programFolder; }
  std::string CurrentFolder() override { return currentFolder; }
  bool AnotherInstanceRunning() override { return anotherInstance; }
  // The fake's code page is Latin-1: every byte is the code point of that value.
  std::string AnsiToUtf8(const std::string& bytes) override {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
      if (b < 0x80) {
        out += static_cast<char>(b);
      } else {
        out += static_cast<char>(0xC0 | (b >> 6));
        out += static_cast<char>(0x80 | (b & 0x3F));
      }
    }
    return out;
  }
  std::string DecimalSeparator() override { return decimalSeparator; }
  [[noreturn]] void EndProgram() override {
    log_.Add("EndProgram");
    throw ProgramEnded{};
  }
  struct Message {
    std::string text, title;
    bool warning;
  };
  std::vector<Message> messages;
  std::string programFolder = "C:\\Apps\\Pagerift";
  std::string currentFolder = "C:\\Work";
  bool anotherInstance = false;
  std::string decimalSeparator = ".";

 private:
  CallLog& log_;
};

class FakeFileSystem : public FileSystem {
 public:
  explicit FakeFileSystem(CallLog& log) : log_(log) {}
  bool CreateFolder(const std::string& path) override {
    log_.Add("CreateFolder " + path);
    return folders.insert(path).second;
  }
  std::optional<std::string> ReadOrdinaryFile(const std::string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  bool FolderHasEntries(const std::string& folder) override {
    return nonEmptyFolders.count(folder) > 0;
  }
  std::set<std::string> folders;
  std::map<std::string, std::string> files;
  std::set<std::string> nonEmptyFolders;

 private:
  CallLog& log_;
};

class FakeDialogs : public Dialogs {
 public:
  explicit FakeDialogs(CallLog& log) : log_(log) {}
  std::string OpenFile(const OpenFileRequest& r) override {
    log_.Add("OpenFile " + r.title);
    openRequests.push_back(r);
    return openResult;
  }
  std::optional<std::string> BrowseForFolder(const std::string& text) override {
    log_.Add("BrowseForFolder " + text);
    if (folderResults.empty()) return std::nullopt;
    auto r = folderResults.front();
    folderResults.pop_front();
    return r;
  }
  std::vector<OpenFileRequest> openRequests;
  std::string openResult;
  std::deque<std::optional<std::string>> folderResults;

 private:
  CallLog& log_;
};

class FakeScreen : public Screen {
 public:
  float TwipsPerPixelX() override { return x; }
  float TwipsPerPixelY() override { return y; }
  float x = 15, y = 15;
};

class FakeWindow : public WindowOps {
 public:
  explicit FakeWindow(CallLog& log) : log_(log) {}
  void SetTopmost() override { log_.Add("SetTopmost"); }
  void Show() override { log_.Add("Show"); }
  void Repaint() override { log_.Add("Repaint"); }
  void ApplyColorKey(uint32_t key, uint8_t alpha) override {
    log_.Add("ApplyColorKey " + std::to_string(key) + " " + std::to_string(alpha));
  }
  void BeginMove() override { log_.Add("BeginMove"); }
  void Minimize() override { log_.Add("Minimize"); }
  void SetCapture(ControlId c) override { log_.Add(std::string("SetCapture ") + ControlName(c)); }
  void ReleaseCapture() override { log_.Add("ReleaseCapture"); }
  void ShowDropDown(ControlId c) override {
    log_.Add(std::string("ShowDropDown ") + ControlName(c));
  }

 private:
  CallLog& log_;
};

// Every fake wired together, as the shell would be.
struct FakeWorld {
  CallLog log;
  FakePump pump{log};
  FakeProcess process{log, pump};
  FakeShell shell{log};
  FakeFileSystem fs{log};
  FakeDialogs dialogs{log};
  FakeScreen screen;
  FakeWindow window{log};
  Ports ports{pump, process, shell, fs, dialogs, screen, window};
};

}  // namespace pagerift::testing
