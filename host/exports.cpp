// The functions Duskwell.exe exports to plug-ins: each records its call, then does the work.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "duskwell_api.h"
#include "host.h"
#include "menus.h"
#include "paint.h"
#include "placement.h"
#include "rcfile.h"
#include "record.h"
#include "text.h"

using host::boolArg;
using host::handleText;
using host::record;
using host::textArg;

namespace {

const size_t TOKEN_SIZE = 4096;

std::string number(long long value)
{
    return std::to_string(value);
}

std::string rectArg(const RECT& r)
{
    return number(r.left) + "," + number(r.top) + "," + number(r.right) + "," + number(r.bottom);
}

}  // namespace

DK_API HWND GetDKWnd(void)
{
    record("GetDKWnd", {});
    return host::mainWindow();
}

DK_API char* GetDuskwellPath(char* buffer, int size)
{
    record("GetDuskwellPath", {handleText(buffer), number(size)});
    if (buffer && size > 0) host::copyText(buffer, static_cast<size_t>(size), host::directory().c_str());
    return buffer;
}

DK_API const char* stylePath(const char* other)
{
    record("stylePath", {textArg(other)});
    // Stays valid until the style changes.
    static std::string path;
    std::string current = host::currentStyle();
    if (path != current) path = current;
    return path.c_str();
}

DK_API bool FileExists(const char* path)
{
    record("FileExists", {textArg(path)});
    return host::fileExists(path);
}

DK_API const char* ReadString(const char* file, const char* key, const char* defaultText)
{
    record("ReadString", {textArg(file), textArg(key), textArg(defaultText)});
    // Valid until the next ReadString, as plug-ins expect of a host.
    static std::string result;
    std::string value;
    if (!host::readValue(file, key, value)) value = defaultText ? defaultText : "";
    result.swap(value);
    return result.c_str();
}

DK_API int ReadInt(const char* file, const char* key, int defaultValue)
{
    record("ReadInt", {textArg(file), textArg(key), number(defaultValue)});
    std::string text;
    int value = defaultValue;
    if (!host::readValue(file, key, text) || !host::parseInt(text, value)) return defaultValue;
    return value;
}

DK_API bool ReadBool(const char* file, const char* key, bool defaultValue)
{
    record("ReadBool", {textArg(file), textArg(key), boolArg(defaultValue)});
    std::string text;
    bool value = defaultValue;
    if (!host::readValue(file, key, text) || !host::parseBool(text, value)) return defaultValue;
    return value;
}

DK_API COLORREF ReadColor(const char* file, const char* key, const char* defaultColor)
{
    record("ReadColor", {textArg(file), textArg(key), textArg(defaultColor)});
    std::string text;
    COLORREF value = 0;
    if (host::readValue(file, key, text) && host::parseColor(text, value)) return value;
    if (defaultColor && host::parseColor(host::trim(defaultColor), value)) return value;
    return 0;
}

DK_API void WriteBool(const char* file, const char* key, bool value)
{
    record("WriteBool", {textArg(file), textArg(key), boolArg(value)});
    host::writeBool(file, key, value);
}

DK_API void ParseItem(const char* text, void* item)
{
    record("ParseItem", {textArg(text), handleText(item)});
    if (item) host::parseItem(text, *static_cast<host::StyleRecord*>(item));
}

DK_API void MakeGradient(HDC dc, RECT rect, int type, COLORREF colorFrom, COLORREF colorTo, bool flag, int word0,
                         int word1, int bevelWidth, COLORREF borderColor, int borderWidth)
{
    record("MakeGradient", {handleText(dc), rectArg(rect), number(type), number(colorFrom), number(colorTo),
                            boolArg(flag), number(word0), number(word1), number(bevelWidth), number(borderColor),
                            number(borderWidth)});
    host::Gradient g = {type, colorFrom, colorTo, flag, word0, word1, bevelWidth, borderColor, borderWidth};
    host::makeGradient(dc, rect, g);
}

DK_API bool SnapWindowToEdge(WINDOWPOS* windowPos, int snapDistance, bool useScreenSize)
{
    record("SnapWindowToEdge", {handleText(windowPos), number(snapDistance), boolArg(useScreenSize)});
    return host::snapWindowToEdge(windowPos, snapDistance, useScreenSize);
}

DK_API void MakeSticky(HWND window)
{
    record("MakeSticky", {handleText(window)});
    host::addSticky(window);
}

DK_API Menu* MakeMenu(const char* title)
{
    record("MakeMenu", {textArg(title)});
    return host::makeMenu(title);
}

DK_API MenuItem* MakeMenuItem(Menu* menu, const char* caption, const char* command, bool checked)
{
    record("MakeMenuItem", {handleText(menu), textArg(caption), textArg(command), boolArg(checked)});
    return host::makeMenuItem(menu, caption, command, checked);
}

DK_API MenuItem* MakeSubmenu(Menu* menu, Menu* submenu, const char* caption)
{
    record("MakeSubmenu", {handleText(menu), handleText(submenu), textArg(caption)});
    return host::makeSubmenu(menu, submenu, caption);
}

DK_API void ShowMenu(Menu* menu)
{
    record("ShowMenu", {handleText(menu)});
    host::showMenu(menu);
}

DK_API void DelMenu(Menu* menu)
{
    record("DelMenu", {handleText(menu)});
    host::deleteMenu(menu);
}

DK_API bool IsInString(const char* text, const char* part)
{
    record("IsInString", {textArg(text), textArg(part)});
    return text && part && std::strstr(text, part) != nullptr;
}

DK_API int DKTokenize(const char* text, char** words, unsigned count, char* rest)
{
    record("DKTokenize", {textArg(text), handleText(words), number(count), handleText(rest)});
    return host::tokenize(text, words, count, rest, TOKEN_SIZE);
}

DK_API bool DKExecute(HWND owner, const char* verb, const char* file, const char* arguments, const char* directory,
                      int show, bool noErrorMessages)
{
    record("DKExecute", {handleText(owner), textArg(verb), textArg(file), textArg(arguments), textArg(directory),
                         number(show), boolArg(noErrorMessages)});
    if (!host::executeForReal()) return true;
    HINSTANCE result = ShellExecuteA(owner, verb, file, arguments, directory, show);
    // ShellExecute reports success with a value above 32.
    bool opened = reinterpret_cast<INT_PTR>(result) > 32;
    if (!opened && !noErrorMessages) host::appendLog("DKExecute could not open", file);
    return opened;
}

DK_API void Log(const char* text, const char* more)
{
    record("Log", {textArg(text), textArg(more)});
    host::appendLog(text, more);
}
