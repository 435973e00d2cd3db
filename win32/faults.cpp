#include "win32/faults.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "win32/text.h"

namespace pagerift::win {

namespace {

std::atomic<int> faults{0};

}  // namespace

void ReportHandlerFault(const char* where, const char* what) noexcept {
  ++faults;
  try {
    const std::string line =
        std::string("Pagerift: handler fault in ") + where + ": " + what + "\n";
    OutputDebugStringW(ToWide(line).c_str());
  } catch (...) {
    OutputDebugStringW(L"Pagerift: handler fault\n");
  }
}

int HandlerFaultCount() noexcept { return faults; }

}  // namespace pagerift::win
