#include "IGraphics.h"

#include "IControls.h"
#include "IPlugBase.h"
#include "IPlugGraphicsLink.h"

#include <cmath>

namespace {
// What the plug-in base calls on its editor (it cannot see this class).
const IGraphicsLink::Calls kPlugLinkCalls = {
  [](IGraphics* g, int paramIdx, double value, bool normalized) { g->SetParameterFromPlug(paramIdx, value, normalized); },
  [](IGraphics* g) { g->PrepDraw(); },
  [](IGraphics* g) { g->SetAllControlsDirty(); },
  [](IGraphics* g) { return g->WindowWidth(); },
  [](IGraphics* g) { return g->WindowHeight(); },
  [](IGraphics* g, void* pParent) { return g->OpenWindow(pParent); },
  [](IGraphics* g) {
    // A press still held when the window goes will never see its release.
    if (IPlugBase* pPlug = g->GetPlug()) pPlug->EndOpenEdit();
    g->CloseWindow();
  },
  [](IGraphics* g) { g->OnIdle(); },
  [](IGraphics* g) { delete g; },
  [](IGraphics* g, double factor) { g->SetScale(factor); },
};
} // namespace

IGraphics::IGraphics(IPlugBase* pPlug, int w, int h, int frameRate)
  : mPlug(pPlug), mWidth(w), mHeight(h), mFPS(frameRate > 0 ? frameRate : 24)
{
  IGraphicsLink::Install(&kPlugLinkCalls);
  mGuiThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  mNoteParams = pPlug ? pPlug->NParams() : 0;
  if (mNoteParams > 0) {
    const int words = (mNoteParams + 63) / 64;
    mParamNoted.reset(new std::atomic<uint64_t>[static_cast<size_t>(words)]);
    for (int i = 0; i < words; ++i) mParamNoted[i].store(0, std::memory_order_relaxed);
    mParamNote.reset(new std::atomic<double>[static_cast<size_t>(mNoteParams)]);
    for (int i = 0; i < mNoteParams; ++i) mParamNote[i].store(0.0, std::memory_order_relaxed);
  }
}

IGraphics::~IGraphics() { DeleteControls(); }

double IGraphics::NearestScale(double factor)
{
  if (!(factor > 0.0) || !std::isfinite(factor)) return 1.0;
  double best = kScaleSteps[0];
  for (double step : kScaleSteps)
    if (std::fabs(step - factor) < std::fabs(best - factor)) best = step;
  return best;
}

double IGraphics::GetScaleAsked(int source) const
{
  return source >= 0 && source < kNumScaleSources ? mScaleAsked[source] : 0.0;
}

bool IGraphics::SetScaleFrom(int source, double factor)
{
  if (source < 0 || source >= kNumScaleSources) return false;
  mScaleAsked[source] = factor > 0.0 && std::isfinite(factor) ? factor : 0.0;
  double wanted = 1.0;
  for (int s = kNumScaleSources - 1; s >= 0; --s)
    if (mScaleAsked[s] > 0.0) {
      wanted = NearestScale(mScaleAsked[s]);
      break;
    }
  if (wanted == mScale) return true;
  const double old = mScale;
  mScale = wanted;
  if (mPlug && !mPlug->UpdateEditorSize()) {
    mScale = old;
    mPlug->UpdateEditorSize();
    SetAllControlsDirty(); // the host may have drawn over the window meanwhile
    return false;
  }
  OnScaleChanged();
  SetAllControlsDirty();
  return true;
}

int IGraphics::ToDevice(int v) const
{
  if (mScale == 1.0) return v;
  return static_cast<int>(std::floor(static_cast<double>(v) * mScale + 0.5));
}

IRECT IGraphics::ToDevice(const IRECT& r) const
{
  if (mScale == 1.0 || r.Empty()) return r;
  return IRECT(ToDevice(r.L), ToDevice(r.T), ToDevice(r.R), ToDevice(r.B));
}

int IGraphics::FromDevice(int v) const
{
  if (mScale == 1.0) return v;
  return static_cast<int>(std::floor(static_cast<double>(v) / mScale));
}

IGraphics::EDialogStart IGraphics::PromptForFileAsync(FileChosen done, int action, const char* directory,
                                                     const char* extension)
{
  if (!WindowIsOpen()) return kDialogUnavailable;
  std::string path;
  PromptForFile(path, action, directory, extension);
  if (done) done(path);
  return kDialogStarted;
}

bool IGraphics::PromptForText(IControl*, const char*, TextEntered) { return false; }

void IGraphics::ShowMessage(const char*, const IRECT&) {}

void IGraphics::DeleteControls()
{
  mEditControl = nullptr;
  mEditParam = nullptr;
  while (!mControls.empty()) mControls.pop_back();
}

int IGraphics::AttachControl(IControl* pControl)
{
  if (!pControl) return -1;
  pControl->SetGUI(this);
  mControls.emplace_back(pControl);
  return NControls() - 1;
}

IControl* IGraphics::GetControl(int idx) const
{
  return (idx >= 0 && idx < NControls()) ? mControls[static_cast<size_t>(idx)].get() : nullptr;
}

void IGraphics::AttachBackground(int id, const char* fileName)
{
  IBitmap bg = LoadIBitmap(id, fileName, 1);
  IControl* pBG = new IBitmapControl(mPlug, 0, 0, -1, bg);
  pBG->SetGUI(this);
  mControls.emplace(mControls.begin(), pBG);
  // Indices held for the mouse move up with the list.
  if (mMouseCapture >= 0) ++mMouseCapture;
  if (mMouseOver >= 0) ++mMouseOver;
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
  if (!normalized) {
    const IPlugParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    const double lo = param->GetMin(), hi = param->GetMax();
    if (value < lo) value = lo;
    if (value > hi) value = hi;
    value = hi > lo ? (value - lo) / (hi - lo) : 0.0;
  }
  if (OnGuiThread()) {
    ShowParameter(paramIdx, value);
  } else if (paramIdx >= 0 && paramIdx < mNoteParams) {
    // The value first, then the mark: the GUI thread takes the mark, then reads.
    mParamNote[paramIdx].store(value, std::memory_order_relaxed);
    mParamNoted[paramIdx / 64].fetch_or(uint64_t(1) << (paramIdx % 64), std::memory_order_release);
  }
}

void IGraphics::ShowParameter(int paramIdx, double normalizedValue)
{
  for (const auto& c : mControls)
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(normalizedValue);
}

void IGraphics::TakeNotes()
{
  const uint32_t requests = mRedrawRequests.load(std::memory_order_acquire);
  if (requests != mRedrawTaken) {
    mRedrawTaken = requests;
    for (const auto& c : mControls) c->SetDirty(false);
  }
  for (int w = 0; w < (mNoteParams + 63) / 64; ++w) {
    uint64_t bits = mParamNoted[w].exchange(0, std::memory_order_acquire);
    while (bits) {
      int b = 0;
      while (!(bits & (uint64_t(1) << b))) ++b;
      bits &= ~(uint64_t(1) << b);
      const int idx = w * 64 + b;
      ShowParameter(idx, mParamNote[idx].load(std::memory_order_relaxed));
    }
  }
}

void IGraphics::SetControlFromPlug(int paramIdx, double normalizedValue)
{
  for (const auto& c : mControls)
    if (c->ParamIdx() == paramIdx) c->SetValueFromUserInput(normalizedValue);
}

void IGraphics::SetAllControlsDirty()
{
  if (!OnGuiThread()) {
    mRedrawRequests.fetch_add(1, std::memory_order_release);
    return;
  }
  for (const auto& c : mControls) c->SetDirty(false);
}

bool IGraphics::IsDirty(IRECT& r)
{
  mGuiThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  TakeNotes();
  if (mpFrameTask) mpFrameTask(mpFrameTaskArg);
  r = IRECT();
  bool dirty = false;
  // By index: an observer may change other controls while being told.
  for (int i = 0; i < NControls(); ++i) {
    IControl* c = mControls[static_cast<size_t>(i)].get();
    if (c->HasChanged()) {
      if (c->NObservers() > 0)
        c->NotifyObservers(); // clears the flag before telling them
      else
        c->ClearChanged();
    }
    if (c->IsDirty()) {
      r = r.Union(ToDevice(c->GetRECT()));
      dirty = true;
    }
  }
  return dirty;
}

bool IGraphics::Draw(const IRECT& r)
{
  if (mControls.empty()) return true;
  mDrawRECT = r;
  for (const auto& c : mControls) {
    const IRECT& cr = c->GetRECT();
    if (!c->IsHidden() && !cr.Empty() && ToDevice(cr).Intersects(mDrawRECT)) c->Draw(this);
  }
  for (const auto& c : mControls) c->SetClean();
  return DrawScreen(r);
}

bool IGraphics::DrawRect(const IColor& color, const IRECT& r)
{
  bool ok = DrawHorizontalLine(color, r.T, r.L, r.R);
  ok = DrawHorizontalLine(color, r.B, r.L, r.R) && ok;
  ok = DrawVerticalLine(color, r.L, r.T, r.B) && ok;
  ok = DrawVerticalLine(color, r.R, r.T, r.B) && ok;
  return ok;
}

int IGraphics::GetMouseControlIdx(int x, int y)
{
  if (mMouseCapture >= 0 && mMouseCapture < NControls()) return mMouseCapture;
  for (int i = NControls() - 1; i >= 0; --i) {
    IControl* c = mControls[static_cast<size_t>(i)].get();
    if (!c->IsHidden() && !c->IsGrayed() && c->IsHit(x, y)) return i;
  }
  return -1;
}

IGraphics::UserInput::UserInput(IGraphics& g) : mG(g)
{
  if (IPlugBase* p = mG.GetPlug()) p->BeginUserInput();
}

IGraphics::UserInput::~UserInput()
{
  if (IPlugBase* p = mG.GetPlug()) p->EndUserInput(mG.GetCaptureIdx() >= 0);
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  x = FromDevice(x);
  y = FromDevice(y);
  UserInput input(*this);
  // A press while a gesture is still open: its release never came.
  if (mPlug) mPlug->EndOpenEdit();
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
  const int i = GetMouseControlIdx(x, y);
  if (i < 0) return;
  mMouseCapture = i;
  mMouseX = x;
  mMouseY = y;
  mRightButtonGesture = mod.R;
  IControl* c = mControls[static_cast<size_t>(i)].get();
  const unsigned prompts = mPromptCount;
  c->OnMouseDown(x, y, mod);
  // The handler may have changed the control list (Resize).
  if (GetControl(i) != c) return;
  // A prompt took over the press: its value, if any, is already set, and a
  // modal menu took the release with it, so the gesture ends here.
  if (mPromptCount != prompts) {
    mMouseCapture = -1;
    return;
  }
  const int paramIdx = c->ParamIdx();
  if (paramIdx >= 0 && mPlug) mPlug->BeginEditFromGUI(paramIdx);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod)
{
  x = FromDevice(x);
  y = FromDevice(y);
  UserInput input(*this);
  const int i = GetMouseControlIdx(x, y);
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
  mRightButtonGesture = false;
  if (i >= 0) mControls[static_cast<size_t>(i)]->OnMouseUp(x, y, mod);
  // The release ends whatever gesture its press began, after the control's
  // last value went out.
  if (mPlug) mPlug->EndOpenEdit();
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod)
{
  x = FromDevice(x);
  y = FromDevice(y);
  UserInput input(*this);
  if (mMouseCapture < 0 || mMouseCapture >= NControls()) return;
  if (x == mMouseX && y == mMouseY) return;
  const int dX = x - mMouseX;
  const int dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  mControls[static_cast<size_t>(mMouseCapture)]->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
  x = FromDevice(x);
  y = FromDevice(y);
  UserInput input(*this);
  if (mPlug) mPlug->EndOpenEdit();
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
  const int i = GetMouseControlIdx(x, y);
  if (i < 0) return false;
  IControl* c = mControls[static_cast<size_t>(i)].get();
  if (!c->GetDblAsSingleClick()) {
    c->OnMouseDblClick(x, y, mod);
    return false;
  }
  mMouseCapture = i;
  mMouseX = x;
  mMouseY = y;
  const unsigned prompts = mPromptCount;
  c->OnMouseDown(x, y, mod);
  // Routed as a press, it is a gesture like one.
  if (GetControl(i) == c && mPromptCount == prompts && c->ParamIdx() >= 0 && mPlug)
    mPlug->BeginEditFromGUI(c->ParamIdx());
  return true;
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int d)
{
  x = FromDevice(x);
  y = FromDevice(y);
  UserInput input(*this);
  const int i = GetMouseControlIdx(x, y);
  if (i >= 0) mControls[static_cast<size_t>(i)]->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod)
{
  x = FromDevice(x);
  y = FromDevice(y);
  if (!mHandleMouseOver) return false;
  const int i = GetMouseControlIdx(x, y);
  if (i < 0) return true;
  mMouseX = x;
  mMouseY = y;
  mControls[static_cast<size_t>(i)]->OnMouseOver(x, y, mod);
  if (mMouseOver >= 0 && mMouseOver != i && mMouseOver < NControls())
    mControls[static_cast<size_t>(mMouseOver)]->OnMouseOut();
  mMouseOver = i;
  return true;
}

void IGraphics::OnMouseOut()
{
  for (const auto& c : mControls) c->OnMouseOut();
  mMouseOver = -1;
}

void IGraphics::OnKeyDown(int x, int y, int key, const IMouseMod& mod)
{
  x = FromDevice(x);
  y = FromDevice(y);
  UserInput input(*this);
  if (mpKeyHandler && mpKeyHandler(mpKeyHandlerArg, key, mod)) return;
  const int i = GetMouseControlIdx(x, y);
  if (i >= 0) mControls[static_cast<size_t>(i)]->OnKeyDown(x, y, key);
}

void IGraphics::Resize(int w, int h)
{
  mWidth = w;
  mHeight = h;
  mMouseCapture = -1;
  mMouseOver = -1;
  mMouseX = mMouseY = -1;
  mRightButtonGesture = false;
  if (mPlug) mPlug->EndOpenEdit();
  DeleteControls();
  if (mPlug) mPlug->UpdateEditorSize();
}
