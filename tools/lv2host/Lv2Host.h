#pragma once
// A small LV2 host on lilv: loads a bundle folder, finds a plug-in by URI and
// drives it the way a DAW does: urid:map and opts:options (block lengths, sample
// rate) as features, control input ports holding plain values (initially the
// Turtle defaults), an atom input sequence forged each block with a time:Position
// at frame 0 describing the transport, an atom output sequence read back after
// every run, and the state extension for saving and restoring the plug-in state.
//
// It knows nothing of the plug-in's code: everything passes through the bundle's
// Turtle, the library's lv2_descriptor and the extension data it returns.
//
// Thread: one thread drives an Lv2Host and plays the host's main and audio thread
// (offline rendering). The URID map and the state callbacks run on that thread,
// inside the calls below. No locks. Not real-time: the event list grows as needed.

#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The transport of one run, sent to the plug-in as a time:Position at frame 0.
struct Lv2Transport {
  int64_t frame = 0; // sample position of the block's first frame
  double tempo = 120.0;
  int32_t sigNumerator = 4;
  int32_t sigDenominator = 4;
  bool playing = true;
};

// One MIDI event the plug-in wrote into its output sequence.
struct Lv2HostEvent {
  int64_t position = 0; // absolute sample: the block's frame + the event's frame offset
  int64_t block = 0;    // number of the run it came from
  int64_t frames = 0;   // offset in the run as the plug-in gave it
  uint32_t size = 0;    // bytes of the message as the plug-in gave it
  uint8_t bytes[4] = {0, 0, 0, 0};
};

// A control input port as the Turtle describes it.
struct Lv2ControlPort {
  uint32_t index = 0;
  std::string symbol;
  std::string name;
  float minimum = 0.0f;
  float maximum = 1.0f;
  float defaultValue = 0.0f;
  bool integer = false;     // lv2:integer (enumerations are integers too)
  bool toggled = false;     // lv2:toggled
  bool enumeration = false; // lv2:enumeration
  std::vector<std::pair<float, std::string>> scalePoints; // value, label
};

class Lv2Host {
public:
  static const char* const TAVRINEL_URI;
  static const char* const STATE_KEY_URI;

  Lv2Host();
  ~Lv2Host();
  Lv2Host(const Lv2Host&) = delete;
  Lv2Host& operator=(const Lv2Host&) = delete;

  // Reads the bundle folder's Turtle and finds the plug-in with this URI. False with a
  // message (Error) for a missing bundle, a missing plug-in or unusable ports.
  bool Load(const std::string& bundlePath, const std::string& uri = TAVRINEL_URI);
  // Instantiates the plug-in (its library is loaded now), connects every port and
  // activates it. maxBlock is the most frames a later Process may pass.
  bool Open(double sampleRate, int maxBlock);
  // Deactivates and frees the instance, forgets the bundle. Safe at any time.
  void Close();

  const std::string& Error() const { return mError; }
  bool IsOpen() const { return mActive; }
  double SampleRate() const { return mSampleRate; }
  int BlockSize() const { return mMaxBlock; }
  std::string PluginName() const { return mPluginName; }

  const std::vector<Lv2ControlPort>& Controls() const { return mControls; }
  // Control with this lv2:name (else this lv2:symbol), -1 when none. An index into Controls().
  int FindControl(const std::string& name) const;
  float ControlValue(int control) const;
  bool SetControl(int control, float plain);
  // The plain value a VST host's normalised x stands for: min + x (max - min), rounded
  // to whole numbers for integer, enumeration and toggled ports, then clamped.
  bool SetNormalised(int control, double x);
  // The scale point label of the current value, or the value as a number.
  std::string ControlDisplay(int control) const;

  // Through the state extension: the one chunk property the plug-in stores, and back.
  bool SaveState(std::vector<uint8_t>& out);
  bool RestoreState(const std::vector<uint8_t>& data);

  // One run of nFrames (1..maxBlock) with a time:Position of this transport at frame 0,
  // collecting the MIDI the plug-in writes. Other output events are counted only.
  bool Process(const Lv2Transport& transport, int nFrames);
  // A run of no frames with no events: the plug-in takes in its ports (after a state
  // restore it counts their values as seen, so a port set after this acts) and no
  // time passes. Its output is collected like any run's but not counted as a block.
  bool Settle();
  int64_t BlocksProcessed() const { return mBlocks; }
  const std::vector<Lv2HostEvent>& Events() const { return mEvents; }
  void ClearEvents() { mEvents.clear(); }
  int64_t OtherEvents() const { return mOtherEvents; }

  LV2_URID Map(const char* uri);
  const char* Unmap(LV2_URID urid) const;

private:
  struct Lilv;
  static LV2_URID MapCallback(LV2_URID_Map_Handle handle, const char* uri);
  static const char* UnmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID urid);
  bool Fail(const std::string& message);
  bool ReadPorts();
  void ForgePosition(const Lv2Transport& t);
  bool ReadOutput(int64_t blockStart);

  std::unique_ptr<Lilv> mLilv;
  std::string mError;
  std::string mPluginName;
  double mSampleRate = 44100.0;
  int mMaxBlock = 0;
  bool mActive = false;

  std::unordered_map<std::string, LV2_URID> mUrids;
  std::vector<std::string> mUris; // URID n is mUris[n - 1]
  LV2_URID_Map mMap{};
  LV2_URID_Unmap mUnmap{};
  LV2_Feature mMapFeature{};
  LV2_Feature mUnmapFeature{};
  LV2_Feature mOptionsFeature{};
  LV2_Feature mBoundedFeature{};
  std::vector<LV2_Options_Option> mOptions;
  int32_t mMinBlock = 1;
  int32_t mNominalBlock = 0;
  float mRateOption = 44100.0f;
  std::vector<const LV2_Feature*> mFeatures;

  std::vector<Lv2ControlPort> mControls;
  std::vector<float> mPortValues;            // one slot per port (controls and control outputs)
  std::vector<std::vector<float>> mSignals;  // buffers for ports of other kinds
  std::vector<bool> mSignalPort;             // a port of another kind (audio, CV)
  uint32_t mEventsInPort = UINT32_MAX;
  uint32_t mMidiOutPort = UINT32_MAX;
  std::vector<uint64_t> mEventsIn;  // 8-byte aligned atom buffers
  std::vector<uint64_t> mMidiOut;
  LV2_Atom_Forge mForge{};

  struct Urids {
    LV2_URID atomChunk, atomSequence, atomInt, atomLong, atomFloat, atomDouble, midiEvent, timePosition, timeFrame,
      timeSpeed, timeBpm, timeBeatsPerBar, timeBeatUnit, timeBar, timeBarBeat, stateKey;
  } mU{};

  // What the plug-in stored during SaveState; what RestoreState hands it.
  std::vector<uint8_t> mStored;
  uint32_t mStoredType = 0;
  bool mStoredOther = false;
  bool mHaveStored = false;
  const std::vector<uint8_t>* mRestoring = nullptr;

  std::vector<Lv2HostEvent> mEvents;
  int64_t mOtherEvents = 0;
  int64_t mBlocks = 0;
};
