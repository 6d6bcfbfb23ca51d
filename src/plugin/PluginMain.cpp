// The VST 2.4 library's entry point. Hosts look for "VSTPluginMain"; older ones
// for "main", which is the same function under a second name. The wrapper
// builds the plug-in object under its process-wide creation mutex.

#include "IPlugVST.h"
#include "Tavrinel.h"

// noexcept: nothing thrown while the plug-in is built reaches the host (null instead).
TAV_VST_EXPORT AEffect* TAV_VSTCALL VSTPluginMain(audioMasterCallback hostCallback) noexcept
{
  return IPlugVST::Entry<Tavrinel>(hostCallback);
}

TAV_VST_MAIN_ALIAS(VSTPluginMain)
