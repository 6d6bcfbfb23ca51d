#pragma once
// A minimal VST 2.4 host for driving plug-ins through the wrapper's
// descriptor. Header-only; one host at a time (the callback finds it through a
// global pointer).

#include "IPlugVST.h"
#include "TestPlug.h"

#include <cstring>
#include <string>
#include <vector>

class FakeHost {
public:
  struct Call {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
  };

  // What the host answers.
  bool mGiveTime = true;
  VstTimeInfo mTime = {};
  std::string mProduct = "REAPER";
  intptr_t mVendorVersion = 6810;
  intptr_t mEventsResult = 1;
  // Called with every call's opcode before it is answered (null: nothing).
  void (*mOnCall)(void* arg, int32_t opcode) = nullptr;
  void* mOnCallArg = nullptr;

  // What the host saw. Reserved up front so that recording allocates nothing.
  std::vector<Call> mCalls;
  std::vector<VstMidiEvent> mMidiOut;
  std::vector<VstEvents> mEventLists; // the list each event arrived in (pointers not followed)
  std::vector<const VstEvent*> mForwarded; // non-MIDI events handed back

  FakeHost()
  {
    mCalls.reserve(4096);
    // Recording never allocates on the audio thread: room for the densest
    // block (events past it are lost, and the MIDI checks say so).
    mMidiOut.reserve(1 << 15);
    mEventLists.reserve(1 << 15);
    mForwarded.reserve(64);
    sCurrent = this;
  }
  ~FakeHost() { sCurrent = nullptr; }

  int Count(int32_t opcode) const
  {
    int n = 0;
    for (const Call& c : mCalls) n += (c.opcode == opcode);
    return n;
  }

  static intptr_t TAV_VSTCALL Callback(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
  {
    FakeHost* h = sCurrent;
    if (!h) return 0;
    if (h->mCalls.size() < h->mCalls.capacity()) h->mCalls.push_back({opcode, index, value, opt});
    if (h->mOnCall) h->mOnCall(h->mOnCallArg, opcode);
    switch (opcode) {
      case audioMasterGetTime: return h->mGiveTime ? reinterpret_cast<intptr_t>(&h->mTime) : 0;
      case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), h->mProduct.c_str());
        return 1;
      case audioMasterGetVendorVersion: return h->mVendorVersion;
      case audioMasterProcessEvents: {
        const auto* events = static_cast<const VstEvents*>(ptr);
        for (int i = 0; i < events->numEvents; ++i) {
          const VstEvent* ev = events->events[i];
          if (ev->type == kVstMidiType) {
            if (h->mMidiOut.size() < h->mMidiOut.capacity()) {
              h->mMidiOut.push_back(*reinterpret_cast<const VstMidiEvent*>(ev));
              h->mEventLists.push_back(*events);
            }
          } else if (h->mForwarded.size() < h->mForwarded.capacity()) {
            h->mForwarded.push_back(ev);
          }
        }
        return h->mEventsResult;
      }
      default: return 0;
    }
  }

  static inline FakeHost* sCurrent = nullptr;
};
