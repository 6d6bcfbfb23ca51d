#include "IPlugParam.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "TextField.h"

namespace {

// Whether v truncated toward zero fits an int.
bool FitsInt(double v) { return v > static_cast<double>(INT_MIN) - 1.0 && v < static_cast<double>(INT_MAX) + 1.0; }
} // namespace

void IPlugParamDef::DefineDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                              const char* label)
{
  if (mType == kTypeNone) mType = kTypeDouble;
  CopyField(mName, name, MAX_PARAM_NAME_LEN);
  CopyField(mLabel, label, MAX_PARAM_NAME_LEN);
  mDefault = defaultVal;
  mMin = minVal;
  mMax = (maxVal > minVal + step) ? maxVal : minVal + step;
  mStep = step;

  // Decimal places of the step: scale a copy by 10 until it is whole, at most 6 times.
  mDisplayPrecision = 0;
  double s = step;
  while (s != std::floor(s) && mDisplayPrecision < MAX_DISPLAY_PRECISION) {
    s *= 10.0;
    ++mDisplayPrecision;
  }
}

void IPlugParamDef::DefineInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label)
{
  if (mType == kTypeNone) mType = kTypeInt;
  DefineDouble(name, defaultVal, minVal, maxVal, 1.0, label);
}

void IPlugParamDef::DefineEnum(const char* name, int defaultVal, int nEnums)
{
  if (mType == kTypeNone) mType = kTypeEnum;
  DefineDouble(name, defaultVal, 0.0, static_cast<double>(nEnums) - 1.0, 1.0, "");
  if (nEnums > 0) mDisplayTexts.reserve(static_cast<std::size_t>(nEnums));
}

void IPlugParamDef::DefineBool(const char* name, bool defaultVal, const char* label)
{
  if (mType == kTypeNone) mType = kTypeBool;
  DefineDouble(name, defaultVal ? 1.0 : 0.0, 0.0, 1.0, 1.0, label);
  AddDisplayText(0, "off");
  AddDisplayText(1, "on");
}

void IPlugParamDef::AddDisplayText(int value, const char* text)
{
  std::size_t length = 0;
  while (text && length < MAX_PARAM_NAME_LEN - 1 && text[length]) ++length;
  mDisplayTexts.push_back({value, static_cast<uint32_t>(mTextPool.size())});
  mTextPool.append(text ? text : "", length);
  mTextPool.push_back('\0');
}

const char* IPlugParamDef::GetDisplayText(int value) const
{
  for (const DisplayText& dt : mDisplayTexts) {
    if (dt.mValue == value) return TextAt(dt);
  }
  return "";
}

const char* IPlugParamDef::GetDisplayTextAtIdx(int idx, int* pValue) const
{
  if (idx < 0 || idx >= NDisplayTexts()) return "";
  const DisplayText& dt = mDisplayTexts[static_cast<size_t>(idx)];
  if (pValue) *pValue = dt.mValue;
  return TextAt(dt);
}

bool IPlugParamDef::MapDisplayText(const char* text, int* pValue) const
{
  if (!text) return false;
  for (const DisplayText& dt : mDisplayTexts) {
    if (std::strcmp(TextAt(dt), text) == 0) {
      if (pValue) *pValue = dt.mValue;
      return true;
    }
  }
  return false;
}

double IPlugParamDef::PlainFromNormalized(double x) const
{
  // A host may send values outside 0..1 (or NaN); below the minimum an enum
  // would index past its tables.
  if (!(x >= 0.0)) x = 0.0;
  if (x > 1.0) x = 1.0;
  double v = mMin + x * (mMax - mMin);
  if (mType != kTypeDouble) v = std::floor(v / mStep + 0.5) * mStep;
  return (v < mMax) ? v : mMax;
}

double IPlugParamDef::NormalizedFrom(double v) const
{
  if (!(mMax > mMin)) return 0.0;
  if (v < mMin) v = mMin;
  if (v > mMax) v = mMax;
  return (v - mMin) / (mMax - mMin);
}

double IPlugParamDef::Clamped(double value) const
{
  if (!(value >= mMin)) value = mMin;
  if (value > mMax) value = mMax;
  return value;
}

void IPlugParamDef::FormatDisplay(char* out, double value, bool valueIsNormalized) const
{
  if (!out) return;
  if (valueIsNormalized) value = FromNormalized(value);

  if (!mDisplayTexts.empty() && FitsInt(value)) {
    const int iv = static_cast<int>(value);
    for (const DisplayText& dt : mDisplayTexts) {
      if (dt.mValue == iv) {
        if (TextAt(dt)[0]) {
          CopyField(out, TextAt(dt), MAX_PARAM_DISPLAY_LEN);
          return;
        }
        break;
      }
    }
  }

  if (value == 0.0) {
    CopyField(out, "0", MAX_PARAM_DISPLAY_LEN);
  } else if (mDisplayPrecision == 0) {
    if (FitsInt(value)) {
      std::snprintf(out, MAX_PARAM_DISPLAY_LEN, "%d", static_cast<int>(value));
    } else {
      std::snprintf(out, MAX_PARAM_DISPLAY_LEN, "%.0f", std::trunc(value));
    }
  } else {
    std::snprintf(out, MAX_PARAM_DISPLAY_LEN, "%.*f", static_cast<int>(mDisplayPrecision), value);
  }
}

// ---- the parameter ----

const IPlugParamDef IPlugParam::sBlank;

IPlugParamDef& IPlugParam::Own()
{
  if (!mOwn) {
    mOwn = std::make_unique<IPlugParamDef>(*mDef);
    mDef = mOwn.get();
  }
  return *mOwn;
}

void IPlugParam::Share(const IPlugParamDef& def)
{
  mDef = &def;
  mOwn.reset();
  mValue = def.GetDefault();
}

void IPlugParam::DefineDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                              const char* label)
{
  Own().DefineDouble(name, defaultVal, minVal, maxVal, step, label);
  mValue = mDef->GetDefault();
}

void IPlugParam::DefineInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label)
{
  Own().DefineInt(name, defaultVal, minVal, maxVal, label);
  mValue = mDef->GetDefault();
}

void IPlugParam::DefineEnum(const char* name, int defaultVal, int nEnums)
{
  Own().DefineEnum(name, defaultVal, nEnums);
  mValue = mDef->GetDefault();
}

void IPlugParam::DefineBool(const char* name, bool defaultVal, const char* label)
{
  Own().DefineBool(name, defaultVal, label);
  mValue = mDef->GetDefault();
}
