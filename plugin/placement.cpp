// Window placement: Ctrl-drag, snapping to the screen edges, and every new position saved.
#include "instance.h"

LRESULT PluginInstance::onHitTest()
{
    // With Ctrl held the whole window acts as a caption, so the system drags it.
    return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 ? HTCAPTION : HTCLIENT;
}

LRESULT PluginInstance::onPosChanging(WINDOWPOS* windowPos)
{
    if (snapWindow && IsWindowVisible(hwnd)) SnapWindowToEdge(windowPos, 10, true);
    return 0;
}

LRESULT PluginInstance::onPosChanged(const WINDOWPOS* windowPos)
{
    x = windowPos->x;
    y = windowPos->y;
    writeSettings();
    return 0;
}
