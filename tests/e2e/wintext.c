/* Prints the texts inside a top-level window (a message box, say) so a black-box test can read
 * them. Wine paints dialog text itself, so X cannot tell us; asking the window from inside the
 * prefix can. Usage: wintext.exe OUT_FILE TITLE   -- writes "class<TAB>text" lines as UTF-8, exit 1
 * if no such window. */
#include <windows.h>
#include <stdio.h>

static FILE* out;

static void put(HWND w) {
  wchar_t cls[256], text[4096];
  char u8cls[1024], u8text[16384];
  GetClassNameW(w, cls, 256);
  /* WM_GETTEXT rather than GetWindowTextW: the latter does not ask windows of another process. */
  SendMessageTimeoutW(w, WM_GETTEXT, 4096, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
  text[4095] = 0;
  WideCharToMultiByte(CP_UTF8, 0, cls, -1, u8cls, sizeof u8cls, NULL, NULL);
  WideCharToMultiByte(CP_UTF8, 0, text, -1, u8text, sizeof u8text, NULL, NULL);
  fprintf(out, "%s\t%s\n", u8cls, u8text);
}

static BOOL CALLBACK child(HWND w, LPARAM unused) {
  (void)unused;
  put(w);
  return TRUE;
}

int wmain(int argc, wchar_t** argv) {
  HWND top;
  if (argc != 3) return 2;
  top = FindWindowW(NULL, argv[2]);
  if (!top) return 1;
  out = _wfopen(argv[1], L"wb");
  if (!out) return 3;
  put(top);
  EnumChildWindows(top, child, 0);
  fclose(out);
  return 0;
}
