// The settings file: finds it beside the plug-in or the host, creates it with defaults,
// reads it through the host's readers and writes it whole.
#include <string.h>

#include "instance.h"
#include "text.h"

static const char* const FILE_NAMES[] = {"vistrel.rc", "vistrelrc"};
static char lineBuffer[TEXT_SIZE];

// directory + name into path; false, with path emptied, when the result would not fit,
// so that a cut path is never used.
static bool joinPath(char (&path)[PATH_SIZE], const char* directory, const char* name)
{
    path[0] = '\0';
    if (strlen(directory) + strlen(name) >= PATH_SIZE) return false;
    copyText(path, directory);
    appendText(path, name);
    return true;
}

// Looks for the two file names in one directory; true with settingsPath set when one exists.
static bool findIn(const char* directory, char (&settingsPath)[PATH_SIZE])
{
    for (const char* name : FILE_NAMES) {
        char candidate[PATH_SIZE];
        if (joinPath(candidate, directory, name) && FileExists(candidate)) {
            copyText(settingsPath, candidate);
            return true;
        }
    }
    return false;
}

void PluginInstance::locateSettings()
{
    // The plug-in's own directory; a module path the buffer had to cut is no directory at all.
    char pluginDir[PATH_SIZE];
    DWORD length = GetModuleFileNameA(hInstance, pluginDir, PATH_SIZE);
    bool pluginDirUsable = length > 0 && length < PATH_SIZE;
    if (!pluginDirUsable) pluginDir[0] = '\0';
    int last = static_cast<int>(strlen(pluginDir)) - 1;
    while (last >= 1 && pluginDir[last] != '\\') --last;
    pluginDir[last >= 1 ? last + 1 : 1] = '\0';

    if (pluginDirUsable && findIn(pluginDir, settingsPath)) return;
    char created[PATH_SIZE];
    bool createdUsable = pluginDirUsable && joinPath(created, pluginDir, FILE_NAMES[0]);

    char hostDir[PATH_SIZE];
    memset(hostDir, 0, sizeof hostDir);
    GetDuskwellPath(hostDir, PATH_SIZE);
    hostDir[PATH_SIZE - 1] = '\0';
    if (findIn(hostDir, settingsPath)) return;

    // A plug-in directory too long for a path keeps its settings beside the host instead.
    if (!createdUsable) joinPath(created, hostDir, FILE_NAMES[0]);
    copyText(settingsPath, created);

    x = 2;
    y = 2;
    transparency = false;
    alwaysOnTop = true;
    snapWindow = true;
    pluginToggle = true;
    inSlit = false;
    autoResize = false;
    alpha = 200;
    countdown = 15;
    writeSettings();
}

void PluginInstance::readSettings()
{
    if (!FileExists(settingsPath)) {
        locateSettings();
        return;
    }
    x = ReadInt(settingsPath, "vistrel.position.x:", 2);
    y = ReadInt(settingsPath, "vistrel.position.y:", 2);
    if (x >= GetSystemMetrics(SM_CXSCREEN)) x = 0;
    if (y >= GetSystemMetrics(SM_CYSCREEN)) y = 0;

    transparency = ReadBool(settingsPath, "vistrel.transparency:", false);
    alpha = ReadInt(settingsPath, "vistrel.transparency.alpha:", 200);
    width = ReadInt(settingsPath, "vistrel.width:", 10);
    height = ReadInt(settingsPath, "vistrel.height:", 70);
    alwaysOnTop = ReadBool(settingsPath, "vistrel.alwaysOnTop:", true);
    autoResize = ReadBool(settingsPath, "vistrel.autoResize:", true);
    snapWindow = ReadBool(settingsPath, "vistrel.snapWindow:", true);
    pluginToggle = ReadBool(settingsPath, "vistrel.pluginToggle:", true);
    inSlit = ReadBool(settingsPath, "vistrel.inSlit:", false);
    timerInterval = ReadInt(settingsPath, "vistrel.timerInterval:", 5);
}

static void addLine(const char* key, const char* value, const char* ending)
{
    appendText(lineBuffer, key);
    appendText(lineBuffer, " ");
    appendText(lineBuffer, value);
    appendText(lineBuffer, ending);
}

static void addLine(const char* key, int value, const char* ending)
{
    char number[16] = "";
    appendInt(number, value);
    addLine(key, number, ending);
}

static void addLine(const char* key, bool value, const char* ending)
{
    addLine(key, value ? "true" : "false", ending);
}

// Writes the whole text to a new file beside the target and then puts it in the target's place,
// so that a write that fails half-way never leaves a cut file where a whole one stood.
static void replaceFile(const char* path, const char* text, DWORD length)
{
    // A read-only file stays as it is, as it would for a plain open for writing; a rename over it
    // is refused on Windows but not everywhere.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return;
    char temporary[PATH_SIZE];
    bool direct = !joinPath(temporary, path, ".new");
    HANDLE file = CreateFileA(direct ? path : temporary, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    bool whole = WriteFile(file, text, length, &written, NULL) && written == length;
    whole = CloseHandle(file) && whole;
    if (direct) return;
    if (!whole || !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temporary);
    }
}

void PluginInstance::writeSettings()
{
    if (settingsPath[0] == '\0') return;
    lineBuffer[0] = '\0';
    addLine("vistrel.position.x:", x, "\n");
    addLine("vistrel.position.y:", y, "\n");
    addLine("vistrel.alwaysOnTop:", alwaysOnTop, "\n");
    addLine("vistrel.snapWindow:", snapWindow, "\n");
    addLine("vistrel.pluginToggle:", pluginToggle, "\n");
    addLine("vistrel.transparency:", transparency, "\r\n");
    addLine("vistrel.transparency.alpha:", alpha, "\r\n");
    addLine("vistrel.inSlit:", inSlit, "\r\n");
    addLine("vistrel.autoResize:", autoResize, "\r\n");
    addLine("vistrel.timerInterval:", timerInterval, "\n");
    addLine("vistrel.width:", width, "\r\n");
    addLine("vistrel.height:", height, "\r\n");
    replaceFile(settingsPath, lineBuffer, static_cast<DWORD>(strlen(lineBuffer)));
}
