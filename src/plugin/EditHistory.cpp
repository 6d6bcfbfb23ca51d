#include "EditHistory.h"

#include <cstring>

namespace {

void AppendU32(std::vector<uint8_t>& out, uint32_t v)
{
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  out.insert(out.end(), b, b + 4);
}

uint32_t ReadU32(const uint8_t* p)
{
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

const std::string kNoName;

} // namespace

bool EditHistory::Record(const uint8_t* before, const uint8_t* after, int size, const std::string& name)
{
  if (size <= 0 || !before || !after || std::memcmp(before, after, static_cast<std::size_t>(size)) == 0)
    return false;
  Step step;
  step.mName = name;
  step.mSize = size;
  // First pass counts, so that the record is allocated once at its size.
  std::vector<std::pair<int, int>> runs;
  for (int i = 0; i < size;) {
    if (before[i] == after[i]) {
      ++i;
      continue;
    }
    int end = i + 1;
    for (int equal = 0; end < size && equal < JOIN_GAP; ++end) equal = before[end] == after[end] ? equal + 1 : 0;
    while (before[end - 1] == after[end - 1]) --end;  // no equal bytes at the end of a run
    runs.push_back({i, end - i});
    i = end;
  }
  std::size_t bytes = 0;
  for (const auto& run : runs) bytes += 8 + 2 * static_cast<std::size_t>(run.second);
  step.mRanges.reserve(bytes);
  for (const auto& run : runs) {
    AppendU32(step.mRanges, static_cast<uint32_t>(run.first));
    AppendU32(step.mRanges, static_cast<uint32_t>(run.second));
    step.mRanges.insert(step.mRanges.end(), before + run.first, before + run.first + run.second);
    step.mRanges.insert(step.mRanges.end(), after + run.first, after + run.first + run.second);
  }
  mSteps.resize(mCursor);
  if (mSteps.size() >= static_cast<std::size_t>(MAX_STEPS)) mSteps.erase(mSteps.begin());
  mSteps.push_back(std::move(step));
  mCursor = mSteps.size();
  return true;
}

void EditHistory::Apply(const Step& step, uint8_t* song, bool newer)
{
  const uint8_t* p = step.mRanges.data();
  const uint8_t* const end = p + step.mRanges.size();
  while (p < end) {
    const uint32_t offset = ReadU32(p);
    const uint32_t length = ReadU32(p + 4);
    const uint8_t* older = p + 8;
    std::memcpy(song + offset, newer ? older + length : older, length);
    p = older + 2 * static_cast<std::size_t>(length);
  }
}

bool EditHistory::Undo(uint8_t* song, int size)
{
  if (!CanUndo() || !song || mSteps[mCursor - 1].mSize != size) return false;
  Apply(mSteps[--mCursor], song, false);
  return true;
}

bool EditHistory::Redo(uint8_t* song, int size)
{
  if (!CanRedo() || !song || mSteps[mCursor].mSize != size) return false;
  Apply(mSteps[mCursor++], song, true);
  return true;
}

void EditHistory::Clear()
{
  std::vector<Step>().swap(mSteps);
  mCursor = 0;
}

const std::string& EditHistory::UndoName() const { return CanUndo() ? mSteps[mCursor - 1].mName : kNoName; }

const std::string& EditHistory::RedoName() const { return CanRedo() ? mSteps[mCursor].mName : kNoName; }

std::size_t EditHistory::Bytes() const
{
  std::size_t bytes = mSteps.capacity() * sizeof(Step);
  for (const Step& s : mSteps) {
    bytes += s.mRanges.capacity();
    // Names longer than the string's own buffer live on the heap.
    if (s.mName.capacity() > std::string().capacity()) bytes += s.mName.capacity() + 1;
  }
  return bytes;
}
