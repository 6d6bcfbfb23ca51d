// Feeds arbitrary bytes to the configuration reader as if they were Tavrinel.ini.
#include "Configurable.h"
#include "ConfigurablePool.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Every character whole: a lead byte followed by as many continuation bytes as it announces.
bool wholeUtf8(const char* p)
{
  for (const unsigned char* s = reinterpret_cast<const unsigned char*>(p); *s;) {
    const int len = *s < 0x80 ? 1 : *s >= 0xF0 ? 4 : *s >= 0xE0 ? 3 : *s >= 0xC2 ? 2 : 0;
    if (len == 0) return false;
    for (int i = 1; i < len; ++i)
      if ((s[i] & 0xC0) != 0x80) return false;
    s += len;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  ConfigurablePool pool;
  pool.add();
  pool.get(0)->setName("PresetFolder");
  pool.get(0)->setString("");
  pool.add();
  pool.get(1)->setName("x");

  ConfigurationFileReader reader;
  reader.openMemory(reinterpret_cast<const char*>(pData), size);
  int settings = 0;
  while (reader.readSetting()) {
    ++settings;
    const std::size_t nameLen = std::strlen(reader.getName());
    if (nameLen == 0 || nameLen > ConfigurationFileReader::NAME_MAX_LEN) std::abort();
    // A value never outgrows the line it came from.
    if (std::strlen(reader.getValue()) > TextFileReader::LINE_MAX_LEN) std::abort();
    if (!wholeUtf8(reader.getName()) || !wholeUtf8(reader.getValue())) std::abort();
    if (Configurable* pConfig = pool.findByName(reader.getName())) pConfig->setString(reader.getValue());
  }
  if (settings > static_cast<int>(size)) std::abort(); // every setting takes at least one byte

  reader.openMemory(reinterpret_cast<const char*>(pData), size);
  pool.loadConfiguration(reader);
  if (!pool.get(0)->getString()) std::abort();

  // Tokens of the raw text with a small buffer; the returned position stays inside it.
  char text[257];
  const std::size_t n = size < 256 ? size : 256;
  std::memcpy(text, pData, n);
  text[n] = 0;
  char buf[4];
  const char* p = text;
  for (int i = 0; i < 300 && *p; ++i) {
    const char* pNext = nextToken(p, buf, 3);
    if (pNext < p || pNext > text + n || std::strlen(buf) > 3) std::abort();
    if (pNext == p) break;
    p = pNext;
  }
  return 0;
}
