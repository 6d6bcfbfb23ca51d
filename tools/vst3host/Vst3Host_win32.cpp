// VST3 modules on Windows: the binary inside the bundle (or a module file of the
// older single-file form) and its optional entry functions.
#include "Vst3Host.h"
#include "WideText_win32.h"

#include <windows.h>

namespace {

// The file attributes of a UTF-8 path, INVALID_FILE_ATTRIBUTES when there is nothing.
DWORD Attributes(const std::string& path)
{
  const std::wstring wide = Widen(path);
  return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

} // namespace

bool Vst3ModulePath(const std::string& bundlePath, std::string& binaryPath, std::string& error)
{
  std::string bundle = bundlePath;
  while (bundle.size() > 1 && (bundle.back() == '/' || bundle.back() == '\\')) bundle.pop_back();
  const DWORD attributes = Attributes(bundle);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = "no such bundle folder or module file";
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    binaryPath = bundle; // the single-file form: the module itself
    return true;
  }
  // Name.vst3\Contents\x86_64-win\Name.vst3: the DLL carries the bundle's name.
  std::string name = bundle.substr(bundle.find_last_of("/\\") + 1);
  const std::string extension = ".vst3";
  if (name.size() <= extension.size() || name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
    name += extension;
  const std::string inside = "Contents\\x86_64-win\\" + name;
  binaryPath = bundle + "\\" + inside;
  const DWORD found = Attributes(binaryPath);
  if (found != INVALID_FILE_ATTRIBUTES && !(found & FILE_ATTRIBUTE_DIRECTORY)) return true;
  error = "the bundle holds no " + inside;
  return false;
}

bool Vst3EnterModule(VstLibrary& library, std::string& error)
{
  auto entry = reinterpret_cast<vst3::InitDllProc>(library.Symbol("InitDll"));
  if (!entry || entry()) return true;
  error = "its InitDll refused to start";
  return false;
}

void Vst3ExitModule(VstLibrary& library)
{
  if (auto exit = reinterpret_cast<vst3::ExitDllProc>(library.Symbol("ExitDll"))) exit();
}
