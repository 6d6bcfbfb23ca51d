// Until the window layer of this platform lands, the editor draws off screen.
#include "IGraphicsOffscreen.h"
#include "IGraphicsPlatform.h"

IGraphics* CreatePlatformGraphics(IPlugBase* pPlug, int width, int height, int frameRate)
{
  return new IGraphicsOffscreen(pPlug, width, height, frameRate);
}
