// The host's library loading for POSIX systems, for the tests.
#include "../../tools/vsthost/PresetState_posix.cpp"
#include "../../tools/vsthost/VstHost_posix.cpp"
