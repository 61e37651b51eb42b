// The stand-in host's windows and models: registrations, the slit, snapping, menus and the log.
#include <algorithm>
#include <deque>

#include "plugin_fixture.h"

namespace {

// A popup window that counts what the host sends it, and can unregister while being told.
struct Client {
    HWND window = nullptr;
    std::vector<std::string> labels;
    bool unregisterOnLabel = false;
};
const UINT CLIENT_MESSAGES[] = {HM_SETLABEL, HM_BROADCAST, HM_RECONFIGURE, 0};

LRESULT CALLBACK clientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* client = reinterpret_cast<Client*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (client && (message == HM_SETLABEL || message == HM_BROADCAST)) {
        client->labels.push_back(reinterpret_cast<const char*>(lParam));
        if (client->unregisterOnLabel)
            SendMessageA(GetDKWnd(), HM_UNREGISTER, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(CLIENT_MESSAGES));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class HostWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host::start());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = clientProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HostTestClient";
        RegisterClassA(&wc);
    }
    void TearDown() override
    {
        for (Client& c : clients) {
            if (IsWindow(c.window)) DestroyWindow(c.window);
        }
        UnregisterClassA("HostTestClient", GetModuleHandleA(nullptr));
        host::stop();
    }
    Client& makeClient(int width, int height)
    {
        clients.emplace_back();
        Client& c = clients.back();
        c.window = CreateWindowExA(WS_EX_TOOLWINDOW, "HostTestClient", "", WS_POPUP | WS_VISIBLE, 300, 300, width,
                                   height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(c.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&c));
        return c;
    }
    static RECT rectOf(HWND w)
    {
        RECT r = {};
        GetWindowRect(w, &r);
        return r;
    }
    std::deque<Client> clients;  // stable addresses
};

}  // namespace

TEST_F(HostWindows, SendsToRegisteredWindowsEvenWhenOneUnregistersMeanwhile)
{
    Client& first = makeClient(50, 10);
    Client& second = makeClient(50, 10);
    for (Client* c : {&first, &second})
        SendMessageA(GetDKWnd(), HM_REGISTER, reinterpret_cast<WPARAM>(c->window), reinterpret_cast<LPARAM>(CLIENT_MESSAGES));
    SendMessageA(GetDKWnd(), HM_REGISTER, reinterpret_cast<WPARAM>(first.window), reinterpret_cast<LPARAM>(CLIENT_MESSAGES));
    EXPECT_EQ(host::registeredFor(HM_SETLABEL), (std::vector<HWND>{first.window, second.window}))
        << "registering twice lists a window once";

    first.unregisterOnLabel = true;
    host::sendSetLabel("hello");
    EXPECT_EQ(first.labels, std::vector<std::string>{"hello"});
    EXPECT_EQ(second.labels, std::vector<std::string>{"hello"});
    EXPECT_EQ(host::registeredFor(HM_BROADCAST), std::vector<HWND>{second.window});

    host::broadcast("@DKHidePlugins");
    EXPECT_EQ(first.labels.size(), 1u);
    EXPECT_EQ(second.labels.back(), "@DKHidePlugins");
}

TEST_F(HostWindows, SlitStacksWindowsAndLaysThemOutAgain)
{
    HWND slit = host::slitWindow();
    Client& a = makeClient(100, 16);
    Client& b = makeClient(140, 20);
    SendMessageA(slit, HM_SLITADD, 0, reinterpret_cast<LPARAM>(a.window));
    SendMessageA(slit, HM_SLITADD, 0, reinterpret_cast<LPARAM>(b.window));
    SendMessageA(slit, HM_SLITADD, 0, reinterpret_cast<LPARAM>(a.window));
    ASSERT_EQ(host::slitWindows(), (std::vector<HWND>{a.window, b.window}));

    auto adds = host::callsNamed("HM_SLITADD");
    ASSERT_EQ(adds.size(), 3u);
    EXPECT_EQ(adds[0].args, (std::vector<std::string>{"0", host::handleText(a.window)}));

    RECT s = rectOf(slit), ra = rectOf(a.window), rb = rectOf(b.window);
    const int P = host::SLIT_PADDING;
    EXPECT_EQ(s.right, GetSystemMetrics(SM_CXSCREEN) - host::SLIT_MARGIN);
    EXPECT_EQ(s.right - s.left, 140 + 2 * P);
    EXPECT_EQ(s.bottom - s.top, 16 + 20 + 3 * P);
    EXPECT_EQ(ra.top, s.top + P);
    EXPECT_EQ(rb.top, ra.bottom + P);
    EXPECT_EQ(rb.left, s.left + P);
    EXPECT_EQ((ra.left + ra.right) / 2, (rb.left + rb.right) / 2) << "centred across the slit";
    EXPECT_EQ(ra.right - ra.left, 100) << "the slit moves, never sizes";

    SetWindowPos(a.window, nullptr, 0, 0, 100, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(slit, HM_SLITUPDATE, 0, 0);
    EXPECT_EQ(rectOf(b.window).top, rectOf(a.window).bottom + P);

    DestroyWindow(a.window);
    SendMessageA(slit, HM_SLITUPDATE, 0, 0);
    EXPECT_EQ(host::slitWindows(), std::vector<HWND>{b.window}) << "a destroyed window is dropped";
    EXPECT_EQ(rectOf(b.window).top, rectOf(slit).top + P);

    SendMessageA(slit, HM_SLITREMOVE, 0, reinterpret_cast<LPARAM>(b.window));
    EXPECT_TRUE(host::slitWindows().empty());
    EXPECT_EQ(host::callsNamed("HM_SLITREMOVE").size(), 1u);
    EXPECT_EQ(host::callsNamed("HM_SLITUPDATE").size(), 2u);
}

TEST_F(HostWindows, SnapMovesFlushToNearEdgesOnly)
{
    const int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int x, y, cx, cy;
        UINT flags;
        int expectX, expectY;
        bool moved;
    } cases[] = {
        {5, 300, 100, 16, 0, 0, 300, true},
        {-10, -7, 100, 16, 0, 0, 0, true},
        {11, 300, 100, 16, 0, 11, 300, false},
        {SW - 100 - 4, SH - 16 + 9, 100, 16, 0, SW - 100, SH - 16, true},
        {SW - 100 + 10, 300, 100, 16, 0, SW - 100, 300, true},
        {400, 300, 100, 16, 0, 400, 300, false},
        {5, 5, 100, 16, SWP_NOMOVE, 5, 5, false},
    };
    for (const Case& c : cases) {
        WINDOWPOS pos = {};
        pos.x = c.x, pos.y = c.y, pos.cx = c.cx, pos.cy = c.cy, pos.flags = c.flags;
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(SnapWindowToEdge(&pos, 10, true), c.moved);
        EXPECT_EQ(pos.x, c.expectX);
        EXPECT_EQ(pos.y, c.expectY);
    }

    Client& sized = makeClient(120, 30);
    WINDOWPOS pos = {};
    pos.hwnd = sized.window;
    pos.x = SW - 120 - 3, pos.y = 200, pos.flags = SWP_NOSIZE;
    EXPECT_TRUE(SnapWindowToEdge(&pos, 10, true));
    EXPECT_EQ(pos.x, SW - 120) << "without a size the window's own is used";

    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    pos = {};
    pos.x = work.left + 3, pos.y = work.top + 100, pos.cx = 50, pos.cy = 10;
    EXPECT_TRUE(SnapWindowToEdge(&pos, 10, false));
    EXPECT_EQ(pos.x, work.left);
    EXPECT_FALSE(SnapWindowToEdge(nullptr, 10, true));
}

TEST_F(HostWindows, MenusAreShownAsBuiltAndFreedWithTheirSubmenus)
{
    Menu* top = MakeMenu("Vistrel");
    Menu* window = MakeMenu("Window");
    Menu* deeper = MakeMenu("Deeper");
    MakeMenuItem(top, "About...", "@VistrelInternal About", false);
    MakeMenuItem(window, "Always On Top", "@VistrelInternal AlwaysOnTop", true);
    MakeMenuItem(deeper, "Inner", "@VistrelInternal Inner", false);
    MakeSubmenu(window, deeper, "Deeper");
    MakeSubmenu(deeper, window, "Back up");  // a cycle must neither hang nor double-free
    MakeSubmenu(top, window, "Window");
    EXPECT_EQ(MakeMenuItem(nullptr, "x", "y", false), nullptr);
    EXPECT_EQ(host::liveMenus(), 3);

    ShowMenu(top);
    host::MenuTree shown = host::lastShownMenu();
    ASSERT_EQ(shown.menus.size(), 3u);
    EXPECT_EQ(shown.menus[0].title, "Vistrel");
    ASSERT_EQ(shown.menus[0].entries.size(), 2u);
    EXPECT_EQ(shown.menus[0].entries[0].command, "@VistrelInternal About");
    int sub = shown.menus[0].entries[1].submenu;
    ASSERT_GT(sub, 0);
    EXPECT_EQ(shown.menus[sub].title, "Window");
    EXPECT_TRUE(shown.menus[sub].entries[0].checked);
    EXPECT_EQ(shown.menus[sub].entries[0].caption, "Always On Top");

    DelMenu(top);
    EXPECT_EQ(host::liveMenus(), 0);
    DelMenu(top);
    DelMenu(nullptr);
    EXPECT_EQ(host::lastShownMenu().menus.size(), 3u) << "the snapshot outlives the menu";

    // A submenu freed on its own leaves its parent's entry empty, and the parent frees cleanly.
    Menu* parent = MakeMenu("Parent");
    Menu* child = MakeMenu("Child");
    MakeSubmenu(parent, child, "Child");
    DelMenu(child);
    ShowMenu(parent);
    EXPECT_EQ(host::lastShownMenu().menus.size(), 1u);
    DelMenu(parent);
    EXPECT_EQ(host::liveMenus(), 0);
}

TEST_F(HostWindows, LogKeepsLinesAndAppendsThemToItsFile)
{
    std::string dir = makeTempDirectory("hostlog");
    host::setLogFile(dir + "duskwell.log");
    Log("Could not create Vistrel update timer", nullptr);
    Log("first", "second");
    EXPECT_EQ(host::logLines(), (std::vector<std::string>{"Could not create Vistrel update timer", "first second"}));
    EXPECT_EQ(readFile(dir + "duskwell.log"), "Could not create Vistrel update timer\r\nfirst second\r\n");
    host::setLogFile("");
    removeTree(dir);
}
