#include "GrooveMakerGui.h"

#include "Assert.h"
#include "GrooveMaker.h"
#include "IGraphics.h"
#include "IPlugBase.h"
#include "TavrinelGuiControls.h"

#define GROOVE_GUI_FILE "src\\GrooveMakerGui"

namespace {
constexpr int BAR_WIDTH = 12;
} // namespace

// ---- IGrooveMakerCanvas ----

IGrooveMakerCanvas::IGrooveMakerCanvas(IPlugBase* pPlug, const IRECT& rect, GrooveMaker* pGroove,
                                       int unitsPerPixel, int columnPitch)
  : IControl(pPlug, rect), mpGroove(pGroove), mUnitsPerPixel(unitsPerPixel > 0 ? unitsPerPixel : 1),
    mColumnPitch(columnPitch > 0 ? columnPitch : 1)
{
}

int IGrooveMakerCanvas::StepAt(int x) const
{
  int step = (x - mRECT.L) / mColumnPitch;
  if (step < 0) step = 0;
  if (step > GROOVE_STEPS - 1) step = GROOVE_STEPS - 1;
  // The groove's own step count is what the check's text calls MAX_STEPS.
  static std::atomic<bool> reported{false};
  if (!(step >= 0 && step < GROOVE_STEPS))
    TavCheckFailed("step >= 0 && step < MAX_STEPS", GROOVE_GUI_FILE, __LINE__, reported);
  return step;
}

IRECT IGrooveMakerCanvas::BarRect(int step) const
{
  const int x = mRECT.L + mColumnPitch * step;
  return IRECT(x, mRECT.B - mpGroove->mGrooveValues[step] / mUnitsPerPixel, x + BAR_WIDTH, mRECT.B);
}

bool IGrooveMakerCanvas::Draw(IGraphics* pGraphics)
{
  // A snapshot under the plug-in mutex: the host's and the audio thread write
  // the groove.
  int values[GROOVE_STEPS];
  bool muted[GROOVE_STEPS];
  int active;
  {
    if (mPlug) mPlug->GetMutex().lock();
    active = mpGroove->mNumStepsActive;
    for (int i = 0; i < GROOVE_STEPS; ++i) {
      values[i] = mpGroove->mGrooveValues[i];
      muted[i] = mpGroove->mGrooveMute[i];
    }
    if (mPlug) mPlug->GetMutex().unlock();
  }
  for (int i = 0; i < GROOVE_STEPS; ++i) {
    const IColor* pColor = &GridColors::kGrooveBeyond;
    if (i < active) pColor = muted[i] ? &GridColors::kGrey : &GridColors::kGrooveBar;
    const int x = mRECT.L + mColumnPitch * i;
    pGraphics->FillIRect(*pColor, IRECT(x, mRECT.B - values[i] / mUnitsPerPixel, x + BAR_WIDTH, mRECT.B));
  }
  return true;
}

void IGrooveMakerCanvas::Paint(int step, int value)
{
  if (!mPlug) {
    if (mpGroove->mGrooveLock[step] || mpGroove->mGrooveValues[step] == value) return;
    mpGroove->mGrooveValues[step] = value;
    SetDirty(false);
    return;
  }
  IPlugBase::MutexLock lock(mPlug->GetMutex());
  if (mpGroove->mGrooveLock[step] || mpGroove->mGrooveValues[step] == value) return;
  mpGroove->mGrooveValues[step] = value;
  SetDirty(false);
}

void IGrooveMakerCanvas::OnMouseDown(int x, int y, const IMouseMod&)
{
  if (!mRECT.Contains(x, y)) return;
  Paint(StepAt(x), (mRECT.B - y) * mUnitsPerPixel);
}

void IGrooveMakerCanvas::OnMouseUp(int x, int y, const IMouseMod&)
{
  if (!mRECT.Contains(x, y)) return;
  Paint(StepAt(x), (mRECT.B - y) * mUnitsPerPixel);
}

void IGrooveMakerCanvas::OnMouseDrag(int x, int y, int, int, const IMouseMod&)
{
  int value;
  if (y <= mRECT.T)
    value = GROOVE_FULL;
  else if (y < mRECT.B)
    value = (mRECT.B - y) * mUnitsPerPixel;
  else
    value = 0;
  Paint(StepAt(x), value);
}

// ---- IGrooveMakerStepMarker ----

IGrooveMakerStepMarker::IGrooveMakerStepMarker(IPlugBase* pPlug, const IRECT& rect, GrooveMaker* pGroove,
                                               int columnPitch)
  : IControl(pPlug, rect), mpGroove(pGroove), mColumnPitch(columnPitch > 0 ? columnPitch : 1)
{
}

bool IGrooveMakerStepMarker::Draw(IGraphics* pGraphics)
{
  if (mPlug) mPlug->GetMutex().lock();
  const int current = mpGroove->mGrooveStep;
  if (mPlug) mPlug->GetMutex().unlock();
  for (int i = 0; i < GROOVE_STEPS; ++i) {
    const int x = mRECT.L + mColumnPitch * i;
    pGraphics->FillIRect(i == current ? GridColors::kWhite : GridColors::kBlack,
                         IRECT(x, mRECT.T, x + BAR_WIDTH, mRECT.B));
  }
  return true;
}
