#include <windows.h>
#include <commctrl.h>

#include "win32/app.h"
#include "win32/raii.h"
#include "win32/system_dlls.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  pagerift::win::RestrictDllSearch();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  pagerift::win::OleScope ole;  // drag and drop needs OLE on this thread
  static pagerift::win::App app;
  if (!app.Create(instance)) return 1;
  return app.Run();
}
