// The objects the VST3 host hands to plug-ins, as a plug-in would misuse them:
// streams asked for anything, event lists and parameter queues filled out of
// order and past their room, IDs in the other platform's byte order, and the
// reference counts that decide when each object goes.
#include "Vst3HostObjects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace vst3;

namespace {

TEST(Vst3HostObjects, StreamReadsWritesAndSeeksWithinItsBounds)
{
  Vst3Ref<Vst3Stream> s(new Vst3Stream({1, 2, 3, 4, 5}));
  uint8_t buffer[8] = {};
  int32 n = -1;
  EXPECT_EQ(s->read(buffer, 3, &n), kResultOk);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(s->read(buffer, 8, &n), kResultOk); // only two left
  EXPECT_EQ(n, 2);
  EXPECT_EQ(buffer[1], 5);
  for (int32 bad : {-1, std::numeric_limits<int32>::min()}) {
    EXPECT_EQ(s->read(buffer, bad, &n), kInvalidArgument);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(s->write(buffer, bad, &n), kInvalidArgument);
  }
  EXPECT_EQ(s->read(nullptr, 1, &n), kInvalidArgument);
  EXPECT_EQ(s->write(nullptr, 1, &n), kInvalidArgument);

  int64 at = -1;
  EXPECT_EQ(s->seek(-6, IBStream::kIBSeekEnd, &at), kInvalidArgument); // before the start: stays
  EXPECT_EQ(at, 5);
  EXPECT_EQ(s->seek(std::numeric_limits<int64>::max(), IBStream::kIBSeekCur, &at), kInvalidArgument);
  EXPECT_EQ(s->seek(std::numeric_limits<int64>::min(), IBStream::kIBSeekCur, &at), kInvalidArgument);
  EXPECT_EQ(s->seek(0, 3, &at), kInvalidArgument);
  EXPECT_EQ(s->seek(Vst3Stream::kMaxSize + 1, IBStream::kIBSeekSet, &at), kInvalidArgument);
  // Past the end: a read gives nothing, a write fills the gap with zeros.
  EXPECT_EQ(s->seek(2, IBStream::kIBSeekEnd, &at), kResultOk);
  EXPECT_EQ(at, 7);
  EXPECT_EQ(s->read(buffer, 4, &n), kResultOk);
  EXPECT_EQ(n, 0);
  uint8_t nine = 9;
  EXPECT_EQ(s->write(&nine, 1, &n), kResultOk);
  EXPECT_EQ(s->Bytes(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0, 0, 9}));
  EXPECT_EQ(s->seek(-7, IBStream::kIBSeekCur, nullptr), kResultOk);
  EXPECT_EQ(s->write(&nine, 1, &n), kResultOk); // overwrites in place
  EXPECT_EQ(s->tell(&at), kResultOk);
  EXPECT_EQ(at, 2);
  EXPECT_EQ(s->Bytes()[1], 9);
  EXPECT_EQ(s->Bytes().size(), 8u);
  EXPECT_EQ(s->tell(nullptr), kInvalidArgument);
  EXPECT_EQ(s->seek(Vst3Stream::kMaxSize, IBStream::kIBSeekSet, nullptr), kResultOk);
  EXPECT_EQ(s->write(&nine, 1, &n), kOutOfMemory);
}

TEST(Vst3HostObjects, EventListsKeepOffsetOrderAndTheirRoom)
{
  Vst3Ref<Vst3EventList> list(new Vst3EventList(4));
  EXPECT_TRUE(list->AddMidi(9, 0x91, 60, 127));
  EXPECT_TRUE(list->AddMidi(2, 0x80, 61, 64));
  EXPECT_TRUE(list->AddMidi(9, 0x92, 62, 0)); // velocity 0: a note-off, after the other one at 9
  EXPECT_FALSE(list->AddMidi(0, 0xB0, 7, 100)); // controllers are parameters in VST3
  EXPECT_FALSE(list->AddMidi(-1, 0x90, 60, 1));
  ASSERT_EQ(list->getEventCount(), 3);
  Event e{};
  ASSERT_EQ(list->getEvent(0, &e), kResultOk);
  EXPECT_EQ(e.type, Event::kNoteOffEvent);
  EXPECT_EQ(e.noteOff.pitch, 61);
  EXPECT_FLOAT_EQ(e.noteOff.velocity, 64.0f / 127.0f);
  ASSERT_EQ(list->getEvent(1, &e), kResultOk);
  EXPECT_EQ(e.type, Event::kNoteOnEvent);
  EXPECT_EQ(e.noteOn.channel, 1);
  EXPECT_EQ(e.noteOn.velocity, 1.0f);
  EXPECT_EQ(e.noteOn.noteId, -1);
  ASSERT_EQ(list->getEvent(2, &e), kResultOk);
  EXPECT_EQ(e.type, Event::kNoteOffEvent);
  EXPECT_EQ(e.noteOff.channel, 2);
  EXPECT_EQ(list->getEvent(3, &e), kInvalidArgument);
  EXPECT_EQ(list->getEvent(-1, &e), kInvalidArgument);
  EXPECT_EQ(list->getEvent(0, nullptr), kInvalidArgument);

  // A plug-in's events stay in its order; past the room they are refused and counted.
  e.sampleOffset = 1;
  EXPECT_EQ(list->addEvent(&e), kResultOk);
  EXPECT_EQ(list->addEvent(&e), kResultFalse);
  EXPECT_FALSE(list->AddMidi(0, 0x90, 1, 1));
  EXPECT_EQ(list->addEvent(nullptr), kInvalidArgument);
  EXPECT_EQ(list->Refused(), 1);
  EXPECT_EQ(list->At(3).sampleOffset, 1);
  list->Clear();
  EXPECT_EQ(list->getEventCount(), 0);
}

TEST(Vst3HostObjects, ParameterQueuesSortPointsAndRefuseBadOnes)
{
  Vst3Ref<Vst3ParamChanges> changes(new Vst3ParamChanges(2, 3));
  const ParamID a = 7, b = 3, c = 9;
  int32 index = -1;
  IParamValueQueue* qa = changes->addParameterData(&a, &index);
  ASSERT_NE(qa, nullptr);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(changes->addParameterData(&b, &index)->getParameterId(), b);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(changes->addParameterData(&a, &index), qa); // one queue per parameter
  EXPECT_EQ(index, 0);
  EXPECT_EQ(changes->addParameterData(&c, &index), nullptr); // no room for a third
  EXPECT_EQ(changes->addParameterData(nullptr, &index), nullptr);
  EXPECT_EQ(changes->getParameterCount(), 2);
  EXPECT_EQ(changes->getParameterData(2), nullptr);
  EXPECT_EQ(changes->getParameterData(-1), nullptr);

  EXPECT_EQ(qa->addPoint(40, 0.5, &index), kResultOk);
  EXPECT_EQ(qa->addPoint(10, 0.25, &index), kResultOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(qa->addPoint(40, 0.75, &index), kResultOk); // the same offset: a new value
  EXPECT_EQ(index, 1);
  EXPECT_EQ(qa->addPoint(-1, 0.5, nullptr), kInvalidArgument);
  EXPECT_EQ(qa->addPoint(5, 1.5, nullptr), kInvalidArgument);
  EXPECT_EQ(qa->addPoint(5, std::numeric_limits<double>::quiet_NaN(), nullptr), kInvalidArgument);
  EXPECT_EQ(qa->addPoint(20, 1.0, nullptr), kResultOk);
  EXPECT_EQ(qa->addPoint(30, 0.0, nullptr), kResultFalse); // room for three
  int32 offset = -1;
  double value = -1.0;
  const int32 expectOffsets[] = {10, 20, 40};
  const double expectValues[] = {0.25, 1.0, 0.75};
  ASSERT_EQ(qa->getPointCount(), 3);
  for (int32 i = 0; i < 3; ++i) {
    ASSERT_EQ(qa->getPoint(i, &offset, &value), kResultOk);
    EXPECT_EQ(offset, expectOffsets[i]);
    EXPECT_EQ(value, expectValues[i]);
  }
  EXPECT_EQ(qa->getPoint(3, &offset, &value), kInvalidArgument);
  EXPECT_EQ(qa->getPoint(0, nullptr, &value), kInvalidArgument);
  changes->Clear();
  EXPECT_EQ(changes->getParameterCount(), 0);
  EXPECT_EQ(changes->addParameterData(&c, &index)->getPointCount(), 0); // a reused queue starts empty
}

// The 16 bytes of an ID written as four words, in Linux's order (every word most
// significant byte first) or in Windows' (COM's GUID record on a little-endian machine).
Uid Laid(const uint32_t (&w)[4], bool windows)
{
  Uid id{};
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i) id.bytes[4 * k + i] = static_cast<char>(w[k] >> (24 - 8 * i));
  if (windows) {
    std::swap(id.bytes[0], id.bytes[3]);
    std::swap(id.bytes[1], id.bytes[2]);
    std::swap(id.bytes[4], id.bytes[5]);
    std::swap(id.bytes[6], id.bytes[7]);
  }
  return id;
}

TEST(Vst3HostObjects, AnswerTheirIdsInThisPlatformsByteOrderOnly)
{
#if defined(_WIN32)
  const bool windows = true;
#else
  const bool windows = false;
#endif
  const uint32_t stream[4] = {0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B};
  const uint32_t handler2[4] = {0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC};
  const uint32_t unknown[4] = {0x00000000, 0x00000000, 0xC0000000, 0x00000046};
  Vst3Ref<Vst3Stream> s(new Vst3Stream);
  Vst3Ref<Vst3ComponentHandler> h(new Vst3ComponentHandler);
  void* got = &got;
  EXPECT_EQ(s->queryInterface(Laid(stream, windows).bytes, &got), kResultOk);
  EXPECT_EQ(got, static_cast<IBStream*>(s.Get()));
  EXPECT_EQ(s->queryInterface(Laid(stream, !windows).bytes, &got), kNoInterface);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(h->queryInterface(Laid(handler2, windows).bytes, &got), kResultOk);
  EXPECT_EQ(got, static_cast<IComponentHandler2*>(h.Get()));
  EXPECT_EQ(h->queryInterface(Laid(handler2, !windows).bytes, &got), kNoInterface);
  // FUnknown's ID reads the same both ways.
  EXPECT_EQ(s->queryInterface(Laid(unknown, !windows).bytes, &got), kResultOk);
  EXPECT_EQ(s->RefCount(), 3u);
  s->release();
  s->release();
  EXPECT_EQ(h->release(), 1u);
}

TEST(Vst3HostObjects, ReferenceCountsDecideWhenEachObjectGoes)
{
  const int before = Vst3LiveHostObjects();
  auto* handler = new Vst3ComponentHandler;
  EXPECT_EQ(Vst3LiveHostObjects(), before + 1);
  void* second = nullptr;
  ASSERT_EQ(handler->queryInterface(IComponentHandler2::kIid.bytes, &second), kResultOk);
  auto* h2 = static_cast<IComponentHandler2*>(second);
  EXPECT_NE(second, static_cast<void*>(static_cast<IComponentHandler*>(handler))); // its own vtable
  EXPECT_EQ(h2->setDirty(1), kResultOk);
  EXPECT_EQ(handler->performEdit(4, 0.5), kResultOk);
  ASSERT_EQ(handler->Calls().size(), 2u);
  EXPECT_EQ(handler->Calls()[0].kind, Vst3HandlerCall::kSetDirty);
  EXPECT_EQ(handler->Calls()[1].value, 0.5);
  void* none = &none;
  EXPECT_EQ(handler->queryInterface(IEventList::kIid.bytes, &none), kNoInterface); // not in its chains
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(h2->addRef(), 3u);
  EXPECT_EQ(h2->release(), 2u);
  EXPECT_EQ(h2->release(), 1u);
  EXPECT_EQ(handler->release(), 0u);
  EXPECT_EQ(Vst3LiveHostObjects(), before);

  // The context makes messages on request; the message owns its attribute list.
  auto* context = new Vst3HostContext("Host");
  void* made = nullptr;
  EXPECT_EQ(context->createInstance(IMessage::kIid.bytes, IEventList::kIid.bytes, &made), kNoInterface);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(context->createInstance(IMessage::kIid.bytes, IMessage::kIid.bytes, &made), kResultOk);
  EXPECT_EQ(Vst3LiveHostObjects(), before + 3);
  IAttributeList* a = static_cast<IMessage*>(made)->getAttributes();
  const uint8_t blob[3] = {1, 2, 3};
  EXPECT_EQ(a->setBinary("data", blob, 3), kResultOk);
  EXPECT_EQ(a->setString("name", u"Tavrinel"), kResultOk);
  int64 asInt = 0;
  EXPECT_EQ(a->getInt("data", &asInt), kResultFalse); // another kind
  char16 text[5];
  EXPECT_EQ(a->getString("name", text, sizeof text), kResultOk); // cut to the buffer's bytes
  EXPECT_EQ(std::u16string(text), u"Tavr");
  EXPECT_EQ(static_cast<IMessage*>(made)->release(), 0u);
  context->release();
  EXPECT_EQ(Vst3LiveHostObjects(), before);
}

} // namespace
