// The host's windows and state: the main window taking registrations, the slit, the records.
#include "host.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>

#include "menus.h"
#include "record.h"

namespace host {
namespace {

const char MAIN_CLASS[] = "DuskwellHost";
const char SLIT_CLASS[] = "DuskwellSlit";
// A registration list longer than this is taken as garbage and cut.
const int MAX_REGISTERED = 64;

struct State {
    HWND main = nullptr;
    HWND slit = nullptr;
    std::map<UINT, std::vector<HWND>> registered;
    std::vector<HWND> slitWindows;
    std::set<HWND> sticky;
    std::vector<Call> calls;
    std::vector<std::string> logLines;
    std::string logFile;
    std::string directory;
    std::string style;
    bool executeForReal = false;
};

State& state()
{
    static State s;
    return s;
}

void sendToRegistered(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A copy: a handler may unregister while we send.
    std::vector<HWND> targets = registeredFor(message);
    for (HWND target : targets) SendMessageA(target, message, wParam, lParam);
}

LRESULT onRegister(HWND window, const UINT* messages)
{
    for (int i = 0; messages && i < MAX_REGISTERED && messages[i]; ++i) {
        std::vector<HWND>& windows = state().registered[messages[i]];
        bool known = false;
        for (HWND w : windows) known = known || w == window;
        if (!known) windows.push_back(window);
    }
    return 0;
}

LRESULT onUnregister(HWND window, const UINT* messages)
{
    for (int i = 0; messages && i < MAX_REGISTERED && messages[i]; ++i) {
        auto found = state().registered.find(messages[i]);
        if (found == state().registered.end()) continue;
        std::vector<HWND>& windows = found->second;
        for (size_t j = windows.size(); j-- > 0;) {
            if (windows[j] == window) windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(j));
        }
    }
    return 0;
}

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case HM_REGISTER: return onRegister(reinterpret_cast<HWND>(wParam), reinterpret_cast<const UINT*>(lParam));
    case HM_UNREGISTER: return onUnregister(reinterpret_cast<HWND>(wParam), reinterpret_cast<const UINT*>(lParam));
    case WM_CLOSE: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void layOutSlit()
{
    State& s = state();
    std::vector<HWND> windows;
    for (HWND w : s.slitWindows) {
        if (IsWindow(w)) windows.push_back(w);
    }
    s.slitWindows = windows;

    std::vector<SIZE> sizes;
    int innerWidth = 0, height = SLIT_PADDING;
    for (HWND w : windows) {
        RECT r = {};
        GetWindowRect(w, &r);
        SIZE size = {r.right - r.left, r.bottom - r.top};
        sizes.push_back(size);
        innerWidth = std::max<int>(innerWidth, size.cx);
        height += size.cy + SLIT_PADDING;
    }
    int width = innerWidth + 2 * SLIT_PADDING;
    int left = GetSystemMetrics(SM_CXSCREEN) - SLIT_MARGIN - width;
    int top = GetSystemMetrics(SM_CYSCREEN) / 4;
    SetWindowPos(s.slit, nullptr, left, top, width, std::max(height, 2 * SLIT_PADDING),
                 SWP_NOZORDER | SWP_NOACTIVATE);

    int y = top + SLIT_PADDING;
    for (size_t i = 0; i < windows.size(); ++i) {
        int x = left + SLIT_PADDING + (innerWidth - sizes[i].cx) / 2;
        SetWindowPos(windows[i], nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        y += sizes[i].cy + SLIT_PADDING;
    }
}

void recordSlitMessage(const char* name, WPARAM wParam, LPARAM lParam)
{
    record(name, {std::to_string(wParam), handleText(reinterpret_cast<const void*>(lParam))});
}

LRESULT onSlitAdd(WPARAM wParam, LPARAM lParam)
{
    recordSlitMessage("HM_SLITADD", wParam, lParam);
    HWND window = reinterpret_cast<HWND>(lParam);
    if (!IsWindow(window)) return 0;
    for (HWND w : state().slitWindows) {
        if (w == window) return 0;
    }
    state().slitWindows.push_back(window);
    layOutSlit();
    return 0;
}

LRESULT onSlitRemove(WPARAM wParam, LPARAM lParam)
{
    recordSlitMessage("HM_SLITREMOVE", wParam, lParam);
    std::vector<HWND>& windows = state().slitWindows;
    for (size_t i = windows.size(); i-- > 0;) {
        if (windows[i] == reinterpret_cast<HWND>(lParam)) windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(i));
    }
    layOutSlit();
    return 0;
}

LRESULT onSlitUpdate(WPARAM wParam, LPARAM lParam)
{
    recordSlitMessage("HM_SLITUPDATE", wParam, lParam);
    layOutSlit();
    return 0;
}

LRESULT CALLBACK slitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case HM_SLITADD: return onSlitAdd(wParam, lParam);
    case HM_SLITREMOVE: return onSlitRemove(wParam, lParam);
    case HM_SLITUPDATE: return onSlitUpdate(wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void unregisterClasses(HINSTANCE module)
{
    UnregisterClassA(SLIT_CLASS, module);
    UnregisterClassA(MAIN_CLASS, module);
}

}  // namespace

bool start()
{
    State& s = state();
    if (s.main) return true;
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA mainClass = {};
    mainClass.lpfnWndProc = mainProc;
    mainClass.hInstance = module;
    mainClass.lpszClassName = MAIN_CLASS;
    WNDCLASSA slitClass = {};
    slitClass.lpfnWndProc = slitProc;
    slitClass.hInstance = module;
    slitClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    slitClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    slitClass.lpszClassName = SLIT_CLASS;
    if (!RegisterClassA(&mainClass)) return false;
    if (!RegisterClassA(&slitClass)) {
        unregisterClasses(module);
        return false;
    }
    s.main = CreateWindowExA(0, MAIN_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module, nullptr);
    s.slit = s.main ? CreateWindowExA(WS_EX_TOOLWINDOW, SLIT_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      module, nullptr)
                    : nullptr;
    if (!s.slit) {
        if (s.main) DestroyWindow(s.main);
        s.main = nullptr;
        unregisterClasses(module);
        return false;
    }
    layOutSlit();
    // At the bottom of the z-order, so the windows it holds are never behind it.
    SetWindowPos(s.slit, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return true;
}

void stop()
{
    State& s = state();
    if (s.slit) DestroyWindow(s.slit);
    if (s.main) DestroyWindow(s.main);
    if (s.main || s.slit) unregisterClasses(GetModuleHandleA(nullptr));
    s.main = s.slit = nullptr;
    s.registered.clear();
    s.slitWindows.clear();
    s.sticky.clear();
    s.calls.clear();
    s.logLines.clear();
    deleteAllMenus();
}

HWND mainWindow()
{
    return state().main;
}

HWND slitWindow()
{
    return state().slit;
}

void setDirectory(const std::string& directory)
{
    state().directory = directory;
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') state().directory += '\\';
}

std::string directory()
{
    if (!state().directory.empty()) return state().directory;
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string exe(path, length < MAX_PATH ? length : 0);
    size_t slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

void setStyle(const std::string& styleFile)
{
    state().style = styleFile;
}

std::string currentStyle()
{
    return state().style;
}

void changeStyle(const std::string& styleFile)
{
    setStyle(styleFile);
    sendToRegistered(HM_RECONFIGURE, 0, 0);
}

void sendSetLabel(const char* text)
{
    sendToRegistered(HM_SETLABEL, 0, reinterpret_cast<LPARAM>(text));
}

void broadcast(const char* text)
{
    sendToRegistered(HM_BROADCAST, 0, reinterpret_cast<LPARAM>(text));
}

std::vector<HWND> registeredFor(UINT message)
{
    auto found = state().registered.find(message);
    return found == state().registered.end() ? std::vector<HWND>() : found->second;
}

void record(const char* name, std::vector<std::string> args)
{
    state().calls.push_back(Call{name, std::move(args)});
}

std::string textArg(const char* text)
{
    return text ? text : "(null)";
}

std::string boolArg(bool value)
{
    return value ? "true" : "false";
}

std::string handleText(const void* handle)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value);
    return "0x" + digits;
}

std::vector<Call> calls()
{
    return state().calls;
}

std::vector<Call> callsNamed(const std::string& name)
{
    std::vector<Call> named;
    for (const Call& call : state().calls) {
        if (call.name == name) named.push_back(call);
    }
    return named;
}

void clearCalls()
{
    state().calls.clear();
}

std::vector<HWND> slitWindows()
{
    return state().slitWindows;
}

void addSticky(HWND window)
{
    // Forget destroyed windows, so that a plug-in loaded and unloaded again and again costs nothing.
    std::set<HWND>& sticky = state().sticky;
    for (auto it = sticky.begin(); it != sticky.end();) it = IsWindow(*it) ? std::next(it) : sticky.erase(it);
    sticky.insert(window);
}

bool isSticky(HWND window)
{
    return state().sticky.count(window) > 0;
}

void setExecuteForReal(bool real)
{
    state().executeForReal = real;
}

bool executeForReal()
{
    return state().executeForReal;
}

void appendLog(const char* text, const char* more)
{
    std::string line = text ? text : "";
    if (more) line += std::string(" ") + more;
    state().logLines.push_back(line);
    if (state().logFile.empty()) return;
    if (FILE* f = std::fopen(state().logFile.c_str(), "ab")) {
        std::fprintf(f, "%s\r\n", line.c_str());
        std::fclose(f);
    }
}

std::vector<std::string> logLines()
{
    return state().logLines;
}

void setLogFile(const std::string& path)
{
    state().logFile = path;
}

}  // namespace host
