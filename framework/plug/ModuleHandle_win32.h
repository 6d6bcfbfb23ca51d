#pragma once
// The plug-in library's own module handle, as the loader handed it to DllMain.
// The editor registers its window class with it and reads its image resources
// from it. In a program that links the plug-in's code directly (tests, tools)
// DllMain never runs and the handle is null; the editor then falls back to the
// module that holds its code.
//
// Thread: any. Written once by the loader before any other call into the
// library, read-only afterwards.

#include <windows.h>

HINSTANCE TavrinelModuleHandle();
