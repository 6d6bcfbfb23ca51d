#pragma once
// Drawing operations of the bitmap layer. Every operation clips to the
// destination bitmap's bounds (and blits also to the source's); nothing outside
// them is read or written. Non-finite coordinates draw nothing, and so does a
// source without pixels (an image whose decoding failed, LicePng.h).
//
// Weight and blending. `alpha` is the operation's weight, 0..1 (clamped; NaN
// counts as 0), turned into w = round(alpha * 256) in 0..256. For a source pixel
// s (or the colour of a shape) and a destination pixel d, per channel:
//
//   k = w                                      without LICE_BLIT_USE_ALPHA
//   k = (w * (sa + (sa >> 7))) >> 8            with it (sa = source alpha 0..255)
//   antialiased shapes multiply k by the pixel's coverage (0..256, >> 8).
//
//   COPY:  c = (d * (256 - k) + s * k + 128) >> 8
//   ADD:   c = min(255, d + ((s * k + 128) >> 8))
//   DODGE: c = (d * (256 - k) + D * k + 128) >> 8,  D = s == 255 ? (d ? 255 : 0)
//                                                       : min(255, d * 255 / (255 - s))
//
// Red, green and blue always follow the mode. Alpha follows it too without
// LICE_BLIT_USE_ALPHA; with it the result's alpha is the coverage union
// a = da + (((255 - da) * k + 128) >> 8). So a plain copy at weight 1 is an
// exact copy of all four channels, a copy with source alpha at weight 1 copies
// opaque source pixels exactly and leaves fully transparent ones untouched, and
// weight 0 never changes anything.
//
// Thread: the caller's (the GUI thread for the editor). No lock.

#include "LiceBitmap.h"

enum {
  LICE_BLIT_MODE_COPY = 0,
  LICE_BLIT_MODE_ADD = 1,
  LICE_BLIT_MODE_DODGE = 2,
  LICE_BLIT_MODE_MASK = 0x0F,
  LICE_BLIT_FILTER_BILINEAR = 0x10, // scaled and rotated copies only
  LICE_BLIT_USE_ALPHA = 0x20,
};

// Copies the source rectangle (srcx, srcy, srcw x srch) to (dstx, dsty). Parts of
// the rectangle outside the source are skipped and the destination moves with
// them. Source and destination may be the same bitmap, overlapping or not.
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
               int srch, float alpha, int mode);

// Whole-rectangle blit of a source to the same position: LICE_Blit(dest, src, x,
// y, 0, 0, src width, src height, alpha, mode).
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int x, int y, float alpha, int mode);

// Stretches the source rectangle (srcx, srcy, srcw x srch; fractions allowed)
// over the destination rectangle (dstx, dsty, dstw x dsth). Destination pixel
// centres map linearly onto the source rectangle; with LICE_BLIT_FILTER_BILINEAR
// the four nearest source pixels are interpolated, samples clamped to the source
// rectangle (so frames of a strip never bleed into each other), otherwise the
// nearest pixel is taken. Source and destination must be different bitmaps
// (nothing is drawn otherwise).
void LICE_ScaledBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode);

// Maps the source rectangle onto the destination rectangle as LICE_ScaledBlit,
// then turns the result by `angle` radians about the destination rectangle's
// centre (positive angles turn clockwise on screen). Only pixels whose centres
// fall inside the turned rectangle are written; they may lie outside the
// destination rectangle itself. Source and destination must differ.
// The destination rectangle may have fractional coordinates (e.g. to centre an
// odd-sized image on a pixel boundary).
void LICE_RotatedBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, float dstx, float dsty, float dstw, float dsth,
                      float srcx, float srcy, float srcw, float srch, float angle, float alpha, int mode);

// Blends one pixel of colour `color` at (x, y).
void LICE_PutPixel(LICE_IBitmap* bm, int x, int y, LICE_pixel color, float alpha, int mode);

// The pixel at (x, y); 0 outside the bitmap.
LICE_pixel LICE_GetPixel(const LICE_IBitmap* bm, int x, int y);

// Line one pixel wide between the pixel centres (x1, y1) and (x2, y2), both ends
// included. Antialiased lines spread each step over the two nearest pixels.
void LICE_Line(LICE_IBitmap* bm, float x1, float y1, float x2, float y2, LICE_pixel color, float alpha, int mode,
               bool aa);

// Arc of the circle of radius r about (cx, cy), one pixel wide, from angle
// `minAngle` to `maxAngle` (radians, 0 pointing up, growing clockwise on screen;
// the ends are swapped when given the other way round, a span of 2 pi or more is
// the whole circle).
void LICE_Arc(LICE_IBitmap* bm, float cx, float cy, float r, float minAngle, float maxAngle, LICE_pixel color,
              float alpha, int mode, bool aa);

// Circle of radius r about (cx, cy), one pixel wide.
void LICE_Circle(LICE_IBitmap* bm, float cx, float cy, float r, LICE_pixel color, float alpha, int mode, bool aa);

// Fills the rectangle (x, y, w x h).
void LICE_FillRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel color, float alpha, int mode);

// Sets every pixel to `color`.
void LICE_Clear(LICE_IBitmap* bm, LICE_pixel color);

// Resizes dest to the source's size and copies every pixel. False when the
// resize fails or the source has a size but no pixels (dest is then unchanged).
bool LICE_Copy(LICE_IBitmap* dest, const LICE_IBitmap* src);

// New bitmap of w x h holding the whole source stretched with bilinear filtering
// (all four channels copied); null for a size <= 0 or out of memory.
LICE_MemBitmap* LICE_CreateScaledCopy(const LICE_IBitmap* src, int w, int h);

// New bitmap holding the source rectangle (x, y, w x h); parts outside the
// source are transparent black. Null for a size <= 0 or out of memory.
LICE_MemBitmap* LICE_CreateCroppedCopy(const LICE_IBitmap* src, int x, int y, int w, int h);

// New bitmap of `frames` frames stacked vertically, each w x frameH, holding
// the source's frames (its height split into `frames` equal parts) resampled
// with an area filter: every new pixel is the average of the source area it
// covers, weighted by alpha. Frames never bleed into each other. Null for a
// size <= 0, a source without pixels, or out of memory.
LICE_MemBitmap* LICE_CreateAreaScaledFrames(const LICE_IBitmap* src, int frames, int w, int frameH);
