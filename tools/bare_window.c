/* The yardstick for start-up time: a bare Win32 window of Pagerift's size,
   shown as plainly as a window can be. */
#include <windows.h>

static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(w, m, wp, lp);
}

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE prev, PWSTR cmd, int show) {
  WNDCLASSW wc = {0};
  MSG msg;
  HWND w;
  (void)prev;
  (void)cmd;
  (void)show;
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = L"BareWindow";
  RegisterClassW(&wc);
  w = CreateWindowExW(0, L"BareWindow", L"BareWindow", WS_POPUP, 100, 100, 548, 366, NULL, NULL,
                      inst, NULL);
  ShowWindow(w, SW_SHOW);
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
