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

// Room for a title as the system keeps it, before it is narrowed into the 8-bit title buffer.
static WCHAR wideTitle[TEXT_SIZE];

// Whether the window last read, from the thread last reading, belongs to another thread of this
// process. Asking whose a window is costs a round trip to the system, and the foreground window
// seldom changes between two ticks; a window never changes its thread.
static HWND checkedWindow = NULL;
static DWORD checkedFromThread = 0;
static bool ownedByOtherThread = false;

// Reads a window's title, at most TEXT_SIZE - 1 characters. GetWindowTextA sends WM_GETTEXT to a
// window of this process and waits for its thread; when that is another thread, which may have
// stopped pumping, the system's copy of the text is read instead, which never waits.
static int readTitle(HWND window, char (&title)[TEXT_SIZE])
{
    DWORD currentThread = GetCurrentThreadId();
    if (window != checkedWindow || currentThread != checkedFromThread) {
        DWORD process = 0;
        DWORD thread = GetWindowThreadProcessId(window, &process);
        ownedByOtherThread = process == GetCurrentProcessId() && thread != currentThread;
        checkedWindow = window;
        checkedFromThread = currentThread;
    }
    if (!ownedByOtherThread) return GetWindowTextA(window, title, TEXT_SIZE);

    int length = InternalGetWindowText(window, wideTitle, TEXT_SIZE);
    int bytes = 0;
    // A double-byte code page may need more bytes than there are characters: cut until it fits.
    while (length > 0 &&
           (bytes = WideCharToMultiByte(CP_ACP, 0, wideTitle, length, title, TEXT_SIZE - 1, NULL, NULL)) == 0) {
        length -= length / 8 + 1;
    }
    title[bytes] = '\0';
    return bytes;
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
        if (readTitle(foreground, title) > 0 && !sameText(title, label)) {
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
