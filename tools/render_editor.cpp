// Draws the plug-in's editor as a host first shows it (default pattern and
// parameters) on an off-screen surface and writes it to a PNG file: whole, or a
// part of it enlarged so that the layout can be looked at pixel by pixel, at
// one of the editor's sizes.
//
//   render_editor [out.png] [--scale 1|1.25|1.5|1.75|2] [--crop L T R B] [--zoom N]
//
// The crop is in the editor's 1x coordinates; the picture has the scaled
// size times the zoom.

#include "IGraphicsOffscreen.h"
#include "LiceBitmap.h"
#include "LicePng.h"
#include "Tavrinel.h"

#include "WritePng.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ReadInt(const char* text, int& out)
{
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end || v < -100000 || v > 100000) return false;
  out = static_cast<int>(v);
  return true;
}

} // namespace

int main(int argc, char** argv)
{
  const char* out = nullptr;
  IRECT crop(0, 0, 720, 650);
  int zoom = 1;
  double scale = 1.0;
  bool ok = true;
  for (int i = 1; i < argc && ok; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--crop") && i + 4 < argc) {
      ok = ReadInt(argv[i + 1], crop.L) && ReadInt(argv[i + 2], crop.T) && ReadInt(argv[i + 3], crop.R) &&
           ReadInt(argv[i + 4], crop.B);
      i += 4;
    } else if (!std::strcmp(a, "--zoom") && i + 1 < argc) {
      ok = ReadInt(argv[++i], zoom);
    } else if (!std::strcmp(a, "--scale") && i + 1 < argc) {
      char* end = nullptr;
      scale = std::strtod(argv[++i], &end);
      ok = *end == 0 && IGraphics::NearestScale(scale) == scale;
    } else if (a[0] == '-' || out) {
      std::fprintf(stderr, "render_editor: unknown option or extra argument: %s\n", a);
      return 1;
    } else {
      out = a;
    }
  }
  crop = crop.Intersect(IRECT(0, 0, 720, 650));
  if (!ok || crop.Empty() || zoom < 1 || zoom > 16) {
    std::fprintf(stderr, "usage: %s [out.png] [--scale 1|1.25|1.5|1.75|2] [--crop L T R B] [--zoom 1..16]\n",
                 argv[0]);
    return 1;
  }
  if (!out) out = "editor.png";

  Tavrinel plug;
  plug.RunAllParamHooks();  // as a host's open does
  IGraphicsOffscreen* g = new IGraphicsOffscreen(&plug, 720, 650);
  g->SetImageLoader([](int id, const char* name) { return LICE_OpenPNGResource(id, name); });
  plug.BuildEditor(g); // the plug-in owns it from now on
  // The size asked for, whatever the user running the tool chose for editors.
  g->SetScaleFrom(IGraphics::kScaleFromUser, scale);
  g->SetAllControlsDirty();
  IRECT dirty;
  g->IsDirty(dirty); // the read-outs take their texts
  g->Draw(IRECT(0, 0, g->WindowWidth(), g->WindowHeight()));

  const IRECT part = g->ToDevice(crop);
  const LICE_pixel* bits = static_cast<const LICE_pixel*>(g->GetBits());
  LICE_MemBitmap picture(part.W() * zoom, part.H() * zoom);
  for (int y = 0; y < picture.GetHeight(); ++y)
    for (int x = 0; x < picture.GetWidth(); ++x)
      picture.GetBits()[y * picture.GetRowSpan() + x] =
        bits[(part.T + y / zoom) * g->WindowWidth() + part.L + x / zoom];
  if (!WritePNG(out, &picture)) {
    std::fprintf(stderr, "cannot write %s\n", out);
    return 1;
  }
  return 0;
}
