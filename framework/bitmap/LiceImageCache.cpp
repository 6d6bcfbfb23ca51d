#include "LiceImageCache.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

struct Cache {
  std::recursive_mutex mutex; // recursive: a loader may itself use the cache
  std::vector<std::pair<int, LICE_IBitmap*>> entries;

  // Runs when the library is unloaded (or the process ends).
  ~Cache()
  {
    for (size_t i = entries.size(); i-- > 0;) delete entries[i].second;
  }

  int IndexOf(const LICE_IBitmap* bitmap) const
  {
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].second == bitmap) return (int)i;
    return -1;
  }
};

Cache& TheCache()
{
  static Cache cache;
  return cache;
}

} // namespace

LICE_IBitmap* LICE_ImageCache::FindOrLoad(int id, const std::function<LICE_IBitmap*()>& load)
{
  Cache& c = TheCache();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  if (id >= 0) {
    for (const auto& e : c.entries)
      if (e.first == id) return e.second;
  }
  LICE_IBitmap* bitmap = load ? load() : nullptr;
  if (bitmap && id >= 0 && c.IndexOf(bitmap) < 0) c.entries.emplace_back(id, bitmap);
  return bitmap;
}

LICE_IBitmap* LICE_ImageCache::Find(int id)
{
  if (id < 0) return nullptr;
  Cache& c = TheCache();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  for (const auto& e : c.entries)
    if (e.first == id) return e.second;
  return nullptr;
}

void LICE_ImageCache::Retain(LICE_IBitmap* bitmap)
{
  if (!bitmap) return;
  Cache& c = TheCache();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  if (c.IndexOf(bitmap) < 0) c.entries.emplace_back(-1, bitmap);
}

void LICE_ImageCache::Release(LICE_IBitmap* bitmap)
{
  if (!bitmap) return;
  Cache& c = TheCache();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  const int i = c.IndexOf(bitmap);
  if (i < 0) return;
  c.entries.erase(c.entries.begin() + i);
  delete bitmap;
}

bool LICE_ImageCache::Contains(const LICE_IBitmap* bitmap)
{
  Cache& c = TheCache();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  return bitmap && c.IndexOf(bitmap) >= 0;
}

int LICE_ImageCache::Count()
{
  Cache& c = TheCache();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  return (int)c.entries.size();
}
