/* The test prefix's crash debugger (AeDebug): runs Wine's "winedbg --auto PID EVENT" with its
 * report appended to a file. Left to itself the report goes to winedbg's stdout, which reaches
 * nobody; and wine's cmd, which could redirect it, now and then fails to start a program at all.
 *
 *   crashlog.exe LOGFILE PID EVENT
 */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  /* Inheritable, so winedbg writes straight into it; the event handle Wine passes by number is
     inherited the same way. */
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
  HANDLE log = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (log == INVALID_HANDLE_VALUE) return 3;

  wchar_t cmd[160];
  swprintf(cmd, 160, L"C:\\windows\\system32\\winedbg.exe --auto %ls %ls", argv[2], argv[3]);
  STARTUPINFOW si = {0};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = log;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, cmd, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) return 4;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(log);
  return (int)code;
}
