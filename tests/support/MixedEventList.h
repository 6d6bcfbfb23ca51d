#pragma once
// An event list of three entries as one side of the VST interface may hand it
// over: a MIDI event, a null entry, and a system-exclusive event, which the
// receiver has to skip or forward rather than read as MIDI.

#include "VstApi.h"

#include <cstdint>

struct MixedEventList {
  MixedEventList(int32_t deltaFrames, unsigned char status, unsigned char data1, unsigned char data2)
  {
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.deltaFrames = deltaFrames;
    note.midiData[0] = static_cast<char>(status);
    note.midiData[1] = static_cast<char>(data1);
    note.midiData[2] = static_cast<char>(data2);
    sysex.type = kVstSysExType;
    list.numEvents = 3;
    list.reserved = 0;
    list.events[0] = reinterpret_cast<VstEvent*>(&note);
    list.events[1] = nullptr;
    list.events[2] = &sysex;
  }
  // The list points into the object itself.
  MixedEventList(const MixedEventList&) = delete;
  MixedEventList& operator=(const MixedEventList&) = delete;

  VstMidiEvent note{};
  VstEvent sysex{};
  // Laid out as VstEvents, with room for three entries.
  struct {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[3];
  } list{};
};
