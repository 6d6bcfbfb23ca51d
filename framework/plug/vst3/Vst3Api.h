#pragma once
// Our own declarations of the VST3 plug-in interface, everything an instrument
// with an event output and an editor needs, in namespace vst3:
//   Vst3Base.h        types, results, IDs, FUnknown, the factory, streams, messages
//   Vst3Processor.h   buses, process data, transport, events, parameter changes, IComponent, IAudioProcessor
//   Vst3Controller.h  parameters, units, IEditController and its companions, the host's component handler
//   Vst3View.h        the editor view, the host's frame, the Linux run loop
// Only the VST3 wrapper and its tests include these.

#include "Vst3Base.h"
#include "Vst3Controller.h"
#include "Vst3Processor.h"
#include "Vst3View.h"
