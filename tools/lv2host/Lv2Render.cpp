#include "Lv2Render.h"

bool Lv2RenderTarget::ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error)
{
  Lv2Transport t;
  t.frame = block.samplePos;
  t.tempo = block.tempo;
  t.sigNumerator = block.sigNumerator;
  t.sigDenominator = block.sigDenominator;
  t.playing = block.playing;
  return CollectBlock(mHost, [&] { return mHost.Process(t, block.frames); }, out, error);
}

bool PrepareLv2Plugin(Lv2Host& host, const std::vector<uint8_t>& stateBytes, const RenderSettings& settings,
                      std::string& error)
{
  // After a restore the plug-in takes the ports' values at its next run as the
  // state's own; that run comes before the --set values, so that they act.
  if (!stateBytes.empty() && (!host.RestoreState(stateBytes) || !host.Settle())) {
    error = host.Error();
    return false;
  }
  for (const auto& set : settings.sets) {
    int control = host.FindControl(set.first);
    if (control < 0) {
      error = "the plug-in has no control port named '" + set.first + "' (--params lists them)";
      return false;
    }
    // The value a VST host would pass: single precision.
    host.SetNormalised(control, static_cast<double>(static_cast<float>(set.second)));
  }
  // Ports act at a run: let them, so that a state saved now holds them.
  if (!settings.sets.empty() && !host.Settle()) {
    error = host.Error();
    return false;
  }
  return true;
}
