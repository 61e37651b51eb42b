// Commands and the context menu through the real window: broadcasts against their effects on
// the window, the slit, the settings file and the host's records, and the menu the host is given.
#include <algorithm>
#include <map>
#include <sstream>

#include "iat_patch.h"
#include "plugin_fixture.h"

namespace {

const char* const SWITCH_KEYS[] = {"vistrel.alwaysOnTop:",  "vistrel.snapWindow:", "vistrel.pluginToggle:",
                                   "vistrel.transparency:", "vistrel.inSlit:",     "vistrel.autoResize:"};

const char* const BASE_SETTINGS =
    "vistrel.position.x: 40\n"
    "vistrel.position.y: 60\n"
    "vistrel.alwaysOnTop: true\n"
    "vistrel.snapWindow: true\n"
    "vistrel.pluginToggle: true\n"
    "vistrel.transparency: false\n"
    "vistrel.transparency.alpha: 300\n"
    "vistrel.inSlit: false\n"
    "vistrel.autoResize: false\n"
    "vistrel.timerInterval: 5\n";

bool contains(const std::vector<HWND>& windows, HWND w)
{
    return std::find(windows.begin(), windows.end(), w) != windows.end();
}

bool isLayered(HWND w)
{
    return (GetWindowLongPtrA(w, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

bool isTopmost(HWND w)
{
    return (GetWindowLongPtrA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// The constant opacity of a layered window, or -1 when it has none.
int windowAlpha(HWND w)
{
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!isLayered(w) || !GetLayeredWindowAttributes(w, &key, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
    return alpha;
}

std::vector<std::string> writeBoolCalls(const std::string& expectedFile)
{
    std::vector<std::string> written;
    for (const host::Call& call : host::callsNamed("WriteBool")) {
        std::string entry = call.args.at(1) + " " + call.args.at(2);
        if (call.args.at(0) != expectedFile) entry += " in " + call.args.at(0);
        written.push_back(entry);
    }
    return written;
}

void rightClick(HWND w)
{
    EXPECT_EQ(SendMessageA(w, WM_RBUTTONUP, 0, MAKELPARAM(10, 4)), 0);
}

// The menu last shown, one line per entry, submenus indented under their entry.
void describeMenu(const host::MenuTree& tree, int index, const std::string& indent, std::string& out)
{
    const host::MenuModel& menu = tree.menus.at(index);
    out += indent + "<" + menu.title + ">\n";
    for (const host::MenuEntry& entry : menu.entries) {
        if (entry.submenu >= 0) {
            out += indent + "  " + entry.caption + " >\n";
            describeMenu(tree, entry.submenu, indent + "    ", out);
        } else {
            out += indent + (entry.checked ? "  [x] " : "  [ ] ") + entry.caption + " = " + entry.command + "\n";
        }
    }
}

std::string shownMenu()
{
    host::MenuTree tree = host::lastShownMenu();
    std::string out;
    if (!tree.menus.empty()) describeMenu(tree, 0, "", out);
    return out;
}

struct MenuChecks {
    bool alwaysOnTop, snap, autoResize;
    int transparency;  // -1: absent from the menu
    bool inSlit, withPlugins;
};

std::string expectedMenu(const MenuChecks& checks)
{
    auto item = [](bool checked, const char* caption, const char* word) {
        return std::string("      ") + (checked ? "[x] " : "[ ] ") + caption + " = @VistrelInternal " + word + "\n";
    };
    std::string out = "<Vistrel>\n  [ ] About... = @VistrelInternal About\n  Window >\n    <Window>\n";
    out += item(checks.alwaysOnTop, "Always On Top", "AlwaysOnTop");
    out += item(checks.snap, "Snap Window To Edge", "SnapWindowToEdge");
    out += item(checks.autoResize, "Auto Resize", "AutoResize");
    if (checks.transparency >= 0) out += item(checks.transparency == 1, "Transparency", "Transparency");
    out += item(checks.inSlit, "In Slit", "ToggleSlit");
    out += item(checks.withPlugins, "Toggle With Plugins", "ToggleWithPlugins");
    out += "  Settings >\n    <Settings>\n";
    out += item(false, "Edit Settings", "EditSettings");
    out += item(false, "Save Settings", "SaveSettings");
    out += item(false, "Read Settings", "ReadSettings");
    return out;
}

OSVERSIONINFOA reportedVersion;

BOOL WINAPI fakeGetVersionEx(LPOSVERSIONINFOA info)
{
    DWORD size = info->dwOSVersionInfoSize;
    memcpy(info, &reportedVersion, std::min<size_t>(size, sizeof reportedVersion));
    info->dwOSVersionInfoSize = size;
    return TRUE;
}

std::vector<UINT> messageBoxTypes;

int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    messageBoxTypes.push_back(type);
    return MessageBoxA(owner, text, caption, type);
}

}  // namespace

class Commands : public PluginFixture {
protected:
    // Everything a command may change, in one comparable record.
    struct Observed {
        bool topmost = false, layered = false, visible = false, heldBySlit = false;
        int alpha = -1;
        int width = 0, height = 0;
        std::string label;
        std::map<std::string, std::string> switches;  // the settings file's on/off keys
        std::vector<std::string> writeBools;
        size_t slitAdds = 0, slitRemoves = 0, executes = 0, boxes = 0;
    };

    Observed observe(MessageBoxWatcher& watcher)
    {
        Observed s;
        HWND w = window();
        s.topmost = isTopmost(w);
        s.layered = isLayered(w);
        s.alpha = windowAlpha(w);
        s.visible = IsWindowVisible(w) != FALSE;
        s.heldBySlit = contains(host::slitWindows(), w);
        RECT r = windowRect();
        s.width = r.right - r.left;
        s.height = r.bottom - r.top;
        s.label = shownLabel();
        std::map<std::string, std::string> values = settingsValues(settingsText());
        for (const char* key : SWITCH_KEYS) s.switches[key] = values[key];
        s.writeBools = writeBoolCalls(settingsPath());
        s.slitAdds = host::callsNamed("HM_SLITADD").size();
        s.slitRemoves = host::callsNamed("HM_SLITREMOVE").size();
        s.executes = host::callsNamed("DKExecute").size();
        s.boxes = watcher.boxes().size();
        return s;
    }

    static std::string describe(const Observed& s)
    {
        std::ostringstream out;
        out << "topmost " << s.topmost << ", layered " << s.layered << " alpha " << s.alpha << ", visible " << s.visible
            << ", in the slit " << s.heldBySlit << " (adds " << s.slitAdds << ", removes " << s.slitRemoves << "), size "
            << s.width << "x" << s.height << ", label \"" << s.label << "\", about boxes " << s.boxes
            << ", DKExecute calls " << s.executes << "\nWriteBool:";
        for (const std::string& call : s.writeBools) out << " [" << call << "]";
        out << "\nfile:";
        for (const auto& entry : s.switches) out << " " << entry.first << " " << entry.second;
        return out.str();
    }
};

namespace {

enum Effect { NOTHING, ALWAYS_ON_TOP, SNAP, WITH_PLUGINS, SLIT, TRANSPARENCY, AUTO_RESIZE, ABOUT, SAVE, READ, EDIT };

struct BroadcastCase {
    std::string text;
    Effect effect;
};

const BroadcastCase BROADCASTS[] = {
    {"@VistrelInternal AlwaysOnTop", ALWAYS_ON_TOP},
    {"@VistrelInternal alwaysontop", ALWAYS_ON_TOP},
    {"@VistrelInternal ALWAYSONTOP", ALWAYS_ON_TOP},
    {"@VistrelInternal SnapWindowToEdge", SNAP},
    {"@VistrelInternal snapWINDOWtoEdge", SNAP},
    {"@VistrelInternal ToggleWithPlugins", WITH_PLUGINS},
    {"@VistrelInternal TOGGLEWITHPLUGINS", WITH_PLUGINS},
    {"@VistrelInternal ToggleSlit", SLIT},
    {"@VistrelInternal toggleslit", SLIT},
    {"@VistrelInternal Transparency", TRANSPARENCY},
    {"@VistrelInternal tRANSPARENCY", TRANSPARENCY},
    {"@VistrelInternal AutoResize", AUTO_RESIZE},
    {"@VistrelInternal AUTORESIZE", AUTO_RESIZE},
    {"@VistrelInternal About", ABOUT},
    {"@VistrelInternal about", ABOUT},
    {"@VistrelInternal SaveSettings", SAVE},
    {"@VistrelInternal saveSETTINGS", SAVE},
    {"@VistrelInternal ReadSettings", READ},
    {"@VistrelInternal readsettings", READ},
    {"@VistrelInternal EditSettings", EDIT},
    {"@VistrelInternal EDITsettings", EDIT},
    // The first word is never examined; words after the second are ignored.
    {"xx@VistrelInternalyy AlwaysOnTop", ALWAYS_ON_TOP},
    {"Please AutoResize @VistrelInternal", AUTO_RESIZE},
    {"@VistrelInternal About SaveSettings EditSettings", ABOUT},
    {"@VistrelInternal    SnapWindowToEdge   now", SNAP},
    // Nothing to run.
    {"@VistrelInternal", NOTHING},
    {"@VistrelInternal ", NOTHING},
    {"@VistrelInternal Always", NOTHING},
    {"@VistrelInternal AlwaysOnTopNow", NOTHING},
    {"@VistrelInternal Quit", NOTHING},
    {"@VistrelInternal @VistrelInternal AlwaysOnTop", NOTHING},
    {"@vistrelinternal AlwaysOnTop", NOTHING},
    {"AlwaysOnTop", NOTHING},
    {"", NOTHING},
    {"@DKShowPlugins", NOTHING},
};

// A toggle's expected effect on the file and the host: its one key flipped and saved.
void flipSaved(std::map<std::string, std::string>& switches, std::vector<std::string>& writes, const char* key)
{
    std::string value = switches[key] == "true" ? "false" : "true";
    switches[key] = value;
    writes.push_back(std::string(key) + " " + value);
}

}  // namespace

TEST_F(Commands, EachBroadcastHasExactlyTheEffectOfItsCommandWord)
{
    MessageBoxWatcher watcher;
    for (const BroadcastCase& c : BROADCASTS) {
        SCOPED_TRACE("\"" + c.text + "\"");
        writeSettings(BASE_SETTINGS);
        ASSERT_EQ(beginEx(host::slitWindow()), 0);
        host::clearCalls();
        Observed expected = observe(watcher);
        ASSERT_TRUE(expected.topmost);
        ASSERT_FALSE(expected.layered);

        switch (c.effect) {
        case NOTHING: break;
        case ALWAYS_ON_TOP:
            expected.topmost = false;
            flipSaved(expected.switches, expected.writeBools, "vistrel.alwaysOnTop:");
            break;
        case SNAP: flipSaved(expected.switches, expected.writeBools, "vistrel.snapWindow:"); break;
        case WITH_PLUGINS: flipSaved(expected.switches, expected.writeBools, "vistrel.pluginToggle:"); break;
        case SLIT:
            expected.heldBySlit = true;
            expected.slitAdds = 1;
            expected.switches["vistrel.inSlit:"] = "true";
            break;
        case TRANSPARENCY:
            expected.layered = true;
            expected.alpha = 300 & 0xFF;
            flipSaved(expected.switches, expected.writeBools, "vistrel.transparency:");
            break;
        case AUTO_RESIZE: flipSaved(expected.switches, expected.writeBools, "vistrel.autoResize:"); break;
        case ABOUT: expected.boxes += 1; break;
        case SAVE: expected.label = "RC Saved!"; break;
        case READ: expected.label = "RC Reloaded!"; break;
        case EDIT: expected.executes = 1; break;
        }

        host::broadcast(c.text.c_str());
        EXPECT_EQ(describe(observe(watcher)), describe(expected));
        end();
    }
}

TEST_F(Commands, BroadcastWithoutTextChangesNothing)
{
    MessageBoxWatcher watcher;
    writeSettings(BASE_SETTINGS);
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    host::clearCalls();
    std::string before = describe(observe(watcher));
    EXPECT_EQ(SendMessageA(window(), HM_BROADCAST, 0, 0), 0);
    EXPECT_EQ(describe(observe(watcher)), before);
}

TEST_F(Commands, LongCommandTextsAreCutTo4095Characters)
{
    const std::string marker = "@VistrelInternal";
    const std::string word = "AlwaysOnTop";
    struct Case {
        const char* name;
        std::string text;
        bool runs;
    };
    const Case cases[] = {
        {"command word ending at character 4095", marker + std::string(4095 - 16 - 11, ' ') + word, true},
        {"command word ending at character 4096", marker + std::string(4096 - 16 - 11, ' ') + word, false},
        {"command word after the cut", marker + std::string(5000, ' ') + word, false},
        {"5000 spaces after the command", marker + " " + word + std::string(5000, ' '), true},
        {"70000 letters after the command", marker + " " + word + " " + std::string(70000, 'x'), true},
        {"command word running on for 5000 letters", marker + " " + word + std::string(5000, 'x'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(BASE_SETTINGS);
        ASSERT_EQ(begin(), 0);
        host::clearCalls();
        ASSERT_TRUE(isTopmost(window()));
        host::broadcast(c.text.c_str());
        EXPECT_EQ(isTopmost(window()), !c.runs);
        EXPECT_EQ(host::callsNamed("WriteBool").size(), c.runs ? 1u : 0u);
        // The window still answers afterwards.
        EXPECT_EQ(shownLabel(), "statsinit");
        end();
    }
}

TEST_F(Commands, TransparencyTakesTheLowByteOfAlpha)
{
    const struct {
        int alpha;
        int opacity;
    } cases[] = {{300, 44}, {256, 0}, {200, 200}, {255, 255}, {511, 255}, {-200, 56}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alpha);
        writeSettings("vistrel.transparency: false\nvistrel.transparency.alpha: " + std::to_string(c.alpha) + "\n");
        ASSERT_EQ(begin(), 0);
        host::broadcast("@VistrelInternal Transparency");
        EXPECT_EQ(windowAlpha(window()), c.opacity);
        end();
    }
}

TEST_F(Commands, TransparencyOffLeavesAToolWindowInItsTopmostPlace)
{
    writeSettings("vistrel.transparency: true\nvistrel.alwaysOnTop: true\n");
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    ASSERT_EQ(windowAlpha(w), 200);
    host::clearCalls();
    paintPending();

    host::broadcast("@VistrelInternal Transparency");
    EXPECT_EQ(GetWindowLongPtrA(w, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_TOPMOST), WS_EX_TOOLWINDOW);
    EXPECT_TRUE(isTopmost(w));
    EXPECT_EQ(writeBoolCalls(settingsPath()), std::vector<std::string>{"vistrel.transparency: false"});
    EXPECT_EQ(paintPending(), 1);

    host::broadcast("@VistrelInternal Transparency");
    EXPECT_EQ(windowAlpha(w), 200);
    EXPECT_TRUE(isTopmost(w));
    EXPECT_EQ(paintPending(), 1);
}

TEST_F(Commands, WithoutLayeredWindowsTransparencyOnlyRepaintsAndLeavesTheMenu)
{
    const struct {
        const char* name;
        DWORD platform, major;
    } systems[] = {{"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4}, {"NT 4", VER_PLATFORM_WIN32_NT, 4}};
    for (const auto& system : systems) {
        SCOPED_TRACE(system.name);
        reportedVersion = {};
        reportedVersion.dwOSVersionInfoSize = sizeof reportedVersion;
        reportedVersion.dwPlatformId = system.platform;
        reportedVersion.dwMajorVersion = system.major;
        ImportPatch patch(module, "KERNEL32.dll", "GetVersionExA", reinterpret_cast<void*>(fakeGetVersionEx));
        ASSERT_TRUE(patch.active());
        writeSettings("vistrel.transparency: true\nvistrel.alwaysOnTop: false\nvistrel.snapWindow: false\n"
                      "vistrel.autoResize: false\nvistrel.pluginToggle: false\n");
        ASSERT_EQ(begin(), 0);
        HWND w = window();
        EXPECT_FALSE(isLayered(w)) << "the settings ask for it, the system has none";
        host::clearCalls();
        paintPending();

        host::broadcast("@VistrelInternal Transparency");
        EXPECT_FALSE(isLayered(w));
        EXPECT_TRUE(host::callsNamed("WriteBool").empty());
        EXPECT_EQ(settingsValues(settingsText())["vistrel.transparency:"], "true");
        EXPECT_EQ(paintPending(), 1);

        rightClick(w);
        EXPECT_EQ(shownMenu(), expectedMenu({false, false, false, -1, false, false}));
        end();
    }
}

TEST_F(Commands, MenuListsEveryItemInOrderCheckedFromTheCurrentValues)
{
    struct Case {
        const char* name;
        const char* settings;
        MenuChecks checks;
    };
    const Case cases[] = {
        {"mixed, floating",
         "vistrel.alwaysOnTop: true\nvistrel.snapWindow: false\nvistrel.autoResize: true\n"
         "vistrel.transparency: false\nvistrel.inSlit: false\nvistrel.pluginToggle: true\n",
         {true, false, true, 0, false, true}},
        {"the opposite, floating",
         "vistrel.alwaysOnTop: false\nvistrel.snapWindow: true\nvistrel.autoResize: false\n"
         "vistrel.transparency: true\nvistrel.inSlit: false\nvistrel.pluginToggle: false\n",
         {false, true, false, 1, false, false}},
        {"in the slit: no Transparency",
         "vistrel.alwaysOnTop: false\nvistrel.snapWindow: true\nvistrel.autoResize: false\n"
         "vistrel.transparency: true\nvistrel.inSlit: true\nvistrel.pluginToggle: true\n",
         {false, true, false, -1, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.settings);
        ASSERT_EQ(beginEx(host::slitWindow()), 0);
        rightClick(window());
        EXPECT_EQ(shownMenu(), expectedMenu(c.checks));
        EXPECT_EQ(host::callsNamed("ShowMenu").size(), 1u);
        end();
        host::clearCalls();
    }
}

TEST_F(Commands, EachRightClickReplacesTheMenuAndNothingOutlivesTheStyleChangeOrUnload)
{
    writeSettings("vistrel.alwaysOnTop: true\n");
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    EXPECT_EQ(host::liveMenus(), 0);
    rightClick(w);
    EXPECT_EQ(host::liveMenus(), 3);
    std::string firstMenu = host::callsNamed("ShowMenu").at(0).args.at(0);

    // The next menu shows the current values, and the previous one is gone before it is built.
    host::broadcast("@VistrelInternal AlwaysOnTop");
    host::clearCalls();
    rightClick(w);
    EXPECT_EQ(host::liveMenus(), 3);
    std::vector<host::Call> calls = host::calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "DelMenu");
    EXPECT_EQ(calls[0].args.at(0), firstMenu);
    EXPECT_EQ(calls[1].name, "MakeMenu");
    EXPECT_NE(shownMenu().find("[ ] Always On Top"), std::string::npos) << shownMenu();

    host::changeStyle(styleFile);
    EXPECT_EQ(host::liveMenus(), 0);
    rightClick(w);
    EXPECT_EQ(host::liveMenus(), 3);
    end();
    EXPECT_EQ(host::liveMenus(), 0);
}

TEST_F(Commands, SaveSettingsRewritesTheFileAndShowsItsNoticeAtTheNextPaint)
{
    for (bool autoResize : {true, false}) {
        SCOPED_TRACE(autoResize ? "auto-resize on" : "auto-resize off");
        writeSettings(std::string("vistrel.position.x: 40\nvistrel.position.y: 60\nvistrel.autoResize: ") +
                      (autoResize ? "true" : "false") + "\n");
        ASSERT_EQ(begin(), 0);
        host::sendSetLabel(std::string(40, 'w').c_str());
        RECT before = windowRect();
        ASSERT_EQ(before.right - before.left, autoResize ? 200 : 100);
        ASSERT_TRUE(writeFile(settingsPath(), "# edited by hand\nvistrel.position.x: 7\n"));
        paintPending();

        host::broadcast("@VistrelInternal SaveSettings");
        std::map<std::string, std::string> saved = settingsValues(settingsText());
        EXPECT_EQ(saved.size(), 12u);
        EXPECT_EQ(saved["vistrel.position.x:"], "40");
        EXPECT_EQ(settingsText().find('#'), std::string::npos);
        RECT after = windowRect();
        if (autoResize) {
            // The short notice shrinks the window to its least width, and that repaints it.
            EXPECT_EQ(after.right - after.left, 100);
            EXPECT_EQ(after.bottom - after.top, 16);
            EXPECT_EQ(paintPending(), 1);
            EXPECT_EQ(drawTextCalls.back().text, "RC Saved!");
        } else {
            EXPECT_EQ(after.right - after.left, before.right - before.left);
            EXPECT_EQ(paintPending(), 0);
            EXPECT_EQ(shownLabel(), "RC Saved!");
        }
        end();
    }
}

TEST_F(Commands, ReadSettingsTakesTheFileValuesButLeavesTheWindowState)
{
    for (bool autoResize : {true, false}) {
        SCOPED_TRACE(autoResize ? "auto-resize on" : "auto-resize off");
        const std::string autoResizeLine = std::string("vistrel.autoResize: ") + (autoResize ? "true" : "false") + "\n";
        writeSettings("vistrel.position.x: 40\nvistrel.position.y: 60\nvistrel.alwaysOnTop: true\n" + autoResizeLine);
        ASSERT_EQ(begin(), 0);
        HWND w = window();
        host::sendSetLabel(std::string(40, 'w').c_str());
        RECT before = windowRect();
        paintPending();

        ASSERT_TRUE(writeFile(settingsPath(), autoResizeLine +
                                                  "vistrel.position.x: 500\nvistrel.position.y: 70\n"
                                                  "vistrel.alwaysOnTop: false\nvistrel.snapWindow: false\n"
                                                  "vistrel.height: 20\n"));
        host::broadcast("@VistrelInternal ReadSettings");
        RECT after = windowRect();
        if (autoResize) {
            // The notice's resize applies the position and height just read.
            EXPECT_EQ(after.left, 500);
            EXPECT_EQ(after.top, 70);
            EXPECT_EQ(after.right - after.left, 100);
            EXPECT_EQ(after.bottom - after.top, 20);
            EXPECT_EQ(paintPending(), 1);
            EXPECT_EQ(drawTextCalls.back().text, "RC Reloaded!");
        } else {
            EXPECT_TRUE(EqualRect(&after, &before));
            EXPECT_EQ(paintPending(), 0);
            EXPECT_EQ(shownLabel(), "RC Reloaded!");
        }
        EXPECT_TRUE(isTopmost(w)) << "reading changes no window state";
        rightClick(w);
        EXPECT_NE(shownMenu().find("[ ] Always On Top"), std::string::npos) << shownMenu();
        EXPECT_NE(shownMenu().find("[ ] Snap Window To Edge"), std::string::npos) << shownMenu();
        end();
    }
}

TEST_F(Commands, EditSettingsHasTheHostOpenTheSettingsFile)
{
    ASSERT_EQ(begin(), 0);
    host::clearCalls();
    paintPending();
    host::broadcast("@VistrelInternal EditSettings");
    std::vector<host::Call> executes = host::callsNamed("DKExecute");
    ASSERT_EQ(executes.size(), 1u);
    const std::vector<std::string> expected = {host::handleText(GetDesktopWindow()), "(null)", settingsPath(), "",
                                               "(null)", "1", "false"};
    EXPECT_EQ(executes[0].args, expected);
    EXPECT_EQ(paintPending(), 1);
}

TEST_F(Commands, AboutShowsTheVersionInABoxOwnedByTheHost)
{
    messageBoxTypes.clear();
    ImportPatch patch(module, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(recordMessageBox));
    ASSERT_TRUE(patch.active());
    MessageBoxWatcher watcher;
    ASSERT_EQ(begin(), 0);
    host::broadcast("@VistrelInternal About");
    std::vector<MessageBoxWatcher::Box> boxes = watcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "About Vistrel");
    EXPECT_EQ(boxes[0].text, "Vistrel 1.02");
    EXPECT_EQ(boxes[0].owner, host::mainWindow());
    ASSERT_EQ(messageBoxTypes.size(), 1u);
    EXPECT_EQ(messageBoxTypes[0], static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(Commands, ToggleSlitJoinsAndLeavesTheSlitWithoutActivatingTheWindow)
{
    writeSettings("vistrel.position.x: 40\nvistrel.position.y: 60\nvistrel.inSlit: false\nvistrel.autoResize: false\n");
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    HWND w = window();
    ForegroundWindow app("Editor");
    host::clearCalls();
    paintPending();

    host::broadcast("@VistrelInternal ToggleSlit");
    std::vector<host::Call> adds = host::callsNamed("HM_SLITADD");
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_EQ(adds[0].args.at(1), host::handleText(w));
    EXPECT_TRUE(contains(host::slitWindows(), w));
    RECT inSlit = windowRect();
    EXPECT_GT(inSlit.left, GetSystemMetrics(SM_CXSCREEN) / 2);
    std::map<std::string, std::string> saved = settingsValues(settingsText());
    EXPECT_EQ(saved["vistrel.inSlit:"], "true");
    EXPECT_EQ(saved["vistrel.position.x:"], std::to_string(inSlit.left));
    EXPECT_EQ(paintPending(), 1);

    // Translucency does not look at the slit.
    host::broadcast("@VistrelInternal Transparency");
    EXPECT_EQ(windowAlpha(w), 200);
    host::broadcast("@VistrelInternal Transparency");
    EXPECT_FALSE(isLayered(w));

    // Reading the settings puts a position back in x and y that the slit does not hold, so
    // leaving the slit visibly moves the window there.
    writeFile(settingsPath(), "vistrel.position.x: 40\nvistrel.position.y: 60\nvistrel.inSlit: true\n"
                              "vistrel.autoResize: false\n");
    host::broadcast("@VistrelInternal ReadSettings");
    host::clearCalls();
    host::broadcast("@VistrelInternal ToggleSlit");
    std::vector<host::Call> removes = host::callsNamed("HM_SLITREMOVE");
    ASSERT_EQ(removes.size(), 1u);
    EXPECT_EQ(removes[0].args.at(1), host::handleText(w));
    EXPECT_FALSE(contains(host::slitWindows(), w));
    RECT back = windowRect();
    EXPECT_EQ(back.left, 40);
    EXPECT_EQ(back.top, 60);
    EXPECT_EQ(back.right - back.left, inSlit.right - inSlit.left);
    EXPECT_EQ(GetForegroundWindow(), app.handle());
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(settingsValues(settingsText())["vistrel.inSlit:"], "false");
}

TEST_F(Commands, SlitStateIsSavedAlsoWhenTheWindowStaysWhereItStood)
{
    writeSettings("vistrel.position.x: 40\nvistrel.position.y: 60\nvistrel.inSlit: false\nvistrel.autoResize: false\n");
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    host::broadcast("@VistrelInternal ToggleSlit");
    RECT slitPlace = windowRect();

    // From now on x and y hold the slit's place: leaving moves nothing, and joining again puts
    // the window back on the very spot, so no position change carries the new state.
    for (const char* inSlit : {"false", "true", "false"}) {
        SCOPED_TRACE(std::string("in the slit: ") + inSlit);
        host::broadcast("@VistrelInternal ToggleSlit");
        RECT r = windowRect();
        EXPECT_TRUE(EqualRect(&r, &slitPlace));
        EXPECT_EQ(settingsValues(settingsText())["vistrel.inSlit:"], inSlit);
    }
    end();
    host::clearCalls();
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    EXPECT_TRUE(host::callsNamed("HM_SLITADD").empty()) << "the next start floats, as the window was left";
}

TEST_F(Commands, ToggleSlitWithoutASlitWindowFloatsAndRewritesTheFile)
{
    writeSettings("vistrel.inSlit: false\nvistrel.autoResize: false\n");
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    for (const char* inSlitBefore : {"false", "true"}) {
        SCOPED_TRACE(std::string("in the slit before: ") + inSlitBefore);
        // ReadSettings can claim the slit although no slit window was given.
        writeFile(settingsPath(), std::string("vistrel.inSlit: ") + inSlitBefore + "\nvistrel.autoResize: false\n");
        host::broadcast("@VistrelInternal ReadSettings");
        writeFile(settingsPath(), "# edited by hand\n");
        host::clearCalls();
        paintPending();

        host::broadcast("@VistrelInternal ToggleSlit");
        std::map<std::string, std::string> saved = settingsValues(settingsText());
        EXPECT_EQ(saved.size(), 12u);
        EXPECT_EQ(saved["vistrel.inSlit:"], "false");
        EXPECT_TRUE(host::callsNamed("HM_SLITADD").empty());
        EXPECT_TRUE(host::callsNamed("HM_SLITREMOVE").empty());
        EXPECT_EQ(paintPending(), 1);
        rightClick(w);
        EXPECT_NE(shownMenu().find("[ ] In Slit"), std::string::npos) << shownMenu();
    }
}

TEST_F(Commands, ShowAndHideBroadcastsInAnyLetterCase)
{
    struct Case {
        const char* text;
        bool pluginToggle;
        bool slit;
        bool hiddenBefore;  // the host hid its plug-ins first
        bool visibleAfter;
        bool pollsAfter;    // the label follows the foreground title again
    };
    const Case cases[] = {
        {"@DKHidePlugins", true, false, false, false, false},
        {"@dkhideplugins", true, false, false, false, false},
        {"@DKHIDEPLUGINS", true, false, false, false, false},
        {"@DKHidePlugins", false, false, false, true, false},
        {"@DKHidePlugins", true, true, false, true, false},
        {"@DKHidePlugins now", true, false, false, true, true},
        {"@DKHidePlugin", true, false, false, true, true},
        {" @DKHidePlugins", true, false, false, true, true},
        {"@DKShowPlugins", true, false, true, true, true},
        {"@dkshowplugins", true, false, true, true, true},
        {"@DkShOwPlUgInS", true, false, true, true, true},
        {"@DKShowPlugins!", true, false, true, false, false},
        {"@VistrelInternal @DKShowPlugins", true, false, true, false, false},
        // In the slit the show clears the pause but leaves the window as it was (hidden here).
        {"@DKShowPlugins", true, true, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.pluginToggle ? ", toggle with plug-ins" : ", stays") +
                     (c.slit ? ", in the slit" : "") + (c.hiddenBefore ? ", hidden before" : ""));
        writeSettings(std::string("vistrel.pluginToggle: ") + (c.pluginToggle ? "true" : "false") +
                      "\nvistrel.inSlit: " + (c.slit ? "true" : "false") + "\nvistrel.autoResize: false\n");
        ASSERT_EQ(beginEx(host::slitWindow()), 0);
        HWND w = window();
        ForegroundWindow app("Before");
        tick();
        if (c.hiddenBefore) {
            host::broadcast("@DKHidePlugins");
            if (c.slit) ShowWindow(w, SW_HIDE);
            ASSERT_FALSE(IsWindowVisible(w));
        }
        bool visibleBefore = IsWindowVisible(w) != FALSE;
        ASSERT_TRUE(writeFile(settingsPath(), "# untouched\n"));

        host::broadcast(c.text);
        EXPECT_EQ(IsWindowVisible(w) != FALSE, c.visibleAfter);
        // Showing or hiding is a position change, and only that writes the file here.
        if (visibleBefore != c.visibleAfter) {
            EXPECT_EQ(settingsValues(settingsText()).size(), 12u);
        } else {
            EXPECT_EQ(settingsText(), "# untouched\n");
        }

        // Showing activates the plug-in's own untitled window; give the foreground back first.
        app.setTitle("After");
        app.activate();
        tick();
        std::string expected = c.pollsAfter ? "After" : "Before";
        if (IsWindowVisible(w)) {
            EXPECT_EQ(shownLabel(), expected);
        } else {
            // A hidden window does not paint; show it to read its label.
            ShowWindow(w, SW_SHOWNA);
            EXPECT_EQ(shownLabel(), expected);
        }
        end();
    }
}
