#pragma once
// A small VST 2.4 host: loads a plug-in library by path the way a DAW does, creates
// the plug-in through its entry function, answers the host callback (version, time
// info from a transport the caller sets, identity strings, capabilities, the MIDI
// events the plug-in sends) and drives the plug-in: open, parameters, state chunks,
// MIDI input, processing blocks, close.
//
// It knows nothing of the plug-in's code: everything passes through the library's
// exported entry function and the descriptor it returns.
//
// Thread: one thread drives a VstHost; the render tool's main thread plays both the
// host's main and audio thread. The host callback runs on the thread the plug-in
// calls it from, which for this offline host is the driving thread, inside one of
// the calls below. No locks. Not real-time: the event list grows as needed.

#include "VstApi.h"

#include <cstdint>
#include <string>
#include <vector>

typedef AEffect*(TAV_VSTCALL* VstEntryProc)(audioMasterCallback host);

// A loaded shared library. The platform part lives in VstHost_posix.cpp
// (dlopen/dlsym) and VstHost_win32.cpp (LoadLibraryW/GetProcAddress).
// Thread: the thread that owns it.
class VstLibrary {
public:
  VstLibrary() = default;
  ~VstLibrary() { Close(); }
  VstLibrary(const VstLibrary&) = delete;
  VstLibrary& operator=(const VstLibrary&) = delete;

  // Loads the library at path (UTF-8). On failure returns false and says why in error.
  bool Open(const std::string& path, std::string& error);
  // Address of an exported name, null when the library does not export it.
  void* Symbol(const char* name) const;
  void Close();
  bool IsOpen() const { return mHandle != nullptr; }
  // The system's handle (dlopen's, or the HMODULE), for entry functions that want it.
  void* Handle() const { return mHandle; }

private:
  void* mHandle = nullptr;
};

// Full path of the running program (UTF-8), empty when the system does not say.
std::string VstExecutablePath();

// What the host reports as its transport. The caller changes it between blocks;
// Process moves samplePos on by the block length while playing.
struct VstTransport {
  double tempo = 120.0;
  int32_t sigNumerator = 4;
  int32_t sigDenominator = 4;
  double samplePos = 0.0;
  bool playing = true;
  // false: the host answers the time request with nothing, like a host without a transport.
  bool timeInfo = true;
};

// One MIDI event the plug-in sent to the host.
struct VstHostEvent {
  int64_t position = 0;    // absolute sample: start of the current block + deltaFrames
  int64_t block = 0;       // number of the process call it belongs to (the next one when sent outside)
  int32_t deltaFrames = 0; // as the plug-in gave it
  int32_t byteSize = 0;    // as the plug-in gave it
  uint8_t bytes[4] = {0, 0, 0, 0};
};

class VstHost {
public:
  VstHost() = default;
  ~VstHost() { Close(); }
  VstHost(const VstHost&) = delete;
  VstHost& operator=(const VstHost&) = delete;

  // Loads the library at path, finds "VSTPluginMain" (or else "main") and creates the
  // plug-in. False with a message (Error) for a bad path, a missing entry point or a
  // null or invalid descriptor.
  bool Load(const std::string& path);
  // Creates the plug-in through an entry function already at hand (no library).
  bool Start(VstEntryProc entry);
  // effOpen, sample rate, block size, then switches processing on. blockSize is the
  // most frames a later Process may pass.
  bool Open(double sampleRate, int blockSize);
  // Switches processing off, closes the plug-in (which deletes itself) and unloads
  // the library. Safe to call at any time.
  void Close();

  const std::string& Error() const { return mError; }
  AEffect* Effect() const { return mEffect; }
  bool IsOpen() const { return mOpen; }
  double SampleRate() const { return mSampleRate; }
  int BlockSize() const { return mBlockSize; }

  // Raw dispatcher call; 0 without a plug-in.
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);

  std::string EffectName();
  std::string VendorString();
  std::string ProductString();
  intptr_t CanDo(const char* capability);

  int NumParams() const { return mEffect ? mEffect->numParams : 0; }
  std::string ParamName(int index);    // effGetParamName
  std::string ParamDisplay(int index); // effGetParamDisplay
  std::string ParamLabel(int index);   // effGetParamLabel
  // First announced parameter with exactly this name, -1 when none.
  int FindParam(const std::string& name);
  // Normalised 0..1 host value; false for an index outside the announced ones.
  bool SetParam(int index, float normalised);
  bool SetParam(const std::string& name, float normalised);
  float GetParam(int index);

  // State chunk (bank or program) as the plug-in hands it over; false when it gives none.
  bool GetChunk(std::vector<uint8_t>& out, bool bank = true);
  // True when the plug-in accepts the chunk.
  bool SetChunk(const std::vector<uint8_t>& data, bool bank = true);

  // One short MIDI message to the plug-in (effProcessEvents), delta frames into the
  // next block. False without an open plug-in.
  bool SendMidi(uint8_t status, uint8_t data1, uint8_t data2, int32_t deltaFrames = 0);

  VstTransport& Transport() { return mTransport; }
  // Audio input channel (block-size samples) for the next Process; silent unless the
  // caller writes into it. Null for a channel the plug-in does not have.
  float* Input(int channel);
  // Runs one processReplacing call of nFrames (1..block size) at the transport's
  // position on the input buffers and cleared outputs, collecting the MIDI the
  // plug-in sends; then moves the position on if the transport plays.
  bool Process(int nFrames);
  int64_t BlocksProcessed() const { return mBlocks; }

  const std::vector<VstHostEvent>& Events() const { return mEvents; }
  void ClearEvents() { mEvents.clear(); }
  // Non-MIDI events the plug-in sent (counted, not kept).
  int64_t OtherEvents() const { return mOtherEvents; }
  // How often the plug-in called the host with an opcode (0..127; others are not counted).
  int64_t CallbackCount(int32_t opcode) const;

  // What the host tells the plug-in about itself.
  void SetHostIdentity(const std::string& vendor, const std::string& product, int32_t version);

private:
  static intptr_t TAV_VSTCALL HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                           void* ptr, float opt);
  intptr_t OnCallback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t TimeInfo();
  void TakeEvents(const VstEvents* events);
  std::string QueryText(int32_t opcode, int32_t index);
  bool Create(VstEntryProc entry, const std::string& label);
  bool Fail(const std::string& message);
  void Unload();

  static constexpr int CALLBACK_OPCODES = 128;

  VstLibrary mLibrary;
  std::string mPath;
  AEffect* mEffect = nullptr;
  bool mOpen = false;
  bool mResumed = false;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  VstTransport mTransport;
  VstTimeInfo mTimeInfo{};
  bool mTransportChanged = true;
  bool mLastPlaying = false;
  double mExpectedPos = -1.0;
  int64_t mBlockStart = 0;
  bool mInProcess = false;
  std::vector<std::vector<float>> mInputs;
  std::vector<std::vector<float>> mOutputs;
  std::vector<float*> mInputPtrs;
  std::vector<float*> mOutputPtrs;
  std::vector<VstHostEvent> mEvents;
  int64_t mOtherEvents = 0;
  int64_t mBlocks = 0;
  int64_t mCallbackCounts[CALLBACK_OPCODES] = {};
  std::string mError;
  std::string mHostVendor = "Quellbrook";
  std::string mHostProduct = "Tavrinel Render";
  int32_t mHostVersion = 10000;
};
