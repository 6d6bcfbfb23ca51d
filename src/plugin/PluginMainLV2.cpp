// The LV2 library's entry points: the plug-in and its X11 editor, both in this
// one binary (the editor reaches the plug-in object through instance-access).

#include "IPlugLV2.h"
#include "Tavrinel.h"

extern "C" {

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return IPlugLV2::Descriptor<Tavrinel>(index, Tavrinel::PLUG_LV2_URI);
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return IPlugLV2::UIDescriptor(index, Tavrinel::PLUG_LV2_UI_URI);
}

} // extern "C"
