#pragma once
// One plug-in parameter: its kind, plain value and range, the display precision,
// the host-visible name and unit label, and optional texts for integer values.
// The host sees values normalised linearly to 0..1.
//
// Thread: any thread that holds the owning plug-in's mutex (the host's GUI and
// audio threads, the editor). A parameter has no lock of its own. The Define*
// and AddDisplayText calls allocate and belong to construction.

#include <cstdint>
#include <string>
#include <vector>

class IPlugParam {
public:
  enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

  static constexpr int MAX_PARAM_NAME_LEN = 32; // name and label fields, with the terminator
  static constexpr int MAX_PARAM_DISPLAY_LEN = 32; // FormatDisplay writes at most this many bytes
  static constexpr int MAX_DISPLAY_PRECISION = 6;

  IPlugParam() = default;

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

  // Normalisation. x is clamped into 0..1 first (NaN counts as 0); every type but
  // kTypeDouble is rounded to its step, and the result never exceeds the maximum.
  void SetFromNormalized(double x) { mValue = PlainFromNormalized(x); }
  // The plain value SetFromNormalized(x) stores.
  double PlainFromNormalized(double x) const;
  double ToNormalized() const;
  // What ToNormalized and SetClamped would make of a plain value, without
  // touching the parameter's own (read only the fixed definition).
  double NormalizedFrom(double plainValue) const;
  double Clamped(double plainValue) const;
  // Plain value for a normalised one, as SetFromNormalized computes it before rounding.
  double FromNormalized(double x) const { return mMin + x * (mMax - mMin); }

  // Writes the value's display text into out (MAX_PARAM_DISPLAY_LEN bytes).
  void FormatDisplay(char* out, double value, bool valueIsNormalized) const;
  // The current value's display text.
  void GetDisplayForHost(char* out) const { FormatDisplay(out, mValue, false); }

  // Plain value, stored as given (callers clamp where they need to).
  void Set(double value) { mValue = value; }
  // Plain value clamped into [min, max]; NaN becomes min.
  void SetClamped(double value);
  double Value() const { return mValue; }
  bool Bool() const { return mValue >= 0.5; }
  int Int() const { return static_cast<int>(mValue); }

  EParamType Type() const { return mType; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  int GetPrecision() const { return mDisplayPrecision; }
  const char* GetName() const { return mName; }
  const char* GetLabel() const { return mLabel; }

private:
  // Every instance holds its own texts: kept compact, all of a parameter's
  // texts in one buffer, each ended by a zero.
  struct DisplayText {
    int32_t mValue;
    uint32_t mOffset;  // into mTextPool
  };
  const char* TextAt(const DisplayText& dt) const { return mTextPool.c_str() + dt.mOffset; }

  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  int32_t mDisplayPrecision = 0;
  char mName[MAX_PARAM_NAME_LEN] = {};
  char mLabel[MAX_PARAM_NAME_LEN] = {};
  std::vector<DisplayText> mDisplayTexts;
  std::string mTextPool;
};
