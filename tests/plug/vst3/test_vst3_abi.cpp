// The VST3 declarations against what the compiler's layout checks cannot see: the
// interface IDs as this platform's hosts find them in memory, and the vtable slot
// each declared method is called through. Built for Linux and for Windows x64, so
// the header's static_asserts hold on both.

#include "Vst3Api.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <typeinfo>
#include <utility>
#include <vector>

using namespace vst3;

namespace {

// ---- IDs ----

// The 16 bytes a host of this platform compares, from the ID's written form (four
// words in hex). Windows lays IDs out as COM's GUID record: a 32-bit field, two
// 16-bit fields and eight bytes, stored as the machine stores them. Elsewhere the
// bytes are the written ones, in order.
std::array<uint8_t, 16> MemoryImage(const char* written)
{
  std::array<uint8_t, 16> bytes{};
  int digits = 0;
  for (const char* c = written; *c; ++c) {
    if (*c == ' ') continue;
    const int value = *c <= '9' ? *c - '0' : *c - 'A' + 10;
    bytes[digits / 2] = static_cast<uint8_t>(bytes[digits / 2] << 4 | value);
    ++digits;
  }
  EXPECT_EQ(digits, 32) << written;
#if defined(_WIN32)
  struct {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
  } guid;
  static_assert(sizeof(guid) == 16, "GUID record");
  guid.data1 = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
  guid.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  std::memcpy(guid.data4, &bytes[8], 8);
  std::memcpy(bytes.data(), &guid, 16);
#endif
  return bytes;
}

TEST(Vst3Abi, InterfaceIdsAreTheWrittenWordsInThePlatformsByteOrder)
{
  struct Written {
    const Uid& id;
    const char* text;
  };
  const Written ids[] = {
    {FUnknown::kIid, "00000000 00000000 C0000000 00000046"},
    {IPluginBase::kIid, "22888DDB 156E45AE 8358B348 08190625"},
    {IPluginFactory::kIid, "7A4D811C 52114A1F AED9D2EE 0B43BF9F"},
    {IPluginFactory2::kIid, "0007B650 F24B4C0B A464EDB9 F00B2ABB"},
    {IPluginFactory3::kIid, "4555A2AB C1234E57 9B122910 36878931"},
    {IComponent::kIid, "E831FF31 F2D54301 928EBBEE 25697802"},
    {IAudioProcessor::kIid, "42043F99 B7DA453C A569E79D 9AAEC33D"},
    {IProcessContextRequirements::kIid, "2A654303 EF764E3D 95B5FE83 730EF6D0"},
    {IEditController::kIid, "DCD7BBE3 7742448D A874AACC 979C759E"},
    {IEditController2::kIid, "7F4EFE59 F3204967 AC27A3AE AFB63038"},
    {IMidiMapping::kIid, "DF0FF9F7 49B74669 B63AB732 7ADBF5E5"},
    {IUnitInfo::kIid, "3D4BD6B5 913A4FD2 A886E768 A5EB92C1"},
    {IConnectionPoint::kIid, "70A4156F 6E6E4026 989148BF AA60D8D1"},
    {IPlugView::kIid, "5BC32507 D06049EA A6151B52 2B755B29"},
    {IPlugViewContentScaleSupport::kIid, "65ED9690 8AC44525 8AADEF7A 72EA703F"},
    {IParameterFinder::kIid, "0F618302 215D4587 A512073C 77B9D383"},
    {IEventHandler::kIid, "561E65C9 13A0496F 813A2C35 654D7983"},
    {ITimerHandler::kIid, "10BDD94F 41424774 821FAD8F ECA72CA9"},
    {IHostApplication::kIid, "58E595CC DB2D4969 8B6AAF8C 36A664E5"},
    {IComponentHandler::kIid, "93A0BEA3 0BD045DB 8E890B0C C1E46AC6"},
    {IComponentHandler2::kIid, "F040B4B3 A36045EC ABCDC045 B4D5A2CC"},
    {IComponentHandlerBusActivation::kIid, "067D02C1 5B4E274D A92D90FD 6EAF7240"},
    {IBStream::kIid, "C3BF6EA2 30994752 9B6BF990 1EE33E9B"},
    {IStreamAttributes::kIid, "D6CE2FFC EFAF4B8C 9E74F1BB 12DA44B4"},
    {IEventList::kIid, "3A2C4214 346349FE B2C4F397 B9695A44"},
    {IParameterChanges::kIid, "A4779663 0BB64A56 B44384A8 466FEB9D"},
    {IParamValueQueue::kIid, "01263A18 ED074F6F 98C9D356 4686F9BA"},
    {IMessage::kIid, "936F033B C6C047DB BB0882F8 13C1E613"},
    {IAttributeList::kIid, "1E5F0AEB CC7F4533 A2544011 38AD5EE4"},
    {IPlugFrame::kIid, "367FAF01 AFA94693 8D4DA2A0 ED0882A3"},
    {IRunLoop::kIid, "18C35366 97764F1A 9C5B8385 7A871389"},
  };
  for (const Written& w : ids) EXPECT_TRUE(SameUid(MemoryImage(w.text).data(), w.id)) << w.text;

  // One ID spelled out byte by byte for each platform.
#if defined(_WIN32)
  const uint8_t component[16] = {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43,
                                 0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
#else
  const uint8_t component[16] = {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01,
                                 0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
#endif
  EXPECT_EQ(std::memcmp(IComponent::kIid.bytes, component, 16), 0);
  EXPECT_FALSE(SameUid(nullptr, FUnknown::kIid));
}

// ---- vtable slots ----

// A stand-in for an object of interface I whose vtable is ours: slot n records n.
// Before the slots it carries what the C++ ABI keeps there (offset to the whole
// object, type information), naming I, so a checked build sees a call on an I.
// The functions ignore the arguments, which on x64 is harmless: the caller cleans
// up, and `this` comes first under both conventions.
constexpr int kSlots = 20;
int gSlotCalled = -1;

template <int N>
void RecordSlot()
{
  gSlotCalled = N;
}

struct FakeVtable {
  std::ptrdiff_t offsetToTop;
  const std::type_info* type;
  void (*slots[kSlots])();
};

template <class I, int... N>
const void* VtableFor(std::integer_sequence<int, N...>)
{
  static const FakeVtable table{0, &typeid(I), {&RecordSlot<N>...}};
  return table.slots;
}

// The slot a call of `method` through an I* goes to, all arguments zero.
template <class I, class Base, class R, class... Args>
int SlotOf(R (Base::*method)(Args...))
{
  static_assert(sizeof(I) == sizeof(void*), "an interface object is one vtable pointer");
  const void* vptr = VtableFor<I>(std::make_integer_sequence<int, kSlots>());
  alignas(I) unsigned char object[sizeof(I)];
  std::memcpy(object, &vptr, sizeof(vptr));
  gSlotCalled = -1;
  (reinterpret_cast<I*>(object)->*method)(Args{}...);
  return gSlotCalled;
}

template <class I, class... Methods>
std::vector<int> SlotsOf(Methods... methods)
{
  return {SlotOf<I>(methods)...};
}

std::vector<int> Slots(int first, int last)
{
  std::vector<int> slots;
  for (int s = first; s <= last; ++s) slots.push_back(s);
  return slots;
}

// Each list names an interface's own methods in declaration order: they must fill
// the slots after the base's, which the base's own list checks.
TEST(Vst3Abi, BaseFactoryAndHostObjectMethodsSitInTheirSlots)
{
  EXPECT_EQ(SlotsOf<FUnknown>(&FUnknown::queryInterface, &FUnknown::addRef, &FUnknown::release), Slots(0, 2));
  EXPECT_EQ(SlotsOf<IPluginBase>(&IPluginBase::initialize, &IPluginBase::terminate), Slots(3, 4));
  EXPECT_EQ(SlotsOf<IPluginFactory>(&IPluginFactory::getFactoryInfo, &IPluginFactory::countClasses,
                                    &IPluginFactory::getClassInfo, &IPluginFactory::createInstance),
            Slots(3, 6));
  EXPECT_EQ(SlotsOf<IPluginFactory2>(&IPluginFactory2::getClassInfo2), Slots(7, 7));
  EXPECT_EQ(SlotsOf<IPluginFactory3>(&IPluginFactory3::getClassInfoUnicode, &IPluginFactory3::setHostContext),
            Slots(8, 9));
  // Inherited methods called through the derived interface.
  EXPECT_EQ(SlotsOf<IPluginFactory3>(&IPluginFactory3::release, &IPluginFactory3::createInstance,
                                     &IPluginFactory3::getClassInfo2),
            (std::vector<int>{2, 6, 7}));
  EXPECT_EQ(SlotsOf<IComponent>(&IComponent::addRef, &IComponent::terminate), (std::vector<int>{1, 4}));
  EXPECT_EQ(SlotsOf<IEditController>(&IEditController::initialize), Slots(3, 3));

  EXPECT_EQ(SlotsOf<IAttributeList>(&IAttributeList::setInt, &IAttributeList::getInt, &IAttributeList::setFloat,
                                    &IAttributeList::getFloat, &IAttributeList::setString,
                                    &IAttributeList::getString, &IAttributeList::setBinary,
                                    &IAttributeList::getBinary),
            Slots(3, 10));
  EXPECT_EQ(SlotsOf<IMessage>(&IMessage::getMessageID, &IMessage::setMessageID, &IMessage::getAttributes),
            Slots(3, 5));
  EXPECT_EQ(SlotsOf<IConnectionPoint>(&IConnectionPoint::connect, &IConnectionPoint::disconnect,
                                      &IConnectionPoint::notify),
            Slots(3, 5));
  EXPECT_EQ(SlotsOf<IHostApplication>(&IHostApplication::getName, &IHostApplication::createInstance), Slots(3, 4));
  EXPECT_EQ(SlotsOf<IBStream>(&IBStream::read, &IBStream::write, &IBStream::seek, &IBStream::tell), Slots(3, 6));
  EXPECT_EQ(SlotsOf<IStreamAttributes>(&IStreamAttributes::getFileName, &IStreamAttributes::getAttributes),
            Slots(3, 4));
}

TEST(Vst3Abi, ProcessorMethodsSitInTheirSlots)
{
  EXPECT_EQ(SlotsOf<IComponent>(&IComponent::getControllerClassId, &IComponent::setIoMode, &IComponent::getBusCount,
                                &IComponent::getBusInfo, &IComponent::getRoutingInfo, &IComponent::activateBus,
                                &IComponent::setActive, &IComponent::setState, &IComponent::getState),
            Slots(5, 13));
  EXPECT_EQ(SlotsOf<IAudioProcessor>(&IAudioProcessor::setBusArrangements, &IAudioProcessor::getBusArrangement,
                                     &IAudioProcessor::canProcessSampleSize, &IAudioProcessor::getLatencySamples,
                                     &IAudioProcessor::setupProcessing, &IAudioProcessor::setProcessing,
                                     &IAudioProcessor::process, &IAudioProcessor::getTailSamples),
            Slots(3, 10));
  EXPECT_EQ(SlotsOf<IProcessContextRequirements>(&IProcessContextRequirements::getProcessContextRequirements),
            Slots(3, 3));
  EXPECT_EQ(SlotsOf<IEventList>(&IEventList::getEventCount, &IEventList::getEvent, &IEventList::addEvent),
            Slots(3, 5));
  EXPECT_EQ(SlotsOf<IParamValueQueue>(&IParamValueQueue::getParameterId, &IParamValueQueue::getPointCount,
                                      &IParamValueQueue::getPoint, &IParamValueQueue::addPoint),
            Slots(3, 6));
  EXPECT_EQ(SlotsOf<IParameterChanges>(&IParameterChanges::getParameterCount, &IParameterChanges::getParameterData,
                                       &IParameterChanges::addParameterData),
            Slots(3, 5));
}

TEST(Vst3Abi, ControllerMethodsSitInTheirSlots)
{
  EXPECT_EQ(SlotsOf<IEditController>(
              &IEditController::setComponentState, &IEditController::setState, &IEditController::getState,
              &IEditController::getParameterCount, &IEditController::getParameterInfo,
              &IEditController::getParamStringByValue, &IEditController::getParamValueByString,
              &IEditController::normalizedParamToPlain, &IEditController::plainParamToNormalized,
              &IEditController::getParamNormalized, &IEditController::setParamNormalized,
              &IEditController::setComponentHandler, &IEditController::createView),
            Slots(5, 17));
  EXPECT_EQ(SlotsOf<IEditController2>(&IEditController2::setKnobMode, &IEditController2::openHelp,
                                      &IEditController2::openAboutBox),
            Slots(3, 5));
  EXPECT_EQ(SlotsOf<IMidiMapping>(&IMidiMapping::getMidiControllerAssignment), Slots(3, 3));
  EXPECT_EQ(SlotsOf<IUnitInfo>(&IUnitInfo::getUnitCount, &IUnitInfo::getUnitInfo, &IUnitInfo::getProgramListCount,
                               &IUnitInfo::getProgramListInfo, &IUnitInfo::getProgramName,
                               &IUnitInfo::getProgramInfo, &IUnitInfo::hasProgramPitchNames,
                               &IUnitInfo::getProgramPitchName, &IUnitInfo::getSelectedUnit,
                               &IUnitInfo::selectUnit, &IUnitInfo::getUnitByBus, &IUnitInfo::setUnitProgramData),
            Slots(3, 14));
  EXPECT_EQ(SlotsOf<IComponentHandler>(&IComponentHandler::beginEdit, &IComponentHandler::performEdit,
                                       &IComponentHandler::endEdit, &IComponentHandler::restartComponent),
            Slots(3, 6));
  EXPECT_EQ(SlotsOf<IComponentHandler2>(&IComponentHandler2::setDirty, &IComponentHandler2::requestOpenEditor,
                                        &IComponentHandler2::startGroupEdit, &IComponentHandler2::finishGroupEdit),
            Slots(3, 6));
  EXPECT_EQ(SlotsOf<IComponentHandlerBusActivation>(&IComponentHandlerBusActivation::requestBusActivation),
            Slots(3, 3));
}

TEST(Vst3Abi, ViewMethodsSitInTheirSlots)
{
  EXPECT_EQ(SlotsOf<IPlugView>(&IPlugView::isPlatformTypeSupported, &IPlugView::attached, &IPlugView::removed,
                               &IPlugView::onWheel, &IPlugView::onKeyDown, &IPlugView::onKeyUp,
                               &IPlugView::getSize, &IPlugView::onSize, &IPlugView::onFocus, &IPlugView::setFrame,
                               &IPlugView::canResize, &IPlugView::checkSizeConstraint),
            Slots(3, 14));
  EXPECT_EQ(SlotsOf<IPlugFrame>(&IPlugFrame::resizeView), Slots(3, 3));
  EXPECT_EQ(SlotsOf<IPlugViewContentScaleSupport>(&IPlugViewContentScaleSupport::setContentScaleFactor),
            Slots(3, 3));
  EXPECT_EQ(SlotsOf<IParameterFinder>(&IParameterFinder::findParameter), Slots(3, 3));
  EXPECT_EQ(SlotsOf<IRunLoop>(&IRunLoop::registerEventHandler, &IRunLoop::unregisterEventHandler,
                              &IRunLoop::registerTimer, &IRunLoop::unregisterTimer),
            Slots(3, 6));
  EXPECT_EQ(SlotsOf<IEventHandler>(&IEventHandler::onFDIsSet), Slots(3, 3));
  EXPECT_EQ(SlotsOf<ITimerHandler>(&ITimerHandler::onTimer), Slots(3, 3));
}

} // namespace
