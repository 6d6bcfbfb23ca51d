// The host's library loading for Windows, for the tests.
#include "../../tools/vsthost/PresetState_win32.cpp"
#include "../../tools/vsthost/VstHost_win32.cpp"
