#pragma once
// Our own VST3 declarations, the controller side: parameter descriptions, units
// and program lists, the controller's interfaces (IEditController and the
// optional ones beside it) and the host's component handler it reports edits to.
// Every call here is made on the host's UI thread, in both directions.
//
// Thread: plain declarations, no state.

#include "Vst3Base.h"

namespace vst3 {

struct IPlugView;

// ---- parameters ----
constexpr ParamID kNoParamId = 0xFFFFFFFF;
constexpr ParamID kMaxParamId = 0x7FFFFFFF; // IDs above belong to the host

struct ParameterInfo {
  enum : int32 {
    kNoFlags = 0,
    kCanAutomate = 1,
    kIsReadOnly = 2,
    kIsWrapAround = 4,
    kIsList = 8,
    kIsHidden = 0x10, // implies read-only
    kIsProgramChange = 0x8000, // a unit's program selector
    kIsBypass = 0x10000 // effects only
  };

  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount; // 0 continuous, n: n + 1 discrete values
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};
static_assert(sizeof(ParameterInfo) == 792 && alignof(ParameterInfo) == 8, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, id) == 0, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, title) == 4, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, shortTitle) == 260, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, units) == 516, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, stepCount) == 772, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, unitId) == 784, "ParameterInfo layout");
static_assert(offsetof(ParameterInfo, flags) == 788, "ParameterInfo layout");

// ---- units and program lists ----
constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};
static_assert(sizeof(UnitInfo) == 268 && alignof(UnitInfo) == 4, "UnitInfo layout");
static_assert(offsetof(UnitInfo, id) == 0, "UnitInfo layout");
static_assert(offsetof(UnitInfo, parentUnitId) == 4, "UnitInfo layout");
static_assert(offsetof(UnitInfo, name) == 8, "UnitInfo layout");
static_assert(offsetof(UnitInfo, programListId) == 264, "UnitInfo layout");

struct ProgramListInfo {
  ProgramListID id;
  String128 name;
  int32 programCount;
};
static_assert(sizeof(ProgramListInfo) == 264 && alignof(ProgramListInfo) == 4, "ProgramListInfo layout");
static_assert(offsetof(ProgramListInfo, id) == 0, "ProgramListInfo layout");
static_assert(offsetof(ProgramListInfo, name) == 4, "ProgramListInfo layout");
static_assert(offsetof(ProgramListInfo, programCount) == 260, "ProgramListInfo layout");

// ---- the host's component handler ----
enum RestartFlags : int32 {
  kReloadComponent = 1,
  kIoChanged = 2,
  kParamValuesChanged = 4, // many values changed: the host reads them again
  kLatencyChanged = 8,
  kParamTitlesChanged = 0x10, // names, units, defaults, step counts or flags changed
  kMidiCCAssignmentChanged = 0x20,
  kNoteExpressionChanged = 0x40,
  kIoTitlesChanged = 0x80,
  kPrefetchableSupportChanged = 0x100,
  kRoutingInfoChanged = 0x200,
  kKeyswitchChanged = 0x400,
  kParamIDMappingChanged = 0x800
};

// Edits from the editor: beginEdit, any number of performEdit, endEdit.
struct IComponentHandler : FUnknown {
  static constexpr Uid kIid = MakeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
  virtual tresult TAV_VST3CALL beginEdit(ParamID id) = 0;
  virtual tresult TAV_VST3CALL performEdit(ParamID id, ParamValue normalized) = 0;
  virtual tresult TAV_VST3CALL endEdit(ParamID id) = 0;
  virtual tresult TAV_VST3CALL restartComponent(int32 flags) = 0; // RestartFlags
};

struct IComponentHandler2 : FUnknown {
  static constexpr Uid kIid = MakeUid(0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC);
  virtual tresult TAV_VST3CALL setDirty(TBool state) = 0;
  virtual tresult TAV_VST3CALL requestOpenEditor(FIDString name) = 0;
  virtual tresult TAV_VST3CALL startGroupEdit() = 0;
  virtual tresult TAV_VST3CALL finishGroupEdit() = 0;
};

// If accepted, the host calls activateBus afterwards.
struct IComponentHandlerBusActivation : FUnknown {
  static constexpr Uid kIid = MakeUid(0x067D02C1, 0x5B4E274D, 0xA92D90FD, 0x6EAF7240);
  virtual tresult TAV_VST3CALL requestBusActivation(MediaType type, BusDirection dir, int32 index,
                                                    TBool state) = 0;
};

// ---- the controller's interfaces ----
struct IEditController : IPluginBase {
  static constexpr Uid kIid = MakeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
  virtual tresult TAV_VST3CALL setComponentState(IBStream* state) = 0; // the processor's state
  virtual tresult TAV_VST3CALL setState(IBStream* state) = 0; // the controller's own
  virtual tresult TAV_VST3CALL getState(IBStream* state) = 0;
  virtual int32 TAV_VST3CALL getParameterCount() = 0;
  virtual tresult TAV_VST3CALL getParameterInfo(int32 index, ParameterInfo* info) = 0;
  virtual tresult TAV_VST3CALL getParamStringByValue(ParamID id, ParamValue normalized, String128 text) = 0;
  virtual tresult TAV_VST3CALL getParamValueByString(ParamID id, TChar* text, ParamValue* normalized) = 0;
  virtual ParamValue TAV_VST3CALL normalizedParamToPlain(ParamID id, ParamValue normalized) = 0;
  virtual ParamValue TAV_VST3CALL plainParamToNormalized(ParamID id, ParamValue plain) = 0;
  virtual ParamValue TAV_VST3CALL getParamNormalized(ParamID id) = 0;
  // Updates the editor only; never reported back to the handler.
  virtual tresult TAV_VST3CALL setParamNormalized(ParamID id, ParamValue normalized) = 0;
  virtual tresult TAV_VST3CALL setComponentHandler(IComponentHandler* handler) = 0;
  // name is kEditor; the view comes with one reference, owned by the host.
  virtual IPlugView* TAV_VST3CALL createView(FIDString name) = 0;
};

enum KnobModes : KnobMode { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

struct IEditController2 : FUnknown {
  static constexpr Uid kIid = MakeUid(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);
  virtual tresult TAV_VST3CALL setKnobMode(KnobMode mode) = 0;
  virtual tresult TAV_VST3CALL openHelp(TBool onlyCheck) = 0;
  virtual tresult TAV_VST3CALL openAboutBox(TBool onlyCheck) = 0;
};

// The only way MIDI controllers, pitch bend, channel pressure and program change
// reach the plug-in: as changes of the parameter mapped here.
struct IMidiMapping : FUnknown {
  static constexpr Uid kIid = MakeUid(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
  virtual tresult TAV_VST3CALL getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber controller,
                                                           ParamID* id) = 0; // kResultFalse: not mapped
};

// Units and program lists; needed to show hosts a list of programs.
struct IUnitInfo : FUnknown {
  static constexpr Uid kIid = MakeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
  virtual int32 TAV_VST3CALL getUnitCount() = 0;
  virtual tresult TAV_VST3CALL getUnitInfo(int32 index, UnitInfo* info) = 0;
  virtual int32 TAV_VST3CALL getProgramListCount() = 0;
  virtual tresult TAV_VST3CALL getProgramListInfo(int32 index, ProgramListInfo* info) = 0;
  virtual tresult TAV_VST3CALL getProgramName(ProgramListID list, int32 program, String128 name) = 0;
  virtual tresult TAV_VST3CALL getProgramInfo(ProgramListID list, int32 program, CString attribute,
                                              String128 value) = 0;
  virtual tresult TAV_VST3CALL hasProgramPitchNames(ProgramListID list, int32 program) = 0;
  virtual tresult TAV_VST3CALL getProgramPitchName(ProgramListID list, int32 program, int16 pitch,
                                                   String128 name) = 0;
  virtual UnitID TAV_VST3CALL getSelectedUnit() = 0;
  virtual tresult TAV_VST3CALL selectUnit(UnitID unit) = 0;
  virtual tresult TAV_VST3CALL getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                            UnitID* unit) = 0;
  virtual tresult TAV_VST3CALL setUnitProgramData(int32 listOrUnit, int32 program, IBStream* data) = 0;
};

} // namespace vst3
