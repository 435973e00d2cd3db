// Handlers run inside window procedures and COM calls, where no exception may
// pass. A handler that throws has stopped half-way, so the window lives on but
// the fault is not kept quiet: it goes to the debugger output, and it is
// counted, so that the tests can insist on a count of 0.
#pragma once

#include <exception>

namespace pagerift::win {

void ReportHandlerFault(const char* where, const char* what) noexcept;
int HandlerFaultCount() noexcept;

// Runs `handler`; false when it threw, which has been reported.
template <typename F>
bool RunGuarded(const char* where, F&& handler) noexcept {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    ReportHandlerFault(where, e.what());
  } catch (...) {
    ReportHandlerFault(where, "an exception of unknown type");
  }
  return false;
}

}  // namespace pagerift::win
