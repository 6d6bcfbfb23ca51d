// The library's entry point. Hosts look for "VSTPluginMain"; older ones for
// "main", which is the same function under a second name. The plug-in object is
// built under the process-wide creation mutex of the VST adapter.

#include "Tavrinel.h"

// noexcept: nothing thrown while the plug-in is built reaches the host (null instead).
TAV_VST_EXPORT AEffect* TAV_VSTCALL VSTPluginMain(audioMasterCallback hostCallback) noexcept
{
  return IPlugVST::Entry<Tavrinel>(hostCallback);
}

TAV_VST_MAIN_ALIAS(VSTPluginMain)
