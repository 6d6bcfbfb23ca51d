#pragma once
// Our own VST3 declarations, the processing side: buses, the setup and the block
// the host hands to process, the transport context, events in and out, parameter
// change queues, and the processor's interfaces (IComponent, IAudioProcessor,
// IProcessContextRequirements).
//
// Thread: plain declarations, no state.

#include "Vst3Base.h"

namespace vst3 {

// ---- buses ----
enum MediaTypes : MediaType { kAudio = 0, kEvent = 1 };
enum BusDirections : BusDirection { kInput = 0, kOutput = 1 };
enum BusTypes : BusType { kMain = 0, kAux = 1 };
enum IoModes : IoMode { kSimple = 0, kAdvanced = 1, kOfflineProcessing = 2 };

struct BusInfo {
  enum : uint32 { kDefaultActive = 1, kIsControlVoltage = 2 }; // flags

  MediaType mediaType;
  BusDirection direction;
  int32 channelCount; // event bus: the number of MIDI channels
  String128 name;
  BusType busType;
  uint32 flags;
};
static_assert(sizeof(BusInfo) == 276 && alignof(BusInfo) == 4, "BusInfo layout");
static_assert(offsetof(BusInfo, mediaType) == 0, "BusInfo layout");
static_assert(offsetof(BusInfo, direction) == 4, "BusInfo layout");
static_assert(offsetof(BusInfo, channelCount) == 8, "BusInfo layout");
static_assert(offsetof(BusInfo, name) == 12, "BusInfo layout");
static_assert(offsetof(BusInfo, busType) == 268, "BusInfo layout");
static_assert(offsetof(BusInfo, flags) == 272, "BusInfo layout");

struct RoutingInfo {
  MediaType mediaType;
  int32 busIndex;
  int32 channel; // -1: all channels
};
static_assert(sizeof(RoutingInfo) == 12 && alignof(RoutingInfo) == 4, "RoutingInfo layout");
static_assert(offsetof(RoutingInfo, mediaType) == 0, "RoutingInfo layout");
static_assert(offsetof(RoutingInfo, busIndex) == 4, "RoutingInfo layout");
static_assert(offsetof(RoutingInfo, channel) == 8, "RoutingInfo layout");

constexpr Speaker kSpeakerL = 1;
constexpr Speaker kSpeakerR = 2;
constexpr Speaker kSpeakerM = 0x80000;
namespace SpeakerArr {
constexpr SpeakerArrangement kEmpty = 0;
constexpr SpeakerArrangement kMono = kSpeakerM;
constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
} // namespace SpeakerArr

// ---- processing setup and block ----
enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
constexpr uint32 kNoTail = 0; // getTailSamples
constexpr uint32 kInfiniteTail = 0xFFFFFFFF;

struct ProcessSetup {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  SampleRate sampleRate;
};
static_assert(sizeof(ProcessSetup) == 24 && alignof(ProcessSetup) == 8, "ProcessSetup layout");
static_assert(offsetof(ProcessSetup, processMode) == 0, "ProcessSetup layout");
static_assert(offsetof(ProcessSetup, symbolicSampleSize) == 4, "ProcessSetup layout");
static_assert(offsetof(ProcessSetup, maxSamplesPerBlock) == 8, "ProcessSetup layout");
static_assert(offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup layout");

// One audio bus of a block. The sample pointers of an inactive bus may be null.
struct AudioBusBuffers {
  int32 numChannels;
  uint64 silenceFlags; // bit n: channel n is silent
  union {
    Sample32** channelBuffers32; // symbolicSampleSize kSample32
    Sample64** channelBuffers64; // symbolicSampleSize kSample64
  };
};
static_assert(sizeof(AudioBusBuffers) == 24 && alignof(AudioBusBuffers) == 8, "AudioBusBuffers layout");
static_assert(offsetof(AudioBusBuffers, numChannels) == 0, "AudioBusBuffers layout");
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8, "AudioBusBuffers layout");
static_assert(offsetof(AudioBusBuffers, channelBuffers32) == 16, "AudioBusBuffers layout");
static_assert(offsetof(AudioBusBuffers, channelBuffers64) == 16, "AudioBusBuffers layout");

// ---- transport ----
struct FrameRate {
  enum : uint32 { kPullDownRate = 1, kDropRate = 2 };

  uint32 framesPerSecond;
  uint32 flags;
};
static_assert(sizeof(FrameRate) == 8 && alignof(FrameRate) == 4, "FrameRate layout");
static_assert(offsetof(FrameRate, framesPerSecond) == 0, "FrameRate layout");
static_assert(offsetof(FrameRate, flags) == 4, "FrameRate layout");

struct Chord {
  enum : int16 { kChordMask = 0x0FFF, kReservedMask = static_cast<int16>(0xF000) };

  uint8 keyNote;
  uint8 rootNote; // lowest note
  int16 chordMask; // bit 0: minor second above the key note
};
static_assert(sizeof(Chord) == 4 && alignof(Chord) == 2, "Chord layout");
static_assert(offsetof(Chord, keyNote) == 0, "Chord layout");
static_assert(offsetof(Chord, rootNote) == 1, "Chord layout");
static_assert(offsetof(Chord, chordMask) == 2, "Chord layout");

// sampleRate and projectTimeSamples are always valid; every other field only when
// its bit is set in state.
struct ProcessContext {
  enum : uint32 {
    kPlaying = 2,
    kCycleActive = 4,
    kRecording = 8,
    kSystemTimeValid = 0x100,
    kProjectTimeMusicValid = 0x200,
    kTempoValid = 0x400,
    kBarPositionValid = 0x800,
    kCycleValid = 0x1000,
    kTimeSigValid = 0x2000,
    kSmpteValid = 0x4000,
    kClockValid = 0x8000,
    kContTimeValid = 0x20000,
    kChordValid = 0x40000
  };

  uint32 state;
  SampleRate sampleRate;
  TSamples projectTimeSamples;
  int64 systemTime; // nanoseconds
  TSamples continousTimeSamples; // position without loops (the name's spelling is the interface's)
  TQuarterNotes projectTimeMusic;
  TQuarterNotes barPositionMusic; // start of the current bar
  TQuarterNotes cycleStartMusic;
  TQuarterNotes cycleEndMusic;
  double tempo; // beats per minute
  int32 timeSigNumerator;
  int32 timeSigDenominator;
  Chord chord;
  int32 smpteOffsetSubframes; // 1/80 frame
  FrameRate frameRate;
  int32 samplesToNextClock; // next MIDI clock (24 per quarter note), may be negative
};
static_assert(sizeof(ProcessContext) == 112 && alignof(ProcessContext) == 8, "ProcessContext layout");
static_assert(offsetof(ProcessContext, state) == 0, "ProcessContext layout");
static_assert(offsetof(ProcessContext, sampleRate) == 8, "ProcessContext layout");
static_assert(offsetof(ProcessContext, projectTimeSamples) == 16, "ProcessContext layout");
static_assert(offsetof(ProcessContext, systemTime) == 24, "ProcessContext layout");
static_assert(offsetof(ProcessContext, continousTimeSamples) == 32, "ProcessContext layout");
static_assert(offsetof(ProcessContext, projectTimeMusic) == 40, "ProcessContext layout");
static_assert(offsetof(ProcessContext, barPositionMusic) == 48, "ProcessContext layout");
static_assert(offsetof(ProcessContext, cycleStartMusic) == 56, "ProcessContext layout");
static_assert(offsetof(ProcessContext, cycleEndMusic) == 64, "ProcessContext layout");
static_assert(offsetof(ProcessContext, tempo) == 72, "ProcessContext layout");
static_assert(offsetof(ProcessContext, timeSigNumerator) == 80, "ProcessContext layout");
static_assert(offsetof(ProcessContext, timeSigDenominator) == 84, "ProcessContext layout");
static_assert(offsetof(ProcessContext, chord) == 88, "ProcessContext layout");
static_assert(offsetof(ProcessContext, smpteOffsetSubframes) == 92, "ProcessContext layout");
static_assert(offsetof(ProcessContext, frameRate) == 96, "ProcessContext layout");
static_assert(offsetof(ProcessContext, samplesToNextClock) == 104, "ProcessContext layout");

// ---- events ----
// Velocities and pressures are 0..1, tuning in cents; noteId -1 when unused.
struct NoteOnEvent {
  int16 channel;
  int16 pitch; // 0..127, 69 = A 440 Hz
  float tuning;
  float velocity;
  int32 length; // optional, in samples; a note-off must follow anyway
  int32 noteId;
};
static_assert(sizeof(NoteOnEvent) == 20 && alignof(NoteOnEvent) == 4, "NoteOnEvent layout");
static_assert(offsetof(NoteOnEvent, channel) == 0, "NoteOnEvent layout");
static_assert(offsetof(NoteOnEvent, pitch) == 2, "NoteOnEvent layout");
static_assert(offsetof(NoteOnEvent, tuning) == 4, "NoteOnEvent layout");
static_assert(offsetof(NoteOnEvent, velocity) == 8, "NoteOnEvent layout");
static_assert(offsetof(NoteOnEvent, length) == 12, "NoteOnEvent layout");
static_assert(offsetof(NoteOnEvent, noteId) == 16, "NoteOnEvent layout");

struct NoteOffEvent {
  int16 channel;
  int16 pitch;
  float velocity;
  int32 noteId; // the note-on's
  float tuning;
};
static_assert(sizeof(NoteOffEvent) == 16 && alignof(NoteOffEvent) == 4, "NoteOffEvent layout");
static_assert(offsetof(NoteOffEvent, channel) == 0, "NoteOffEvent layout");
static_assert(offsetof(NoteOffEvent, pitch) == 2, "NoteOffEvent layout");
static_assert(offsetof(NoteOffEvent, velocity) == 4, "NoteOffEvent layout");
static_assert(offsetof(NoteOffEvent, noteId) == 8, "NoteOffEvent layout");
static_assert(offsetof(NoteOffEvent, tuning) == 12, "NoteOffEvent layout");

struct PolyPressureEvent {
  int16 channel;
  int16 pitch;
  float pressure;
  int32 noteId;
};
static_assert(sizeof(PolyPressureEvent) == 12, "PolyPressureEvent layout");

struct DataEvent {
  enum : uint32 { kMidiSysEx = 0 };

  uint32 size; // bytes
  uint32 type;
  const uint8* bytes; // an outgoing block stays alive at least until process returns
};
static_assert(sizeof(DataEvent) == 16 && alignof(DataEvent) == 8, "DataEvent layout");
static_assert(offsetof(DataEvent, size) == 0, "DataEvent layout");
static_assert(offsetof(DataEvent, type) == 4, "DataEvent layout");
static_assert(offsetof(DataEvent, bytes) == 8, "DataEvent layout");

// MIDI controller numbers: 0..127 are the MIDI controllers, the rest stand for the
// other channel messages (in IMidiMapping and in legacy controller output).
enum ControllerNumbers : CtrlNumber {
  kCtrlModWheel = 1,
  kCtrlVolume = 7,
  kCtrlPan = 10,
  kCtrlExpression = 11,
  kCtrlSustainOnOff = 64,
  kCtrlAllSoundsOff = 120,
  kCtrlResetAllCtrlers = 121,
  kCtrlAllNotesOff = 123,
  kAfterTouch = 128, // channel pressure
  kPitchBend = 129,
  kCtrlProgramChange = 130, // output only
  kCtrlPolyPressure = 131, // output only
  kCtrlQuarterFrame = 132 // output only
};

// A MIDI channel message going out. controlNumber 0..127: controller `value`;
// kAfterTouch, kCtrlProgramChange, kCtrlQuarterFrame: `value`; kPitchBend: low 7
// bits in `value`, high 7 bits in `value2` (centre 8192); kCtrlPolyPressure: note
// in `value`, pressure in `value2`.
struct LegacyMIDICCOutEvent {
  uint8 controlNumber;
  int8 channel; // 0..15
  int8 value;
  int8 value2;
};
static_assert(sizeof(LegacyMIDICCOutEvent) == 4 && alignof(LegacyMIDICCOutEvent) == 1, "LegacyMIDICCOutEvent layout");
static_assert(offsetof(LegacyMIDICCOutEvent, controlNumber) == 0, "LegacyMIDICCOutEvent layout");
static_assert(offsetof(LegacyMIDICCOutEvent, channel) == 1, "LegacyMIDICCOutEvent layout");
static_assert(offsetof(LegacyMIDICCOutEvent, value) == 2, "LegacyMIDICCOutEvent layout");
static_assert(offsetof(LegacyMIDICCOutEvent, value2) == 3, "LegacyMIDICCOutEvent layout");

// Note IDs the host never uses, free for the plug-in's own notes.
constexpr int32 kNoteIDUserRangeLowerBound = -10000;
constexpr int32 kNoteIDUserRangeUpperBound = -1000;

struct Event {
  enum : uint16 {
    kNoteOnEvent = 0,
    kNoteOffEvent = 1,
    kDataEvent = 2,
    kPolyPressureEvent = 3,
    kNoteExpressionValueEvent = 4,
    kNoteExpressionTextEvent = 5,
    kChordEvent = 6,
    kScaleEvent = 7,
    kLegacyMIDICCOutEvent = 0xFFFF
  };
  enum : uint16 { kIsLive = 1, kUserReserved1 = 0x4000, kUserReserved2 = 0x8000 }; // flags

  int32 busIndex;
  int32 sampleOffset; // inside the current block
  TQuarterNotes ppqPosition;
  uint16 flags;
  uint16 type; // selects the member below
  union {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    DataEvent data;
    PolyPressureEvent polyPressure;
    LegacyMIDICCOutEvent midiCCOut;
    uint64 largest[3]; // room for the note-expression text event (24 bytes), not used here
  };
};
static_assert(sizeof(Event) == 48 && alignof(Event) == 8, "Event layout");
static_assert(offsetof(Event, busIndex) == 0, "Event layout");
static_assert(offsetof(Event, sampleOffset) == 4, "Event layout");
static_assert(offsetof(Event, ppqPosition) == 8, "Event layout");
static_assert(offsetof(Event, flags) == 16, "Event layout");
static_assert(offsetof(Event, type) == 18, "Event layout");
static_assert(offsetof(Event, noteOn) == 24, "Event layout");
static_assert(offsetof(Event, noteOff) == 24, "Event layout");
static_assert(offsetof(Event, data) == 24, "Event layout");
static_assert(offsetof(Event, polyPressure) == 24, "Event layout");
static_assert(offsetof(Event, midiCCOut) == 24, "Event layout");
static_assert(sizeof(Event) - offsetof(Event, noteOn) == 24, "Event layout: the union's 24 bytes");

// The host's event list; getEvent and addEvent copy the struct.
struct IEventList : FUnknown {
  static constexpr Uid kIid = MakeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
  virtual int32 TAV_VST3CALL getEventCount() = 0;
  virtual tresult TAV_VST3CALL getEvent(int32 index, Event* e) = 0;
  virtual tresult TAV_VST3CALL addEvent(Event* e) = 0;
};

// ---- parameter changes ----
// The points of one parameter in one block, sorted by sample offset; the curve
// between them is linear.
struct IParamValueQueue : FUnknown {
  static constexpr Uid kIid = MakeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamID TAV_VST3CALL getParameterId() = 0;
  virtual int32 TAV_VST3CALL getPointCount() = 0;
  virtual tresult TAV_VST3CALL getPoint(int32 index, int32* sampleOffset, ParamValue* value) = 0;
  virtual tresult TAV_VST3CALL addPoint(int32 sampleOffset, ParamValue value, int32* index) = 0;
};

// One queue per changed parameter. The queues returned are borrowed.
struct IParameterChanges : FUnknown {
  static constexpr Uid kIid = MakeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual int32 TAV_VST3CALL getParameterCount() = 0;
  virtual IParamValueQueue* TAV_VST3CALL getParameterData(int32 index) = 0;
  virtual IParamValueQueue* TAV_VST3CALL addParameterData(const ParamID* id, int32* index) = 0;
};

// One call of process. numSamples 0 with no buffers flushes parameter changes only;
// the context, the event lists and the output changes may be null.
struct ProcessData {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs; // entries in inputs
  int32 numOutputs; // entries in outputs
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents; // null unless the host activated an event output bus
  ProcessContext* processContext;
};
static_assert(sizeof(ProcessData) == 80 && alignof(ProcessData) == 8, "ProcessData layout");
static_assert(offsetof(ProcessData, processMode) == 0, "ProcessData layout");
static_assert(offsetof(ProcessData, symbolicSampleSize) == 4, "ProcessData layout");
static_assert(offsetof(ProcessData, numSamples) == 8, "ProcessData layout");
static_assert(offsetof(ProcessData, numInputs) == 12, "ProcessData layout");
static_assert(offsetof(ProcessData, numOutputs) == 16, "ProcessData layout");
static_assert(offsetof(ProcessData, inputs) == 24, "ProcessData layout");
static_assert(offsetof(ProcessData, outputs) == 32, "ProcessData layout");
static_assert(offsetof(ProcessData, inputParameterChanges) == 40, "ProcessData layout");
static_assert(offsetof(ProcessData, outputParameterChanges) == 48, "ProcessData layout");
static_assert(offsetof(ProcessData, inputEvents) == 56, "ProcessData layout");
static_assert(offsetof(ProcessData, outputEvents) == 64, "ProcessData layout");
static_assert(offsetof(ProcessData, processContext) == 72, "ProcessData layout");

// ---- the processor's interfaces ----
// All calls on the host's UI thread unless noted.
struct IComponent : IPluginBase {
  static constexpr Uid kIid = MakeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  virtual tresult TAV_VST3CALL getControllerClassId(TUID classId) = 0; // may come before initialize
  virtual tresult TAV_VST3CALL setIoMode(IoMode mode) = 0;
  virtual int32 TAV_VST3CALL getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult TAV_VST3CALL getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo* bus) = 0;
  virtual tresult TAV_VST3CALL getRoutingInfo(RoutingInfo* inInfo, RoutingInfo* outInfo) = 0;
  virtual tresult TAV_VST3CALL activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
  virtual tresult TAV_VST3CALL setActive(TBool state) = 0;
  virtual tresult TAV_VST3CALL setState(IBStream* state) = 0; // offline: possibly the processing thread
  virtual tresult TAV_VST3CALL getState(IBStream* state) = 0;
};

// Not derived from IComponent: an object implementing both has two vtables.
struct IAudioProcessor : FUnknown {
  static constexpr Uid kIid = MakeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  virtual tresult TAV_VST3CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult TAV_VST3CALL getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement* arr) = 0;
  virtual tresult TAV_VST3CALL canProcessSampleSize(int32 symbolicSampleSize) = 0; // kResultTrue: yes
  virtual uint32 TAV_VST3CALL getLatencySamples() = 0;
  virtual tresult TAV_VST3CALL setupProcessing(ProcessSetup* setup) = 0;
  // UI or audio thread: no allocation, no locks.
  virtual tresult TAV_VST3CALL setProcessing(TBool state) = 0;
  virtual tresult TAV_VST3CALL process(ProcessData* data) = 0; // audio thread
  virtual uint32 TAV_VST3CALL getTailSamples() = 0; // kNoTail, kInfiniteTail or samples
};

// Without it a host may leave the process context empty.
struct IProcessContextRequirements : FUnknown {
  static constexpr Uid kIid = MakeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
  enum : uint32 {
    kNeedSystemTime = 1,
    kNeedContinousTimeSamples = 2,
    kNeedProjectTimeMusic = 4,
    kNeedBarPositionMusic = 8,
    kNeedCycleMusic = 0x10,
    kNeedSamplesToNextClock = 0x20,
    kNeedTempo = 0x40,
    kNeedTimeSignature = 0x80,
    kNeedChord = 0x100,
    kNeedFrameRate = 0x200,
    kNeedTransportState = 0x400
  };
  virtual uint32 TAV_VST3CALL getProcessContextRequirements() = 0;
};

} // namespace vst3
