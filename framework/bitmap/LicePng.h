#pragma once
// PNG images into bitmaps. Any PNG colour type and depth is accepted: palette
// and grey images are expanded to RGB, transparency chunks become alpha, 16-bit
// channels are scaled to 8, and images without alpha get 255. Anything that is
// not a valid, complete PNG yields null; decoding never crashes on bad input.
//
// Thread: any (no shared state). No lock.

#include "LiceBitmap.h"

#include <cstddef>

// File-dialog filter for PNG images: the text, a NUL, the pattern, two NULs.
extern const char LICE_PNG_FILE_FILTER[];

// Decodes a PNG held in memory. Null for fewer than 8 bytes, a missing
// signature, a broken or truncated stream, or an image larger than
// LICE_MAX_PIXELS (or wider or taller than 65536).
LICE_MemBitmap* LICE_LoadPNGFromMemory(const void* data, size_t size);

// Reads and decodes a PNG file; null when it cannot be read or decoded.
LICE_MemBitmap* LICE_LoadPNGFromFile(const char* path);

// Whether the name's extension (the text after its last '.') is "png" in any
// letter case.
bool LICE_HasPNGExtension(const char* fileName);

// The image resource loader of the window layer: decodes the "PNG" resource `id`
// of our own library. Null when fileName does not end in the "png" extension,
// the resource is missing or shorter than 8 bytes, or it does not decode.
// `module` is the native module handle to search (Windows; null = the module
// holding this code); ignored elsewhere.
LICE_MemBitmap* LICE_LoadPNGFromResource(int id, const char* fileName, void* module = nullptr);
