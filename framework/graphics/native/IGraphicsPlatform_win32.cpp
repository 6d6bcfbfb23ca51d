// On Windows the editor lives in a Win32 child window of the host's window.
#include "IGraphicsPlatform.h"
#include "IGraphicsWin_win32.h"

IGraphics* CreatePlatformGraphics(IPlugBase* pPlug, int width, int height, int frameRate)
{
  return new IGraphicsWin(pPlug, width, height, frameRate);
}
