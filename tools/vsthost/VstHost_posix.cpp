// Loading plug-in libraries on Linux and other POSIX systems.
#include "VstHost.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

bool VstLibrary::Open(const std::string& path, std::string& error)
{
  Close();
  dlerror();
  // RTLD_LOCAL: a plug-in's symbols must not leak into the next plug-in loaded.
  // RTLD_NODELETE: the code stays mapped after closing, so whatever the plug-in left
  // behind for the life of the process (caches, exit handlers) still points at it.
  mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!mHandle) {
    const char* why = dlerror();
    error = why ? why : "unknown error";
    return false;
  }
  return true;
}

void* VstLibrary::Symbol(const char* name) const
{
  if (!mHandle || !name) return nullptr;
  return dlsym(mHandle, name);
}

void VstLibrary::Close()
{
  if (mHandle) dlclose(mHandle);
  mHandle = nullptr;
}

std::string VstExecutablePath()
{
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  return std::string(path, static_cast<size_t>(n));
}
