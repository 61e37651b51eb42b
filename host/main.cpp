// Duskwell.exe: loads one plug-in into the stand-in host and runs it until the host is closed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo.h"
#include "host.h"

namespace {

typedef int (*BeginPlugin)(HINSTANCE);
typedef int (*BeginSlitPlugin)(HINSTANCE, HWND);
typedef void (*EndPlugin)();

const UINT_PTR QUIT_TIMER = 0x5101;
const UINT_PTR WINDOW_FILE_TIMER = 0x5102;
const char DEFAULT_STYLE[] = "dusk";

struct Options {
    bool slit = false;
    std::string style;
    std::string demoDir;
    std::string windowFile;
    int quitAfterSeconds = 0;
    std::string plugin;
};
std::string windowFile;

const char USAGE[] =
    "usage: Duskwell.exe [--slit] [--style FILE] [--demo OUTDIR] [--quit-after SECONDS]\n"
    "                    [--window-file FILE] PLUGIN.dll\n";

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--slit") options.slit = true;
        else if (arg == "--style" && hasValue) options.style = argv[++i];
        else if (arg == "--demo" && hasValue) options.demoDir = argv[++i];
        else if (arg == "--window-file" && hasValue) options.windowFile = argv[++i];
        else if (arg == "--quit-after" && hasValue) options.quitAfterSeconds = std::atoi(argv[++i]);
        else if (arg.compare(0, 2, "--") != 0 && options.plugin.empty()) options.plugin = arg;
        else return false;
    }
    return !options.plugin.empty();
}

std::string describeError(DWORD code)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

void CALLBACK onQuitTimer(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    EndMenu();  // a popup menu open now would otherwise hold the loop
    PostQuitMessage(0);
}

void CALLBACK onWindowFileTimer(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    if (!demo::writeWindowRect(windowFile)) std::fprintf(stderr, "Duskwell: no plug-in window to describe\n");
}

template <typename Function>
Function entryPoint(HMODULE module, const char* name)
{
    // Through void*: FARPROC has no parameters, so a direct cast draws a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads the plug-in from its full path, so DLLs beside it are found too.
HMODULE loadPlugin(const std::string& path)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return LoadLibraryA(path.c_str());
    return LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

int run(const Options& options)
{
    host::setStyle(options.style.empty() ? host::directory() + "styles\\" + DEFAULT_STYLE + ".style" : options.style);
    host::setInteractiveMenus(true);
    host::setExecuteForReal(true);

    HMODULE plugin = loadPlugin(options.plugin);
    if (!plugin) {
        std::fprintf(stderr, "Duskwell: cannot load %s: %s\n", options.plugin.c_str(), describeError(GetLastError()).c_str());
        return 1;
    }
    auto begin = entryPoint<BeginPlugin>(plugin, "beginPlugin");
    auto beginSlit = entryPoint<BeginSlitPlugin>(plugin, "beginSlitPlugin");
    auto end = entryPoint<EndPlugin>(plugin, "endPlugin");
    const char* missing = !end ? "endPlugin" : options.slit && !beginSlit ? "beginSlitPlugin" : !begin ? "beginPlugin" : nullptr;
    if (missing) {
        std::fprintf(stderr, "Duskwell: %s does not export %s\n", options.plugin.c_str(), missing);
        FreeLibrary(plugin);
        return 1;
    }
    int started = options.slit ? beginSlit(plugin, host::slitWindow()) : begin(plugin);
    if (started != 0) {
        std::fprintf(stderr, "Duskwell: %s failed to start (returned %d)\n", options.plugin.c_str(), started);
        FreeLibrary(plugin);
        return 1;
    }

    bool ok = true;
    HWND main = host::mainWindow();
    if (!options.demoDir.empty() && !demo::start(options.demoDir)) {
        std::fprintf(stderr, "Duskwell: cannot start the demo\n");
        ok = false;
        PostQuitMessage(0);
    }
    if (options.quitAfterSeconds > 0) SetTimer(main, QUIT_TIMER, options.quitAfterSeconds * 1000u, onQuitTimer);
    if (!options.windowFile.empty()) {
        windowFile = options.windowFile;
        SetTimer(main, WINDOW_FILE_TIMER, 1000, onWindowFileTimer);
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    end();
    if (!options.demoDir.empty() && !demo::finish()) ok = false;
    FreeLibrary(plugin);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (!host::start()) {
        std::fprintf(stderr, "Duskwell: cannot create the host windows: %s\n", describeError(GetLastError()).c_str());
        return 1;
    }
    int status = run(options);
    host::stop();
    return status;
}
