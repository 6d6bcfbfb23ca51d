// The library's entry point. Hosts look for "VSTPluginMain"; older ones for
// "main", which is the same function under a second name. The plug-in object is
// built under the process-wide creation mutex of the VST adapter.

#include "Tavrinel.h"

TAV_VST_EXPORT AEffect* TAV_VSTCALL VSTPluginMain(audioMasterCallback hostCallback)
{
  return IPlugVST::Entry<Tavrinel>(hostCallback);
}

TAV_VST_MAIN_ALIAS(VSTPluginMain)
