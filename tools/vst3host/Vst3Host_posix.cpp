// VST3 modules on Linux: the binary inside the bundle and its entry functions.
#include "Vst3Host.h"

#include <sys/stat.h>
#include <sys/utsname.h>

namespace {

bool IsFolder(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

bool Vst3ModulePath(const std::string& bundlePath, std::string& binaryPath, std::string& error)
{
  std::string bundle = bundlePath;
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  if (!IsFolder(bundle)) {
    error = "no such bundle folder";
    return false;
  }
  // Name.vst3/Contents/<machine>-linux/Name.so, the machine as uname -m names it.
  std::string name = bundle.substr(bundle.find_last_of('/') + 1);
  const std::string extension = ".vst3";
  if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
    name.resize(name.size() - extension.size());
  struct utsname system;
  if (uname(&system) != 0) {
    error = "the machine name is unknown";
    return false;
  }
  const std::string inside = "Contents/" + std::string(system.machine) + "-linux/" + name + ".so";
  binaryPath = bundle + "/" + inside;
  if (IsFile(binaryPath)) return true;
  error = "the bundle holds no " + inside;
  return false;
}

bool Vst3EnterModule(VstLibrary& library, std::string& error)
{
  // Hosts refuse a Linux module without both entry functions.
  auto entry = reinterpret_cast<vst3::ModuleEntryProc>(library.Symbol("ModuleEntry"));
  if (!entry || !library.Symbol("ModuleExit")) {
    error = std::string("the module exports no ") + (entry ? "ModuleExit" : "ModuleEntry");
    return false;
  }
  if (entry(library.Handle())) return true;
  error = "its ModuleEntry refused to start";
  return false;
}

void Vst3ExitModule(VstLibrary& library)
{
  if (auto exit = reinterpret_cast<vst3::ModuleExitProc>(library.Symbol("ModuleExit"))) exit();
}
