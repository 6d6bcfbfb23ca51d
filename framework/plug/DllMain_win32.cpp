// The library's entry from the Windows loader: remembers the module handle.
#include "ModuleHandle_win32.h"

namespace {
HINSTANCE sModule = nullptr;
} // namespace

HINSTANCE TavrinelModuleHandle() { return sModule; }

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH) sModule = hInstance;
  return TRUE;
}
