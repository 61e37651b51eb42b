// The host's exported functions and message numbers, as a plug-in sees them.
#pragma once

#include <windows.h>

// The host compiles this header with DUSKWELL_HOST defined and exports the functions;
// a plug-in imports them from Duskwell.exe through the import library built here.
#ifdef DUSKWELL_HOST
#define DK_API extern "C" __declspec(dllexport)
#else
#define DK_API extern "C" __declspec(dllimport)
#endif

struct Menu;
struct MenuItem;

// Messages a plug-in sends to the host main window.
const UINT HM_REGISTER = 10001;    // wParam: plug-in window, lParam: zero-terminated UINT list
const UINT HM_UNREGISTER = 10002;  // same arguments
// Messages the host sends to registered plug-in windows.
const UINT HM_RECONFIGURE = 10103; // style changed
const UINT HM_SETLABEL = 10304;    // lParam: text to show
const UINT HM_BROADCAST = 10901;   // lParam: command text
// Messages a plug-in sends to the slit window.
const UINT HM_SLITADD = 11001;     // lParam: plug-in window
const UINT HM_SLITREMOVE = 11002;  // lParam: plug-in window
const UINT HM_SLITUPDATE = 11003;  // re-lay out the slit

// Size of the style record a plug-in hands to ParseItem.
const int STYLE_RECORD_SIZE = 300;

DK_API HWND GetDKWnd(void);
DK_API char* GetDuskwellPath(char* buffer, int size);
DK_API const char* stylePath(const char* other);
DK_API bool FileExists(const char* path);
DK_API const char* ReadString(const char* file, const char* key, const char* defaultText);
DK_API int ReadInt(const char* file, const char* key, int defaultValue);
DK_API bool ReadBool(const char* file, const char* key, bool defaultValue);
DK_API COLORREF ReadColor(const char* file, const char* key, const char* defaultColor);
DK_API void WriteBool(const char* file, const char* key, bool value);
DK_API void ParseItem(const char* text, void* record);
DK_API void MakeGradient(HDC dc, RECT rect, int type, COLORREF colorFrom, COLORREF colorTo, bool flag,
                         int word0, int word1, int bevelWidth, COLORREF borderColor, int borderWidth);
DK_API bool SnapWindowToEdge(WINDOWPOS* windowPos, int snapDistance, bool useScreenSize);
DK_API void MakeSticky(HWND window);
DK_API Menu* MakeMenu(const char* title);
DK_API MenuItem* MakeMenuItem(Menu* menu, const char* caption, const char* command, bool checked);
DK_API MenuItem* MakeSubmenu(Menu* menu, Menu* submenu, const char* caption);
DK_API void ShowMenu(Menu* menu);
DK_API void DelMenu(Menu* menu);
DK_API bool IsInString(const char* text, const char* part);
DK_API int DKTokenize(const char* text, char** words, unsigned count, char* rest);
DK_API bool DKExecute(HWND owner, const char* verb, const char* file, const char* arguments,
                      const char* directory, int show, bool noErrorMessages);
DK_API void Log(const char* text, const char* more);
