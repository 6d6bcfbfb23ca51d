#pragma once
// The LV2 wrapper: owns one plug-in object (IPlugBase) made by the factory the
// library's entry point hands it, and binds it to the LV2 plug-in interface:
// the plug-in descriptor (ports, run, state) and an X11 UI descriptor that
// shows the plug-in's own editor. It serves the plug-in as its host
// (IPlugHost); the plug-in never sees LV2.
//
// Ports: one control input per host parameter (the announced parameters with a
// name, carrying plain values), then an atom sequence in (MIDI and
// time:Position) and an atom sequence out (MIDI). No audio ports.
//
// Time: a run is cut at every input event; each piece is processed as one
// block with the transport as the events so far describe it (time:frame,
// speed, tempo, signature; a position without a frame is computed from bar and
// beat). Between positions the frame advances with the processed frames times
// the speed. Before the host sends any, the transport plays from frame 0.
//
// Threads and locks:
// - instantiate, activate, deactivate, cleanup, connect_port and state restore
//   belong to the host's instantiation class (no other call of this instance
//   runs meanwhile); run is the audio thread; state save may run beside it.
//   Each but run takes the plug-in mutex for its whole run, so hooks run under
//   it. run takes no lock: it runs between BeginAudioCall and EndAudioCall,
//   hands control port changes to the plug-in's lock-free path (the locked
//   path only for a plug-in without one) and processes through
//   ProcessAudioBlock on the audio thread's channel buffers.
// - run allocates nothing: its events go straight into the host's output
//   buffer, the control ports are compared against values kept in a vector
//   sized at instantiation, and long runs are processed in slices of the
//   block size (the options' maxBlockLength when given).
// - The UI entries run on the host's GUI thread. The UI reaches the plug-in
//   object through the instance-access feature; instantiate, idle and cleanup
//   take the editor mutex (then the plug-in mutex where they touch the
//   plug-in), as the VST wrapper's editor calls do: instantiate runs
//   OnEditorOpening and cleanup OnEditorClosed with the editor mutex alone.
//   What the UI tells the host (port writes for editor gestures, touch,
//   resize) is said on the GUI thread with the plug-in mutex free.
// - No host callback is made from run: the events are written into the port.
//   The host services the plug-in asks for in run (time, MIDI out) answer
//   from the run's own state; outside run the editor's gestures go to the UI's
//   host functions on the GUI thread with the plug-in mutex free.
//
// The library's entry functions look like:
//   LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
//   { return IPlugLV2::Descriptor<MyPlugin>(index, "urn:..."); }
//   LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
//   { return IPlugLV2::UIDescriptor(index, "urn:...#ui"); }
// where MyPlugin derives from IPlugBase and has a default constructor.

#include "IPlugBase.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <memory>
#include <vector>

class IPlugLV2 : public IPlugHost {
public:
  // The URI of the single state property; its value is the host chunk
  // (SerializeHostChunk) as an atom:Chunk.
  static constexpr const char* STATE_KEY_SUFFIX = "#state";
  // Block size when the host names none.
  static constexpr int DEFAULT_BLOCK_SIZE = IPlugBase::DEFAULT_BLOCK_SIZE;

  ~IPlugLV2() override;
  IPlugLV2(const IPlugLV2&) = delete;
  IPlugLV2& operator=(const IPlugLV2&) = delete;

  template <class TPlug>
  static const LV2_Descriptor* Descriptor(uint32_t index, const char* uri) noexcept
  {
    static const LV2_Descriptor sDescriptor = {uri, &InstantiateAs<TPlug>, ConnectPort, Activate, Run,
                                               Deactivate, Cleanup, ExtensionData};
    return index == 0 ? &sDescriptor : nullptr;
  }
  static const LV2UI_Descriptor* UIDescriptor(uint32_t index, const char* uri) noexcept;

  // The wrapper behind an instance handle, and the plug-in it drives.
  static IPlugLV2* FromHandle(LV2_Handle instance) { return static_cast<IPlugLV2*>(instance); }
  IPlugBase& Plug() const { return *mPlug; }

  // Ports: [0, NControlPorts()) controls, then the event input and the MIDI output.
  int NControlPorts() const { return mNumControlPorts; }
  int EventsInPort() const { return mNumControlPorts; }
  int MidiOutPort() const { return mNumControlPorts + 1; }

  // MIDI events dropped because the host's output buffer was full (audio thread).
  int64_t DroppedMidiEvents() const { return mDroppedMidi; }

  // ---- host services ----
  // Editor gestures on the host parameters go to the host as port writes (and
  // touch, when it offers that) while the UI is open. GUI thread, mutex free.
  void HostBeginEdit(int paramIdx) override;
  void HostAutomate(int paramIdx, double normalizedValue) override;
  void HostEndEdit(int paramIdx) override;
  // A state:StateChanged object at the start of the next run's output.
  void HostSongChanged() override { mStateChanged.store(true); }
  void HostUpdateDisplay() override {}
  void GetHostTime(IHostTime& time) override;
  void GetTransport(double& samplePos, double& tempo, double& ppqPos, double& lastBarPpq, int& numerator,
                    int& denominator, double& cycleStartPpq, double& cycleEndPpq, bool& transportPlaying,
                    bool& cycleActive) override;
  int GetHostId() override { return kHostUnknown; }
  // The UI tells the host its size when it opens, and again when it changes.
  bool UpdateEditorSize() override;
  void HostLatencyChanged(int) override {}
  // Only inside run: the event goes into the output sequence at the block's frame.
  bool SendMidiMessage(const IMidiMessage& msg) override;

private:
  struct Uris {
    LV2_URID atomSequence = 0, atomChunk = 0, atomObject = 0, atomBlank = 0, atomFrameTime = 0;
    LV2_URID atomInt = 0, atomLong = 0, atomFloat = 0, atomDouble = 0, atomBool = 0;
    LV2_URID midiEvent = 0, timePosition = 0, timeFrame = 0, timeSpeed = 0, timeBpm = 0;
    LV2_URID timeBeatsPerBar = 0, timeBeatUnit = 0, timeBar = 0, timeBarBeat = 0;
    LV2_URID bufMaxBlock = 0, bufNominalBlock = 0, stateKey = 0, stateChanged = 0;
  };

  // The transport as the host's position events describe it.
  struct Transport {
    double frame = 0.0;
    double speed = 1.0;
    double bpm = 0.0;       // 0: none given
    double beatsPerBar = 0.0;
    int beatUnit = 0;
  };

  // What the open UI tells the host through (GUI thread).
  struct UiLink {
    bool open = false;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const void* resize = nullptr; // LV2UI_Resize
    const void* touch = nullptr;  // LV2UI_Touch
  };

  IPlugLV2(LV2_URID_Map* map, std::unique_ptr<IPlugBase> plug);

  template <class TPlug>
  static LV2_Handle InstantiateAs(const LV2_Descriptor* descriptor, double rate, const char* bundlePath,
                                  const LV2_Feature* const* features) noexcept
  {
    return Instantiate(descriptor, rate, bundlePath, features,
                       [] { return std::unique_ptr<IPlugBase>(new TPlug); });
  }

  static LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char* bundlePath,
                                const LV2_Feature* const* features, IPlugFactory create) noexcept;
  static void ConnectPort(LV2_Handle instance, uint32_t port, void* data) noexcept;
  static void Activate(LV2_Handle instance) noexcept;
  static void Run(LV2_Handle instance, uint32_t nSamples) noexcept;
  static void Deactivate(LV2_Handle instance) noexcept;
  static void Cleanup(LV2_Handle instance) noexcept;
  static const void* ExtensionData(const char* uri) noexcept;
  static std::mutex& CreationMutex();

  static LV2_State_Status SaveState(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                                    uint32_t flags, const LV2_Feature* const* features) noexcept;
  static LV2_State_Status RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                                       LV2_State_Handle handle, uint32_t flags,
                                       const LV2_Feature* const* features) noexcept;

  // UI entries.
  static LV2UI_Handle UiInstantiate(const LV2UI_Descriptor* descriptor, const char* pluginUri, const char* bundlePath,
                                    LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                                    const LV2_Feature* const* features) noexcept;
  static void UiCleanup(LV2UI_Handle ui) noexcept;
  static void UiPortEvent(LV2UI_Handle ui, uint32_t port, uint32_t size, uint32_t format, const void* buffer) noexcept;
  static const void* UiExtensionData(const char* uri) noexcept;
  static int UiIdle(LV2UI_Handle ui) noexcept;
  void CloseUi();

  void FinishSetup(double rate, const LV2_Feature* const* features);
  void RunBlock(uint32_t nSamples);
  void BeginOutput(uint32_t nSamples);
  void ReadControlPorts();
  void ProcessFrames(uint32_t offset, uint32_t count);
  void HandleEvent(const LV2_Atom_Event* ev, uint32_t frame);
  void ReadPosition(const LV2_Atom_Object* obj);
  bool ReadNumber(const LV2_Atom* atom, double& value) const;
  IHostTime CurrentTime() const;

  LV2_URID_Map* mMap = nullptr;
  Uris mUris;
  int mNumControlPorts = 0;
  std::vector<const float*> mControlPorts;
  std::vector<float> mLastPortValue; // the port values last acted on (NaN: none yet)
  std::atomic<bool> mResyncPorts{false}; // a state restore: take the ports' values as seen
  const LV2_Atom_Sequence* mEventsIn = nullptr;
  LV2_Atom_Sequence* mMidiOut = nullptr;

  // The run in progress (audio thread, with the mutex).
  bool mInRun = false;
  uint32_t mRunFrames = 0;
  uint32_t mSegmentStart = 0;
  uint32_t mOutCapacity = 0;
  int64_t mLastOutFrame = 0;
  int64_t mDroppedMidi = 0;
  // Appends an event to the output sequence (audio thread, in a run); false
  // when it does not fit. A null body with type atomObject is the
  // state:StateChanged notification.
  bool AppendOut(int64_t frame, LV2_URID type, const void* body, uint32_t size);
  Transport mTransport;
  std::atomic<bool> mStateChanged{false};  // set by the GUI thread, sent by run
  IHostTime mSegmentTime;

  IStateChunk mStateChunk; // the last state saved or restored
  UiLink mUi;

public:
  // What a UI instance holds of its plug-in: cleanup clears mWrapper (under
  // mMutex, taken before the editor mutex), so a UI the host calls after the
  // plug-in is gone finds nothing to touch.
  struct UiLife {
    std::mutex mMutex;
    IPlugLV2* mWrapper = nullptr;
  };

private:
  std::shared_ptr<UiLife> mUiLife;
  std::unique_ptr<IPlugBase> mPlug;  // deleted first thing in the destructor
};
