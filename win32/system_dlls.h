// DLLs that are not among Windows' KnownDLLs come from the system folder
// only, and only when first needed: Windows would otherwise look for them
// in the program's own folder first, and a zip unpacked in the Downloads
// folder shares that folder with whatever else was downloaded.
#pragma once

#include <windows.h>

namespace pagerift::win {

// Makes the system folder the only place Windows looks in for the DLLs it
// loads on this process's behalf from now on (a dialog's, a shell
// extension's, a theme's). The first thing the program does.
void RestrictDllSearch();

// The system folder's copy of `name`, loaded once and kept; null when it
// cannot be loaded.
HMODULE SystemLibrary(const wchar_t* name);

// An entry point of a system DLL, typed; null when either is missing.
template <typename Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) {
  HMODULE module = SystemLibrary(dll);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace pagerift::win
