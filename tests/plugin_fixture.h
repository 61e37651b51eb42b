// Shared test fixture: loads a fresh copy of the real plug-in DLL into the test process, which
// is also the stand-in host, and gives the tests its window, its files and the host's records.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "host.h"

// The "key: value" lines of a settings text by key (which keeps its colon); CR LF or LF.
std::map<std::string, std::string> settingsValues(const std::string& text);
// A new empty directory under the temporary directory; the path ends with a backslash.
std::string makeTempDirectory(const char* prefix);
void removeTree(const std::string& directory);
// Dispatches what is queued for this thread, except the plug-in's real timer ticks, so that
// tests decide when a tick happens.
void pumpMessages();

// A plain top-level window with a title, made the foreground window.
class ForegroundWindow {
public:
    explicit ForegroundWindow(const char* title);
    ~ForegroundWindow();
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;
    HWND handle() const { return window_; }
    void setTitle(const char* title);
    void activate();

private:
    HWND window_;
};

// Watches for message boxes of this process from a second thread, records and closes each one,
// so that a start-up failure or the About box never blocks a test.
class MessageBoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
        HWND owner = nullptr;
        LONG_PTR exStyle = 0;
    };
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    std::vector<Box> boxes();

private:
    void run();
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

// What the plug-in last drew with DrawTextA (its import is patched to record every call).
struct DrawTextRecord {
    std::string text;
    UINT format = 0;
    RECT rect = {};
};
extern std::vector<DrawTextRecord> drawTextCalls;

typedef int(__cdecl* BeginPluginFn)(HINSTANCE);
typedef int(__cdecl* BeginPluginExFn)(HINSTANCE, HWND);
typedef void(__cdecl* EndPluginFn)(void);
typedef const char*(__cdecl* PluginInfoFn)(int);

class PluginFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The style the host reports; written to hostDir and set without a reconfigure message.
    void useStyle(const std::string& content);
    // Writes the plug-in directory's settings file before the plug-in starts.
    void writeSettings(const std::string& content) { writeFile(settingsPath(), content); }
    std::string settingsPath() const { return pluginDir + "vistrel.rc"; }
    std::string settingsText() const { return readFile(settingsPath()); }

    int begin();
    int beginEx(HWND slit);
    int beginSlit(HWND slit);
    void end();
    const char* info(int what);

    // The plug-in's window (class "Vistrel"), or null.
    HWND window() const;
    void tick(int count = 1);
    std::string windowText(HWND w) const;
    RECT windowRect() const;
    // Paints the window if something invalidated it; returns the number of label draws it made.
    int paintPending();
    // Forces a paint and returns the label it drew.
    std::string shownLabel();

    std::string pluginDir;   // holds the copy of the DLL; ends with a backslash
    std::string hostDir;     // what GetDuskwellPath reports; ends with a backslash
    std::string styleFile;
    std::string dllPath;
    // The build of the plug-in SetUp copies; a derived fixture may point it elsewhere in its constructor.
    std::string sourceDll = VISTREL_DLL;
    HMODULE module = nullptr;
    bool running = false;

    BeginPluginFn beginPlugin = nullptr;
    BeginPluginExFn beginPluginEx = nullptr;
    BeginPluginExFn beginSlitPlugin = nullptr;
    EndPluginFn endPlugin = nullptr;
    PluginInfoFn pluginInfo = nullptr;
};

// A small style with easily told-apart colours; bevel and border widths 1.
extern const char* const DEFAULT_TEST_STYLE;
