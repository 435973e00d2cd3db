/* Looks at a running top-level window from inside the prefix, where X cannot see: its child
 * controls, its state, or a click delivered straight to its client area (for controls the layout
 * puts out of reach).
 *
 * Usage: wininfo.exe OUT_FILE TITLE window          -- one line: the window's rect, state and DPI
 *        wininfo.exe OUT_FILE TITLE controls        -- one line per descendant control
 *        wininfo.exe OUT_FILE TITLE click X Y       -- posts a left click at client point (X, Y)
 *        wininfo.exe OUT_FILE TITLE post MSG WPARAM -- posts message MSG (decimal) to the window
 *        wininfo.exe OUT_FILE TITLE getobject       -- what the window and each descendant answer
 *                                                      WM_GETOBJECT for OBJID_CLIENT, one line each
 * Every line is one JSON object, UTF-8. Exit 1: no such window; 2: bad arguments; 3: cannot write.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static FILE* out;
static HWND top;
static HWND focus; /* of the window's own thread: GetFocus() only knows the caller's */

static void put_str(const wchar_t* s) {
  static char u8[65536];
  const unsigned char* p;
  WideCharToMultiByte(CP_UTF8, 0, s, -1, u8, sizeof u8, NULL, NULL);
  u8[sizeof u8 - 1] = 0;
  fputc('"', out);
  for (p = (const unsigned char*)u8; *p; ++p) {
    if (*p == '"' || *p == '\\')
      fprintf(out, "\\%c", *p);
    else if (*p < 0x20)
      fprintf(out, "\\u%04x", *p);
    else
      fputc(*p, out);
  }
  fputc('"', out);
}

/* WM_GETTEXT rather than GetWindowTextW: the latter does not ask windows of another process. */
static void get_text(HWND w, wchar_t* text, int size) {
  text[0] = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, size, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
  text[size - 1] = 0;
}

/* Items of a combo or list box, through the messages the system marshals between processes. */
static void put_items(HWND w, UINT count_msg, UINT text_msg, UINT len_msg, UINT sel_msg) {
  DWORD_PTR count = 0, sel = (DWORD_PTR)-1;
  int i;
  SendMessageTimeoutW(w, count_msg, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  SendMessageTimeoutW(w, sel_msg, 0, 0, SMTO_ABORTIFHUNG, 2000, &sel);
  fprintf(out, ",\"count\":%d,\"sel\":%d,\"items\":[", (int)(LRESULT)count, (int)(LRESULT)sel);
  for (i = 0; i < (int)(LRESULT)count && i < 200; ++i) {
    wchar_t item[1024];
    DWORD_PTR len = 0;
    item[0] = 0;
    SendMessageTimeoutW(w, len_msg, i, 0, SMTO_ABORTIFHUNG, 2000, &len);
    if ((LRESULT)len >= 0 && (LRESULT)len < 1024)
      SendMessageTimeoutW(w, text_msg, i, (LPARAM)item, SMTO_ABORTIFHUNG, 2000, NULL);
    if (i) fputc(',', out);
    put_str(item);
  }
  fputc(']', out);
}

static void put_rect(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(NULL, top, (POINT*)&r, 2);
  fprintf(out, ",\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld", r.left, r.top, r.right - r.left,
          r.bottom - r.top);
}

static BOOL CALLBACK child(HWND w, LPARAM unused) {
  wchar_t cls[256], text[4096];
  HWND parent = GetParent(w);
  (void)unused;
  GetClassNameW(w, cls, 256);
  get_text(w, text, 4096);
  fprintf(out, "{\"id\":%d,\"parent\":%d,\"class\":", GetDlgCtrlID(w),
          parent == top ? 0 : GetDlgCtrlID(parent));
  put_str(cls);
  fputs(",\"text\":", out);
  put_str(text);
  put_rect(w);
  fprintf(out, ",\"visible\":%d,\"focused\":%d", IsWindowVisible(w) ? 1 : 0, focus == w ? 1 : 0);
  if (!lstrcmpiW(cls, L"ComboBox"))
    put_items(w, CB_GETCOUNT, CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_GETCURSEL);
  else if (!lstrcmpiW(cls, L"ListBox"))
    put_items(w, LB_GETCOUNT, LB_GETTEXT, LB_GETTEXTLEN, LB_GETCURSEL);
  fputs("}\n", out);
  return TRUE;
}

/* A screen reader's first question. Only the answer's sign and size tell anything here: Wine 8
 * cannot hand the object itself across processes. */
static BOOL CALLBACK object_line(HWND w, LPARAM unused) {
  DWORD_PTR answer = 0;
  (void)unused;
  SendMessageTimeoutW(w, WM_GETOBJECT, 0, (LPARAM)(DWORD)OBJID_CLIENT, SMTO_ABORTIFHUNG, 5000,
                      &answer);
  fprintf(out, "{\"id\":%d,\"answer\":%lld}\n", w == top ? 0 : GetDlgCtrlID(w),
          (long long)(LRESULT)answer);
  return TRUE;
}

static void window_line(void) {
  RECT r, c;
  HDC screen = GetDC(NULL);
  LONG_PTR ex = GetWindowLongPtrW(top, GWL_EXSTYLE);
  GetWindowRect(top, &r);
  GetClientRect(top, &c);
  fprintf(out,
          "{\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld,\"client_w\":%ld,\"client_h\":%ld,"
          "\"visible\":%d,\"iconic\":%d,\"topmost\":%d,\"layered\":%d,\"dpi\":%d}\n",
          r.left, r.top, r.right - r.left, r.bottom - r.top, c.right, c.bottom,
          IsWindowVisible(top) ? 1 : 0, IsIconic(top) ? 1 : 0, (ex & WS_EX_TOPMOST) ? 1 : 0,
          (ex & WS_EX_LAYERED) ? 1 : 0, GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(NULL, screen);
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  top = FindWindowW(NULL, argv[2]);
  if (!top) return 1;
  if (!wcscmp(argv[3], L"click")) {
    LPARAM at;
    if (argc != 6) return 2;
    at = MAKELPARAM(_wtoi(argv[4]), _wtoi(argv[5]));
    if (!PostMessageW(top, WM_LBUTTONDOWN, MK_LBUTTON, at) ||
        !PostMessageW(top, WM_LBUTTONUP, 0, at))
      return 4;
  }
  if (!wcscmp(argv[3], L"post")) {
    if (argc != 6) return 2;
    if (!PostMessageW(top, (UINT)_wtoi(argv[4]), (WPARAM)_wtoi(argv[5]), 0)) return 4;
  }
  out = _wfopen(argv[1], L"wb");
  if (!out) return 3;
  if (!wcscmp(argv[3], L"window") || !wcscmp(argv[3], L"click") || !wcscmp(argv[3], L"post"))
    window_line();
  else if (!wcscmp(argv[3], L"getobject")) {
    object_line(top, 0);
    EnumChildWindows(top, object_line, 0);
  } else if (!wcscmp(argv[3], L"controls")) {
    GUITHREADINFO gui;
    ZeroMemory(&gui, sizeof gui);
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(top, NULL), &gui)) focus = gui.hwndFocus;
    EnumChildWindows(top, child, 0);
  } else {
    fclose(out);
    return 2;
  }
  fclose(out);
  return 0;
}
