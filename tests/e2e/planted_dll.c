/* A DLL that only leaves a trace: when any process loads it, it writes that process's path into
 * planted.trace beside itself. Built as OLEACC.dll and dropped where a download would put it.
 * With -DLOADER it is instead a program that imports oleacc.dll at load time, as Pagerift once did:
 * the proof that the planted copy is found where it lies. */
#include <windows.h>

#ifdef LOADER
#include <oleacc.h>

int wmain(void) {
  /* Referenced, so that the import stays; never called with a real object. */
  return LresultFromObject(&IID_IUnknown, 0, NULL) == 0 ? 0 : 1;
}
#else
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  wchar_t path[MAX_PATH + 32], exe[MAX_PATH];
  DWORD n;
  HANDLE f;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  n = GetModuleFileNameW(self, path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\') --n;
  lstrcpyW(path + n, L"planted.trace");
  f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, NULL);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD len = GetModuleFileNameW(NULL, exe, MAX_PATH), written;
    WriteFile(f, exe, len * sizeof(wchar_t), &written, NULL);
    CloseHandle(f);
  }
  return TRUE; /* and stays: the program goes on with the real work it never gets */
}
#endif
