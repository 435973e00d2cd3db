#include "job/runner.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/unit/fakes.h"
#include "skin/controls.h"

namespace pagerift {
namespace {

using testing::FakeProcess;
using testing::FakeWorld;
using Lines = std::vector<std::string>;

const std::string kSuccess = "Bursted to Current Folder Successfully.";
const std::string kFailedHead = " files to Current Folder.\r\n\r\nCould not burst:";

std::string Cmd(const std::string& source) {
  return SplitJob::CommandLine("C:\\Apps\\Pagerift", source);
}

// The fakes plus two taps: lblPb as each pump finds it, and a hook run as each
// splitter is waited for (before the wait's pump, which handles what it queues).
struct Rig {
  FakeWorld w;
  Form form = MakeMainForm();
  Lines captions;
  std::function<void()> duringWait;

  struct CaptionPump : MessagePump {
    explicit CaptionPump(Rig& r) : rig(r) {}
    void DoEvents() override {
      rig.captions.push_back(rig.form[lblPb].Caption);
      rig.w.pump.DoEvents();
    }
    Rig& rig;
  } pump{*this};
  FakeProcess process{w.log, pump};
  struct HookedRunner : ProcessRunner {
    explicit HookedRunner(Rig& r) : rig(r) {}
    std::optional<uint32_t> RunHidden(const std::string& app, const std::string& cmd) override {
      if (rig.duringWait) rig.duringWait();
      return rig.process.RunHidden(app, cmd);
    }
    Rig& rig;
  } runner{*this};
  Ports ports{pump, runner, w.shell, w.fs, w.dialogs, w.screen, w.window};
  SplitJob job{form, ports};

  // As the intake leaves things: files queued, drop zone hidden, timer armed.
  explicit Rig(Lines files = {}) {
    form[txtPath].Text = "C:\\Output";
    Queue(form) = std::move(files);
    form[picDrag].Visible = false;
    form[Timer1].Enabled = true;
  }
  void DuringFirstWait(std::function<void()> event) {
    duringWait = [this, event] {
      if (process.runs.empty()) w.pump.OnNextPump(event);
    };
  }
  void Fail(const std::string& source) { process.exitCodes[Cmd(source)] = 3; }
  Lines Calls(const std::string& prefix) const {
    Lines out;
    for (auto& c : w.log.calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c.substr(prefix.size()));
    return out;
  }
  std::string Message(bool warning) const {
    EXPECT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.shell.messages.at(0).title, "Done");
    EXPECT_EQ(w.shell.messages.at(0).warning, warning);
    return w.shell.messages.at(0).text;
  }
};

TEST(SplitJob, SplitsEveryQueuedFileInOrderThenCompletesOnce) {
  const Lines sources = {"C:\\My Files\\report one.pdf", "D:\\b.pdf", "E:\\scans\\c d.pdf"};
  Rig r(sources);
  r.w.shell.programFolder = "C:\\Program Files\\Page Rift";
  std::vector<bool> dropZoneEnabled;
  r.duringWait = [&] { dropZoneEnabled.push_back(r.form[picDrag].Enabled); };
  r.job.Timer1Tick();

  const std::string exe = "C:\\Program Files\\Page Rift\\data\\pdftk.exe";
  ASSERT_EQ(r.process.runs.size(), 3u);
  // Per file: the folder, the split; the tick's pump, then two pumps before
  // the split, the wait's, one after.
  Lines effects, captions = {""};
  for (size_t i = 0; i < 3; ++i) {
    const std::string cmd = "\"" + exe + "\" \"" + sources[i] + "\" burst";
    EXPECT_EQ(r.process.runs[i].commandLine, cmd);
    EXPECT_EQ(r.process.runs[i].application, exe);
    effects.insert(effects.end(), {"CreateFolder C:\\Output\\", "RunHidden " + cmd});
    captions.insert(captions.end(), {"", "", "Bursting...Please Wait...", ""});
  }
  effects.insert(effects.end(), {"Beep", "Open C:\\Work", "MessageBox Done"});
  Lines calls;
  for (auto& c : r.w.log.calls)
    if (c != "DoEvents") calls.push_back(c);
  EXPECT_EQ(calls, effects);
  EXPECT_EQ(r.captions, captions);
  EXPECT_EQ(dropZoneEnabled, (std::vector<bool>{false, false, false}));

  EXPECT_EQ(r.Message(false), kSuccess);
  EXPECT_FALSE(r.form[Timer1].Enabled);
  EXPECT_TRUE(Queue(r.form).empty());
  EXPECT_EQ(r.form.lngStep, 1);
  EXPECT_TRUE(r.form[picDrag].Visible && r.form[picDrag].Enabled);
  EXPECT_EQ(r.form[imgPBRight].Left, 3250.0f);  // left full
}

TEST(SplitJob, SplitterPathAtADriveRootHasOneSeparator) {
  EXPECT_EQ(SplitJob::SplitterPath("C:\\"), "C:\\data\\pdftk.exe");
  EXPECT_EQ(SplitJob::CommandLine("C:\\", "C:\\a.pdf"),
            "\"C:\\data\\pdftk.exe\" \"C:\\a.pdf\" burst");
}

TEST(SplitJob, OutputFolderGainsItsSeparatorAndCreatingItMayFailSilently) {
  Rig r({"C:\\a.pdf", "C:\\b.pdf"});
  r.job.Timer1Tick();  // the second creation fails: the folder exists
  EXPECT_EQ(r.form[txtPath].Text, "C:\\Output\\");
  EXPECT_EQ(r.Calls("CreateFolder "), (Lines{"C:\\Output\\", "C:\\Output\\"}));
  EXPECT_EQ(r.Message(false), kSuccess);

  for (auto [text, after] : {std::pair{"", "\\"}, std::pair{"D:\\Out\\", "D:\\Out\\"}}) {
    Rig one({"C:\\a.pdf"});
    one.form[txtPath].Text = text;
    one.job.Timer1Tick();
    EXPECT_EQ(one.Calls("CreateFolder "), Lines{after});
    EXPECT_EQ(one.process.runs.at(0).commandLine, Cmd("C:\\a.pdf"));
  }
}

TEST(SplitJobCompletion, NamesFailedAndUnstartableFiles) {
  Rig r({"C:\\a.pdf", "D:\\not a pdf.pdf", "C:\\c.pdf"});
  r.Fail("D:\\not a pdf.pdf");
  r.job.Timer1Tick();
  EXPECT_EQ(r.process.runs.size(), 3u);
  EXPECT_EQ(r.Message(true),
            "Bursted 2 of 3" + kFailedHead + "\r\nD:\\not a pdf.pdf (not a PDF, or damaged)");

  Rig missing({"C:\\a.pdf"});
  missing.process.cannotStart = true;
  missing.job.Timer1Tick();
  EXPECT_EQ(missing.process.runs.size(), 3u);
  EXPECT_EQ(missing.Message(true),
            "Bursted 0 of 1" + kFailedHead + "\r\nC:\\a.pdf (the splitter could not be started)");
  EXPECT_TRUE(missing.form[picDrag].Visible && missing.form[picDrag].Enabled);
}

TEST(SplitJobCompletion, AStartRefusedForAMomentIsTriedAgainAndAFailedRunIsNot) {
  Rig r({"C:\\a.pdf", "C:\\b.pdf"});
  r.process.refusedStarts = 2;
  r.Fail("C:\\b.pdf");
  r.job.Timer1Tick();
  const std::string a = Cmd("C:\\a.pdf"), b = Cmd("C:\\b.pdf");
  EXPECT_EQ(r.Calls("RunHidden "), (Lines{a, a, a, b}));
  EXPECT_EQ(r.Message(true),
            "Bursted 1 of 2" + kFailedHead + "\r\nC:\\b.pdf (not a PDF, or damaged)");
}

TEST(SplitJobCompletion, ListsTenFailuresAndCountsTheRest) {
  Lines files;
  std::vector<SplitJob::Failure> ten;
  std::string listed;
  for (int i = 1; i <= 12; ++i) {
    files.push_back("C:\\f" + std::to_string(i) + ".pdf");
    if (i > 10) continue;
    listed += "\r\n" + files.back() + " (not a PDF, or damaged)";
    ten.push_back({files.back(), "not a PDF, or damaged"});
  }
  Rig r(files);
  for (auto& f : files) r.Fail(f);
  r.job.Timer1Tick();
  EXPECT_EQ(r.Message(true), "Bursted 0 of 12" + kFailedHead + listed + "\r\n…and 2 more.");
  // Exactly ten: no count line, and no line end after the last path.
  EXPECT_EQ(SplitJob::CompletionText(10, ten), "Bursted 0 of 10" + kFailedHead + listed);
}

TEST(SplitJobCompletion, EachFailureSaysWhyInPlainWords) {
  const std::vector<std::pair<std::optional<uint32_t>, std::string>> table = {
      {2, "the file cannot be read"},
      {3, "not a PDF, or damaged"},
      {4, "needs a password"},
      {5, "the pages cannot be written in the current folder"},
      {6, "an internal fault of the splitter"},
      {std::nullopt, "the splitter could not be started"},
      {1, "the splitter ended with code 1"},
      {3221225477u, "the splitter ended with code 3221225477"},  // a crash
  };
  Lines files;
  std::string listed;
  for (size_t i = 0; i < table.size(); ++i) {
    files.push_back("C:\\in\\" + std::to_string(i) + ".pdf");
    listed += "\r\n" + files.back() + " (" + table[i].second + ")";
  }
  Rig r(files);
  r.process.exitCodes = {{Cmd(files[0]), 2},          {Cmd(files[1]), 3}, {Cmd(files[2]), 4},
                         {Cmd(files[3]), 5},          {Cmd(files[4]), 6}, {Cmd(files[6]), 1},
                         {Cmd(files[7]), 3221225477u}};
  // The file at 5 is refused at every attempt.
  r.duringWait = [&] {
    if (r.process.runs.size() == 5) r.process.refusedStarts = 3;
  };
  r.job.Timer1Tick();
  EXPECT_EQ(r.Message(true), "Bursted 0 of 8" + kFailedHead + listed);
}

TEST(SplitJobCompletion, AnEmptyQueueAtTheTickStillCompletes) {
  Rig r;
  r.form[picDrag].Enabled = false;
  r.job.Timer1Tick();
  EXPECT_EQ(r.w.log.calls, (Lines{"DoEvents", "Beep", "Open C:\\Work", "MessageBox Done"}));
  EXPECT_EQ(r.Message(false), kSuccess);
  EXPECT_TRUE(r.form[picDrag].Visible && r.form[picDrag].Enabled);
}

TEST(SplitJobCompletion, EachJobCountsOnlyItsOwnFiles) {
  Rig r({"C:\\bad.pdf"});
  r.Fail("C:\\bad.pdf");
  r.job.Timer1Tick();
  Queue(r.form) = {"C:\\good.pdf"};
  r.job.Timer1Tick();
  ASSERT_EQ(r.w.shell.messages.size(), 2u);
  EXPECT_EQ(r.w.shell.messages[1].text, kSuccess);
  EXPECT_FALSE(r.w.shell.messages[1].warning);
}

TEST(SplitJobWhileWaiting, HandlersRunDuringTheWaitShapeTheRestOfTheJob) {
  Rig moved({"C:\\a.pdf", "C:\\b.pdf"});
  moved.DuringFirstWait([&] { moved.form[txtPath].Text = "E:\\New"; });
  moved.job.Timer1Tick();
  EXPECT_EQ(moved.Calls("CreateFolder "), (Lines{"C:\\Output\\", "E:\\New\\"}));

  Rig dropped({"C:\\a.pdf", "C:\\b.pdf"});
  dropped.DuringFirstWait([&] { Queue(dropped.form).push_back("C:\\late.pdf"); });
  dropped.Fail("C:\\late.pdf");
  dropped.job.Timer1Tick();
  EXPECT_EQ(dropped.Calls("RunHidden "),
            (Lines{Cmd("C:\\a.pdf"), Cmd("C:\\b.pdf"), Cmd("C:\\late.pdf")}));
  EXPECT_EQ(dropped.Message(true),
            "Bursted 2 of 3" + kFailedHead + "\r\nC:\\late.pdf (not a PDF, or damaged)");

  // A stray tick must not start a second runner on the same queue.
  Rig stray({"C:\\a.pdf", "C:\\b.pdf"});
  stray.DuringFirstWait([&] { stray.job.Timer1Tick(); });
  stray.job.Timer1Tick();
  EXPECT_EQ(stray.Calls("RunHidden "), (Lines{Cmd("C:\\a.pdf"), Cmd("C:\\b.pdf")}));
  EXPECT_EQ(stray.Message(false), kSuccess);
}

TEST(SplitJobWhileWaiting, ClosingTheWindowEndsEverythingAtOnce) {
  Rig r({"C:\\a.pdf", "C:\\b.pdf"});
  r.DuringFirstWait([&] { r.w.shell.EndProgram(); });
  EXPECT_THROW(r.job.Timer1Tick(), testing::ProgramEnded);
  EXPECT_EQ(r.process.runs.size(), 1u);
  EXPECT_TRUE(r.w.shell.messages.empty());
  EXPECT_EQ(r.w.log.Count("Beep") + r.w.log.Count("Open"), 0u);
}

TEST(SplitJob, FiveThousandFilesRunInConstantStack) {
  Lines files;
  for (int i = 0; i < 5000; ++i) files.push_back("C:\\in\\" + std::to_string(i) + ".pdf");
  Rig r(files);
  std::vector<const void*> frames;
  r.duringWait = [&] {
    int local = 0;
    frames.push_back(&local);
  };
  r.job.Timer1Tick();
  ASSERT_EQ(frames.size(), 5000u);
  EXPECT_EQ(frames.front(), frames.back());
  EXPECT_EQ(r.process.runs.back().commandLine, Cmd("C:\\in\\4999.pdf"));
  EXPECT_EQ(r.Message(false), kSuccess);
}

}  // namespace
}  // namespace pagerift
