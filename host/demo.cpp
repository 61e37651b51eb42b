// The demo's scripted timeline: a sample application, a sent label, each shipped style, screenshots.
#include "demo.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "host.h"

namespace demo {
namespace {

const char SAMPLE_CLASS[] = "DuskwellSample";
const char SAMPLE_TITLE[] = "Quarterly report.txt - Editor";
const char SAMPLE_TEXT[] =
    "Quarterly report\r\n\r\nRevenue grew by 4 % against the last quarter.\r\n"
    "Costs stayed flat; the new office opens in May.\r\n";
const UINT_PTR DEMO_TIMER = 0x5100;

// Each step returns the milliseconds to wait before the next one.
struct Timeline {
    std::string outDir;
    std::vector<std::function<UINT()>> steps;
    size_t next = 0;
    HWND sample = nullptr;
    bool ok = true;
};
Timeline timeline;

std::string stylesDirectory()
{
    return host::directory() + "styles\\";
}

// Saves the whole screen as a 24-bit bottom-up BMP file.
bool saveScreenshot(const std::string& path)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    info.bmiHeader.biSizeImage = stride * static_cast<DWORD>(height);

    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && shot) {
        HGDIOBJ previous = SelectObject(memory, shot);
        ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(memory, previous);
    }
    if (ok) {
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + info.bmiHeader.biSizeImage;
        FILE* f = std::fopen(path.c_str(), "wb");
        ok = f && std::fwrite(&header, sizeof header, 1, f) == 1 &&
             std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
             std::fwrite(bits, 1, info.bmiHeader.biSizeImage, f) == info.bmiHeader.biSizeImage;
        if (f && std::fclose(f) != 0) ok = false;
    }
    if (shot) DeleteObject(shot);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

UINT screenshot(const std::string& name)
{
    std::string path = timeline.outDir + "\\" + name + ".bmp";
    if (!saveScreenshot(path)) {
        std::fprintf(stderr, "demo: could not save %s\n", path.c_str());
        timeline.ok = false;
    }
    return 100;
}

UINT showSample()
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA sampleClass = {};
    sampleClass.lpfnWndProc = DefWindowProcA;
    sampleClass.hInstance = module;
    sampleClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    sampleClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    sampleClass.lpszClassName = SAMPLE_CLASS;
    RegisterClassA(&sampleClass);
    timeline.sample = CreateWindowExA(0, SAMPLE_CLASS, SAMPLE_TITLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 260, 150,
                                      640, 420, nullptr, nullptr, module, nullptr);
    if (!timeline.sample) {
        std::fprintf(stderr, "demo: could not create the sample window (error %lu)\n", GetLastError());
        timeline.ok = false;
        return 100;
    }
    RECT client;
    GetClientRect(timeline.sample, &client);
    CreateWindowExA(0, "EDIT", SAMPLE_TEXT, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, client.right, client.bottom,
                    timeline.sample, nullptr, module, nullptr);
    SetForegroundWindow(timeline.sample);
    return 1200;  // the plug-in polls the title every 250 ms
}

void CALLBACK onDemoTimer(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    if (timeline.next >= timeline.steps.size()) {
        PostQuitMessage(0);
        return;
    }
    UINT wait = timeline.steps[timeline.next++]();
    SetTimer(window, DEMO_TIMER, wait, onDemoTimer);
}

}  // namespace

std::vector<std::string> shippedStyles()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((stylesDirectory() + "*.style").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        names.push_back(name.substr(0, name.size() - 6));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool writeWindowRect(const std::string& path)
{
    HWND window = FindWindowA("Vistrel", nullptr);
    RECT r;
    if (!window || !GetWindowRect(window, &r)) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top) > 0;
    return std::fclose(f) == 0 && ok;
}

bool start(const std::string& outDir)
{
    timeline.outDir = outDir;
    auto& steps = timeline.steps;
    steps.push_back(showSample);
    steps.push_back([] {
        screenshot("title");
        if (!writeWindowRect(timeline.outDir + "\\window.txt")) {
            std::fprintf(stderr, "demo: no plug-in window of class Vistrel\n");
            timeline.ok = false;
        }
        host::sendSetLabel("Hello from the host");
        return 500u;
    });
    steps.push_back([] { return screenshot("label"); });
    for (const std::string& name : shippedStyles()) {
        steps.push_back([name] {
            host::changeStyle(stylesDirectory() + name + ".style");
            // A new label makes the plug-in take the new style's size.
            host::sendSetLabel(SAMPLE_TITLE);
            return 600u;
        });
        steps.push_back([name] { return screenshot("style-" + name); });
    }
    return SetTimer(host::mainWindow(), DEMO_TIMER, 10, onDemoTimer) != 0;
}

bool finish()
{
    if (timeline.sample) DestroyWindow(timeline.sample);
    timeline.sample = nullptr;
    UnregisterClassA(SAMPLE_CLASS, GetModuleHandleA(nullptr));
    return timeline.ok;
}

}  // namespace demo
