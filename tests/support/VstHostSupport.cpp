// Builds the render tool's portable host sources into the test support library.
#include "../../tools/vsthost/MidiFile.cpp"
#include "../../tools/vsthost/PresetState.cpp"
#include "../../tools/vsthost/Render.cpp"
#include "../../tools/vsthost/VstHost.cpp"
