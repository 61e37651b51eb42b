// The label engine: follows the foreground window's title, shows sent texts for a while,
// and fits the window's width to the text.
#include "instance.h"
#include "text.h"

int PluginInstance::labelWidth() const
{
    int characters = 0;
    while (characters < TEXT_SIZE && label[characters] != '\0') ++characters;
    return characters * static_cast<int>(fontHeight * 0.45);
}

bool PluginInstance::resizeToWidth(int newWidth, int newHeight)
{
    if (!autoResize) return true;
    if (newWidth == width && newHeight == height) return false;

    width = newWidth < MIN_WIDTH ? MIN_WIDTH : newWidth;
    if (inSlit) {
        SetWindowPos(hwnd, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(slitWnd, HM_SLITUPDATE, 0, 0);
    } else {
        SetWindowPos(hwnd, NULL, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

LRESULT PluginInstance::onTimer(WPARAM timerId)
{
    if (timerId != UPDATE_TIMER) return 0;
    if (countdown > 0) {
        --countdown;
        return 0;
    }
    if (hidden) return 0;

    HWND foreground = GetForegroundWindow();
    if (foreground != NULL) {
        char title[TEXT_SIZE];
        if (GetWindowTextA(foreground, title, TEXT_SIZE) > 0 && !sameText(title, label)) {
            labelChanged = true;
            setLabel(title);
        }
    }
    if (!labelChanged) return 0;

    labelChanged = false;
    if (autoResize) resizeToWidth(labelWidth(), height);
    repaint();
    return 0;
}

LRESULT PluginInstance::onSetLabel(const char* text)
{
    if (hidden || text == NULL) return 0;
    setLabel(text);
    if (autoResize) resizeToWidth(labelWidth(), height);
    repaint();
    countdown = timerInterval;
    return 0;
}
