#include "Vst3Render.h"

#include <cstdio>

bool Vst3RenderTarget::ProcessBlock(const RenderBlock& block, std::vector<MidiEventAt>& out, std::string& error)
{
  mHost.Transport() =
    Vst3Transport{true, block.playing, block.samplePos, block.tempo, block.sigNumerator, block.sigDenominator};
  return CollectBlock(mHost, [&] { return mHost.Process(block.frames); }, out, error);
}

bool PrepareVst3Plugin(Vst3Host& host, const std::vector<uint8_t>& stateBytes, const RenderSettings& settings,
                       std::string& error)
{
  if (!stateBytes.empty() && !host.SetState(stateBytes)) {
    error = host.Error();
    return false;
  }
  for (const auto& set : settings.sets) {
    const vst3::ParamID id = host.FindParam(set.first);
    if (id == vst3::kNoParamId) {
      error = "the plug-in has no parameter named '" + set.first + "' (--params lists them)";
      return false;
    }
    // The value a VST 2.4 host would pass: single precision.
    host.SetParam(id, static_cast<double>(static_cast<float>(set.second)));
  }
  if (settings.sets.empty()) return true;
  // Stopped and without a context, so that nothing plays before the render.
  const Vst3Transport before = host.Transport();
  host.Transport().context = false;
  host.Transport().playing = false;
  const bool delivered = host.Process(0);
  host.Transport() = before;
  if (!delivered) error = host.Error();
  return delivered;
}

std::string Vst3ParamList(const Vst3Host& host)
{
  std::string list = host.Chosen().name + ": " + std::to_string(host.Params().size()) + " parameters\n";
  for (size_t i = 0; i < host.Params().size(); ++i) {
    const vst3::ParameterInfo& p = host.Params()[i];
    const std::string units = Vst3Utf8(p.units, 128);
    char line[512];
    std::snprintf(line, sizeof line, "%4u  %-24s %-12s %.6f%s%s\n", static_cast<unsigned>(p.id),
                  ("'" + host.ParamTitle(i) + "'").c_str(), host.ParamDisplay(p.id).c_str(), host.GetParam(p.id),
                  units.empty() ? "" : "  ", units.c_str());
    list += line;
  }
  return list;
}
