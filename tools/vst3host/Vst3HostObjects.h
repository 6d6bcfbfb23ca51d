#pragma once
// The objects a VST3 host hands to a plug-in: a stream on a byte vector (state),
// event lists (notes in and out of process), parameter change queues, messages
// and attribute lists (made through the host context for a split plug-in's two
// halves), the host context itself, the component handler (it records every call
// the controller makes, for tests) and the connection-point proxy that joins the
// two halves the way DAWs do, so neither half ever sees the other's own object.
//
// Each is reference-counted as the interface wants: created at count 1 for its
// creator, queryInterface answers the object's interfaces and FUnknown, nothing
// else, and adds a reference; release frees it at 0. Vst3LiveHostObjects() counts
// the objects alive, so a test can see that a plug-in released all it was given.
//
// Thread: counts are atomic; the rest belongs to the thread driving the host (the
// offline host plays both UI and audio thread). What process uses (event lists,
// parameter changes) has a fixed capacity chosen at construction and never
// allocates afterwards.

#include "Vst3Api.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Host objects alive in this process.
int Vst3LiveHostObjects();

// UTF-16 text of at most `units` code units (stopping at a terminator) as UTF-8.
std::string Vst3Utf8(const vst3::char16* text, size_t units);
// UTF-8 text into a UTF-16 buffer of `units` code units, cut short and terminated.
void Vst3CopyUtf16(const std::string& text, vst3::char16* out, size_t units);

// Reference count and live count of every host object.
class Vst3Counted {
public:
  Vst3Counted(const Vst3Counted&) = delete;
  Vst3Counted& operator=(const Vst3Counted&) = delete;
  vst3::uint32 RefCount() const { return mRefs.load(); }

protected:
  Vst3Counted();
  virtual ~Vst3Counted();
  vst3::uint32 AddReference() { return ++mRefs; }
  vst3::uint32 DropReference();

private:
  std::atomic<vst3::uint32> mRefs{1};
};

// A host object with one interface (whose base is FUnknown).
template <class Interface>
class Vst3Object : public Interface, public Vst3Counted {
public:
  vst3::tresult TAV_VST3CALL queryInterface(const vst3::TUID iid, void** obj) override
  {
    if (!obj) return vst3::kInvalidArgument;
    if (vst3::SameUid(iid, Interface::kIid) || vst3::SameUid(iid, vst3::FUnknown::kIid)) {
      *obj = static_cast<Interface*>(this);
      AddReference();
      return vst3::kResultOk;
    }
    *obj = nullptr;
    return vst3::kNoInterface;
  }
  vst3::uint32 TAV_VST3CALL addRef() override { return AddReference(); }
  vst3::uint32 TAV_VST3CALL release() override { return DropReference(); }
};

// One owned reference to an interface, released when replaced or destroyed.
template <class T>
class Vst3Ref {
public:
  Vst3Ref() = default;
  explicit Vst3Ref(T* owned) : mPtr(owned) {}
  ~Vst3Ref() { Reset(); }
  Vst3Ref(const Vst3Ref&) = delete;
  Vst3Ref& operator=(const Vst3Ref&) = delete;

  T* Get() const { return mPtr; }
  T* operator->() const { return mPtr; }
  explicit operator bool() const { return mPtr != nullptr; }
  void Reset(T* owned = nullptr)
  {
    T* old = mPtr;
    mPtr = owned;
    if (old) old->release();
  }
  // For an out parameter that hands over a reference (createInstance, queryInterface).
  void** Out()
  {
    Reset();
    return reinterpret_cast<void**>(&mPtr);
  }

private:
  T* mPtr = nullptr;
};

// The interface I of obj, with its own reference; null when obj has none.
template <class I>
I* Vst3Query(vst3::FUnknown* obj)
{
  void* found = nullptr;
  if (!obj || obj->queryInterface(I::kIid.bytes, &found) != vst3::kResultOk) return nullptr;
  return static_cast<I*>(found);
}

// A stream on a byte vector. Reads stop at the end and say how much they gave;
// a seek may go past the end (a write there fills the gap with zeros, a read there
// gives nothing); nothing moves below 0 or beyond kMaxSize.
class Vst3Stream final : public Vst3Object<vst3::IBStream> {
public:
  static constexpr vst3::int64 kMaxSize = vst3::int64(1) << 30;

  explicit Vst3Stream(std::vector<uint8_t> bytes = {}) : mBytes(std::move(bytes)) {}

  vst3::tresult TAV_VST3CALL read(void* buffer, vst3::int32 bytes, vst3::int32* bytesRead) override;
  vst3::tresult TAV_VST3CALL write(void* buffer, vst3::int32 bytes, vst3::int32* bytesWritten) override;
  vst3::tresult TAV_VST3CALL seek(vst3::int64 position, vst3::int32 mode, vst3::int64* newPosition) override;
  vst3::tresult TAV_VST3CALL tell(vst3::int64* position) override;

  const std::vector<uint8_t>& Bytes() const { return mBytes; }
  vst3::int64 Position() const { return mPosition; }
  void Rewind() { mPosition = 0; }

private:
  ~Vst3Stream() override = default;
  std::vector<uint8_t> mBytes;
  vst3::int64 mPosition = 0;
};

// Events of one process call. The host's input list keeps events in sample-offset
// order (equal offsets in the order added); an output list keeps the plug-in's
// order. Room for `capacity` events; addEvent beyond it is refused and counted.
class Vst3EventList final : public Vst3Object<vst3::IEventList> {
public:
  explicit Vst3EventList(vst3::int32 capacity);

  vst3::int32 TAV_VST3CALL getEventCount() override { return static_cast<vst3::int32>(mCount); }
  vst3::tresult TAV_VST3CALL getEvent(vst3::int32 index, vst3::Event* e) override;
  vst3::tresult TAV_VST3CALL addEvent(vst3::Event* e) override;

  // A note-on or note-off from MIDI bytes (a note-on of velocity 0 is a note-off),
  // placed by its offset. Other messages are no events in VST3: false.
  bool AddMidi(vst3::int32 sampleOffset, uint8_t status, uint8_t data1, uint8_t data2);
  const vst3::Event& At(vst3::int32 index) const { return mEvents[static_cast<size_t>(index)]; }
  void Clear() { mCount = 0; }
  int64_t Refused() const { return mRefused; }

private:
  ~Vst3EventList() override = default;
  std::vector<vst3::Event> mEvents; // capacity slots, mCount in use
  size_t mCount = 0;
  int64_t mRefused = 0;
};

// The points of one parameter in one block, in sample-offset order; a point at an
// offset already held replaces its value. Room for `capacity` points.
class Vst3ParamQueue final : public Vst3Object<vst3::IParamValueQueue> {
public:
  Vst3ParamQueue(vst3::ParamID id, vst3::int32 capacity);

  vst3::ParamID TAV_VST3CALL getParameterId() override { return mId; }
  vst3::int32 TAV_VST3CALL getPointCount() override { return static_cast<vst3::int32>(mCount); }
  vst3::tresult TAV_VST3CALL getPoint(vst3::int32 index, vst3::int32* sampleOffset, vst3::ParamValue* value) override;
  vst3::tresult TAV_VST3CALL addPoint(vst3::int32 sampleOffset, vst3::ParamValue value, vst3::int32* index) override;

  void Reset(vst3::ParamID id)
  {
    mId = id;
    mCount = 0;
  }

private:
  ~Vst3ParamQueue() override = default;
  struct Point {
    vst3::int32 offset;
    vst3::ParamValue value;
  };
  vst3::ParamID mId;
  std::vector<Point> mPoints; // capacity slots, mCount in use
  size_t mCount = 0;
};

// One queue per parameter changed in a block, at most `maxParams`, each with room
// for `pointsPerParam` points. The queues handed out are borrowed: they live as
// long as this object.
class Vst3ParamChanges final : public Vst3Object<vst3::IParameterChanges> {
public:
  Vst3ParamChanges(vst3::int32 maxParams, vst3::int32 pointsPerParam);

  vst3::int32 TAV_VST3CALL getParameterCount() override { return static_cast<vst3::int32>(mCount); }
  vst3::IParamValueQueue* TAV_VST3CALL getParameterData(vst3::int32 index) override;
  vst3::IParamValueQueue* TAV_VST3CALL addParameterData(const vst3::ParamID* id, vst3::int32* index) override;

  void Clear() { mCount = 0; }

private:
  ~Vst3ParamChanges() override;
  std::vector<Vst3ParamQueue*> mQueues; // one reference each
  size_t mCount = 0;
};

// Keys to integers, floats, UTF-16 text or bytes. A value read back as another
// kind is refused; a binary value stays where getBinary shows it until the key is
// set again or the list dies.
class Vst3AttributeList final : public Vst3Object<vst3::IAttributeList> {
public:
  Vst3AttributeList() = default;
  vst3::tresult TAV_VST3CALL setInt(vst3::AttrID id, vst3::int64 value) override;
  vst3::tresult TAV_VST3CALL getInt(vst3::AttrID id, vst3::int64* value) override;
  vst3::tresult TAV_VST3CALL setFloat(vst3::AttrID id, double value) override;
  vst3::tresult TAV_VST3CALL getFloat(vst3::AttrID id, double* value) override;
  vst3::tresult TAV_VST3CALL setString(vst3::AttrID id, const vst3::TChar* text) override;
  vst3::tresult TAV_VST3CALL getString(vst3::AttrID id, vst3::TChar* buffer, vst3::uint32 bufferBytes) override;
  vst3::tresult TAV_VST3CALL setBinary(vst3::AttrID id, const void* data, vst3::uint32 bytes) override;
  vst3::tresult TAV_VST3CALL getBinary(vst3::AttrID id, const void** data, vst3::uint32* bytes) override;

private:
  ~Vst3AttributeList() override = default;
  enum class Kind { kInt, kFloat, kString, kBinary };
  struct Value {
    Kind kind;
    vst3::int64 i = 0;
    double f = 0.0;
    std::u16string text;
    std::vector<uint8_t> bytes;
  };
  Value* Find(vst3::AttrID id, Kind kind);
  std::map<std::string, Value> mValues;
};

class Vst3Message final : public Vst3Object<vst3::IMessage> {
public:
  Vst3Message();
  vst3::FIDString TAV_VST3CALL getMessageID() override { return mId.c_str(); }
  void TAV_VST3CALL setMessageID(vst3::FIDString id) override { mId = id ? id : ""; }
  vst3::IAttributeList* TAV_VST3CALL getAttributes() override { return mAttributes; }

private:
  ~Vst3Message() override;
  std::string mId;
  Vst3AttributeList* mAttributes; // one reference
};

// What initialize receives: the host's name, and messages and attribute lists
// made on request.
class Vst3HostContext final : public Vst3Object<vst3::IHostApplication> {
public:
  explicit Vst3HostContext(std::string name) : mName(std::move(name)) {}
  vst3::tresult TAV_VST3CALL getName(vst3::String128 name) override;
  vst3::tresult TAV_VST3CALL createInstance(const vst3::TUID cid, const vst3::TUID iid, void** obj) override;

private:
  ~Vst3HostContext() override = default;
  std::string mName;
};

// A call the controller made to the host's component handler.
struct Vst3HandlerCall {
  enum Kind { kBeginEdit, kPerformEdit, kEndEdit, kRestart, kSetDirty, kOpenEditor, kStartGroup, kFinishGroup };
  Kind kind = kBeginEdit;
  vst3::ParamID id = vst3::kNoParamId; // edits
  double value = 0.0;                  // performEdit's value; setDirty's state
  vst3::int32 flags = 0;               // restartComponent's flags
};

// Answers every call OK and records it. Offers IComponentHandler and
// IComponentHandler2 (setDirty, group edits).
class Vst3ComponentHandler final : public vst3::IComponentHandler,
                                   public vst3::IComponentHandler2,
                                   public Vst3Counted {
public:
  Vst3ComponentHandler() = default;
  vst3::tresult TAV_VST3CALL queryInterface(const vst3::TUID iid, void** obj) override;
  vst3::uint32 TAV_VST3CALL addRef() override { return AddReference(); }
  vst3::uint32 TAV_VST3CALL release() override { return DropReference(); }

  vst3::tresult TAV_VST3CALL beginEdit(vst3::ParamID id) override;
  vst3::tresult TAV_VST3CALL performEdit(vst3::ParamID id, vst3::ParamValue normalized) override;
  vst3::tresult TAV_VST3CALL endEdit(vst3::ParamID id) override;
  vst3::tresult TAV_VST3CALL restartComponent(vst3::int32 flags) override;
  vst3::tresult TAV_VST3CALL setDirty(vst3::TBool state) override;
  vst3::tresult TAV_VST3CALL requestOpenEditor(vst3::FIDString name) override;
  vst3::tresult TAV_VST3CALL startGroupEdit() override;
  vst3::tresult TAV_VST3CALL finishGroupEdit() override;

  const std::vector<Vst3HandlerCall>& Calls() const { return mCalls; }
  void ClearCalls() { mCalls.clear(); }

private:
  ~Vst3ComponentHandler() override = default;
  vst3::tresult Record(Vst3HandlerCall::Kind kind, vst3::ParamID id = vst3::kNoParamId, double value = 0.0,
                       vst3::int32 flags = 0);
  std::vector<Vst3HandlerCall> mCalls;
};

// The host's stand-in for one half of a split plug-in, given to the other half's
// connect: messages sent to it go on to the half it stands for until Cut.
class Vst3ConnectionProxy final : public Vst3Object<vst3::IConnectionPoint> {
public:
  explicit Vst3ConnectionProxy(vst3::IConnectionPoint* target); // adds a reference
  // Only the host joins and separates the halves; a plug-in cannot through a proxy.
  vst3::tresult TAV_VST3CALL connect(vst3::IConnectionPoint*) override { return vst3::kResultFalse; }
  vst3::tresult TAV_VST3CALL disconnect(vst3::IConnectionPoint*) override { return vst3::kResultFalse; }
  vst3::tresult TAV_VST3CALL notify(vst3::IMessage* message) override;

  // Drops the target: later messages go nowhere.
  void Cut();
  int64_t Forwarded() const { return mForwarded; }

private:
  ~Vst3ConnectionProxy() override { Cut(); }
  vst3::IConnectionPoint* mTarget;
  int64_t mForwarded = 0;
};
