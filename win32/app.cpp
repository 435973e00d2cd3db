#include "win32/app.h"

#include <exception>

namespace pagerift::win {

int App::Run() {
  try {
    main_.Load();
  } catch (const std::exception&) {
  }
  frame_.Sync();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(frame_.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace pagerift::win
