#pragma once
// Finding the plug-in's image resources at run time. On Windows they are
// resources of type "PNG" (language 1033) compiled into our own library; on
// other systems the build embeds the same files, listed by the same resource
// script, as byte arrays inside the library.
//
// Thread: any. No lock (the data is read-only).

#include <cstddef>

// The bytes of the "PNG" resource `id`. `module` is the native module handle to
// search (Windows: an HINSTANCE; null means the module that holds this code, the
// plug-in library itself); ignored elsewhere. False when there is no such
// resource; *data and *size are then null and 0.
bool LICE_FindPNGResource(int id, const unsigned char** data, size_t* size, void* module = nullptr);

// One embedded image; the build generates the table (non-Windows systems).
struct LICE_EmbeddedResource {
  int id;
  const unsigned char* data;
  size_t size;
};
extern const LICE_EmbeddedResource g_liceEmbeddedResources[];
extern const int g_liceEmbeddedResourceCount;
