// The library's entry from the Windows loader: remembers the module handle.
#include "ModuleHandle_win32.h"

namespace {
HINSTANCE sModule = nullptr;

// The module that holds this code: the plug-in library, or the program that
// links it statically.
HINSTANCE OwnModule()
{
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnModule), &module))
    return nullptr;
  return module;
}
} // namespace

HINSTANCE TavrinelModuleHandle()
{
  if (!sModule) sModule = OwnModule();
  return sModule;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH) sModule = hInstance;
  return TRUE;
}
