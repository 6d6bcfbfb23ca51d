#pragma once
// The editor's window-system class for this platform: IGraphicsWin on Windows,
// IGraphicsX11 on Linux. The plug-in builds its editor on it and hands it to
// AttachGraphics; nothing opens until the host asks for the editor window.
//
// Thread: the host's GUI thread (the plug-in's constructor runs there too).

class IGraphics;
class IPlugBase;

IGraphics* CreatePlatformGraphics(IPlugBase* pPlug, int width, int height, int frameRate);
