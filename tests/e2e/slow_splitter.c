/* A stand-in for data\pdftk.exe that only takes its time: it leaves "<n>.started" in the current
 * folder as it starts (n counts its runs there), sleeps, and exits 0 without writing a page. A test
 * can then look at the window while it waits, knowing which file's wait it is. Usage (as the
 * program runs it): pdftk.exe "<source>" burst */
#include <windows.h>
#include <stdio.h>

#define RUN_MS 4000

int wmain(void) {
  wchar_t name[32];
  for (int n = 1; n < 1000; ++n) {
    HANDLE f;
    swprintf(name, 32, L"%d.started", n);
    f = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f != INVALID_HANDLE_VALUE) {
      CloseHandle(f);
      break;
    }
  }
  Sleep(RUN_MS);
  return 0;
}
