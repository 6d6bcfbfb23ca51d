#pragma once
// The process-wide image cache: every editor of every plug-in instance in the
// process shares it, so each resource image is decoded once per process. A list
// of (resource id, bitmap) pairs; images made at run time (scaled or cropped
// copies) are entered with id -1. The cache owns its bitmaps and deletes them
// when the library is unloaded.
//
// Thread: any (the editors, built on GUI threads when a host opens them; tools
// and tests on theirs). Lock: every function takes the cache's own process-wide mutex and
// needs no other lock.

#include "LiceBitmap.h"

#include <functional>

class LICE_ImageCache {
public:
  // The bitmap cached under id; if there is none, `load` runs (with the cache's
  // mutex held, so concurrent callers wait instead of decoding twice) and a
  // non-null result is entered under id. A null result is not entered: the next
  // call tries again. Ids < 0 are never looked up; their load result is not
  // entered.
  static LICE_IBitmap* FindOrLoad(int id, const std::function<LICE_IBitmap*()>& load);

  // The bitmap cached under id, or null.
  static LICE_IBitmap* Find(int id);

  // Enters a bitmap made at run time with id -1; the cache owns it from now on.
  // A bitmap already in the cache is not entered twice.
  static void Retain(LICE_IBitmap* bitmap);

  // Removes the bitmap's entry and deletes the bitmap. A bitmap the cache does
  // not hold is left alone (never deleted by the cache).
  static void Release(LICE_IBitmap* bitmap);

  // Whether the bitmap is in the cache.
  static bool Contains(const LICE_IBitmap* bitmap);

  // Number of entries.
  static int Count();
};
