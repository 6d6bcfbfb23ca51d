#pragma once
// The editor's window-system class for this platform: IGraphicsWin on Windows,
// IGraphicsX11 on Linux. The plug-in builds its editor on it when the host
// opens the editor, hands it to AttachGraphics, then opens its window.
//
// Thread: the host's GUI thread.

class IGraphics;
class IPlugBase;

IGraphics* CreatePlatformGraphics(IPlugBase* pPlug, int width, int height, int frameRate);
