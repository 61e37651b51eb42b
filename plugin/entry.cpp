// Exported entry points, construction, start-up and teardown of the instance, and the
// window procedure that dispatches every message to its handler.
#include <new>

#include <stdlib.h>
#include <string.h>

#include "instance.h"
#include "text.h"

PluginInstance* theInstance = NULL;
bool inSlit = false;
HWND slitWnd = NULL;

const UINT registeredMessages[] = {HM_RECONFIGURE, HM_BROADCAST, HM_SETLABEL, 0};

static const char CLASS_NAME[] = "Vistrel";
static const char APP_TITLE[] = "Vistrel 1.02";

PluginInstance::PluginInstance(HINSTANCE module)
{
    // Everything starts zeroed (the memory is cleared before construction); these are the
    // values that matter before the settings and the style are read.
    hInstance = module;
    hostWnd = GetDKWnd();

    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    layeredSupported = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                       version.dwMajorVersion > 4;

    styleItem = NULL;
    mainMenu = NULL;
    setLabel("statsinit");

    // What a settings file created now records for the values nothing has set yet:
    // the default style's natural size and the interval a sent text stays.
    width = MIN_WIDTH;
    height = 16;
    timerInterval = 5;

    locateSettings();
    readSettings();
    readStyle();
}

void PluginInstance::setLabel(const char* text)
{
    memset(label, 0, sizeof label);
    copyText(label, text);
}

void PluginInstance::repaint()
{
    InvalidateRect(hwnd, NULL, TRUE);
}

void PluginInstance::freeMenu()
{
    if (mainMenu != NULL) {
        DelMenu(mainMenu);
        mainMenu = NULL;
    }
}

void PluginInstance::freeStyleItem()
{
    free(styleItem);
    styleItem = NULL;
}

static void showStartError(HWND owner, const char* text, const char* caption)
{
    MessageBoxA(owner, text, caption, MB_OK | MB_TOPMOST | MB_ICONERROR);
}

bool PluginInstance::startUp()
{
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = hInstance;
    windowClass.lpszClassName = CLASS_NAME;
    if (!RegisterClassA(&windowClass)) {
        showStartError(hostWnd, "Error registering window class", APP_TITLE);
        return false;
    }

    hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, CLASS_NAME, NULL, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                           x, y, width, 8, NULL, NULL, hInstance, NULL);
    if (hwnd == NULL) {
        showStartError(NULL, "Error creating window", APP_TITLE);
        UnregisterClassA(CLASS_NAME, hInstance);
        return false;
    }

    if (inSlit && slitWnd != NULL) {
        SendMessageA(slitWnd, HM_SLITADD, 0, reinterpret_cast<LPARAM>(hwnd));
    } else {
        inSlit = false;
    }

    if (layeredSupported && !inSlit && transparency) {
        SetWindowLongPtrA(hwnd, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
        setWindowAlpha(hwnd, alpha);
    }

    SendMessageA(hostWnd, HM_REGISTER, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(registeredMessages));
    registered = true;
    MakeSticky(hwnd);

    if (alwaysOnTop) {
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd, SW_SHOW);
    InvalidateRect(hwnd, NULL, TRUE);

    labelChanged = true;
    countdown = 0;
    if (SetTimer(hwnd, UPDATE_TIMER, UPDATE_PERIOD_MS, NULL) == 0) {
        showStartError(NULL, "Error creating update timer", "Vistrel");
        Log("Could not create Vistrel update timer", NULL);
        // Nothing of the window may outlive the instance: not its slit place either.
        if (inSlit) SendMessageA(slitWnd, HM_SLITREMOVE, 0, reinterpret_cast<LPARAM>(hwnd));
        shutDown();
        return false;
    }

    hidden = false;
    return true;
}

void PluginInstance::shutDown()
{
    if (registered) {
        SendMessageA(hostWnd, HM_UNREGISTER, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(registeredMessages));
        registered = false;
    }
    if (hwnd != NULL) {
        DestroyWindow(hwnd);
        UnregisterClassA(CLASS_NAME, hInstance);
    }
}

// Releases what the instance owns beyond its window, then the instance itself.
static void freeInstance()
{
    PluginInstance* instance = theInstance;
    if (instance->hwnd != NULL) KillTimer(instance->hwnd, UPDATE_TIMER);
    instance->freeStyleItem();
    instance->freeMenu();
    theInstance = NULL;
    instance->~PluginInstance();
    free(instance);
    inSlit = false;
    slitWnd = NULL;
}

extern "C" int beginPlugin(HINSTANCE module)
{
    // One instance per loaded library: a second begin would orphan the first.
    if (theInstance != NULL) return 1;

    void* memory = calloc(1, sizeof(PluginInstance));
    if (memory == NULL) {
        inSlit = false;
        slitWnd = NULL;
        return 1;
    }
    theInstance = new (memory) PluginInstance(module);

    if (!theInstance->startUp()) {
        freeInstance();
        return 1;
    }
    return 0;
}

extern "C" int beginPluginEx(HINSTANCE module, HWND slit)
{
    inSlit = true;
    slitWnd = slit;
    return beginPlugin(module);
}

extern "C" void endPlugin(void)
{
    if (theInstance == NULL) return;
    theInstance->shutDown();
    freeInstance();
}

extern "C" const char* pluginInfo(int what)
{
    switch (what) {
    case 1: return "Vistrel";
    case 2: return "1.02";
    case 3: return "The Vistrel developers";
    case 4: return "2004-01-17";
    case 5: return "https://vistrel.example.org/";
    case 6: return "developers@vistrel.example.org";
    case 7: return commandList();
    default: return APP_TITLE;
    }
}

enum LayeredLookup { NOT_LOOKED_UP, ABSENT, PRESENT };
typedef BOOL(WINAPI* SetLayeredWindowAttributesFn)(HWND, COLORREF, BYTE, DWORD);
static LayeredLookup layeredLookup = NOT_LOOKED_UP;
static SetLayeredWindowAttributesFn setLayeredWindowAttributes = NULL;

bool setWindowAlpha(HWND window, int alpha)
{
    if (layeredLookup == NOT_LOOKED_UP) {
        HMODULE user32 = GetModuleHandleA("USER32");
        FARPROC function = user32 != NULL ? GetProcAddress(user32, "SetLayeredWindowAttributes") : NULL;
        setLayeredWindowAttributes = reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void*>(function));
        layeredLookup = function != NULL ? PRESENT : ABSENT;
    }
    if (layeredLookup == ABSENT) return true;
    return setLayeredWindowAttributes(window, 0, static_cast<BYTE>(alpha & 0xFF), LWA_ALPHA) != FALSE;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PluginInstance* instance = theInstance;
    if (instance == NULL) return DefWindowProcA(window, message, wParam, lParam);
    // Messages sent while CreateWindowEx runs come before its result is stored.
    if (instance->hwnd == NULL) instance->hwnd = window;

    switch (message) {
    case WM_PAINT:            return instance->onPaint();
    case WM_CLOSE:            return 0;
    case WM_WINDOWPOSCHANGING: return instance->onPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
    case WM_WINDOWPOSCHANGED: return instance->onPosChanged(reinterpret_cast<const WINDOWPOS*>(lParam));
    case WM_NCHITTEST:        return instance->onHitTest();
    case WM_TIMER:            return instance->onTimer(wParam);
    case WM_LBUTTONDOWN:      return inSlit ? 0 : DefWindowProcA(window, message, wParam, lParam);
    case WM_LBUTTONUP:        return 0;
    case WM_RBUTTONDOWN:      return 0;
    case WM_RBUTTONUP:        return instance->onRightButtonUp();
    case HM_RECONFIGURE:      return instance->onReconfigure();
    case HM_SETLABEL:         return instance->onSetLabel(reinterpret_cast<const char*>(lParam));
    case HM_BROADCAST:        return instance->onBroadcast(reinterpret_cast<const char*>(lParam));
    default:                  return DefWindowProcA(window, message, wParam, lParam);
    }
}
