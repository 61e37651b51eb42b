// Window placement and pointer handling through the real window: every position change saved,
// snapping, Ctrl-drag with real input, hit testing, clicks and close requests.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "iat_patch.h"
#include "plugin_fixture.h"

namespace {

POINT savedPosition(const std::string& settings)
{
    std::map<std::string, std::string> values = settingsValues(settings);
    return {atoi(values["vistrel.position.x:"].c_str()), atoi(values["vistrel.position.y:"].c_str())};
}

const char* const FLOATING_SETTINGS =
    "# positions kept by hand\n"
    "vistrel.position.x: 300\n"
    "vistrel.position.y: 200\n"
    "vistrel.alwaysOnTop: false\n"
    "vistrel.snapWindow: true\n"
    "vistrel.pluginToggle: true\n"
    "vistrel.transparency: false\n"
    "vistrel.transparency.alpha: 150\n"
    "vistrel.inSlit: false\n"
    "vistrel.autoResize: false\n"
    "vistrel.timerInterval: 7\n"
    "other.plugin.key: 12\n";

// The whole file the plug-in writes for FLOATING_SETTINGS once it stands at (x, y); the size
// recorded is the one the style gave, not the window's.
std::string floatingFile(int x, int y)
{
    return "vistrel.position.x: " + std::to_string(x) + "\n" +
           "vistrel.position.y: " + std::to_string(y) + "\n" +
           "vistrel.alwaysOnTop: false\n"
           "vistrel.snapWindow: true\n"
           "vistrel.pluginToggle: true\n"
           "vistrel.transparency: false\r\n"
           "vistrel.transparency.alpha: 150\r\n"
           "vistrel.inSlit: false\r\n"
           "vistrel.autoResize: false\r\n"
           "vistrel.timerInterval: 7\n"
           "vistrel.width: 100\r\n"
           "vistrel.height: 16\r\n";
}

void moveTo(HWND w, int x, int y)
{
    SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void sendKey(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// Holds a key down through real input for the lifetime of the object.
class HeldKey {
public:
    explicit HeldKey(WORD key) : key_(key)
    {
        sendKey(key_, false);
        pumpMessages();
    }
    ~HeldKey()
    {
        sendKey(key_, true);
        pumpMessages();
    }
    HeldKey(const HeldKey&) = delete;
    HeldKey& operator=(const HeldKey&) = delete;

private:
    WORD key_;
};

// Real mouse input: moves to p when move is set, with the button flags given.
void sendMouse(DWORD flags, POINT p, bool move = true)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    if (move) {
        // Rounded up, so that scaling back to pixels lands on p itself.
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = static_cast<LONG>((p.x * 65536LL + width - 1) / width);
        input.mi.dy = static_cast<LONG>((p.y * 65536LL + height - 1) / height);
        flags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void pumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        pumpMessages();
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

// Presses the left button where the pointer stands, at from, then a second thread moves the
// pointer to to in steps and releases it. The press carries no move: under Wine a pointer move
// re-reads the modifier keys from the X server, which knows nothing of an injected Ctrl. The
// main thread pumps meanwhile, since a system drag runs its own loop inside the press's dispatch.
void dragFromHere(POINT from, POINT to)
{
    sendMouse(MOUSEEVENTF_LEFTDOWN, from, false);
    std::thread feeder([from, to] {
        Sleep(150);
        for (int step = 1; step <= 4; ++step) {
            POINT p = {from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4};
            sendMouse(0, p);
            Sleep(60);
        }
        sendMouse(MOUSEEVENTF_LEFTUP, to);
    });
    pumpFor(700);
    feeder.join();
    pumpFor(100);
}

void* realDefWindowProc;
std::vector<UINT> defaultMessages;

LRESULT WINAPI recordDefWindowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    defaultMessages.push_back(message);
    return reinterpret_cast<WNDPROC>(realDefWindowProc)(w, message, wParam, lParam);
}

bool reachedDefault(UINT message)
{
    return std::find(defaultMessages.begin(), defaultMessages.end(), message) != defaultMessages.end();
}

HWND watchedWindow;
std::vector<UINT> deliveredMessages;
HHOOK deliveryHook;

LRESULT CALLBACK recordDelivery(int code, WPARAM wParam, LPARAM lParam)
{
    auto* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == watchedWindow) deliveredMessages.push_back(sent->message);
    return CallNextHookEx(deliveryHook, code, wParam, lParam);
}

}  // namespace

using Placement = PluginFixture;

TEST_F(Placement, EveryPositionChangeRewritesTheWholeFileWithTheCurrentPosition)
{
    writeSettings(FLOATING_SETTINGS);
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    EXPECT_EQ(settingsText(), floatingFile(300, 200)) << "the first show at start-up";

    struct Change {
        const char* name;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"move", [w] { moveTo(w, 321, 234); }},
        {"resize", [w] { SetWindowPos(w, nullptr, 0, 0, 180, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); }},
        {"move and resize", [w] { SetWindowPos(w, nullptr, 150, 160, 120, 16, SWP_NOZORDER | SWP_NOACTIVATE); }},
        {"re-order", [w] { SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }},
        {"hide", [w] { ShowWindow(w, SW_HIDE); }},
        {"move while hidden", [w] { moveTo(w, 90, 95); }},
        {"show", [w] { ShowWindow(w, SW_SHOWNA); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        ASSERT_TRUE(writeFile(settingsPath(), "# a note\nforeign.key: 1\nvistrel.position.x: 9999\n"));
        change.apply();
        pumpMessages();
        RECT r = windowRect();
        EXPECT_EQ(settingsText(), floatingFile(r.left, r.top));
    }
    RECT r = windowRect();
    EXPECT_EQ(r.left, 90);
    EXPECT_EQ(r.top, 95);
    EXPECT_EQ(r.right - r.left, 120);
}

TEST_F(Placement, SnapsWithinTenPixelsOfEachScreenEdgeOnlyWhenOnAndVisible)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int width = 100, height = 8;  // the creation size; auto-resize is off
    struct Case {
        const char* name;
        int x, y;
        int snappedX, snappedY;
    };
    const Case cases[] = {
        {"near the left edge", 7, 300, 0, 300},
        {"ten from the left", 10, 300, 0, 300},
        {"eleven from the left", 11, 300, 11, 300},
        {"past the left edge", -6, 300, 0, 300},
        {"near the top", 300, 4, 300, 0},
        {"near the right edge", screenWidth - width - 9, 300, screenWidth - width, 300},
        {"over the right edge", screenWidth - width + 3, 300, screenWidth - width, 300},
        {"ten from the bottom", 300, screenHeight - height - 10, 300, screenHeight - height},
        {"eleven from the bottom", 300, screenHeight - height - 11, 300, screenHeight - height - 11},
        {"near a corner", 5, screenHeight - height - 5, 0, screenHeight - height},
        {"far from every edge", 400, 300, 400, 300},
    };
    struct Mode {
        const char* name;
        const char* snapSetting;
        bool hideWithPlugins;
        bool snaps;
    };
    const Mode modes[] = {
        {"snapping on", "true", false, true},
        {"snapping off", "false", false, false},
        {"hidden with the host's plug-ins", "true", true, false},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.name);
        writeSettings(std::string("vistrel.snapWindow: ") + mode.snapSetting +
                      "\nvistrel.autoResize: false\nvistrel.pluginToggle: true\nvistrel.position.x: 300\n"
                      "vistrel.position.y: 300\n");
        ASSERT_EQ(begin(), 0);
        HWND w = window();
        if (mode.hideWithPlugins) {
            host::broadcast("@DKHidePlugins");
            ASSERT_FALSE(IsWindowVisible(w));
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            moveTo(w, c.x, c.y);
            POINT expected = mode.snaps ? POINT{c.snappedX, c.snappedY} : POINT{c.x, c.y};
            RECT r = windowRect();
            EXPECT_EQ(r.left, expected.x);
            EXPECT_EQ(r.top, expected.y);
            POINT saved = savedPosition(settingsText());
            EXPECT_EQ(saved.x, expected.x);
            EXPECT_EQ(saved.y, expected.y);
        }
        end();
    }
}

TEST_F(Placement, InTheSlitThePositionTheSlitGivesIsRecorded)
{
    writeSettings("vistrel.inSlit: true\nvistrel.position.x: 40\nvistrel.position.y: 50\n");
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    RECT r = windowRect();
    EXPECT_GT(r.left, GetSystemMetrics(SM_CXSCREEN) / 2) << "the slit stands at the right of the screen";
    POINT saved = savedPosition(settingsText());
    EXPECT_EQ(saved.x, r.left);
    EXPECT_EQ(saved.y, r.top);
    EXPECT_EQ(settingsValues(settingsText())["vistrel.inSlit:"], "true");

    // A move inside the slit (a drag, or the slit laying out again) is tracked the same way.
    moveTo(window(), r.left - 30, r.top + 20);
    saved = savedPosition(settingsText());
    EXPECT_EQ(saved.x, r.left - 30);
    EXPECT_EQ(saved.y, r.top + 20);
}

TEST_F(Placement, CloseRequestsReachTheWindowAndLeaveItOpen)
{
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    watchedWindow = w;
    deliveryHook = SetWindowsHookExA(WH_CALLWNDPROC, recordDelivery, nullptr, GetCurrentThreadId());
    ASSERT_NE(deliveryHook, nullptr);

    struct Request {
        const char* name;
        std::function<LRESULT()> send;
    };
    const Request requests[] = {
        {"WM_CLOSE", [w] { return SendMessageA(w, WM_CLOSE, 0, 0); }},
        {"system close command", [w] { return SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        // Alt+F4 as the system delivers it: a system key press with the Alt flag (bit 29).
        {"Alt+F4", [w] {
             SetActiveWindow(w);
             LRESULT result = SendMessageA(w, WM_SYSKEYDOWN, VK_F4, (1 << 29) | (0x3E << 16) | 1);
             pumpMessages();
             return result;
         }},
    };
    for (const Request& request : requests) {
        SCOPED_TRACE(request.name);
        deliveredMessages.clear();
        EXPECT_EQ(request.send(), 0);
        EXPECT_NE(std::find(deliveredMessages.begin(), deliveredMessages.end(), static_cast<UINT>(WM_CLOSE)),
                  deliveredMessages.end())
            << "the request arrived as WM_CLOSE";
        EXPECT_TRUE(IsWindow(w));
        EXPECT_TRUE(IsWindowVisible(w));
        EXPECT_EQ(window(), w);
    }
    UnhookWindowsHookEx(deliveryHook);
}

TEST_F(Placement, HitTestAnswersCaptionExactlyWhileCtrlIsDown)
{
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    RECT r = windowRect();
    // Outside the window the default procedure would answer "nowhere"; the plug-in never asks it.
    const POINT points[] = {{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, {r.right + 200, r.bottom + 200}};
    struct Case {
        const char* name;
        WORD key;  // 0: nothing held
        LRESULT expected;
    };
    const Case cases[] = {
        {"nothing held", 0, HTCLIENT},
        {"Ctrl held", VK_CONTROL, HTCAPTION},
        {"Shift held", VK_SHIFT, HTCLIENT},
        {"Ctrl released again", 0, HTCLIENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<HeldKey> held;
        if (c.key != 0) {
            held.reset(new HeldKey(c.key));
            ASSERT_TRUE(GetAsyncKeyState(c.key) & 0x8000) << "the key is down for the system";
        }
        for (POINT p : points) EXPECT_EQ(SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), c.expected);
    }
}

TEST_F(Placement, CtrlDragMovesTheWindowAndSnapsItAPlainDragDoesNot)
{
    writeSettings("vistrel.position.x: 300\nvistrel.position.y: 200\nvistrel.snapWindow: true\n"
                  "vistrel.alwaysOnTop: true\nvistrel.autoResize: false\n");
    ASSERT_EQ(begin(), 0);
    RECT r = windowRect();
    ASSERT_EQ(r.left, 300);
    POINT grab = {r.left + 50, r.top + 4};

    // Without Ctrl the press goes to the client area and nothing moves.
    sendMouse(0, grab);
    pumpFor(100);
    dragFromHere(grab, {grab.x + 120, grab.y + 80});
    r = windowRect();
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 200);

    // With Ctrl the window follows; ending 4 pixels from the left edge, it snaps onto it.
    sendMouse(0, grab);
    pumpFor(100);
    {
        HeldKey ctrl(VK_CONTROL);
        dragFromHere(grab, {grab.x - 296, grab.y + 100});
    }
    r = windowRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 300);
    POINT saved = savedPosition(settingsText());
    EXPECT_EQ(saved.x, 0);
    EXPECT_EQ(saved.y, 300);
}

TEST_F(Placement, RightClickWithCtrlHeldOpensNoMenu)
{
    ASSERT_EQ(begin(), 0);
    RECT r = windowRect();
    POINT inside = {r.left + 20, r.top + 4};
    sendMouse(0, inside);
    pumpFor(100);
    {
        HeldKey ctrl(VK_CONTROL);
        sendMouse(MOUSEEVENTF_RIGHTDOWN, inside, false);
        sendMouse(MOUSEEVENTF_RIGHTUP, inside, false);
        pumpFor(200);
    }
    EXPECT_TRUE(host::lastShownMenu().menus.empty());

    sendMouse(MOUSEEVENTF_RIGHTDOWN, inside, false);
    sendMouse(MOUSEEVENTF_RIGHTUP, inside, false);
    pumpFor(200);
    ASSERT_FALSE(host::lastShownMenu().menus.empty());
    EXPECT_EQ(host::lastShownMenu().menus[0].title, "Vistrel");
}

TEST_F(Placement, ButtonAndCloseMessagesBypassTheDefaultProcedureExceptAFloatingLeftPress)
{
    struct Case {
        const char* name;
        UINT message;
        LRESULT result;  // what the plug-in returns when it handles the message itself
        bool defaultWhenFloating;
    };
    const Case cases[] = {
        {"left press", WM_LBUTTONDOWN, 0, true},
        {"left release", WM_LBUTTONUP, 0, false},
        {"right press", WM_RBUTTONDOWN, 0, false},
        {"hit test", WM_NCHITTEST, HTCLIENT, false},
        {"close", WM_CLOSE, 0, false},
    };
    for (bool slit : {false, true}) {
        SCOPED_TRACE(slit ? "in the slit" : "floating");
        writeSettings(std::string("vistrel.inSlit: ") + (slit ? "true" : "false") + "\n");
        ASSERT_EQ(beginEx(host::slitWindow()), 0);
        HWND w = window();
        ImportPatch patch(module, "USER32.dll", "DefWindowProcA", reinterpret_cast<void*>(recordDefWindowProc));
        ASSERT_TRUE(patch.active());
        realDefWindowProc = patch.original();
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            defaultMessages.clear();
            LRESULT result = SendMessageA(w, c.message, 0, MAKELPARAM(5, 3));
            bool expectDefault = c.defaultWhenFloating && !slit;
            EXPECT_EQ(reachedDefault(c.message), expectDefault);
            if (!expectDefault) {
                EXPECT_EQ(result, c.result);
            }
        }

        // Position messages stay with the plug-in, so no separate move or size message follows.
        defaultMessages.clear();
        SetWindowPos(w, nullptr, 200, 220, 140, 20, SWP_NOZORDER | SWP_NOACTIVATE);
        for (UINT message : {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}) {
            EXPECT_FALSE(reachedDefault(message)) << message;
        }
        end();
    }
}
