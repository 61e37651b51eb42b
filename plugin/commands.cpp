// Commands and the context menu: every user-facing change arrives here as a command string.
#include <string.h>

#include "instance.h"
#include "text.h"

static const char COMMAND_PREFIX[] = "@VistrelInternal";
static char commandListBuffer[TEXT_SIZE];

struct MenuCommand {
    const char* caption;
    const char* command;
};

static const MenuCommand ABOUT = {"About...", "@VistrelInternal About"};
static const MenuCommand ALWAYS_ON_TOP = {"Always On Top", "@VistrelInternal AlwaysOnTop"};
static const MenuCommand SNAP = {"Snap Window To Edge", "@VistrelInternal SnapWindowToEdge"};
static const MenuCommand AUTO_RESIZE = {"Auto Resize", "@VistrelInternal AutoResize"};
static const MenuCommand TRANSPARENCY = {"Transparency", "@VistrelInternal Transparency"};
static const MenuCommand IN_SLIT = {"In Slit", "@VistrelInternal ToggleSlit"};
static const MenuCommand WITH_PLUGINS = {"Toggle With Plugins", "@VistrelInternal ToggleWithPlugins"};
static const MenuCommand EDIT = {"Edit Settings", "@VistrelInternal EditSettings"};
static const MenuCommand SAVE = {"Save Settings", "@VistrelInternal SaveSettings"};
static const MenuCommand READ = {"Read Settings", "@VistrelInternal ReadSettings"};

static void addItem(Menu* menu, const MenuCommand& item, bool checked)
{
    MakeMenuItem(menu, item.caption, item.command, checked);
}

void PluginInstance::buildMenu()
{
    freeMenu();
    mainMenu = MakeMenu("Vistrel");
    addItem(mainMenu, ABOUT, false);

    windowMenu = MakeMenu("Window");
    addItem(windowMenu, ALWAYS_ON_TOP, alwaysOnTop);
    addItem(windowMenu, SNAP, snapWindow);
    addItem(windowMenu, AUTO_RESIZE, autoResize);
    if (layeredSupported && !inSlit) addItem(windowMenu, TRANSPARENCY, transparency);
    addItem(windowMenu, IN_SLIT, inSlit);
    addItem(windowMenu, WITH_PLUGINS, pluginToggle);
    MakeSubmenu(mainMenu, windowMenu, "Window");

    settingsMenu = MakeMenu("Settings");
    addItem(settingsMenu, EDIT, false);
    addItem(settingsMenu, SAVE, false);
    addItem(settingsMenu, READ, false);
    MakeSubmenu(mainMenu, settingsMenu, "Settings");
}

LRESULT PluginInstance::onRightButtonUp()
{
    buildMenu();
    ShowMenu(mainMenu);
    return 0;
}

LRESULT PluginInstance::onBroadcast(const char* text)
{
    if (text == NULL) return 0;
    char command[TEXT_SIZE];
    copyText(command, text);

    if (sameTextIgnoringCase(command, "@DKShowPlugins")) {
        hidden = false;
        if (!inSlit) {
            ShowWindow(hwnd, SW_SHOW);
            repaint();
        }
        return 0;
    }
    if (sameTextIgnoringCase(command, "@DKHidePlugins")) {
        hidden = true;
        if (pluginToggle && !inSlit) ShowWindow(hwnd, SW_HIDE);
        return 0;
    }
    if (IsInString(command, COMMAND_PREFIX)) {
        char first[TEXT_SIZE];
        char second[TEXT_SIZE];
        char rest[TEXT_SIZE];
        first[0] = second[0] = rest[0] = '\0';
        char* words[2] = {first, second};
        DKTokenize(command, words, 2, rest);
        // The host fills fixed buffers; make sure the word read below ends inside its own.
        second[TEXT_SIZE - 1] = '\0';
        runCommand(second);
    }
    return 0;
}

// Flips a setting and saves its one key through the host.
static void flipAndSave(bool& setting, const char* settingsPath, const char* key)
{
    setting = !setting;
    WriteBool(settingsPath, key, setting);
}

void PluginInstance::runCommand(const char* word)
{
    if (sameTextIgnoringCase(word, "AlwaysOnTop")) {
        flipAndSave(alwaysOnTop, settingsPath, "vistrel.alwaysOnTop:");
        SetWindowPos(hwnd, alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else if (sameTextIgnoringCase(word, "SnapWindowToEdge")) {
        flipAndSave(snapWindow, settingsPath, "vistrel.snapWindow:");
    } else if (sameTextIgnoringCase(word, "ToggleWithPlugins")) {
        flipAndSave(pluginToggle, settingsPath, "vistrel.pluginToggle:");
    } else if (sameTextIgnoringCase(word, "ToggleSlit")) {
        toggleSlit();
    } else if (sameTextIgnoringCase(word, "Transparency")) {
        toggleTransparency();
    } else if (sameTextIgnoringCase(word, "AutoResize")) {
        flipAndSave(autoResize, settingsPath, "vistrel.autoResize:");
    } else if (sameTextIgnoringCase(word, "About")) {
        MessageBoxA(hostWnd, "Vistrel 1.02", "About Vistrel", MB_OK | MB_ICONINFORMATION);
    } else if (sameTextIgnoringCase(word, "SaveSettings")) {
        writeSettings();
        setLabel("RC Saved!");
        if (autoResize && resizeToWidth(labelWidth(), height)) repaint();
    } else if (sameTextIgnoringCase(word, "ReadSettings")) {
        readSettings();
        setLabel("RC Reloaded!");
        if (autoResize && resizeToWidth(labelWidth(), height)) repaint();
    } else if (sameTextIgnoringCase(word, "EditSettings")) {
        DKExecute(GetDesktopWindow(), NULL, settingsPath, "", NULL, 1, false);
        repaint();
    }
}

void PluginInstance::toggleSlit()
{
    if (inSlit) {
        if (slitWnd != NULL) {
            SendMessageA(slitWnd, HM_SLITREMOVE, 0, reinterpret_cast<LPARAM>(hwnd));
            inSlit = false;
            SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            // x and y hold the slit's place, so that move often changes nothing and saves nothing.
            writeSettings();
        } else {
            inSlit = false;
            writeSettings();
        }
    } else {
        if (slitWnd != NULL) {
            inSlit = true;
            SendMessageA(slitWnd, HM_SLITADD, 0, reinterpret_cast<LPARAM>(hwnd));
            // A slit that leaves the window where it stands sends no position change to save.
            writeSettings();
        } else {
            inSlit = false;
            writeSettings();
        }
    }
    repaint();
}

void PluginInstance::toggleTransparency()
{
    if (layeredSupported) {
        if (transparency) {
            transparency = false;
            SetWindowLongPtrA(hwnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
        } else {
            transparency = true;
            SetWindowLongPtrA(hwnd, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
            setWindowAlpha(hwnd, alpha);
        }
        WriteBool(settingsPath, "vistrel.transparency:", transparency);
    }
    repaint();
}

const char* commandList()
{
    static const MenuCommand* const listed[] = {&ALWAYS_ON_TOP, &SNAP, &AUTO_RESIZE, &TRANSPARENCY,
                                                &IN_SLIT,        &EDIT, &SAVE,        &READ};
    commandListBuffer[0] = '\0';
    for (const MenuCommand* item : listed) appendText(commandListBuffer, item->command);
    return commandListBuffer;
}
