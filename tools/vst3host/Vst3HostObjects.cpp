#include "Vst3HostObjects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace vst3;

namespace {

std::atomic<int> gLiveObjects{0};

bool Utf8Continuation(const std::string& s, size_t i) { return i < s.size() && (uint8_t(s[i]) & 0xC0) == 0x80; }

} // namespace

int Vst3LiveHostObjects() { return gLiveObjects.load(); }

std::string Vst3Utf8(const char16* text, size_t units)
{
  std::string out;
  for (size_t i = 0; text && i < units && text[i]; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD; // a lone surrogate
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void Vst3CopyUtf16(const std::string& text, char16* out, size_t units)
{
  if (!out || units == 0) return;
  size_t n = 0;
  for (size_t i = 0; i < text.size();) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    const int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    uint32_t c = extra < 0 ? 0xFFFD : extra == 0 ? b : b & (0x3F >> extra);
    size_t next = i + 1;
    for (int k = 0; k < extra; ++k, ++next) {
      if (!Utf8Continuation(text, next)) {
        c = 0xFFFD;
        break;
      }
      c = c << 6 | (uint8_t(text[next]) & 0x3F);
    }
    i = next;
    const size_t need = c >= 0x10000 ? 2 : 1;
    if (n + need >= units) break;
    if (need == 2) {
      out[n++] = static_cast<char16>(0xD800 + ((c - 0x10000) >> 10));
      out[n++] = static_cast<char16>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out[n++] = static_cast<char16>(c);
    }
  }
  out[n] = 0;
}

// ---- counting ----
Vst3Counted::Vst3Counted() { ++gLiveObjects; }
Vst3Counted::~Vst3Counted() { --gLiveObjects; }

uint32 Vst3Counted::DropReference()
{
  const uint32 left = --mRefs;
  if (left == 0) delete this;
  return left;
}

// ---- stream ----
tresult Vst3Stream::read(void* buffer, int32 bytes, int32* bytesRead)
{
  if (bytesRead) *bytesRead = 0;
  if (bytes < 0 || (!buffer && bytes > 0)) return kInvalidArgument;
  const int64 size = static_cast<int64>(mBytes.size());
  const int64 n = mPosition >= size ? 0 : std::min<int64>(bytes, size - mPosition);
  if (n > 0) std::memcpy(buffer, mBytes.data() + mPosition, static_cast<size_t>(n));
  mPosition += n;
  if (bytesRead) *bytesRead = static_cast<int32>(n);
  return kResultOk;
}

tresult Vst3Stream::write(void* buffer, int32 bytes, int32* bytesWritten)
{
  if (bytesWritten) *bytesWritten = 0;
  if (bytes < 0 || (!buffer && bytes > 0)) return kInvalidArgument;
  if (mPosition + bytes > kMaxSize) return kOutOfMemory;
  const size_t end = static_cast<size_t>(mPosition + bytes);
  if (end > mBytes.size()) mBytes.resize(end, 0); // also fills a gap left by a seek past the end
  if (bytes > 0) std::memcpy(mBytes.data() + mPosition, buffer, static_cast<size_t>(bytes));
  mPosition += bytes;
  if (bytesWritten) *bytesWritten = bytes;
  return kResultOk;
}

tresult Vst3Stream::seek(int64 position, int32 mode, int64* newPosition)
{
  int64 base;
  switch (mode) {
  case kIBSeekSet: base = 0; break;
  case kIBSeekCur: base = mPosition; break;
  case kIBSeekEnd: base = static_cast<int64>(mBytes.size()); break;
  default: return kInvalidArgument;
  }
  // base lies in 0..kMaxSize, so only a position outside that range can overflow.
  const bool inRange = position >= -kMaxSize && position <= kMaxSize && base + position >= 0 &&
                       base + position <= kMaxSize;
  if (inRange) mPosition = base + position;
  if (newPosition) *newPosition = mPosition;
  return inRange ? kResultOk : kInvalidArgument;
}

tresult Vst3Stream::tell(int64* position)
{
  if (!position) return kInvalidArgument;
  *position = mPosition;
  return kResultOk;
}

// ---- events ----
Vst3EventList::Vst3EventList(int32 capacity) : mEvents(static_cast<size_t>(std::max(capacity, 0))) {}

tresult Vst3EventList::getEvent(int32 index, Event* e)
{
  if (!e || index < 0 || static_cast<size_t>(index) >= mCount) return kInvalidArgument;
  *e = mEvents[static_cast<size_t>(index)];
  return kResultOk;
}

tresult Vst3EventList::addEvent(Event* e)
{
  if (!e) return kInvalidArgument;
  if (mCount == mEvents.size()) {
    ++mRefused;
    return kResultFalse;
  }
  mEvents[mCount++] = *e;
  return kResultOk;
}

bool Vst3EventList::AddMidi(int32 sampleOffset, uint8_t status, uint8_t data1, uint8_t data2)
{
  const int kind = status & 0xF0;
  if ((kind != 0x80 && kind != 0x90) || sampleOffset < 0 || mCount == mEvents.size()) return false;
  Event e{};
  e.sampleOffset = sampleOffset;
  const auto channel = static_cast<int16>(status & 0x0F);
  const auto pitch = static_cast<int16>(data1 & 0x7F);
  const float velocity = static_cast<float>(data2 & 0x7F) / 127.0f;
  if (kind == 0x90 && velocity > 0.0f) {
    e.type = Event::kNoteOnEvent;
    e.noteOn = NoteOnEvent{channel, pitch, 0.0f, velocity, 0, -1};
  } else {
    e.type = Event::kNoteOffEvent;
    e.noteOff = NoteOffEvent{channel, pitch, kind == 0x80 ? velocity : 0.0f, -1, 0.0f};
  }
  // After every event at the same offset or earlier.
  size_t at = mCount;
  while (at > 0 && mEvents[at - 1].sampleOffset > sampleOffset) --at;
  std::copy_backward(mEvents.begin() + static_cast<std::ptrdiff_t>(at),
                     mEvents.begin() + static_cast<std::ptrdiff_t>(mCount),
                     mEvents.begin() + static_cast<std::ptrdiff_t>(mCount + 1));
  mEvents[at] = e;
  ++mCount;
  return true;
}

// ---- parameter changes ----
Vst3ParamQueue::Vst3ParamQueue(ParamID id, int32 capacity)
  : mId(id), mPoints(static_cast<size_t>(std::max(capacity, 0)))
{
}

tresult Vst3ParamQueue::getPoint(int32 index, int32* sampleOffset, ParamValue* value)
{
  if (!sampleOffset || !value || index < 0 || static_cast<size_t>(index) >= mCount) return kInvalidArgument;
  *sampleOffset = mPoints[static_cast<size_t>(index)].offset;
  *value = mPoints[static_cast<size_t>(index)].value;
  return kResultOk;
}

tresult Vst3ParamQueue::addPoint(int32 sampleOffset, ParamValue value, int32* index)
{
  if (sampleOffset < 0 || !(value >= 0.0 && value <= 1.0)) return kInvalidArgument;
  size_t at = mCount;
  while (at > 0 && mPoints[at - 1].offset > sampleOffset) --at;
  if (at > 0 && mPoints[at - 1].offset == sampleOffset) {
    mPoints[at - 1].value = value;
    if (index) *index = static_cast<int32>(at - 1);
    return kResultOk;
  }
  if (mCount == mPoints.size()) return kResultFalse;
  std::copy_backward(mPoints.begin() + static_cast<std::ptrdiff_t>(at),
                     mPoints.begin() + static_cast<std::ptrdiff_t>(mCount),
                     mPoints.begin() + static_cast<std::ptrdiff_t>(mCount + 1));
  mPoints[at] = Point{sampleOffset, value};
  ++mCount;
  if (index) *index = static_cast<int32>(at);
  return kResultOk;
}

Vst3ParamChanges::Vst3ParamChanges(int32 maxParams, int32 pointsPerParam)
{
  for (int32 i = 0; i < maxParams; ++i) mQueues.push_back(new Vst3ParamQueue(kNoParamId, pointsPerParam));
}

Vst3ParamChanges::~Vst3ParamChanges()
{
  for (Vst3ParamQueue* q : mQueues) q->release();
}

IParamValueQueue* Vst3ParamChanges::getParameterData(int32 index)
{
  if (index < 0 || static_cast<size_t>(index) >= mCount) return nullptr;
  return mQueues[static_cast<size_t>(index)];
}

IParamValueQueue* Vst3ParamChanges::addParameterData(const ParamID* id, int32* index)
{
  if (!id) return nullptr;
  size_t at = 0;
  while (at < mCount && mQueues[at]->getParameterId() != *id) ++at;
  if (at == mCount) {
    if (mCount == mQueues.size()) return nullptr;
    mQueues[mCount++]->Reset(*id);
  }
  if (index) *index = static_cast<int32>(at);
  return mQueues[at];
}

// ---- attributes and messages ----
Vst3AttributeList::Value* Vst3AttributeList::Find(AttrID id, Kind kind)
{
  if (!id) return nullptr;
  auto it = mValues.find(id);
  return it != mValues.end() && it->second.kind == kind ? &it->second : nullptr;
}

tresult Vst3AttributeList::setInt(AttrID id, int64 value)
{
  if (!id) return kInvalidArgument;
  mValues[id] = Value{Kind::kInt, value, 0.0, {}, {}};
  return kResultOk;
}

tresult Vst3AttributeList::getInt(AttrID id, int64* value)
{
  const Value* v = Find(id, Kind::kInt);
  if (!v || !value) return kResultFalse;
  *value = v->i;
  return kResultOk;
}

tresult Vst3AttributeList::setFloat(AttrID id, double value)
{
  if (!id) return kInvalidArgument;
  mValues[id] = Value{Kind::kFloat, 0, value, {}, {}};
  return kResultOk;
}

tresult Vst3AttributeList::getFloat(AttrID id, double* value)
{
  const Value* v = Find(id, Kind::kFloat);
  if (!v || !value) return kResultFalse;
  *value = v->f;
  return kResultOk;
}

tresult Vst3AttributeList::setString(AttrID id, const TChar* text)
{
  if (!id || !text) return kInvalidArgument;
  mValues[id] = Value{Kind::kString, 0, 0.0, text, {}};
  return kResultOk;
}

tresult Vst3AttributeList::getString(AttrID id, TChar* buffer, uint32 bufferBytes)
{
  const Value* v = Find(id, Kind::kString);
  const size_t units = bufferBytes / sizeof(TChar);
  if (!v || !buffer || units == 0) return kResultFalse;
  const size_t n = std::min(v->text.size(), units - 1);
  std::copy(v->text.begin(), v->text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
  buffer[n] = 0;
  return kResultOk;
}

tresult Vst3AttributeList::setBinary(AttrID id, const void* data, uint32 bytes)
{
  if (!id || (!data && bytes > 0)) return kInvalidArgument;
  const auto* p = static_cast<const uint8_t*>(data);
  mValues[id] = Value{Kind::kBinary, 0, 0.0, {}, std::vector<uint8_t>(p, p + bytes)};
  return kResultOk;
}

tresult Vst3AttributeList::getBinary(AttrID id, const void** data, uint32* bytes)
{
  const Value* v = Find(id, Kind::kBinary);
  if (!v || !data || !bytes) return kResultFalse;
  *data = v->bytes.data();
  *bytes = static_cast<uint32>(v->bytes.size());
  return kResultOk;
}

Vst3Message::Vst3Message() : mAttributes(new Vst3AttributeList) {}
Vst3Message::~Vst3Message() { mAttributes->release(); }

// ---- the host context ----
tresult Vst3HostContext::getName(String128 name)
{
  if (!name) return kInvalidArgument;
  Vst3CopyUtf16(mName, name, 128);
  return kResultOk;
}

tresult Vst3HostContext::createInstance(const TUID cid, const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  FUnknown* made = nullptr;
  if (SameUid(cid, IMessage::kIid))
    made = static_cast<IMessage*>(new Vst3Message);
  else if (SameUid(cid, IAttributeList::kIid))
    made = static_cast<IAttributeList*>(new Vst3AttributeList);
  if (!made) return kNoInterface;
  // The caller's reference comes from queryInterface; the one of creation goes.
  const tresult result = made->queryInterface(iid, obj);
  made->release();
  return result;
}

// ---- the component handler ----
tresult Vst3ComponentHandler::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (SameUid(iid, IComponentHandler::kIid) || SameUid(iid, FUnknown::kIid))
    *obj = static_cast<IComponentHandler*>(this);
  else if (SameUid(iid, IComponentHandler2::kIid))
    *obj = static_cast<IComponentHandler2*>(this);
  if (!*obj) return kNoInterface;
  AddReference();
  return kResultOk;
}

tresult Vst3ComponentHandler::Record(Vst3HandlerCall::Kind kind, ParamID id, double value, int32 flags)
{
  Vst3HandlerCall call;
  call.kind = kind;
  call.id = id;
  call.value = value;
  call.flags = flags;
  mCalls.push_back(call);
  return kResultOk;
}

tresult Vst3ComponentHandler::beginEdit(ParamID id) { return Record(Vst3HandlerCall::kBeginEdit, id); }
tresult Vst3ComponentHandler::performEdit(ParamID id, ParamValue v)
{
  return Record(Vst3HandlerCall::kPerformEdit, id, v);
}
tresult Vst3ComponentHandler::endEdit(ParamID id) { return Record(Vst3HandlerCall::kEndEdit, id); }
tresult Vst3ComponentHandler::restartComponent(int32 flags)
{
  return Record(Vst3HandlerCall::kRestart, kNoParamId, 0.0, flags);
}
tresult Vst3ComponentHandler::setDirty(TBool state)
{
  return Record(Vst3HandlerCall::kSetDirty, kNoParamId, state ? 1.0 : 0.0);
}
tresult Vst3ComponentHandler::requestOpenEditor(FIDString) { return Record(Vst3HandlerCall::kOpenEditor); }
tresult Vst3ComponentHandler::startGroupEdit() { return Record(Vst3HandlerCall::kStartGroup); }
tresult Vst3ComponentHandler::finishGroupEdit() { return Record(Vst3HandlerCall::kFinishGroup); }

// ---- the connection proxy ----
Vst3ConnectionProxy::Vst3ConnectionProxy(IConnectionPoint* target) : mTarget(target)
{
  if (mTarget) mTarget->addRef();
}

tresult Vst3ConnectionProxy::notify(IMessage* message)
{
  if (!mTarget || !message) return kResultFalse;
  ++mForwarded;
  return mTarget->notify(message);
}

void Vst3ConnectionProxy::Cut()
{
  IConnectionPoint* target = mTarget;
  mTarget = nullptr;
  if (target) target->release();
}
