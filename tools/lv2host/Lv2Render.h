#pragma once
// The render tool's LV2 side: the LV2 host as a render target, and setting up a
// loaded plug-in from the render's options (state chunk, --set values) the way the
// VST side does, so that both formats start a render from the same plug-in state.
//
// Thread: the caller's thread drives everything (see Lv2Host.h).

#include "Lv2Host.h"
#include "Render.h"

// The block's transport goes to the plug-in as a time:Position at frame 0 of the run.
class Lv2RenderTarget : public RenderTarget {
public:
  explicit Lv2RenderTarget(Lv2Host& host) : mHost(host) {}
  int MaxBlockSize() const override { return mHost.BlockSize(); }
  bool ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error) override;

private:
  Lv2Host& mHost;
};

// Restores the state chunk (stateBytes, when not empty) through the state extension,
// then sets each --set control to the plain value of its normalised host value.
bool PrepareLv2Plugin(Lv2Host& host, const std::vector<uint8_t>& stateBytes, const RenderSettings& settings,
                      std::string& error);
