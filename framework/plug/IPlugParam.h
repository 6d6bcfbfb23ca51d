#pragma once
// Plug-in parameters: a definition (kind, range, display precision, the
// host-visible name and unit label, optional texts for integer values) and a
// plain value. The host sees values normalised linearly to 0..1.
//
// Thread: a parameter's value, any thread that holds the owning plug-in's
// mutex (the host's GUI and audio threads, the editor); it has no lock of its
// own. The Define* and AddDisplayText calls allocate and belong to
// construction; a shared definition is read-only and read from any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The fixed part of a parameter: kind, default, range, display precision,
// name, unit label and texts. Built once (the Define* calls allocate) and then
// only read, so one definition may serve every instance of a plug-in.
class IPlugParamDef {
public:
  enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

  static constexpr int MAX_PARAM_NAME_LEN = 32; // name and label fields, with the terminator
  static constexpr int MAX_PARAM_DISPLAY_LEN = 32; // FormatDisplay writes at most this many bytes
  static constexpr int MAX_DISPLAY_PRECISION = 6;

  // Set-up. Each sets the type only if it is still kTypeNone.
  void DefineBool(const char* name, bool defaultVal, const char* label = "");
  void DefineInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "");
  void DefineEnum(const char* name, int defaultVal, int nEnums);
  void DefineDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                    const char* label = "");
  // Copies the text (at most MAX_PARAM_NAME_LEN - 1 bytes). Texts returned
  // earlier stay valid until the next AddDisplayText.
  void AddDisplayText(int value, const char* text);

  // Display texts.
  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  // Text for an integer value; "" when there is none.
  const char* GetDisplayText(int value) const;
  // Text of entry idx (and its value); "" when idx is out of range.
  const char* GetDisplayTextAtIdx(int idx, int* pValue = nullptr) const;
  // Value of the first entry with exactly this text; false when none.
  bool MapDisplayText(const char* text, int* pValue) const;

  // x is clamped into 0..1 first (NaN counts as 0); every type but
  // kTypeDouble is rounded to its step, and the result never exceeds the maximum.
  double PlainFromNormalized(double x) const;
  double NormalizedFrom(double plainValue) const;
  // Plain value clamped into [min, max]; NaN becomes min.
  double Clamped(double plainValue) const;
  // Plain value for a normalised one, as PlainFromNormalized computes it before rounding.
  double FromNormalized(double x) const { return mMin + x * (mMax - mMin); }
  // Writes the value's display text into out (MAX_PARAM_DISPLAY_LEN bytes).
  void FormatDisplay(char* out, double value, bool valueIsNormalized) const;

  EParamType Type() const { return mType; }
  double GetDefault() const { return mDefault; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  int GetPrecision() const { return mDisplayPrecision; }
  const char* GetName() const { return mName; }
  const char* GetLabel() const { return mLabel; }

private:
  // All of a parameter's texts in one buffer, each ended by a zero.
  struct DisplayText {
    int32_t mValue;
    uint32_t mOffset;  // into mTextPool
  };
  const char* TextAt(const DisplayText& dt) const { return mTextPool.c_str() + dt.mOffset; }

  EParamType mType = kTypeNone;
  double mDefault = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  int32_t mDisplayPrecision = 0;
  char mName[MAX_PARAM_NAME_LEN] = {};
  char mLabel[MAX_PARAM_NAME_LEN] = {};
  std::vector<DisplayText> mDisplayTexts;
  std::string mTextPool;
};

// One plug-in parameter: its plain value and its definition, either its own
// (made by the Define* calls) or one shared with other instances (Share).
class IPlugParam {
public:
  using EParamType = IPlugParamDef::EParamType;
  static constexpr EParamType kTypeNone = IPlugParamDef::kTypeNone;
  static constexpr EParamType kTypeBool = IPlugParamDef::kTypeBool;
  static constexpr EParamType kTypeInt = IPlugParamDef::kTypeInt;
  static constexpr EParamType kTypeEnum = IPlugParamDef::kTypeEnum;
  static constexpr EParamType kTypeDouble = IPlugParamDef::kTypeDouble;
  static constexpr int MAX_PARAM_NAME_LEN = IPlugParamDef::MAX_PARAM_NAME_LEN;
  static constexpr int MAX_PARAM_DISPLAY_LEN = IPlugParamDef::MAX_PARAM_DISPLAY_LEN;
  static constexpr int MAX_DISPLAY_PRECISION = IPlugParamDef::MAX_DISPLAY_PRECISION;

  IPlugParam() = default;

  // Set-up of an own definition (a shared one is copied first); each sets
  // the value to the default.
  void DefineBool(const char* name, bool defaultVal, const char* label = "");
  void DefineInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "");
  void DefineEnum(const char* name, int defaultVal, int nEnums);
  void DefineDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                    const char* label = "");
  void AddDisplayText(int value, const char* text) { Own().AddDisplayText(value, text); }
  // Takes a definition that outlives this parameter, as it is, and its default
  // value. Allocates nothing.
  void Share(const IPlugParamDef& def);
  const IPlugParamDef& Def() const { return *mDef; }

  int NDisplayTexts() const { return mDef->NDisplayTexts(); }
  const char* GetDisplayText(int value) const { return mDef->GetDisplayText(value); }
  const char* GetDisplayTextAtIdx(int idx, int* pValue = nullptr) const
  {
    return mDef->GetDisplayTextAtIdx(idx, pValue);
  }
  bool MapDisplayText(const char* text, int* pValue) const { return mDef->MapDisplayText(text, pValue); }

  // Normalisation: see IPlugParamDef.
  void SetFromNormalized(double x) { mValue = PlainFromNormalized(x); }
  double PlainFromNormalized(double x) const { return mDef->PlainFromNormalized(x); }
  double ToNormalized() const { return NormalizedFrom(mValue); }
  // What ToNormalized and SetClamped would make of a plain value, without
  // touching the parameter's own (read only the fixed definition).
  double NormalizedFrom(double plainValue) const { return mDef->NormalizedFrom(plainValue); }
  double Clamped(double plainValue) const { return mDef->Clamped(plainValue); }
  double FromNormalized(double x) const { return mDef->FromNormalized(x); }

  void FormatDisplay(char* out, double value, bool valueIsNormalized) const
  {
    mDef->FormatDisplay(out, value, valueIsNormalized);
  }
  // The current value's display text.
  void GetDisplayForHost(char* out) const { FormatDisplay(out, mValue, false); }

  // Plain value, stored as given (callers clamp where they need to).
  void Set(double value) { mValue = value; }
  // Plain value clamped into [min, max]; NaN becomes min.
  void SetClamped(double value) { mValue = Clamped(value); }
  double Value() const { return mValue; }
  bool Bool() const { return mValue >= 0.5; }
  int Int() const { return static_cast<int>(mValue); }

  EParamType Type() const { return mDef->Type(); }
  double GetMin() const { return mDef->GetMin(); }
  double GetMax() const { return mDef->GetMax(); }
  double GetStep() const { return mDef->GetStep(); }
  int GetPrecision() const { return mDef->GetPrecision(); }
  const char* GetName() const { return mDef->GetName(); }
  const char* GetLabel() const { return mDef->GetLabel(); }

private:
  static const IPlugParamDef sBlank;
  IPlugParamDef& Own();

  const IPlugParamDef* mDef = &sBlank;
  std::unique_ptr<IPlugParamDef> mOwn;  // mDef points here when the definition is its own
  double mValue = 0.0;
};
