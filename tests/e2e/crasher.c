/* A program that crashes the way a fault of ours would, so the tests can show that the crash gate
 * (crashes.py) does not let such a crash through.
 *
 *   crasher.exe own    a null write in the program's own code, called back from Wine's user32
 *   crasher.exe wine   a bad pointer handed to Wine's C runtime, which faults inside Wine
 */
#include <windows.h>
#include <wchar.h>

static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) *(volatile int*)0 = 1;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && !wcscmp(argv[1], L"own")) {
    WNDCLASSW wc = {0};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"crasher";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(L"crasher", L"crasher", 0, 0, 0, 10, 10, HWND_MESSAGE, NULL,
                              wc.hInstance, NULL);
    SendMessageW(hwnd, WM_APP, 0, 0);
  } else if (argc == 2 && !wcscmp(argv[1], L"wine")) {
    size_t (*volatile length)(const wchar_t*) = wcslen;
    return (int)length((const wchar_t*)16);
  }
  return 2;
}
