// The plug-in's spine through the real DLL: entry points, start-up and teardown, the label
// engine driven by timer ticks and sent texts, and the information query.
#include <algorithm>

#include "iat_patch.h"
#include "plugin_fixture.h"

namespace {

std::vector<std::string> callNames()
{
    std::vector<std::string> names;
    for (const host::Call& call : host::calls()) names.push_back(call.name);
    return names;
}

bool contains(const std::vector<HWND>& windows, HWND w)
{
    return std::find(windows.begin(), windows.end(), w) != windows.end();
}

std::string hex(HWND w)
{
    char text[32];
    snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(w)));
    return text;
}

std::vector<UINT> messageBoxTypes;
int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    messageBoxTypes.push_back(type);
    return MessageBoxA(owner, text, caption, type);
}

const char* const AUTO_RESIZE_SETTINGS =
    "vistrel.position.x: 40\nvistrel.position.y: 50\nvistrel.autoResize: true\nvistrel.timerInterval: 3\n";

}  // namespace

using Spine = PluginFixture;

TEST_F(Spine, StartsWindowAsAToolWindowPopupRegisteredWithTheHost)
{
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    ASSERT_NE(w, nullptr);

    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(module, "Vistrel", &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(w, GWLP_HINSTANCE)), module);

    LONG_PTR style = GetWindowLongPtrA(w, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_THICKFRAME),
              WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    LONG_PTR exStyle = GetWindowLongPtrA(w, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST) << "a new settings file asks for always on top";
    EXPECT_FALSE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(windowText(w), "");

    // New settings: position (2, 2); auto-resize off, so the creation size stays.
    RECT r = windowRect();
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 8);

    for (UINT message : {HM_RECONFIGURE, HM_BROADCAST, HM_SETLABEL}) {
        EXPECT_TRUE(contains(host::registeredFor(message), w)) << message;
    }
    auto sticky = host::callsNamed("MakeSticky");
    ASSERT_EQ(sticky.size(), 1u);
    EXPECT_EQ(sticky[0].args.at(0), hex(w));
}

TEST_F(Spine, ConstructionReadsSettingsBeforeTheStyleAndRegistersAfterCreatingTheWindow)
{
    ASSERT_EQ(begin(), 0);
    std::vector<std::string> names = callNames();
    auto first = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    ASSERT_LT(first("GetDKWnd"), static_cast<long>(names.size()));
    EXPECT_EQ(first("GetDKWnd"), 0);
    EXPECT_LT(first("GetDuskwellPath"), first("stylePath"));
    EXPECT_LT(first("ReadInt"), first("stylePath")) << "settings are read before the style";
    EXPECT_LT(first("stylePath"), first("MakeSticky"));
}

TEST_F(Spine, TeardownLeavesNoWindowClassOrRegistration)
{
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    end();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(window(), nullptr);
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(module, "Vistrel", &wc));
    for (UINT message : {HM_RECONFIGURE, HM_BROADCAST, HM_SETLABEL}) {
        EXPECT_TRUE(host::registeredFor(message).empty()) << message;
    }
    EXPECT_TRUE(host::callsNamed("HM_SLITREMOVE").empty());

    // A second cycle in the same process starts cleanly, and endPlugin without an instance is harmless.
    ASSERT_EQ(begin(), 0);
    end();
    endPlugin();
}

TEST_F(Spine, SlitEntryFollowsTheSettingsFile)
{
    struct Case {
        const char* name;
        bool settingsInSlit;
        int how;  // 0 beginPlugin, 1 beginPluginEx, 2 beginSlitPlugin
        bool expectSlitAdd;
    };
    const Case cases[] = {
        {"Ex with slit in settings", true, 1, true},
        {"SlitPlugin with slit in settings", true, 2, true},
        {"Ex, settings say float", false, 1, false},
        {"plain begin, settings say slit", true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host::clearCalls();
        writeSettings(std::string("vistrel.inSlit: ") + (c.settingsInSlit ? "true" : "false") + "\n");
        int result = c.how == 0 ? begin() : c.how == 1 ? beginEx(host::slitWindow()) : beginSlit(host::slitWindow());
        ASSERT_EQ(result, 0);
        auto adds = host::callsNamed("HM_SLITADD");
        if (c.expectSlitAdd) {
            ASSERT_EQ(adds.size(), 1u);
            EXPECT_EQ(adds[0].args.at(1), hex(window()));
            EXPECT_TRUE(contains(host::slitWindows(), window()));
        } else {
            EXPECT_TRUE(adds.empty());
            EXPECT_FALSE(contains(host::slitWindows(), window()));
        }
        end();
    }
}

TEST_F(Spine, FollowsTheForegroundTitleOnEachTick)
{
    ASSERT_EQ(begin(), 0);
    EXPECT_EQ(shownLabel(), "statsinit");

    ForegroundWindow app("Quarterly report");
    tick();
    EXPECT_EQ(paintPending(), 1);
    EXPECT_EQ(shownLabel(), "Quarterly report");

    // Same title: no repaint.
    tick();
    EXPECT_EQ(paintPending(), 0);

    app.setTitle("Quarterly report (edited)");
    tick();
    EXPECT_EQ(paintPending(), 1);
    EXPECT_EQ(shownLabel(), "Quarterly report (edited)");

    // An empty title keeps the label and paints nothing.
    app.setTitle("");
    tick();
    EXPECT_EQ(paintPending(), 0);
    EXPECT_EQ(shownLabel(), "Quarterly report (edited)");

    // Other timer ids are ignored.
    app.setTitle("Other");
    SendMessageA(window(), WM_TIMER, 2, 0);
    EXPECT_EQ(paintPending(), 0);
}

TEST_F(Spine, TheRealTimerPollsWithoutHelp)
{
    ASSERT_EQ(begin(), 0);
    ForegroundWindow app("Polled by the timer");
    DWORD start = GetTickCount();
    std::string shown;
    while (GetTickCount() - start < 3000 && shown != "Polled by the timer") {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
        if (!drawTextCalls.empty()) shown = drawTextCalls.back().text;
    }
    EXPECT_EQ(shown, "Polled by the timer");
}

TEST_F(Spine, SentTextStaysForTheIntervalThenPollingResumes)
{
    writeSettings(AUTO_RESIZE_SETTINGS);
    ASSERT_EQ(begin(), 0);
    ForegroundWindow app("Editor");
    tick();
    ASSERT_EQ(shownLabel(), "Editor");

    host::sendSetLabel("Build finished");
    EXPECT_EQ(paintPending(), 1);
    EXPECT_EQ(shownLabel(), "Build finished");
    tick(3);  // timerInterval 3
    EXPECT_EQ(shownLabel(), "Build finished");
    tick();
    EXPECT_EQ(shownLabel(), "Editor");
}

TEST_F(Spine, IntervalOfZeroOrLessResumesOnTheNextTick)
{
    for (const char* interval : {"0", "-4"}) {
        SCOPED_TRACE(interval);
        writeSettings(std::string("vistrel.timerInterval: ") + interval + "\n");
        ASSERT_EQ(begin(), 0);
        ForegroundWindow app("Editor");
        host::sendSetLabel("Sent");
        EXPECT_EQ(shownLabel(), "Sent");
        tick();
        EXPECT_EQ(shownLabel(), "Editor");
        end();
    }
}

TEST_F(Spine, TextsSentWhileHiddenAreDropped)
{
    // Not hidden with the host's plug-ins, so the frozen label stays on screen to look at.
    writeSettings("vistrel.timerInterval: 2\nvistrel.pluginToggle: false\n");
    ASSERT_EQ(begin(), 0);
    ForegroundWindow app("Editor");
    tick();
    host::broadcast("@DKHidePlugins");
    host::sendSetLabel("Lost");
    app.setTitle("Changed while hidden");
    tick();
    EXPECT_EQ(shownLabel(), "Editor") << "neither the sent text nor the poll changes a hidden label";

    host::broadcast("@DKShowPlugins");
    tick();
    EXPECT_EQ(shownLabel(), "Changed while hidden");
}

TEST_F(Spine, AutoResizeGivesFivePixelsPerCharacterAndAtLeastOneHundred)
{
    writeSettings(AUTO_RESIZE_SETTINGS);
    ASSERT_EQ(begin(), 0);
    struct Case {
        std::string text;
        int width;
    };
    const Case cases[] = {
        {std::string(9, 'a'), 100},
        {std::string(30, 'b'), 150},
        {std::string(21, 'c'), 105},
        {std::string(4095, 'd'), 4095 * 5},
        {"", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        host::sendSetLabel(c.text.c_str());
        RECT r = windowRect();
        EXPECT_EQ(r.right - r.left, c.width);
        EXPECT_EQ(r.bottom - r.top, 16) << "the style's natural height";
        EXPECT_EQ(r.left, 40);
        EXPECT_EQ(r.top, 50);
    }
}

TEST_F(Spine, FirstLabelOfTwentyCharactersLeavesTheCreationSize)
{
    writeSettings(AUTO_RESIZE_SETTINGS);
    ASSERT_EQ(begin(), 0);
    host::sendSetLabel("12345678901234567890");
    RECT r = windowRect();
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 8);
}

TEST_F(Spine, WithoutAutoResizeTheWindowKeepsItsCreationSize)
{
    writeSettings("vistrel.autoResize: false\n");
    ASSERT_EQ(begin(), 0);
    host::sendSetLabel(std::string(60, 'x').c_str());
    ForegroundWindow app("A title long enough to ask for a much wider window than this");
    tick(10);
    RECT r = windowRect();
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 8);
}

TEST_F(Spine, InTheSlitAWidthChangeAsksTheSlitToLayOutAgain)
{
    writeSettings("vistrel.inSlit: true\nvistrel.autoResize: true\n");
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    host::clearCalls();
    host::sendSetLabel(std::string(40, 'w').c_str());
    EXPECT_EQ(host::callsNamed("HM_SLITUPDATE").size(), 1u);
    RECT r = windowRect();
    EXPECT_EQ(r.right - r.left, 200);

    // The same width again changes nothing and tells nobody.
    host::clearCalls();
    host::sendSetLabel(std::string(40, 'v').c_str());
    EXPECT_TRUE(host::callsNamed("HM_SLITUPDATE").empty());
}

TEST_F(Spine, PluginInfoAnswersEveryQuery)
{
    const std::string commands =
        "@VistrelInternal AlwaysOnTop@VistrelInternal SnapWindowToEdge@VistrelInternal AutoResize"
        "@VistrelInternal Transparency@VistrelInternal ToggleSlit@VistrelInternal EditSettings"
        "@VistrelInternal SaveSettings@VistrelInternal ReadSettings";
    EXPECT_STREQ(info(1), "Vistrel");
    EXPECT_STREQ(info(2), "1.02");
    EXPECT_STREQ(info(4), "2004-01-17");
    EXPECT_EQ(info(7), commands);
    EXPECT_EQ(info(7), commands) << "the same text on every call";
    for (int what : {3, 5, 6}) {
        ASSERT_NE(info(what), nullptr);
        EXPECT_GT(strlen(info(what)), 0u) << what;
    }
    for (int what : {0, 8, -1, 1000}) EXPECT_STREQ(info(what), "Vistrel 1.02") << what;
}

TEST_F(Spine, FailedClassRegistrationShowsItsMessageAndLeavesNothing)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = module;
    wc.lpszClassName = "Vistrel";
    ASSERT_TRUE(RegisterClassA(&wc));
    // Wine leaves the topmost flag off its message boxes, so the requested type is read at the call.
    messageBoxTypes.clear();
    ImportPatch patch(module, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(recordMessageBox));
    {
        MessageBoxWatcher watcher;
        EXPECT_EQ(begin(), 1);
        auto boxes = watcher.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Error registering window class");
        EXPECT_EQ(boxes[0].caption, "Vistrel 1.02");
        EXPECT_EQ(boxes[0].owner, host::mainWindow());
    }
    ASSERT_EQ(messageBoxTypes.size(), 1u);
    EXPECT_EQ(messageBoxTypes[0], static_cast<UINT>(MB_OK | MB_TOPMOST | MB_ICONERROR));
    EXPECT_EQ(window(), nullptr);
    EXPECT_TRUE(host::registeredFor(HM_SETLABEL).empty());
    UnregisterClassA("Vistrel", module);

    // The failed start freed its instance: the next one starts.
    EXPECT_EQ(begin(), 0);
}

namespace {
HHOOK cbtHook;
LRESULT CALLBACK refuseVistrelWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        const char* cls = create->lpcs->lpszClass;
        if (HIWORD(reinterpret_cast<ULONG_PTR>(cls)) != 0 && strcmp(cls, "Vistrel") == 0) return 1;
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

UINT_PTR WINAPI failingSetTimer(HWND, UINT_PTR, UINT, TIMERPROC)
{
    return 0;
}
}  // namespace


TEST_F(Spine, FailedWindowCreationUnregistersTheClass)
{
    cbtHook = SetWindowsHookExA(WH_CBT, refuseVistrelWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(cbtHook, nullptr);
    {
        MessageBoxWatcher watcher;
        EXPECT_EQ(begin(), 1);
        UnhookWindowsHookEx(cbtHook);
        auto boxes = watcher.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Error creating window");
        EXPECT_EQ(boxes[0].caption, "Vistrel 1.02");
        EXPECT_EQ(boxes[0].owner, nullptr);
    }
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(module, "Vistrel", &wc));
    EXPECT_TRUE(host::registeredFor(HM_SETLABEL).empty());
}

TEST_F(Spine, FailedTimerTakesDownWindowRegistrationSlitPlaceAndClass)
{
    ImportPatch patch(module, "USER32.dll", "SetTimer", reinterpret_cast<void*>(failingSetTimer));
    ASSERT_TRUE(patch.active());
    writeSettings("vistrel.inSlit: true\n");
    {
        MessageBoxWatcher watcher;
        EXPECT_EQ(beginEx(host::slitWindow()), 1);
        auto boxes = watcher.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Error creating update timer");
        EXPECT_EQ(boxes[0].caption, "Vistrel");
        EXPECT_EQ(boxes[0].owner, nullptr);
    }
    auto logs = host::logLines();
    ASSERT_FALSE(logs.empty());
    EXPECT_NE(logs.back().find("Could not create Vistrel update timer"), std::string::npos);
    EXPECT_EQ(window(), nullptr);
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(module, "Vistrel", &wc));
    for (UINT message : {HM_RECONFIGURE, HM_BROADCAST, HM_SETLABEL}) {
        EXPECT_TRUE(host::registeredFor(message).empty()) << message;
    }
    EXPECT_TRUE(host::slitWindows().empty());
}

namespace {
void* __cdecl failingCalloc(size_t, size_t)
{
    return nullptr;
}
}  // namespace

TEST_F(Spine, AllocationFailureReturnsOne)
{
    ImportPatch patch(module, "msvcrt.dll", "calloc", reinterpret_cast<void*>(failingCalloc));
    ASSERT_TRUE(patch.active());
    EXPECT_EQ(begin(), 1);
    EXPECT_EQ(window(), nullptr);
    EXPECT_TRUE(host::calls().empty());
}

TEST_F(Spine, SecondBeginWhileRunningIsRefused)
{
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    EXPECT_EQ(beginPlugin(module), 1);
    EXPECT_EQ(window(), w);
    EXPECT_TRUE(IsWindow(w));
}

TEST_F(Spine, NullAndOversizedTextsAreSafe)
{
    writeSettings("vistrel.autoResize: true\n");
    ASSERT_EQ(begin(), 0);
    host::sendSetLabel("Before");
    SendMessageA(window(), HM_SETLABEL, 0, 0);
    SendMessageA(window(), HM_BROADCAST, 0, 0);
    EXPECT_EQ(shownLabel(), "Before");

    std::string huge(10000, 'x');
    host::sendSetLabel(huge.c_str());
    EXPECT_EQ(shownLabel(), std::string(4095, 'x'));

    std::string longTitle(6000, 't');
    ForegroundWindow app(longTitle.c_str());
    tick(20);
    std::string shown = shownLabel();
    EXPECT_LE(shown.size(), 4095u);
    EXPECT_EQ(shown, std::string(shown.size(), 't'));
}
