// The stand-in host's own controls: what the demo program and the tests use to drive a plug-in
// and to read back what the plug-in asked of the host. The plug-in sees only duskwell_api.h.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "duskwell_api.h"

namespace host {

// Creates the host main window (the one GetDKWnd returns) and the slit window. Idempotent.
bool start();
// Destroys both windows and forgets registrations, menus and recorded calls.
void stop();
HWND mainWindow();
HWND slitWindow();
// The slit's screen position: right edge of the screen less this margin, top at a quarter of
// its height; windows stack downwards with SLIT_PADDING pixels around each, centred across.
// The margin keeps adopted windows out of reach of snapping to the screen's right edge.
const int SLIT_MARGIN = 16;
const int SLIT_PADDING = 4;

// What GetDuskwellPath reports: a directory with a trailing backslash (added if missing).
// Empty, the default, means the directory of the running exe.
void setDirectory(const std::string& directory);
std::string directory();
// What stylePath(NULL) reports, without telling anybody.
void setStyle(const std::string& styleFile);
// Switches the style and sends HM_RECONFIGURE to every window registered for it.
void changeStyle(const std::string& styleFile);

// Send (not post) the host's messages to every window registered for them.
void sendSetLabel(const char* text);
void broadcast(const char* text);
// Windows currently registered for a message.
std::vector<HWND> registeredFor(UINT message);

// Every call a plug-in made to an exported host function, and every slit message, in order.
struct Call {
    std::string name;               // function name, or "HM_SLITADD" / "HM_SLITREMOVE" / "HM_SLITUPDATE"
    std::vector<std::string> args;  // arguments as text: strings as they were, numbers in decimal,
                                    // handles and pointers as 0x-prefixed hex, bools "true"/"false"
};
std::vector<Call> calls();
// How a handle or pointer appears in Call::args: "0x" and lower-case hex digits, "0x0" for NULL.
std::string handleText(const void* handle);
std::vector<Call> callsNamed(const std::string& name);
void clearCalls();

// Windows the slit holds, in layout order.
std::vector<HWND> slitWindows();
// Windows passed to MakeSticky (the host has one workspace, so that is all it does).
bool isSticky(HWND window);

// A menu as built through MakeMenu / MakeMenuItem / MakeSubmenu.
struct MenuEntry {
    std::string caption;
    std::string command;      // empty for a submenu entry
    bool checked = false;
    int submenu = -1;         // index into MenuTree::menus, -1 for a command item
};
struct MenuModel {
    std::string title;
    std::vector<MenuEntry> entries;
};
struct MenuTree {
    std::vector<MenuModel> menus;  // menus[0] is the one that was shown
};
// The menu most recently passed to ShowMenu, as it stood then; empty when none was shown.
MenuTree lastShownMenu();
// Menus made and not yet freed (a submenu is freed with its top menu).
int liveMenus();
// When true, ShowMenu pops up a real menu at the cursor and broadcasts the chosen command
// (the demo); when false (the default, for tests) it only records the menu.
void setInteractiveMenus(bool interactive);
// When true, DKExecute really opens the file through the shell; otherwise it only records.
void setExecuteForReal(bool real);

// Lines written through Log, and the file they also go to (empty path: no file).
std::vector<std::string> logLines();
void setLogFile(const std::string& path);

}  // namespace host
