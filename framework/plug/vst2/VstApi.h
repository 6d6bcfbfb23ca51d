#pragma once
// Our own declarations of the VST 2.4 plug-in interface: the descriptor the host
// drives, the event and time records exchanged with it, the dispatcher and host
// callback signatures, and the opcode and flag numbers this plug-in uses.
// Layouts are the interface's 64-bit ones (pointers and intptr_t are 8 bytes);
// the static_asserts at the end pin them.
//
// Thread: plain declarations, no state.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define TAV_VSTCALL __cdecl
#else
#define TAV_VSTCALL
#endif

// Export macro for the library's entry function:
//   TAV_VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { ... }
#if defined(_WIN32)
#define TAV_VST_EXPORT extern "C" __declspec(dllexport)
#else
#define TAV_VST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Exports a second name "main" for the entry function `fn`, which must be defined
// in the same source file (older hosts look only for "main"). C++ does not allow a
// function called main that returns a pointer, so the name is given as an
// assembler-level alias:  TAV_VST_MAIN_ALIAS(VSTPluginMain). Like every host entry,
// fn is noexcept.
#if defined(__GNUC__) && !defined(__clang__)
// GCC would warn that the alias lacks attributes it inferred for the target (nothrow).
#define TAV_ALIAS_PUSH _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmissing-attributes\"")
#define TAV_ALIAS_POP _Pragma("GCC diagnostic pop")
#else
#define TAV_ALIAS_PUSH
#define TAV_ALIAS_POP
#endif
#define TAV_VST_MAIN_ALIAS(fn)                                                                \
  TAV_ALIAS_PUSH                                                                              \
  TAV_VST_EXPORT AEffect* TAV_VSTCALL tavVstMainAlias(audioMasterCallback) noexcept __asm__("main") \
    __attribute__((alias(#fn)));                                                                       \
  TAV_ALIAS_POP

struct AEffect;

typedef intptr_t(TAV_VSTCALL* audioMasterCallback)(AEffect* effect, int32_t opcode, int32_t index,
                                                    intptr_t value, void* ptr, float opt);
typedef intptr_t(TAV_VSTCALL* AEffectDispatcherProc)(AEffect* effect, int32_t opcode, int32_t index,
                                                      intptr_t value, void* ptr, float opt);
typedef void(TAV_VSTCALL* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                              int32_t sampleFrames);
typedef void(TAV_VSTCALL* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                    int32_t sampleFrames);
typedef void(TAV_VSTCALL* AEffectSetParameterProc)(AEffect* effect, int32_t index, float parameter);
typedef float(TAV_VSTCALL* AEffectGetParameterProc)(AEffect* effect, int32_t index);

// The four-character code of a plug-in descriptor ("VstP").
constexpr int32_t kEffectMagic = 0x56737450;

struct AEffect {
  int32_t magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process; // accumulating; kept for old hosts
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  int32_t numPrograms;
  int32_t numParams;
  int32_t numInputs;
  int32_t numOutputs;
  int32_t flags;
  intptr_t resvd1;
  intptr_t resvd2;
  int32_t initialDelay;
  int32_t realQualities;
  int32_t offQualities;
  float ioRatio;
  void* object;
  void* user;
  int32_t uniqueID;
  int32_t version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

// Sizes of the text buffers a host hands over, terminator included. Parameter
// texts use the extended size (hosts give at least 32 bytes); nothing longer is
// ever written into, or read from, a host's buffer.
enum {
  kVstMaxProgNameLen = 24,
  kVstExtMaxParamStrLen = 32,
  kVstMaxEffectNameLen = 32,
  kVstMaxVendorStrLen = 64,
  kVstMaxProductStrLen = 64
};

// AEffect::flags
enum {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanMono = 1 << 3, // deprecated, still announced
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12
};

// Dispatcher opcodes (host -> plug-in).
enum {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effSetSpeakerArrangement = 42,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effVendorSpecific = 50,
  effCanDo = 51,
  effIdle = 53,
  effGetVstVersion = 58,
  effGetMidiKeyName = 66,
  effGetSpeakerArrangement = 69
};

// Host callback opcodes (plug-in -> host).
enum {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterSizeWindow = 15, // index: width, value: height; 1 when the host resized its window
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterCanDo = 37,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44
};

// Plug-in categories (effGetPlugCategory).
enum { kPlugCategUnknown = 0, kPlugCategEffect = 1, kPlugCategSynth = 2 };

// Event types.
enum { kVstMidiType = 1, kVstSysExType = 6 };

struct VstEvent {
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  char data[16];
};

struct VstMidiEvent {
  int32_t type; // kVstMidiType
  int32_t byteSize; // sizeof(VstMidiEvent)
  int32_t deltaFrames; // sample offset in the current block
  int32_t flags;
  int32_t noteLength;
  int32_t noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

// A host or plug-in may hand over more than two events: `events` is really
// numEvents long.
struct VstEvents {
  int32_t numEvents;
  intptr_t reserved;
  VstEvent* events[2];
};

// VstTimeInfo::flags
enum {
  kVstTransportChanged = 1,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstAutomationWriting = 1 << 6,
  kVstAutomationReading = 1 << 7,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15
};

struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  int32_t timeSigNumerator;
  int32_t timeSigDenominator;
  int32_t smpteOffset;
  int32_t smpteFrameRate;
  int32_t samplesToNextClock;
  int32_t flags;
};

struct ERect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// VstPinProperties::flags
enum { kVstPinIsActive = 1, kVstPinIsStereo = 1 << 1, kVstPinUseSpeaker = 1 << 2 };

struct VstPinProperties {
  char label[64];
  int32_t flags;
  int32_t arrangementType;
  char shortLabel[8];
  char future[48];
};

// VstSpeakerArrangement::type (the ones used here)
enum { kSpeakerArrUserDefined = -2, kSpeakerArrEmpty = -1, kSpeakerArrMono = 0, kSpeakerArrStereo = 1 };

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  int32_t type;
  char future[28];
};

struct VstSpeakerArrangement {
  int32_t type;
  int32_t numChannels;
  VstSpeakerProperties speakers[8];
};

struct MidiKeyName {
  int32_t thisProgramIndex;
  int32_t thisKeyNumber;
  char keyName[64];
  int32_t reserved;
  int32_t flags;
};

static_assert(sizeof(void*) == 8, "the VST declarations are written for 64-bit targets");
static_assert(sizeof(AEffect) == 192, "AEffect layout");
static_assert(offsetof(AEffect, flags) == 56, "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == 80, "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == 92, "AEffect layout");
static_assert(offsetof(AEffect, object) == 96, "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == 112, "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == 120, "AEffect layout");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "AEffect layout");
static_assert(sizeof(VstEvent) == 32, "VstEvent layout");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "VstMidiEvent layout");
static_assert(sizeof(VstEvents) == 32, "VstEvents layout");
static_assert(offsetof(VstEvents, events) == 16, "VstEvents layout");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, flags) == 84, "VstTimeInfo layout");
static_assert(sizeof(ERect) == 8, "ERect layout");
static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties layout");
static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties layout");
static_assert(sizeof(VstSpeakerArrangement) == 904, "VstSpeakerArrangement layout");
static_assert(sizeof(MidiKeyName) == 80, "MidiKeyName layout");
