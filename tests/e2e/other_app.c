/* Another program the user is working in: a small window in the top-left corner of the screen that
 * takes the foreground and keeps it until it is ended. Files dragged from such a program leave it
 * active, so Pagerift gets its drop without getting the keyboard focus, and no caret blinks in it.
 * Usage: other_app.exe   (runs until killed) */
#include <windows.h>

int wmain(void) {
  MSG msg;
  HWND w =
      CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"pagerift-e2e-other-app", WS_POPUP | WS_VISIBLE, 0,
                      0, 120, 40, NULL, NULL, GetModuleHandleW(NULL), NULL);
  if (!w) return 1;
  SetForegroundWindow(w);
  SetFocus(w);
  while (GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
