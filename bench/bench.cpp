// Benchmark: the plug-in's tick and paint against the same work done bare, side by side in one
// process, its start and stop times, its memory over many cycles and the size of the libraries.
// It is itself the host (Duskwell.exe), so the plug-in's imports bind to the stand-in host.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "files.h"
#include "host.h"

namespace {

typedef int(__cdecl* BeginPluginFn)(HINSTANCE);
typedef void(__cdecl* EndPluginFn)(void);

const int RUNS = 15;
const char STYLE[] =
    "toolbar: Flat Gradient Vertical\n"
    "toolbar.color: #102030\n"
    "toolbar.colorTo: #405060\n"
    "toolbar.textColor: #F0E0D0\n"
    "borderColor: #000000\n"
    "bevelWidth: 1\n"
    "borderWidth: 1\n"
    "toolbar.font: Tahoma\n";
const char FOREGROUND_TITLE[] = "Quarterly report.docx - Word processor";

double seconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long long fileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND createWindow(const char* className, WNDPROC procedure, const char* title, DWORD exStyle, DWORD style, int width,
                  int height)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(exStyle, className, title, style, 400, 300, width, height, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

// A foreground window of this thread that answers WM_GETTEXT from a string, so that changing its
// title between two ticks costs next to nothing.
std::string sourceTitle;

LRESULT CALLBACK titleSourceProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(sourceTitle.size());
    if (message == WM_GETTEXT && wParam > 0) {
        size_t n = std::min(sourceTitle.size(), static_cast<size_t>(wParam) - 1);
        memcpy(reinterpret_cast<char*>(lParam), sourceTitle.data(), n);
        reinterpret_cast<char*>(lParam)[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    return DefWindowProcA(w, message, wParam, lParam);
}

// The bare floor: a plain window doing the plug-in's work with nothing around it. Its tick reads
// the foreground title and compares it with the last one; on a change it copies the title,
// resizes when asked to, then writes a settings file of the same twelve lines the plain way
// (open, write, close), and invalidates; its paint draws the same gradient, text and copy.
struct Floor {
    HWND window = nullptr;
    char label[4096] = "";
    bool resize = false;
    std::string settingsPath;
    unsigned char item[STYLE_RECORD_SIZE] = {};
    int width = 100, height = 16;
};
Floor floorState;

void writeFloorSettings()
{
    char text[4096];
    int length = std::snprintf(text, sizeof text,
                               "vistrel.position.x: %d\nvistrel.position.y: %d\nvistrel.alwaysOnTop: false\n"
                               "vistrel.snapWindow: true\nvistrel.pluginToggle: true\nvistrel.transparency: false\r\n"
                               "vistrel.transparency.alpha: 200\r\nvistrel.inSlit: false\r\nvistrel.autoResize: true\r\n"
                               "vistrel.timerInterval: 5\nvistrel.width: %d\r\nvistrel.height: %d\r\n",
                               400, 300, floorState.width, floorState.height);
    HANDLE file = CreateFileA(floorState.settingsPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

LRESULT floorTick(HWND w)
{
    HWND foreground = GetForegroundWindow();
    if (foreground == nullptr) return 0;
    char title[4096];
    if (GetWindowTextA(foreground, title, sizeof title) > 0 && strcmp(title, floorState.label) != 0) {
        memset(floorState.label, 0, sizeof floorState.label);
        size_t n = strlen(title);
        memcpy(floorState.label, title, n);
        int width = std::max<int>(100, static_cast<int>(n) * 5);
        if (floorState.resize && width != floorState.width) {
            floorState.width = width;
            SetWindowPos(w, nullptr, 400, 300, floorState.width, floorState.height, SWP_NOZORDER | SWP_NOACTIVATE);
            writeFloorSettings();
        }
        InvalidateRect(w, nullptr, TRUE);
    }
    return 0;
}

int itemInt(int offset)
{
    int value;
    memcpy(&value, floorState.item + offset, sizeof value);
    return value;
}

LRESULT floorPaint(HWND w)
{
    RECT r;
    GetClientRect(w, &r);
    PAINTSTRUCT ps;
    HDC windowDC = BeginPaint(w, &ps);
    HDC memoryDC = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDC, r.right - r.left, r.bottom - r.top);
    HGDIOBJ previousBitmap = SelectObject(memoryDC, bitmap);
    MakeGradient(memoryDC, r, itemInt(8), RGB(0x10, 0x20, 0x30), RGB(0x40, 0x50, 0x60), floorState.item[13] != 0,
                 itemInt(0), itemInt(4), 1, RGB(0, 0, 0), 1);
    InflateRect(&r, -2, -2);
    SetBkMode(memoryDC, TRANSPARENT);
    SetTextColor(memoryDC, RGB(0xF0, 0xE0, 0xD0));
    HFONT font = CreateFontA(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    HGDIOBJ previousFont = SelectObject(memoryDC, font);
    DrawTextA(memoryDC, floorState.label, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SelectObject(memoryDC, previousFont);
    DeleteObject(font);
    BitBlt(windowDC, 0, 0, floorState.width, floorState.height, memoryDC, 0, 0, SRCCOPY);
    SelectObject(memoryDC, previousBitmap);
    DeleteDC(memoryDC);
    DeleteObject(bitmap);
    EndPaint(w, &ps);
    return 0;
}

LRESULT CALLBACK floorProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: return floorTick(w);
    case WM_PAINT: return floorPaint(w);
    default: return DefWindowProcA(w, message, wParam, lParam);
    }
}

// The other process's side: one plain window with a fixed title, kept until the benchmark ends.
int runForegroundProcess(const char* title)
{
    HWND w = createWindow("VistrelBenchForeground", DefWindowProcA, title, 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 320, 200);
    if (w == nullptr) return 1;
    SetForegroundWindow(w);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

struct ForegroundProcess {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

ForegroundProcess startForegroundProcess()
{
    ForegroundProcess child;
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string commandLine = std::string("\"") + exe + "\" --foreground \"" + FOREGROUND_TITLE + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child.process)) {
        return child;
    }
    WaitForInputIdle(child.process.hProcess, 5000);
    for (int i = 0; i < 200 && child.window == nullptr; ++i) {
        child.window = FindWindowA("VistrelBenchForeground", FOREGROUND_TITLE);
        if (child.window == nullptr) Sleep(10);
    }
    return child;
}

void stopForegroundProcess(ForegroundProcess& child)
{
    if (child.process.hProcess == nullptr) return;
    if (child.window != nullptr) PostMessageA(child.window, WM_CLOSE, 0, 0);
    if (child.window != nullptr) PostThreadMessageA(child.process.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(child.process.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(child.process.hProcess, 0);
    CloseHandle(child.process.hThread);
    CloseHandle(child.process.hProcess);
}

bool makeForeground(HWND w)
{
    for (int i = 0; i < 100; ++i) {
        SetForegroundWindow(w);
        pump();
        if (GetForegroundWindow() == w) return true;
        Sleep(10);
    }
    return false;
}

struct Comparison {
    double plugin, floor, ratio;
};

// Times both sides in alternating order, run after run; each figure is the median over the runs,
// the ratio the median of the per-run ratios.
Comparison compare(int iterations, const std::function<void()>& pluginStep, const std::function<void()>& floorStep)
{
    std::vector<double> plugin, floor, ratio;
    for (int run = 0; run < RUNS; ++run) {
        double p = 0, f = 0;
        for (int side = 0; side < 2; ++side) {
            bool pluginSide = (side == 0) == (run % 2 == 0);
            const std::function<void()>& step = pluginSide ? pluginStep : floorStep;
            double start = seconds();
            for (int i = 0; i < iterations; ++i) step();
            double each = (seconds() - start) / iterations * 1e6;
            (pluginSide ? p : f) = each;
        }
        plugin.push_back(p);
        floor.push_back(f);
        ratio.push_back(p / f);
    }
    return {median(plugin), median(floor), median(ratio)};
}

void printComparison(const char* what, const Comparison& c, const char* target)
{
    std::printf("%-52s %9.2f us %9.2f us %7.3f   %s\n", what, c.plugin, c.floor, c.ratio, target);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--foreground") == 0) return runForegroundProcess(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: Duskwell.exe DIST_DIR   (the directory holding x86/ and x64/)\n");
        return 2;
    }
    std::string dist = argv[1];
    if (!dist.empty() && dist.back() != '\\' && dist.back() != '/') dist += '\\';

    // A private copy of the plug-in, so its settings file lives beside it and not in dist/.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string work = std::string(temp) + "vistrel-bench-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(work.c_str(), nullptr);
    std::string dll = work + "Vistrel.dll";
    if (!CopyFileA((dist + "x64\\Vistrel.dll").c_str(), dll.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %sx64\\Vistrel.dll\n", dist.c_str());
        return 1;
    }
    writeFile(work + "vistrel.rc", "vistrel.position.x: 100\nvistrel.position.y: 100\nvistrel.autoResize: true\n"
                                   "vistrel.alwaysOnTop: false\n");
    writeFile(work + "bench.style", STYLE);

    host::start();
    host::setDirectory(work);
    host::setStyle(work + "bench.style");
    HMODULE module = LoadLibraryA(dll.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }
    auto beginPlugin = reinterpret_cast<BeginPluginFn>(reinterpret_cast<void*>(GetProcAddress(module, "beginPlugin")));
    auto endPlugin = reinterpret_cast<EndPluginFn>(reinterpret_cast<void*>(GetProcAddress(module, "endPlugin")));
    ParseItem("Flat Gradient Vertical", floorState.item);
    floorState.settingsPath = work + "floor.rc";

    std::printf("Vistrel benchmark: 64-bit plug-in under Wine; each figure the median of %d runs,\n", RUNS);
    std::printf("plug-in and floor timed alternately in the same process, both reached through SendMessage.\n\n");
    std::printf("%-52s %12s %12s %7s   %s\n", "", "plug-in", "floor", "ratio", "target");

    // Memory over begin/end cycles, counted from the first. The stand-in host's call records are
    // emptied after every cycle, so that their vector keeps one cycle's room and only what the
    // cycles leave is counted. The floor makes, shows, paints and destroys a bare window of its
    // own class as often.
    auto bareCycle = [] {
        HWND w = createWindow("VistrelBenchCycle", floorProc, "", WS_EX_TOOLWINDOW, WS_POPUP, 100, 16);
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        pump();
        DestroyWindow(w);
        UnregisterClassA("VistrelBenchCycle", GetModuleHandleA(nullptr));
        pump();
    };
    auto pluginCycle = [&] {
        beginPlugin(module);
        pump();
        endPlugin();
        pump();
    };
    auto growth = [](const std::function<void()>& cycle, SIZE_T& afterOne, SIZE_T& afterThousand) {
        cycle();
        host::clearCalls();
        afterOne = privateBytes();
        for (int i = 1; i < 1000; ++i) {
            cycle();
            host::clearCalls();
        }
        host::clearCalls();
        afterThousand = privateBytes();
    };
    SIZE_T bareOne, bareThousand, pluginOne, pluginThousand;
    growth(bareCycle, bareOne, bareThousand);
    growth(pluginCycle, pluginOne, pluginThousand);

    // Ticks: the plug-in window and the floor window get the same WM_TIMER through SendMessage.
    beginPlugin(module);
    pump();
    HWND pluginWindow = FindWindowA("Vistrel", nullptr);
    floorState.window = createWindow("VistrelBenchFloor", floorProc, "", WS_EX_TOOLWINDOW, WS_POPUP, 100, 16);
    ShowWindow(floorState.window, SW_SHOWNOACTIVATE);
    auto pluginTick = [&] { SendMessageA(pluginWindow, WM_TIMER, 1, 0); };
    auto floorTickStep = [&] { SendMessageA(floorState.window, WM_TIMER, 1, 0); };

    ForegroundProcess child = startForegroundProcess();
    if (child.window != nullptr && makeForeground(child.window)) {
        pluginTick();
        floorTickStep();
        pump();
        printComparison("Unchanged tick, foreground in another process", compare(2000, pluginTick, floorTickStep),
                        "<= 1.10");
    } else {
        std::printf("%-52s (no foreground window of another process)\n", "Unchanged tick, foreground in another process");
    }
    stopForegroundProcess(child);

    HWND source = createWindow("VistrelBenchTitle", titleSourceProc, "", 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 320, 200);
    sourceTitle = FOREGROUND_TITLE;
    makeForeground(source);
    pluginTick();
    floorTickStep();
    pump();
    printComparison("Unchanged tick, foreground on the host's thread", compare(2000, pluginTick, floorTickStep),
                    "<= 1.10");

    // Changed ticks: the title alternates every tick and the paint follows at once. Titles of one
    // length keep the auto-sized width; titles of two lengths resize the window on every tick.
    auto changedTicks = [&](const char* what, const std::string& a, const std::string& b, const char* target) {
        floorState.resize = true;
        int flip = 0;
        auto pluginStep = [&] {
            sourceTitle = ++flip % 2 ? a : b;
            pluginTick();
            UpdateWindow(pluginWindow);
        };
        auto floorStep = [&] {
            sourceTitle = ++flip % 2 ? a : b;
            floorTickStep();
            UpdateWindow(floorState.window);
        };
        for (int i = 0; i < 4; ++i) {
            pluginStep();
            floorStep();
        }
        printComparison(what, compare(200, pluginStep, floorStep), target);
    };
    changedTicks("Changed tick + paint, auto-resize, same width", "Quarterly report - draft A.docx",
                 "Quarterly report - draft B.docx", "<= 1.15");
    changedTicks("Changed tick + paint, auto-resize, new width *", "Quarterly report - draft A.docx",
                 "Quarterly report - final version B.docx", "<= 1.15");
    endPlugin();
    pump();
    DestroyWindow(source);
    DestroyWindow(floorState.window);
    pump();

    // Start and stop.
    std::vector<double> starts, stops;
    for (int run = 0; run < RUNS; ++run) {
        double start = seconds();
        beginPlugin(module);
        UpdateWindow(FindWindowA("Vistrel", nullptr));
        starts.push_back((seconds() - start) * 1e6);
        pump();
        start = seconds();
        endPlugin();
        stops.push_back((seconds() - start) * 1e6);
        pump();
    }
    std::printf("\n%-52s %9.0f us\n", "beginPlugin to first paint", median(starts));
    std::printf("%-52s %9.0f us\n", "endPlugin", median(stops));
    std::printf("%-52s %9.0f KiB %9.0f KiB\n", "Private bytes after 1 begin/end cycle", pluginOne / 1024.0,
                bareOne / 1024.0);
    std::printf("%-52s %9.0f KiB %9.0f KiB\n", "Private bytes after 1,000 begin/end cycles", pluginThousand / 1024.0,
                bareThousand / 1024.0);
    std::printf("%-52s %+9.0f KiB %+9.0f KiB\n", "  growth over the last 999 cycles",
                (static_cast<double>(pluginThousand) - static_cast<double>(pluginOne)) / 1024.0,
                (static_cast<double>(bareThousand) - static_cast<double>(bareOne)) / 1024.0);
    std::printf("\n");
    const struct {
        const char* name;
        const char* path;
        bool limited;
    } libraries[] = {
        {"x86 Vistrel.dll (shared C runtime)", "x86\\Vistrel.dll", true},
        {"x86 standalone Vistrel.dll", "x86\\standalone\\Vistrel.dll", true},
        {"x64 Vistrel.dll (test build)", "x64\\Vistrel.dll", false},
    };
    for (const auto& library : libraries) {
        long long size = fileSize(dist + library.path);
        if (size < 0) {
            std::printf("%-52s missing\n", library.name);
        } else {
            std::printf("%-52s %9lld bytes  %s\n", library.name, size, library.limited ? "<= 32768" : "");
        }
    }
    std::printf("\n* Both sides resize their window and rewrite a settings file of twelve lines on every tick:\n"
                "  the floor opens the file, writes and closes it; the plug-in writes a new file beside it\n"
                "  and renames it over the old one, so that a failed write never leaves a cut file.\n");

    FreeLibrary(module);
    host::stop();
    DeleteFileA((work + "vistrel.rc").c_str());
    DeleteFileA((work + "bench.style").c_str());
    DeleteFileA(floorState.settingsPath.c_str());
    DeleteFileA(dll.c_str());
    RemoveDirectoryA(work.c_str());
    return 0;
}
