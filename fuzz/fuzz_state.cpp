// Feeds arbitrary bytes to the plug-in as a host's saved state (bank and
// program chunks), then plays a few blocks of the restored pattern: no byte
// sequence may crash the restore or the playback that follows it.
#include "IPlugVST.h"
#include "Tavrinel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// A host that answers nothing: no time info means the transport counts as
// playing at 120 bpm, 4/4, position 0.
intptr_t TAV_VSTCALL SilentHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  return opcode == 1 /* version */ ? 2400 : 0;
}

AEffect* Plugin()
{
  static AEffect* e = nullptr;
  if (!e) {
    e = IPlugVST::Entry<Tavrinel>(&SilentHost);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  }
  return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  AEffect* e = Plugin();
  std::vector<std::uint8_t> bytes(pData, pData + size);
  const bool bank = size > 0 && (pData[0] & 1);
  e->dispatcher(e, effSetChunk, bank ? 0 : 1, static_cast<intptr_t>(bytes.size()),
                bytes.empty() ? nullptr : bytes.data(), 0.0f);

  float left[256] = {}, right[256] = {};
  float* io[2] = {left, right};
  for (int i = 0; i < 4; ++i) e->processReplacing(e, io, io, 256);
  return 0;
}
