#pragma once
// The host interface the plug-in class is built on: the VST 2.4 adapter, or the
// LV2 one when this layer is compiled for the LV2 library (TAV_PLUG_API_LV2,
// set by the build on the LV2 variant of the plug-in and editor layers).

#ifdef TAV_PLUG_API_LV2
#include "IPlugLV2.h"
using IPlugAPI = IPlugLV2;
#else
#include "IPlugVST.h"
using IPlugAPI = IPlugVST;
#endif
