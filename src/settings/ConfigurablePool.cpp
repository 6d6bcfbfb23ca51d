#include "ConfigurablePool.h"

#include "Assert.h"
#include "HomeDirectory.h"

#include <cstring>

ConfigurableList::~ConfigurableList()
{
  for (std::size_t i = mItems.size(); i > 0; --i) delete mItems[i - 1];
}

int ConfigurablePool::add()
{
  mConfigurables.Add(new Configurable());
  return mConfigurables.GetSize() - 1;
}

Configurable* ConfigurablePool::get(int configIdx) const
{
  TAV_ASSERT(configIdx >= 0 && configIdx < mConfigurables.GetSize(), "src\\ConfigurablePool");
  return mConfigurables.Get(configIdx);
}

Configurable* ConfigurablePool::findByName(const char* pName) const
{
  if (!pName) return nullptr;
  for (int i = 0; i < mConfigurables.GetSize(); ++i) {
    Configurable* pConfig = mConfigurables.Get(i);
    if (pConfig->getName() && std::strcmp(pConfig->getName(), pName) == 0) return pConfig;
  }
  return nullptr;
}

bool ConfigurablePool::loadConfiguration()
{
  HomeDirectory home("Tavrinel.ini");
  return loadConfiguration(home.getPathname());
}

bool ConfigurablePool::loadConfiguration(const char* pPath)
{
  ConfigurationFileReader reader;
  if (!reader.open(pPath)) return false;
  loadConfiguration(reader);
  return true;
}

void ConfigurablePool::loadConfiguration(ConfigurationFileReader& reader)
{
  while (reader.readSetting()) {
    if (Configurable* pConfig = findByName(reader.getName())) pConfig->setString(reader.getValue());
  }
  reader.close();
}
