// Linux: the editor lives in an X11 window inside the host's one.
#include "IGraphicsPlatform.h"
#include "IGraphicsX11_x11.h"

IGraphics* CreatePlatformGraphics(IPlugBase* pPlug, int width, int height, int frameRate)
{
  return new IGraphicsX11(pPlug, width, height, frameRate);
}
