// Image resources embedded by the build: a table generated from the resource
// script, linked into the library that holds this code.
#include "LiceResource.h"

bool LICE_FindPNGResource(int id, const unsigned char** data, size_t* size, void* /*module*/)
{
  if (data) *data = nullptr;
  if (size) *size = 0;
  if (!data || !size) return false;
  for (int i = 0; i < g_liceEmbeddedResourceCount; ++i) {
    if (g_liceEmbeddedResources[i].id == id) {
      *data = g_liceEmbeddedResources[i].data;
      *size = g_liceEmbeddedResources[i].size;
      return true;
    }
  }
  return false;
}
