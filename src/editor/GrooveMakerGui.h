#pragma once
// The groove editor: 48 bars, one per groove step, whose heights are the
// steps' velocity factors (0..128), painted with the mouse; and the strip
// below it that shows which step is playing.
//
// Threads and lock: everything runs on the editor (GUI) thread. The plug-in
// publishes groove changes (TavrinelGui::GrooveSerial) and the editor marks
// both controls dirty from that. A painted value is stored under the plug-in's
// recursive mutex, so a state save never sees half a gesture; drawing copies
// the groove under the same mutex first.

#include "IControl.h"

class GrooveMaker;

// The bar of step i spans x = L + pitch * i .. L + pitch * i + 12 and rises
// from B by value / unitsPerPixel pixels. A click or drag sets the step under
// the pointer from its height above B, unless the step is locked.
class IGrooveMakerCanvas : public IControl {
public:
  IGrooveMakerCanvas(IPlugBase* pPlug, const IRECT& rect, GrooveMaker* pGroove, int unitsPerPixel = 2,
                     int columnPitch = 14);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
  // Also outside the control: above it is 128, below it 0.
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  bool Draw(IGraphics* pGraphics) override;

  // The step column under x, held to 0..47.
  int StepAt(int x) const;
  IRECT BarRect(int step) const;

private:
  void Paint(int step, int value);

  GrooveMaker* mpGroove;
  int mUnitsPerPixel;
  int mColumnPitch;
};

// One 12-pixel block per step: white for the current groove step, black for
// the others.
class IGrooveMakerStepMarker : public IControl {
public:
  IGrooveMakerStepMarker(IPlugBase* pPlug, const IRECT& rect, GrooveMaker* pGroove, int columnPitch = 14);
  bool Draw(IGraphics* pGraphics) override;

private:
  GrooveMaker* mpGroove;
  int mColumnPitch;
};
