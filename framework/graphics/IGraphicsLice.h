#pragma once
// The IGraphics drawing primitives on an off-screen 32-bit surface, through the
// bitmap layer, and bitmap loading through the process-wide image cache. The
// window-system operations (window, dialogs, menus, text, image resources) are
// left to a subclass.
//
// Every primitive clips to the current draw rectangle and to the surface, so a
// draw pass never changes pixels outside the area it redraws; outside a draw
// pass (empty draw rectangle) nothing is drawn.
//
// At a factor other than 1 the surface has the window's size and the images
// are drawn from device images made once per image and factor: the image's
// 2x resource (id + kHiResIdOffset, file "2x/" beside the 1x file) as it is
// at 2, reduced per frame with an area filter between; a bitmap without such
// a resource is resampled from its 1x pixels. Resource images and their
// reductions live in the process's image cache, shared by every editor;
// other bitmaps' device images belong to this editor. Text is rasterised at
// the scaled size.
//
// Thread: the GUI thread. No lock, except the image cache's own inside the
// bitmap operations.

#include "IGraphics.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class LICE_IBitmap;
class LICE_MemBitmap;
class LICE_SysBitmap;

class IGraphicsLice : public IGraphics {
public:
  // Resource id of an image's 2x version.
  static constexpr int kHiResIdOffset = 1000;
  // File name of an image's 2x version: "2x/" before the name's last part.
  static std::string HiResName(const char* fileName);

  IGraphicsLice(IPlugBase* pPlug, int w, int h, int frameRate = 0);
  ~IGraphicsLice() override;

  // Creates the surface (the window's size) and the empty temporary bitmap,
  // unless it has a surface of that size.
  void PrepDraw() override;
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                  const IChannelBlend* pBlend = nullptr) override;
  bool DrawRotatedBitmap(const IBitmap& bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                         const IChannelBlend* pBlend = nullptr) override;
  bool DrawRotatedMask(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y, double angle,
                       const IChannelBlend* pBlend = nullptr) override;
  bool DrawPoint(const IColor& color, float x, float y, const IChannelBlend* pBlend = nullptr) override;
  bool ForcePixel(const IColor& color, int x, int y) override;
  bool DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IChannelBlend* pBlend = nullptr,
                bool antiAlias = false) override;
  bool DrawArc(const IColor& color, float cx, float cy, float r, float minAngle, float maxAngle,
               const IChannelBlend* pBlend = nullptr, bool antiAlias = false) override;
  bool DrawCircle(const IColor& color, float cx, float cy, float r, const IChannelBlend* pBlend = nullptr,
                  bool antiAlias = false) override;
  bool FillIRect(const IColor& color, const IRECT& r, const IChannelBlend* pBlend = nullptr) override;
  IColor GetPoint(int x, int y) override;
  void* GetBits() override;
  void* Reserved() override { return nullptr; }
  // A null result of OSLoadBitmap gives an IBitmap without data (0 x 0), which
  // draws nothing; the next load of the id tries again.
  IBitmap LoadIBitmap(int id, const char* fileName, int nFrames = 1) override;
  IBitmap ScaleBitmap(const IBitmap& bitmap, int w, int h) override;
  IBitmap CropBitmap(const IBitmap& bitmap, const IRECT& r) override;
  bool DrawVerticalLine(const IColor& color, int x, int y1, int y2) override;
  bool DrawHorizontalLine(const IColor& color, int y, int x1, int x2) override;
  void RetainBitmap(const IBitmap& bitmap) override;
  void ReleaseBitmap(const IBitmap& bitmap) override;

  // The surface (null before PrepDraw).
  LICE_IBitmap* GetDrawBitmap() const;
  // What a bitmap draws from at the current factor (the bitmap's own pixels
  // at 1); null for a bitmap without data.
  LICE_IBitmap* DeviceImage(const IBitmap& bitmap);
  // Bytes of pixel memory this editor holds: the surface and the device
  // images of its bitmaps that are not in the image cache.
  size_t OwnImageBytes() const;

protected:
  // The draw rectangle limited to the surface; empty without a surface.
  IRECT ClipRECT() const;
  // Resizes the surface to the window's size, if it exists.
  void ResizeSurface();
  // New surface size, device images for the new factor.
  void OnScaleChanged() override;
  // Sets every device pixel of r (clipped) to the colour, unblended.
  void ForceDeviceRect(const IRECT& r, const IColor& color);
  // Draws the text with the bitmap layer's rasteriser into r (not clipped to r,
  // only to the draw rectangle); whether any text was drawn.
  bool RasterizeText(const IText& text, const char* str, const IRECT& r);

  // ---- shared by the parameter prompts of the subclasses ----
  // Normalised value of a plain one, clamped into the parameter's range first
  // (a value that is not finite counts as 0).
  static double NormalizePlain(const IPlugParam* pParam, double v);
  // A decimal number at the start of the text (leading blanks and one '+'
  // allowed), whatever the C locale says about the decimal point; 0 when there
  // is none.
  static double ParseNumber(const std::string& text);
  // Sets the parameter from the text typed into an entry box: one of its
  // display texts when it has them (0 when none matches), else ParseNumber.
  static void CommitTypedText(IControl* pControl, const IPlugParam* pParam, const std::string& text);
  // The enum popup's items: every display text, the current one checked, a new
  // column every itemsPerColumn items (none when 0 or less).
  static void FillEnumMenu(IPopupMenu& menu, const IPlugParam* pParam, int itemsPerColumn);
  // Sets the parameter to the value of its display text at index.
  static void CommitEnumChoice(IControl* pControl, const IPlugParam* pParam, int index);

  std::unique_ptr<LICE_SysBitmap> mDrawBitmap;
  std::unique_ptr<LICE_MemBitmap> mTmpBitmap;

private:
  LICE_IBitmap* MakeDeviceImage(const IBitmap& bitmap);
  // Device y of a source y inside a frame strip of bitmap drawn from image.
  int DeviceSrcY(const IBitmap& bitmap, int srcY) const;

  struct ImageSource {
    int mId;
    std::string mFileName;
  };
  std::unordered_map<const LICE_IBitmap*, ImageSource> mSources;   // from LoadIBitmap
  std::unordered_map<const LICE_IBitmap*, LICE_IBitmap*> mDeviceImages;  // for the current factor
  std::vector<std::unique_ptr<LICE_IBitmap>> mOwnImages;  // device images outside the cache
};
