// Helper of the first-instantiation benchmark: a fresh process that loads the
// plug-in library, then times the way from its entry point to an opened plug-in
// (VSTPluginMain, then effOpen) and prints the elapsed nanoseconds on stdout.
// Loading the library itself is not timed: a host pays it for every plug-in.
//
// Usage: tavrinel_open_plugin PLUGIN.so (run by bench/bench_first_open_posix.cpp)

#include "VstApi.h"

#include <chrono>
#include <cstdio>
#include <dlfcn.h>

namespace {

intptr_t TAV_VSTCALL HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PLUGIN\n", argv[0]);
    return 2;
  }
  void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  typedef AEffect*(TAV_VSTCALL * Entry)(audioMasterCallback);
  Entry entry = reinterpret_cast<Entry>(dlsym(lib, "VSTPluginMain"));
  if (!entry) return 1;

  const auto start = std::chrono::steady_clock::now();
  AEffect* effect = entry(HostCallback);
  if (!effect) return 1;
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  const auto end = std::chrono::steady_clock::now();

  std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()));
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  return 0;
}
