// Shared test fixture.
#include "plugin_fixture.h"

#include <stdio.h>

#include "files.h"
#include "iat_patch.h"

#include <chrono>

const char* const DEFAULT_TEST_STYLE =
    "toolbar: Flat Gradient Vertical\n"
    "toolbar.color: #102030\n"
    "toolbar.colorTo: #405060\n"
    "toolbar.textColor: #F0E0D0\n"
    "borderColor: #000000\n"
    "bevelWidth: 1\n"
    "borderWidth: 1\n"
    "toolbar.font: Tahoma\n";

std::vector<DrawTextRecord> drawTextCalls;

static int WINAPI recordDrawText(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format)
{
    DrawTextRecord record;
    if (text != nullptr) record.text = count < 0 ? std::string(text) : std::string(text, count);
    record.format = format;
    if (rect != nullptr) record.rect = *rect;
    drawTextCalls.push_back(record);
    return DrawTextA(dc, text, count, rect, format);
}

std::map<std::string, std::string> settingsValues(const std::string& text)
{
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(": ");
        if (colon != std::string::npos) values[line.substr(0, colon + 1)] = line.substr(colon + 2);
        start = end + 1;
    }
    return values;
}

std::string makeTempDirectory(const char* prefix)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%s%s-%lu-%u\\", temp, prefix, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr)) return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return name;
    }
}

void removeTree(const std::string& directory)
{
    std::string base = directory;
    if (!base.empty() && base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = base + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(base.c_str());
}

void pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_TIMER && msg.wParam == 1) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static LRESULT CALLBACK plainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

ForegroundWindow::ForegroundWindow(const char* title)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = plainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VistrelTestApp";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "VistrelTestApp", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 320, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
    activate();
}

ForegroundWindow::~ForegroundWindow()
{
    if (window_ != nullptr) DestroyWindow(window_);
    pumpMessages();
}

void ForegroundWindow::setTitle(const char* title)
{
    SetWindowTextA(window_, title);
}

void ForegroundWindow::activate()
{
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
    pumpMessages();
}

MessageBoxWatcher::MessageBoxWatcher() : thread_([this] { run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher()
{
    stop_ = true;
    thread_.join();
}

std::vector<MessageBoxWatcher::Box> MessageBoxWatcher::boxes()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

struct BoxSearch {
    DWORD process;
    HWND found;
};

static BOOL CALLBACK findBox(HWND w, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (process == search->process && strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
        search->found = w;
        return FALSE;
    }
    return TRUE;
}

void MessageBoxWatcher::run()
{
    std::vector<HWND> closed;
    while (!stop_) {
        BoxSearch search = {GetCurrentProcessId(), nullptr};
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
        HWND box = search.found;
        if (box != nullptr && std::find(closed.begin(), closed.end(), box) == closed.end()) {
            Box record;
            char text[1024] = "";
            GetWindowTextA(box, text, sizeof text);
            record.caption = text;
            // The message text is the dialog's static control with id 0xFFFF.
            text[0] = '\0';
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            record.text = text;
            record.owner = GetWindow(box, GW_OWNER);
            record.exStyle = GetWindowLongPtrA(box, GWL_EXSTYLE);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                boxes_.push_back(record);
            }
            closed.push_back(box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
}

void PluginFixture::SetUp()
{
    ASSERT_TRUE(host::start());
    host::clearCalls();
    pluginDir = makeTempDirectory("vistrel-plugin");
    hostDir = makeTempDirectory("vistrel-host");
    host::setDirectory(hostDir);
    styleFile = hostDir + "test.style";
    useStyle(DEFAULT_TEST_STYLE);

    dllPath = pluginDir + "Vistrel.dll";
    ASSERT_TRUE(CopyFileA(sourceDll.c_str(), dllPath.c_str(), FALSE)) << "cannot copy " << sourceDll;
    module = LoadLibraryA(dllPath.c_str());
    ASSERT_NE(module, nullptr) << "cannot load " << dllPath << " error " << GetLastError();
    beginPlugin = reinterpret_cast<BeginPluginFn>(reinterpret_cast<void*>(GetProcAddress(module, "beginPlugin")));
    beginPluginEx = reinterpret_cast<BeginPluginExFn>(reinterpret_cast<void*>(GetProcAddress(module, "beginPluginEx")));
    beginSlitPlugin = reinterpret_cast<BeginPluginExFn>(reinterpret_cast<void*>(GetProcAddress(module, "beginSlitPlugin")));
    endPlugin = reinterpret_cast<EndPluginFn>(reinterpret_cast<void*>(GetProcAddress(module, "endPlugin")));
    pluginInfo = reinterpret_cast<PluginInfoFn>(reinterpret_cast<void*>(GetProcAddress(module, "pluginInfo")));
    ASSERT_TRUE(beginPlugin && beginPluginEx && beginSlitPlugin && endPlugin && pluginInfo);
    drawTextCalls.clear();
    ASSERT_NE(patchImport(module, "USER32.dll", "DrawTextA", reinterpret_cast<void*>(recordDrawText)), nullptr);
}

void PluginFixture::TearDown()
{
    if (running) end();
    if (module != nullptr) FreeLibrary(module);
    module = nullptr;
    pumpMessages();
    host::stop();
    removeTree(pluginDir);
    removeTree(hostDir);
}

void PluginFixture::useStyle(const std::string& content)
{
    writeFile(styleFile, content);
    host::setStyle(styleFile);
}

int PluginFixture::begin()
{
    int result = beginPlugin(module);
    running = result == 0;
    pumpMessages();
    return result;
}

int PluginFixture::beginEx(HWND slit)
{
    int result = beginPluginEx(module, slit);
    running = result == 0;
    pumpMessages();
    return result;
}

int PluginFixture::beginSlit(HWND slit)
{
    int result = beginSlitPlugin(module, slit);
    running = result == 0;
    pumpMessages();
    return result;
}

void PluginFixture::end()
{
    endPlugin();
    running = false;
    pumpMessages();
}

const char* PluginFixture::info(int what)
{
    return pluginInfo(what);
}

HWND PluginFixture::window() const
{
    return FindWindowA("Vistrel", nullptr);
}

void PluginFixture::tick(int count)
{
    HWND w = window();
    for (int i = 0; i < count; ++i) SendMessageA(w, WM_TIMER, 1, 0);
}

std::string PluginFixture::windowText(HWND w) const
{
    char text[4096] = "";
    GetWindowTextA(w, text, sizeof text);
    return text;
}

int PluginFixture::paintPending()
{
    size_t before = drawTextCalls.size();
    UpdateWindow(window());
    return static_cast<int>(drawTextCalls.size() - before);
}

std::string PluginFixture::shownLabel()
{
    InvalidateRect(window(), nullptr, FALSE);
    if (paintPending() == 0) return "<no paint>";
    return drawTextCalls.back().text;
}

RECT PluginFixture::windowRect() const
{
    RECT r = {};
    GetWindowRect(window(), &r);
    return r;
}
