// The split job: runs the splitter once per queued file, then completes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ports.h"
#include "core/form.h"

namespace pagerift {

class SplitJob {
 public:
  SplitJob(Form& form, Ports& ports) : form_(form), ports_(ports) {}

  // Timer1's tick: disarm the timer, pump once, run the queue.
  void Timer1Tick();
  // Splits every queued file in order, then shows the completion.
  void BurstNext();

  // The command line for one source, as the splitter receives it.
  static std::string CommandLine(const std::string& programFolder, const std::string& source);
  static std::string SplitterPath(const std::string& programFolder);
  // A file the splitter could not burst, and why, in a few plain words.
  struct Failure {
    std::string path;
    std::string reason;
  };
  // Why a run failed: `exitCode` is the splitter's, nothing when it could not
  // be started at all.
  static std::string FailureReason(std::optional<uint32_t> exitCode);
  // The completion text for a job that took `total` files.
  static std::string CompletionText(size_t total, const std::vector<Failure>& failed);

 private:
  // What one job has done so far: from the tick to the completion message.
  struct Tally {
    size_t total = 0;
    std::vector<Failure> failed;
  };
  void SplitFirst(Tally& tally);
  void Complete(const Tally& tally);

  Form& form_;
  Ports& ports_;
  bool running_ = false;
};

}  // namespace pagerift
