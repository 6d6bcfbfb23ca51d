// Feeds arbitrary bytes to the PNG decoder, at once and on first use: it must
// return a bitmap or null, never crash, hang, leak or read outside its input.
#include "LiceDraw.h"
#include "LicePng.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  LICE_MemBitmap* bm = LICE_LoadPNGFromMemory(data, size);
  if (bm) {
    // Touch every pixel so that a wrong size or span shows up.
    LICE_MemBitmap copy;
    LICE_Copy(&copy, bm);
    delete bm;
  }
  if (LICE_PNGImage* lazy = LICE_PNGImage::Open(data, size)) {
    LICE_MemBitmap copy;
    LICE_Copy(&copy, lazy);
    delete lazy;
  }
  return 0;
}
