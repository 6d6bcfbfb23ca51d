#pragma once
// Our own declarations of the VST3 binary interface, common ground: the basic
// types, result codes, class and interface IDs, the reference-counted base
// interface, the factory the module exports, and the host objects (stream,
// message, attribute list, host application) that both halves of a plug-in use.
// Written for Linux x86-64 and Windows x64 (mingw-w64); the static_asserts pin
// every size and offset we rely on.
//
// Rules the declarations follow, because a host reads the objects by position:
// - an interface is a struct of pure virtual methods in slot order, base methods
//   first; single inheritance, no data, no destructor (a virtual one would add
//   hidden slots), no overloads;
// - structs use natural alignment, never packing; "&" parameters are declared as
//   the pointers they are in the binary interface;
// - text passed through interface calls is UTF-16 (char16_t), never wchar_t.
//
// Thread: plain declarations, no state.

#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(sizeof(void*) == 8, "the VST3 declarations are written for 64-bit targets");

// Windows marks the methods __stdcall, which x64 compilers accept and ignore: the
// one x64 convention applies. Elsewhere the platform's C++ convention applies.
#if defined(_WIN32)
#define TAV_VST3CALL __stdcall
#else
#define TAV_VST3CALL
#endif

// Export macro for the module's C entry points (GetPluginFactory, ModuleEntry, ...).
#if defined(_WIN32)
#define TAV_VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define TAV_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vst3 {

// ---- basic types ----
using int8 = int8_t;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using TBool = uint8; // one byte: 0 false, anything else true
using char8 = char;
using char16 = char16_t;
using TChar = char16;
using String128 = char16[128]; // as a parameter: the caller's 128-unit buffer, terminator included
using FIDString = const char8*; // 8-bit zero-terminated identifier
using CString = const char8*;
using AttrID = const char8*; // key in an IAttributeList
using TSize = int64;
using UCoord = int32;
using tresult = int32;
using ParamID = uint32;
using ParamValue = double; // normalized 0..1
using TSamples = int64;
using TQuarterNotes = double;
using SampleRate = double;
using Sample32 = float;
using Sample64 = double;
using Speaker = uint64;
using SpeakerArrangement = uint64; // bit set of speakers
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using KnobMode = int32;
using CtrlNumber = int16; // MIDI controller number, extended up to 132
using TimerInterval = uint64; // milliseconds (Linux run loop)
using FileDescriptor = int; // Linux run loop
using ScaleFactor = float;

static_assert(sizeof(int8) == 1 && alignof(int8) == 1, "int8");
static_assert(sizeof(TBool) == 1 && alignof(TBool) == 1, "TBool");
static_assert(sizeof(uint8) == 1 && sizeof(int16) == 2 && sizeof(uint16) == 2 && sizeof(int32) == 4 &&
                sizeof(uint32) == 4 && sizeof(uint64) == 8,
              "fixed-width integers");
static_assert(alignof(int16) == 2 && alignof(int32) == 4 && alignof(uint64) == 8, "fixed-width integers");
static_assert(sizeof(int64) == 8 && alignof(int64) == 8, "int64");
static_assert(sizeof(char8) == 1 && alignof(char8) == 1, "char8");
static_assert(sizeof(char16) == 2 && alignof(char16) == 2, "char16");
static_assert(sizeof(String128) == 256 && alignof(String128) == 2, "String128");
static_assert(sizeof(tresult) == 4 && alignof(tresult) == 4, "tresult");
static_assert(sizeof(FIDString) == 8 && alignof(FIDString) == 8, "FIDString");
static_assert(sizeof(AttrID) == 8 && alignof(AttrID) == 8, "AttrID");
static_assert(sizeof(TSize) == 8 && alignof(TSize) == 8, "TSize");
static_assert(sizeof(UCoord) == 4 && alignof(UCoord) == 4, "UCoord");
static_assert(sizeof(ParamID) == 4 && alignof(ParamID) == 4, "ParamID");
static_assert(sizeof(ParamValue) == 8 && alignof(ParamValue) == 8, "ParamValue");
static_assert(sizeof(TSamples) == 8 && alignof(TSamples) == 8, "TSamples");
static_assert(sizeof(TQuarterNotes) == 8 && alignof(TQuarterNotes) == 8, "TQuarterNotes");
static_assert(sizeof(SampleRate) == 8 && alignof(SampleRate) == 8, "SampleRate");
static_assert(sizeof(Sample32) == 4 && sizeof(Sample64) == 8, "sample types");
static_assert(sizeof(SpeakerArrangement) == 8 && alignof(SpeakerArrangement) == 8 && sizeof(Speaker) == 8,
              "SpeakerArrangement");
static_assert(sizeof(MediaType) == 4 && sizeof(BusDirection) == 4 && sizeof(BusType) == 4 && sizeof(IoMode) == 4 &&
                sizeof(UnitID) == 4 && sizeof(ProgramListID) == 4 && sizeof(KnobMode) == 4,
              "32-bit enumerations");
static_assert(sizeof(CtrlNumber) == 2 && alignof(CtrlNumber) == 2, "CtrlNumber");
static_assert(sizeof(TimerInterval) == 8 && alignof(TimerInterval) == 8, "TimerInterval");
static_assert(sizeof(FileDescriptor) == 4 && alignof(FileDescriptor) == 4, "FileDescriptor");
static_assert(sizeof(ScaleFactor) == 4 && alignof(ScaleFactor) == 4, "ScaleFactor");

// ---- result codes ----
// Success is 0 and "no" is 1 everywhere. The error codes are COM's on Windows and
// small numbers elsewhere, so test against these names, never against the sign.
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = kResultOk;
constexpr tresult kResultFalse = 1;
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

// ---- class and interface IDs ----
// 16 bytes; as a parameter a pointer to them. Compare IDs as raw bytes.
using TUID = char[16];
static_assert(sizeof(TUID) == 16 && alignof(TUID) == 1, "TUID");

struct Uid {
  TUID bytes;
};

// Lays out an ID written as four 32-bit words the way this target's hosts store it.
// Linux: every word most significant byte first. Windows (the COM GUID layout): the
// first word, then each half of the second word, least significant byte first; the
// third and fourth words most significant byte first. Define class IDs this way too,
// so both builds show hosts the same ID text.
constexpr Uid MakeUid(uint32 w1, uint32 w2, uint32 w3, uint32 w4)
{
  Uid id{};
#if defined(_WIN32)
  const uint32 head[4] = {w1, w1 >> 8, w1 >> 16, w1 >> 24};
  const uint32 middle[4] = {w2 >> 16, w2 >> 24, w2, w2 >> 8};
#else
  const uint32 head[4] = {w1 >> 24, w1 >> 16, w1 >> 8, w1};
  const uint32 middle[4] = {w2 >> 24, w2 >> 16, w2 >> 8, w2};
#endif
  for (int i = 0; i < 4; ++i) {
    id.bytes[i] = static_cast<char>(head[i] & 0xFF);
    id.bytes[4 + i] = static_cast<char>(middle[i] & 0xFF);
    id.bytes[8 + i] = static_cast<char>((w3 >> (24 - 8 * i)) & 0xFF);
    id.bytes[12 + i] = static_cast<char>((w4 >> (24 - 8 * i)) & 0xFF);
  }
  return id;
}

// True if the 16 bytes at `tuid` are `id`.
inline bool SameUid(const void* tuid, const Uid& id) { return tuid && std::memcmp(tuid, id.bytes, 16) == 0; }

// ---- the base interfaces ----
struct FUnknown {
  static constexpr Uid kIid = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  // On success: kResultOk, *obj set and one reference added. Otherwise kNoInterface
  // and *obj null. Answers every ID of the object's base chains.
  virtual tresult TAV_VST3CALL queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32 TAV_VST3CALL addRef() = 0; // returns the new count
  virtual uint32 TAV_VST3CALL release() = 0; // returns the new count; frees itself at 0
};

// Base of the processor (IComponent) and the controller (IEditController).
struct IPluginBase : FUnknown {
  static constexpr Uid kIid = MakeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  // context offers IHostApplication. If this fails the host releases the object
  // without calling terminate.
  virtual tresult TAV_VST3CALL initialize(FUnknown* context) = 0;
  virtual tresult TAV_VST3CALL terminate() = 0; // drop every host reference
};

// ---- the factory ----
// Factory and class records are 8-bit text, except the UTF-16 fields of PClassInfoW.
struct PFactoryInfo {
  enum : int32 {
    kNoFlags = 0,
    kClassesDiscardable = 1, // host must not cache class info
    kLicenseCheck = 2, // obsolete
    kComponentNonDiscardable = 8, // keep the module loaded until the process ends
    kUnicode = 0x10, // required
    kDefaultFactoryFlags = kUnicode
  };
  enum { kNameSize = 64, kURLSize = 256, kEmailSize = 128 };

  char8 vendor[kNameSize];
  char8 url[kURLSize];
  char8 email[kEmailSize];
  int32 flags;
};
static_assert(sizeof(PFactoryInfo) == 452 && alignof(PFactoryInfo) == 4, "PFactoryInfo layout");
static_assert(offsetof(PFactoryInfo, vendor) == 0, "PFactoryInfo layout");
static_assert(offsetof(PFactoryInfo, url) == 64, "PFactoryInfo layout");
static_assert(offsetof(PFactoryInfo, email) == 320, "PFactoryInfo layout");
static_assert(offsetof(PFactoryInfo, flags) == 448, "PFactoryInfo layout");

struct PClassInfo {
  enum : int32 { kManyInstances = 0x7FFFFFFF };
  enum { kCategorySize = 32, kNameSize = 64 };

  uint8 cid[16]; // class ID in this target's byte order
  int32 cardinality;
  char8 category[kCategorySize]; // kVstAudioEffectClass or kVstComponentControllerClass
  char8 name[kNameSize];
};
static_assert(sizeof(PClassInfo) == 116 && alignof(PClassInfo) == 4, "PClassInfo layout");
static_assert(offsetof(PClassInfo, cid) == 0, "PClassInfo layout");
static_assert(offsetof(PClassInfo, cardinality) == 16, "PClassInfo layout");
static_assert(offsetof(PClassInfo, category) == 20, "PClassInfo layout");
static_assert(offsetof(PClassInfo, name) == 52, "PClassInfo layout");

struct PClassInfo2 {
  enum : uint32 { kDistributable = 1, kSimpleModeSupported = 2 }; // classFlags
  enum { kSubCategoriesSize = 128, kVendorSize = 64, kVersionSize = 64 };

  uint8 cid[16];
  int32 cardinality;
  char8 category[PClassInfo::kCategorySize];
  char8 name[PClassInfo::kNameSize];
  uint32 classFlags;
  char8 subCategories[kSubCategoriesSize]; // words joined by '|', e.g. "Instrument|Synth"
  char8 vendor[kVendorSize]; // overrides the factory's vendor
  char8 version[kVersionSize];
  char8 sdkVersion[kVersionSize]; // kSdkVersionString
};
static_assert(sizeof(PClassInfo2) == 440 && alignof(PClassInfo2) == 4, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, cid) == 0, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, cardinality) == 16, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, category) == 20, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, name) == 52, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, classFlags) == 116, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, subCategories) == 120, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, vendor) == 248, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, version) == 312, "PClassInfo2 layout");
static_assert(offsetof(PClassInfo2, sdkVersion) == 376, "PClassInfo2 layout");

// PClassInfo2 with UTF-16 names; category and subCategories stay 8-bit.
struct PClassInfoW {
  uint8 cid[16];
  int32 cardinality;
  char8 category[PClassInfo::kCategorySize];
  char16 name[PClassInfo::kNameSize];
  uint32 classFlags;
  char8 subCategories[PClassInfo2::kSubCategoriesSize];
  char16 vendor[PClassInfo2::kVendorSize];
  char16 version[PClassInfo2::kVersionSize];
  char16 sdkVersion[PClassInfo2::kVersionSize];
};
static_assert(sizeof(PClassInfoW) == 696 && alignof(PClassInfoW) == 4, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, cid) == 0, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, cardinality) == 16, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, category) == 20, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, name) == 52, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, classFlags) == 180, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, subCategories) == 184, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, vendor) == 312, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, version) == 440, "PClassInfoW layout");
static_assert(offsetof(PClassInfoW, sdkVersion) == 568, "PClassInfoW layout");

// Class categories, the interface version text and the sub-category words an
// instrument picks from (joined with '|', at most 127 characters).
inline constexpr char kVstAudioEffectClass[] = "Audio Module Class";
inline constexpr char kVstComponentControllerClass[] = "Component Controller Class";
inline constexpr char kSdkVersionString[] = "VST 3.7.14";
namespace PlugType {
inline constexpr char kInstrument[] = "Instrument";
inline constexpr char kInstrumentSynth[] = "Instrument|Synth";
inline constexpr char kFx[] = "Fx";
inline constexpr char kFxInstrument[] = "Fx|Instrument";
inline constexpr char kFxGenerator[] = "Fx|Generator";
inline constexpr char kGenerator[] = "Generator"; // output without audio input
inline constexpr char kStereo[] = "Stereo";
} // namespace PlugType

struct IPluginFactory : FUnknown {
  static constexpr Uid kIid = MakeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
  virtual tresult TAV_VST3CALL getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 TAV_VST3CALL countClasses() = 0;
  virtual tresult TAV_VST3CALL getClassInfo(int32 index, PClassInfo* info) = 0;
  // cid and iid point at 16-byte IDs, not text. The new object comes with one
  // reference, owned by the caller.
  virtual tresult TAV_VST3CALL createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};

struct IPluginFactory2 : IPluginFactory {
  static constexpr Uid kIid = MakeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
  virtual tresult TAV_VST3CALL getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

struct IPluginFactory3 : IPluginFactory2 {
  static constexpr Uid kIid = MakeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
  virtual tresult TAV_VST3CALL getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  // On Linux the context may offer IRunLoop.
  virtual tresult TAV_VST3CALL setHostContext(FUnknown* context) = 0;
};

// The module's C entry points. GetPluginFactory on every platform (each call hands
// out one reference); ModuleEntry(dlopen handle) and ModuleExit on Linux, where
// hosts require them; InitDll and ExitDll optionally on Windows. A false return
// from an entry function aborts the load.
using GetPluginFactoryProc = IPluginFactory*(TAV_VST3CALL*)();
using ModuleEntryProc = bool (*)(void* sharedLibraryHandle);
using ModuleExitProc = bool (*)();
using InitDllProc = bool(TAV_VST3CALL*)();
using ExitDllProc = bool(TAV_VST3CALL*)();

// ---- host objects ----
struct IAttributeList : FUnknown {
  static constexpr Uid kIid = MakeUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
  virtual tresult TAV_VST3CALL setInt(AttrID id, int64 value) = 0;
  virtual tresult TAV_VST3CALL getInt(AttrID id, int64* value) = 0;
  virtual tresult TAV_VST3CALL setFloat(AttrID id, double value) = 0;
  virtual tresult TAV_VST3CALL getFloat(AttrID id, double* value) = 0;
  virtual tresult TAV_VST3CALL setString(AttrID id, const TChar* text) = 0; // zero-terminated
  virtual tresult TAV_VST3CALL getString(AttrID id, TChar* buffer, uint32 bufferBytes) = 0; // size in bytes
  virtual tresult TAV_VST3CALL setBinary(AttrID id, const void* data, uint32 bytes) = 0;
  virtual tresult TAV_VST3CALL getBinary(AttrID id, const void** data, uint32* bytes) = 0;
};

// A message between processor and controller; made by the host's createInstance
// with kIid as both class and interface ID.
struct IMessage : FUnknown {
  static constexpr Uid kIid = MakeUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
  virtual FIDString TAV_VST3CALL getMessageID() = 0;
  virtual void TAV_VST3CALL setMessageID(FIDString id) = 0;
  virtual IAttributeList* TAV_VST3CALL getAttributes() = 0; // borrowed
};

// Implemented by both halves of a split plug-in; the other side may be a host proxy.
struct IConnectionPoint : FUnknown {
  static constexpr Uid kIid = MakeUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
  virtual tresult TAV_VST3CALL connect(IConnectionPoint* other) = 0;
  virtual tresult TAV_VST3CALL disconnect(IConnectionPoint* other) = 0;
  virtual tresult TAV_VST3CALL notify(IMessage* message) = 0;
};

// Offered by the context given to initialize.
struct IHostApplication : FUnknown {
  static constexpr Uid kIid = MakeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
  virtual tresult TAV_VST3CALL getName(String128 name) = 0;
  // The object comes with one reference, owned by the caller.
  virtual tresult TAV_VST3CALL createInstance(const TUID cid, const TUID iid, void** obj) = 0;
};

// The stream state is read from and written to. read may deliver fewer bytes than
// asked; the count pointers may be null.
struct IBStream : FUnknown {
  static constexpr Uid kIid = MakeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  enum : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
  virtual tresult TAV_VST3CALL read(void* buffer, int32 bytes, int32* bytesRead) = 0;
  virtual tresult TAV_VST3CALL write(void* buffer, int32 bytes, int32* bytesWritten) = 0;
  virtual tresult TAV_VST3CALL seek(int64 position, int32 mode, int64* newPosition) = 0;
  virtual tresult TAV_VST3CALL tell(int64* position) = 0;
};

// Optionally answered by a stream: what is being saved or loaded (project, preset).
struct IStreamAttributes : FUnknown {
  static constexpr Uid kIid = MakeUid(0xD6CE2FFC, 0xEFAF4B8C, 0x9E74F1BB, 0x12DA44B4);
  virtual tresult TAV_VST3CALL getFileName(String128 name) = 0;
  virtual IAttributeList* TAV_VST3CALL getAttributes() = 0; // borrowed
};

} // namespace vst3
