// Image resources of type "PNG" compiled into our own module.
#include "LiceResource.h"
#include "LiceModule_win32.h"

#include <windows.h>

HMODULE LICE_OwnModule()
{
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&LICE_OwnModule), &module))
    return nullptr;
  return module;
}

bool LICE_FindPNGResource(int id, const unsigned char** data, size_t* size, void* module)
{
  if (data) *data = nullptr;
  if (size) *size = 0;
  if (!data || !size || id < 0 || id > 0xFFFF) return false;
  HMODULE mod = module ? static_cast<HMODULE>(module) : LICE_OwnModule();
  if (!mod) return false;
  HRSRC res = FindResourceExW(mod, L"PNG", MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (!res) res = FindResourceW(mod, MAKEINTRESOURCEW(id), L"PNG");
  if (!res) return false;
  const DWORD bytes = SizeofResource(mod, res);
  HGLOBAL handle = LoadResource(mod, res);
  const void* p = handle ? LockResource(handle) : nullptr;
  if (!p || bytes == 0) return false;
  *data = static_cast<const unsigned char*>(p);
  *size = bytes;
  return true;
}
