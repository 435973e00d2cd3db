/* A stand-in for data\pdftk.exe that only takes its time: it leaves "<n>.started" in the current
 * folder as it starts (n counts its runs there), sleeps, and exits 0 without writing a page. A test
 * can then look at the window while it waits, knowing which file's wait it is. While a file named
 * "hold" lies in the current folder it waits on instead of sleeping, so a test decides when it
 * ends; either way it leaves "<n>.finished" as it exits. Usage (as the program runs it): pdftk.exe
 * "<source>" burst */
#include <windows.h>
#include <stdio.h>

#define RUN_MS 4000

static BOOL create_new(const wchar_t* name) {
  HANDLE f = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(f);
  return TRUE;
}

int wmain(void) {
  wchar_t name[32];
  int n = 1;
  for (; n < 1000; ++n) {
    swprintf(name, 32, L"%d.started", n);
    if (create_new(name)) break;
  }
  if (GetFileAttributesW(L"hold") == INVALID_FILE_ATTRIBUTES) Sleep(RUN_MS);
  while (GetFileAttributesW(L"hold") != INVALID_FILE_ATTRIBUTES) Sleep(50);
  swprintf(name, 32, L"%d.finished", n);
  create_new(name);
  return 0;
}
