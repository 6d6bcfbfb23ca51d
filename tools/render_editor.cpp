// Draws the plug-in's editor as a host first shows it (default pattern and
// parameters) on an off-screen surface and writes it to a PNG file: whole, or a
// part of it enlarged so that the layout can be looked at pixel by pixel.
//
//   render_editor [out.png] [--crop L T R B] [--zoom N]

#include "IGraphicsOffscreen.h"
#include "LiceBitmap.h"
#include "LicePng.h"
#include "Tavrinel.h"

#include "WritePng.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
  const char* out = "editor.png";
  IRECT crop(0, 0, 720, 650);
  int zoom = 1;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--crop") && i + 4 < argc) {
      crop = IRECT(std::atoi(argv[i + 1]), std::atoi(argv[i + 2]), std::atoi(argv[i + 3]), std::atoi(argv[i + 4]));
      i += 4;
    } else if (!std::strcmp(argv[i], "--zoom") && i + 1 < argc) {
      zoom = std::atoi(argv[++i]);
    } else {
      out = argv[i];
    }
  }
  crop = crop.Intersect(IRECT(0, 0, 720, 650));
  if (crop.Empty() || zoom < 1 || zoom > 16) {
    std::fprintf(stderr, "usage: %s [out.png] [--crop L T R B] [--zoom 1..16]\n", argv[0]);
    return 2;
  }

  Tavrinel plug;
  plug.RunAllParamHooks();  // as a host's open does
  IGraphicsOffscreen* g = new IGraphicsOffscreen(&plug, 720, 650);
  g->SetImageLoader([](int id, const char* name) { return LICE_OpenPNGResource(id, name); });
  plug.BuildEditor(g); // the plug-in owns it from now on
  g->SetAllControlsDirty();
  IRECT dirty;
  g->IsDirty(dirty); // the read-outs take their texts
  g->Draw(IRECT(0, 0, 720, 650));

  const LICE_pixel* bits = static_cast<const LICE_pixel*>(g->GetBits());
  LICE_MemBitmap picture(crop.W() * zoom, crop.H() * zoom);
  for (int y = 0; y < picture.GetHeight(); ++y)
    for (int x = 0; x < picture.GetWidth(); ++x)
      picture.GetBits()[y * picture.GetRowSpan() + x] = bits[(crop.T + y / zoom) * 720 + crop.L + x / zoom];
  if (!WritePNG(out, &picture)) {
    std::fprintf(stderr, "cannot write %s\n", out);
    return 1;
  }
  return 0;
}
