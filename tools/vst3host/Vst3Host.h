#pragma once
// A small VST3 host: loads a bundle the way a DAW does and drives the plug-in in
// it. Load finds the binary by the platform's rule, runs the module's entry
// function (ModuleEntry on Linux, InitDll on Windows where exported), reads the
// factory's classes (through IPluginFactory2/3 where offered) and creates the
// audio module class: the component, initialized with the host context, its
// IAudioProcessor, and its controller (the component itself if it is one, else
// the class it names, joined to it through connection-point proxies), which gets
// the recording component handler and the component's state. Open sets up the
// buses (event input and output, main audio output), processing, and switches it
// on; Process runs one block with the transport, note events and parameter
// changes the caller gives and collects the events the plug-in sends. Close
// undoes everything in order, down to the module's exit function and unloading.
//
// It knows nothing of the plug-in's code: everything passes through the module's
// exported functions and the interfaces they lead to (Vst3Api.h).
//
// Thread: one thread drives a Vst3Host and plays both the UI and the audio
// thread (offline rendering). The handler records calls on that thread. Not
// real-time: the output event record grows as needed.

#include "Vst3Api.h"
#include "Vst3HostObjects.h"
#include "VstHost.h" // VstLibrary

#include <cstdint>
#include <string>
#include <vector>

// A class of the module's factory, with whatever the factory tells of it.
struct Vst3ClassInfo {
  vst3::Uid cid{};
  int32_t cardinality = 0;
  std::string category; // vst3::kVstAudioEffectClass, vst3::kVstComponentControllerClass, ...
  std::string name;
  // Through IPluginFactory2 or 3 only:
  uint32_t classFlags = 0;
  std::string subCategories; // e.g. "Instrument|Generator"
  std::string vendor;
  std::string version;
  std::string sdkVersion;
};

// The transport of the next process call. A field the caller leaves out is not
// claimed valid in the ProcessContext, so a test can play a host that knows less.
struct Vst3Transport {
  bool context = true; // false: process gets no ProcessContext at all
  bool playing = true;
  int64_t samplePos = 0; // always valid
  double tempo = 120.0;  // 0 or less: no tempo and no musical position
  int32_t sigNumerator = 4; // 0 or less: no signature and no bar position
  int32_t sigDenominator = 4;
};

// One event the plug-in sent, as MIDI. Velocities (and poly pressure) become a
// byte by truncating v * 127, as Ardour does; `rounded` holds the byte rounding
// gives instead, for a check that both conversions agree.
struct Vst3HostEvent {
  int64_t position = 0; // absolute sample: block start + sample offset
  int64_t block = 0;    // number of the process call it came from
  vst3::Event event{};  // as the plug-in gave it
  uint8_t bytes[3] = {0, 0, 0};
  uint8_t rounded = 0;
};

// v * 127 truncated, or rounded, to 0..127.
uint8_t Vst3VelocityTruncated(float v);
uint8_t Vst3VelocityRounded(float v);

class Vst3Host {
public:
  static constexpr int32_t kMaxInputEvents = 4096;
  static constexpr int32_t kMaxOutputEvents = 16384;
  static constexpr int32_t kPointsPerParam = 64;

  Vst3Host() = default;
  ~Vst3Host() { Close(); }
  Vst3Host(const Vst3Host&) = delete;
  Vst3Host& operator=(const Vst3Host&) = delete;

  // Loads the bundle folder (on Windows also a single module file) and creates its
  // audio module class: the first one, or the one of this name. False with a
  // one-line message (Error) when anything on the way fails; nothing stays loaded.
  bool Load(const std::string& bundlePath, const std::string& className = std::string());
  // The same from a factory function at hand: no library, no entry functions.
  bool Start(vst3::GetPluginFactoryProc getFactory, const std::string& className = std::string());
  // Buses, setupProcessing (32-bit samples, maxBlock, the rate, processMode
  // vst3::kRealtime or vst3::kOffline), setActive, setProcessing.
  bool Open(double sampleRate, int maxBlock, int32_t processMode = vst3::kOffline);
  // Switches processing off and undoes Load. Safe at any time.
  void Close();

  const std::string& Error() const { return mError; }
  bool IsLoaded() const { return static_cast<bool>(mComponent); }
  bool IsOpen() const { return mProcessing; }
  double SampleRate() const { return mSampleRate; }
  int BlockSize() const { return mMaxBlock; }

  const std::vector<Vst3ClassInfo>& Classes() const { return mClasses; }
  const Vst3ClassInfo& Chosen() const { return mClasses[mChosen]; }
  std::string FactoryVendor() const { return mFactoryVendor; }
  // Whether the component is its own controller.
  bool SingleObject() const { return mSingleObject; }
  // What IProcessContextRequirements asked for (0 without the interface).
  uint32_t ContextRequirements() const { return mContextRequirements; }
  // What the processor reported at Open.
  uint32_t LatencySamples() const { return mLatency; }
  uint32_t TailSamples() const { return mTail; } // vst3::kInfiniteTail: keeps sounding
  // The buses the component reports, by media type and direction.
  const std::vector<vst3::BusInfo>& Buses(vst3::MediaType type, vst3::BusDirection dir) const;

  vst3::IComponent* Component() const { return mComponent.Get(); }
  vst3::IAudioProcessor* Processor() const { return mProcessor.Get(); }
  vst3::IEditController* Controller() const { return mController.Get(); }
  // The handler's record of the controller's calls; null when nothing is loaded.
  Vst3ComponentHandler* Handler() const { return mHandler.Get(); }
  // Messages the proxies passed between the halves of a split plug-in.
  int64_t Notifications() const;

  // The controller's parameters, read at Load.
  const std::vector<vst3::ParameterInfo>& Params() const { return mParams; }
  std::string ParamTitle(size_t index) const;
  // The parameter with this title (else this short title), kNoParamId when none.
  vst3::ParamID FindParam(const std::string& name) const;
  double GetParam(vst3::ParamID id) const;
  // The controller's display text of the parameter's current value.
  std::string ParamDisplay(vst3::ParamID id) const;
  // Sets the controller's value and sends it to the processor at offset 0 of the
  // next process call (a call of 0 frames delivers it at once).
  bool SetParam(vst3::ParamID id, double normalized);
  // One point of a parameter's change in the next process call.
  bool AddParamChange(vst3::ParamID id, int32_t sampleOffset, double normalized);

  // Component state out; in to the component, then to the controller (as a DAW
  // restores a project). The controller's own state likewise.
  bool GetState(std::vector<uint8_t>& out);
  bool SetState(const std::vector<uint8_t>& data);
  bool GetControllerState(std::vector<uint8_t>& out);
  bool SetControllerState(const std::vector<uint8_t>& data);

  Vst3Transport& Transport() { return mTransport; }
  // A note-on or note-off at an offset into the next process call.
  bool SendMidi(uint8_t status, uint8_t data1, uint8_t data2, int32_t sampleOffset = 0);
  // One process call of nFrames (0..max block; 0 delivers parameter changes and
  // events only, with no audio buffers), then the transport moves on if it plays.
  bool Process(int nFrames);
  int64_t BlocksProcessed() const { return mBlocks; }

  const std::vector<Vst3HostEvent>& Events() const { return mEvents; }
  void ClearEvents() { mEvents.clear(); }
  // Events the plug-in sent that are no MIDI channel messages (counted only), and
  // those refused for want of room in the output list.
  int64_t OtherEvents() const { return mOtherEvents; }
  int64_t RefusedEvents() const { return mOutputEvents ? mOutputEvents->Refused() : 0; }
  // Output samples that were not zero (the host clears them before each call).
  int64_t NonSilentSamples() const { return mNonSilent; }

private:
  bool Fail(const std::string& message);
  bool Abandon(const std::string& message); // Close, then Fail
  bool Begin(vst3::GetPluginFactoryProc getFactory, const std::string& className);
  bool ReadFactory();
  bool CreateComponent(const std::string& className);
  bool CreateController();
  bool ReadBuses();
  void FillContext(vst3::ProcessContext& c) const;
  void TakeOutput(int64_t blockStart);
  void Unload();

  VstLibrary mLibrary;
  bool mEntered = false; // the module's entry function ran
  std::string mLabel;    // the bundle, for messages
  std::string mError;

  Vst3Ref<vst3::IPluginFactory> mFactory;
  std::vector<Vst3ClassInfo> mClasses;
  size_t mChosen = 0;
  std::string mFactoryVendor;

  Vst3Ref<Vst3HostContext> mContext;
  Vst3Ref<Vst3ComponentHandler> mHandler;
  Vst3Ref<vst3::IComponent> mComponent;
  Vst3Ref<vst3::IAudioProcessor> mProcessor;
  Vst3Ref<vst3::IEditController> mController;
  bool mSingleObject = false;
  bool mComponentInitialized = false;
  bool mControllerInitialized = false;
  Vst3Ref<vst3::IConnectionPoint> mComponentPoint, mControllerPoint;
  Vst3Ref<Vst3ConnectionProxy> mToController, mToComponent; // given to the component, to the controller
  uint32_t mContextRequirements = 0;
  uint32_t mLatency = 0;
  uint32_t mTail = 0;

  std::vector<vst3::BusInfo> mBuses[2][2]; // [media type][direction]
  std::vector<vst3::ParameterInfo> mParams;

  bool mActive = false;
  bool mProcessing = false;
  double mSampleRate = 44100.0;
  int mMaxBlock = 0;
  int32_t mProcessMode = vst3::kOffline;
  std::vector<std::vector<float>> mSamples; // every audio channel, inputs then outputs
  std::vector<float*> mChannelPtrs;
  size_t mFirstOutput = 0; // the first output channel in mSamples
  std::vector<vst3::AudioBusBuffers> mAudioIn, mAudioOut;

  Vst3Transport mTransport;
  Vst3Ref<Vst3EventList> mInputEvents, mOutputEvents;
  Vst3Ref<Vst3ParamChanges> mInputChanges, mOutputChanges;
  std::vector<Vst3HostEvent> mEvents;
  int64_t mOtherEvents = 0;
  int64_t mBlocks = 0;
  int64_t mNonSilent = 0;
};

// Per platform (Vst3Host_posix.cpp, Vst3Host_win32.cpp).
// The module binary of a bundle by this platform's rule; false with a message
// when there is none.
bool Vst3ModulePath(const std::string& bundlePath, std::string& binaryPath, std::string& error);
// Runs the module's entry function (false with a message when it is missing where
// required, or refuses), and later its exit function.
bool Vst3EnterModule(VstLibrary& library, std::string& error);
void Vst3ExitModule(VstLibrary& library);
