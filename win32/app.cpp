#include "win32/app.h"

#include "win32/faults.h"

namespace pagerift::win {

int App::Run() {
  RunGuarded("start-up", [&] { main_.Load(); });
  frame_.Sync();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (frame_.PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace pagerift::win
