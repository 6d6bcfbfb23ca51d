#pragma once
// The module holding the library's code: the plug-in DLL, or the program that
// links the code statically (tests, tools). Its "PNG" resources are the ones
// the bitmap layer finds by default.
//
// Thread: any.

#include <windows.h>

// Null when the module cannot be found.
HMODULE LICE_OwnModule();
