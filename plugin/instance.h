// The plug-in's one instance: window, settings, style values, label and menu state.
#pragma once

#include <windows.h>

#include "duskwell_api.h"

const int TEXT_SIZE = 4096;   // texts and titles
const int PATH_SIZE = 260;    // file paths
const int FACE_SIZE = 256;    // font face names

const UINT_PTR UPDATE_TIMER = 1;
const UINT UPDATE_PERIOD_MS = 250;
const int MIN_WIDTH = 100;

class PluginInstance {
public:
    explicit PluginInstance(HINSTANCE module);

    // Start-up after construction; false when a step failed (its message box was shown).
    bool startUp();
    // Releases the window, its registration and class: the parts of start-up that succeeded.
    void shutDown();

    // Style and painting.
    void readStyle();
    LRESULT onPaint();
    LRESULT onReconfigure();

    // Settings file.
    void locateSettings();
    void readSettings();
    void writeSettings();

    // Label engine.
    int labelWidth() const;
    bool resizeToWidth(int newWidth, int newHeight);
    LRESULT onTimer(WPARAM timerId);
    LRESULT onSetLabel(const char* text);

    // Placement and pointer.
    LRESULT onHitTest();
    LRESULT onPosChanging(WINDOWPOS* windowPos);
    LRESULT onPosChanged(const WINDOWPOS* windowPos);

    // Commands and context menu.
    void buildMenu();
    LRESULT onRightButtonUp();
    LRESULT onBroadcast(const char* text);

    void setLabel(const char* text);
    void repaint();
    void freeMenu();
    void freeStyleItem();

    HINSTANCE hInstance;
    HWND hwnd;
    HWND hostWnd;
    int x, y;
    int width, height;
    bool alwaysOnTop;
    bool snapWindow;
    bool transparency;
    int alpha;
    bool autoResize;
    bool pluginToggle;
    bool hidden;
    bool layeredSupported;
    COLORREF colorFrom, colorTo, borderColor;
    int bevelWidth, borderWidth;
    unsigned char* styleItem;
    COLORREF textColor;
    char fontName[FACE_SIZE];
    char label[TEXT_SIZE];
    int fontHeight;
    bool labelChanged;
    int countdown;
    int timerInterval;
    char settingsPath[PATH_SIZE];
    char styleFile[PATH_SIZE];
    Menu* mainMenu;
    Menu* windowMenu;
    Menu* settingsMenu;

private:
    void runCommand(const char* word);
    void toggleSlit();
    void toggleTransparency();
    bool registered;   // HM_REGISTER was sent and not yet withdrawn
};

extern PluginInstance* theInstance;
extern bool inSlit;
extern HWND slitWnd;

// Sets the constant opacity of a layered window from the low 8 bits of alpha.
bool setWindowAlpha(HWND window, int alpha);

// Builds the command list that pluginInfo(7) returns.
const char* commandList();

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The host messages the window is registered for, zero-terminated.
extern const UINT registeredMessages[];
