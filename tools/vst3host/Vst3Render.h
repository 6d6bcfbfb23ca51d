#pragma once
// The render tool's VST3 side: the VST3 host as a render target, and setting up a
// loaded plug-in from the render's options (state, --set values) the way the other
// formats do, so that every format starts a render from the same plug-in state.
//
// Thread: the caller's thread drives everything (see Vst3Host.h).

#include "Render.h"
#include "Vst3Host.h"

#include <string>

// The block's transport goes to the plug-in as the ProcessContext of one process call.
class Vst3RenderTarget : public RenderTarget {
public:
  explicit Vst3RenderTarget(Vst3Host& host) : mHost(host) {}
  int MaxBlockSize() const override { return mHost.BlockSize(); }
  bool ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error) override;

private:
  Vst3Host& mHost;
};

// Restores the state (when not empty) into the component and the controller, then
// sets each --set parameter, found by its title, to its normalised value, and
// delivers those changes in a process call of no frames without a transport, so
// that a state saved next holds them.
bool PrepareVst3Plugin(Vst3Host& host, const std::vector<uint8_t>& stateBytes, const RenderSettings& settings,
                       std::string& error);

// --params: a line per parameter (ID, title, display text, normalised value, unit).
std::string Vst3ParamList(const Vst3Host& host);
