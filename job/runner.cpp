#include "job/runner.h"

#include <algorithm>

#include "core/splitter_exit.h"
#include "core/text.h"
#include "job/progress.h"
#include "skin/controls.h"

namespace pagerift {

namespace {

constexpr size_t kMaxListedFailures = 10;
// A start can be refused for a moment: Wine fails about one in 1,500 with an
// internal error that the next attempt does not repeat. A splitter that is
// not there is refused every time, and costs nothing to retry.
constexpr int kStartAttempts = 3;
constexpr char kEllipsis[] = "\xE2\x80\xA6";  // U+2026 in UTF-8

void SetStatus(Form& form, const char* caption) { form[lblPb].Caption = caption; }

// Marks the job as running for as long as its loop is on the stack, also when
// a close during the wait unwinds it.
class RunningScope {
 public:
  explicit RunningScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningScope() { flag_ = false; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void SplitJob::Timer1Tick() {
  form_[Timer1].Enabled = false;
  ports_.pump.DoEvents();
  BurstNext();
}

void SplitJob::BurstNext() {
  // The loop below already takes every file queued while it runs, so a call
  // that slips in through a pump would only split the same entry twice.
  if (running_) return;
  Tally tally;
  {
    RunningScope running(running_);
    while (!Queue(form_).empty()) SplitFirst(tally);
  }
  Complete(tally);
}

void SplitJob::SplitFirst(Tally& tally) {
  form_[picDrag].Enabled = false;
  ports_.pump.DoEvents();
  ports_.pump.DoEvents();

  form_.lngStep = 0;
  SetStatus(form_, "Bursting...");
  ProgressStartLayout(form_);
  ++form_.lngStep;
  ProgressStepLayout(form_);
  SetStatus(form_, "Bursting...Please Wait...");

  Control& output = form_[txtPath];
  output.Text = WithTrailingBackslash(output.Text);
  // A folder that exists already, or cannot be made, is no reason to stop.
  ports_.fs.CreateFolder(output.Text);

  // The pumps above run other handlers; the queue is looked at afresh.
  if (!Queue(form_).empty()) {
    const std::string source = Queue(form_).front();
    ++tally.total;
    const std::string folder = ports_.shell.ProgramFolder();
    std::optional<uint32_t> exitCode;
    for (int attempt = 0; attempt < kStartAttempts && !exitCode; ++attempt)
      exitCode = ports_.process.RunHidden(SplitterPath(folder), CommandLine(folder, source));
    if (!exitCode || *exitCode != 0) tally.failed.push_back({source, FailureReason(exitCode)});
    // Drops handled during the wait append behind this entry; they stay.
    auto& queue = Queue(form_);
    if (!queue.empty()) queue.erase(queue.begin());
  }

  ProgressFullLayout(form_);
  SetStatus(form_, "");
  ports_.pump.DoEvents();
}

void SplitJob::Complete(const Tally& tally) {
  const std::string text = CompletionText(tally.total, tally.failed);
  ports_.shell.Beep();
  SetStatus(form_, "");
  // The splitter writes into the current folder, so that is where the pages are.
  ports_.shell.Open(ports_.shell.CurrentFolder());
  Control& drag = form_[picDrag];
  drag.Visible = true;
  drag.Enabled = true;
  ports_.shell.MessageBox(text, "Done", !tally.failed.empty());
}

std::string SplitJob::SplitterPath(const std::string& programFolder) {
  return InFolder(programFolder, "data\\pdftk.exe");
}

std::string SplitJob::CommandLine(const std::string& programFolder, const std::string& source) {
  // Quoted, so a folder with blanks cannot make "C:\Program.exe" the program. Appended piece by
  // piece: GCC 12 warns, falsely (-Wrestrict), on a literal plus a temporary string.
  std::string line = "\"";
  line += SplitterPath(programFolder);
  line += "\" \"" + source + "\" burst";
  return line;
}

std::string SplitJob::FailureReason(std::optional<uint32_t> exitCode) {
  if (!exitCode) return "the splitter could not be started";
  const std::string other = "the splitter ended with code " + std::to_string(*exitCode);
  if (*exitCode > static_cast<uint32_t>(kSplitterExitLast)) return other;  // not one of its own
  switch (static_cast<SplitterExit>(*exitCode)) {
    case SplitterExit::kCannotRead: return "the file cannot be read";
    case SplitterExit::kNotPdf: return "not a PDF, or damaged";
    case SplitterExit::kPassword: return "needs a password";
    case SplitterExit::kCannotWrite: return "the pages cannot be written in the current folder";
    case SplitterExit::kInternal: return "an internal fault of the splitter";
    // A usage error is ours, not the file's; a success is never a failure.
    case SplitterExit::kUsage:
    case SplitterExit::kDone: return other;
  }
  return other;
}

std::string SplitJob::CompletionText(size_t total, const std::vector<Failure>& failed) {
  if (failed.empty()) return "Bursted to Current Folder Successfully.";
  const size_t ok = total > failed.size() ? total - failed.size() : 0;
  std::string text = "Bursted " + std::to_string(ok) + " of " + std::to_string(total) +
                     " files to Current Folder.\r\n\r\nCould not burst:";
  const size_t listed = std::min(failed.size(), kMaxListedFailures);
  for (size_t i = 0; i < listed; ++i)
    text += "\r\n" + failed[i].path + " (" + failed[i].reason + ")";
  if (failed.size() > listed)
    text += "\r\n" + std::string(kEllipsis) + "and " + std::to_string(failed.size() - listed) +
            " more.";
  return text;
}

}  // namespace pagerift
