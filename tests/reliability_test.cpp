// The real plug-in under load, faults and bad input: a long soak that must leave no object, window,
// class or memory behind; files and windows that fail under it; seeded random message sequences,
// also against the build with stack protection and checked copies.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "iat_patch.h"
#include "plugin_fixture.h"

namespace {

// Everything the plug-in creates through these imports, with what it gave back, so that a test
// can see whether each object was released, and released successfully.
struct Tally {
    std::set<void*> gdiObjects;     // DCs, bitmaps and fonts alive
    std::set<void*> heapBlocks;     // malloc / calloc blocks alive
    int windows = 0;                // created less destroyed
    int classes = 0;                // registered less unregistered
    int failedDeletes = 0;          // DeleteDC / DeleteObject / free of something not alive, or refused
    int deletedWhileSelected = 0;   // an object deleted while a DC of the plug-in still holds it,
                                    // or a DC deleted still holding one: Windows refuses or leaks there
    int paints = 0;
    int openPaints = 0;             // BeginPaint without EndPaint
    int lastFontHeight = 0;
    size_t longestFontFace = 0;
};
Tally tally;

HDC WINAPI countCreateCompatibleDC(HDC dc)
{
    HDC made = CreateCompatibleDC(dc);
    if (made != nullptr) tally.gdiObjects.insert(made);
    return made;
}

// A bitmap of no width or height comes back as the stock 1 x 1 bitmap every memory DC starts
// with; deleting it does nothing, so it is not counted.
HGDIOBJ stockBitmap()
{
    static HGDIOBJ stock = [] {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
        DeleteDC(dc);
        return bitmap;
    }();
    return stock;
}

HBITMAP WINAPI countCreateCompatibleBitmap(HDC dc, int width, int height)
{
    HBITMAP made = CreateCompatibleBitmap(dc, width, height);
    if (made != nullptr && made != stockBitmap()) tally.gdiObjects.insert(made);
    return made;
}

HFONT WINAPI countCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                              DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                              DWORD quality, DWORD pitchAndFamily, LPCSTR face)
{
    tally.lastFontHeight = height;
    if (face != nullptr) tally.longestFontFace = std::max(tally.longestFontFace, strlen(face));
    HFONT made = CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, face);
    if (made != nullptr) tally.gdiObjects.insert(made);
    return made;
}

void released(std::set<void*>& alive, void* object, bool succeeded)
{
    if (alive.erase(object) == 0 || !succeeded) ++tally.failedDeletes;
}

bool selectedInto(HDC dc, HGDIOBJ object)
{
    return GetCurrentObject(dc, OBJ_BITMAP) == object || GetCurrentObject(dc, OBJ_FONT) == object;
}

BOOL WINAPI countDeleteDC(HDC dc)
{
    for (void* object : tally.gdiObjects) {
        if (object != dc && selectedInto(dc, object)) ++tally.deletedWhileSelected;
    }
    BOOL ok = DeleteDC(dc);
    released(tally.gdiObjects, dc, ok);
    return ok;
}

BOOL WINAPI countDeleteObject(HGDIOBJ object)
{
    if (object == stockBitmap()) return DeleteObject(object);
    for (void* dc : tally.gdiObjects) {
        if (GetObjectType(dc) == OBJ_MEMDC && selectedInto(static_cast<HDC>(dc), object)) ++tally.deletedWhileSelected;
    }
    BOOL ok = DeleteObject(object);
    released(tally.gdiObjects, object, ok);
    return ok;
}

HWND WINAPI countCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int w,
                                 int h, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    HWND made = CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent, menu, instance, param);
    if (made != nullptr) ++tally.windows;
    return made;
}

BOOL WINAPI countDestroyWindow(HWND window)
{
    BOOL ok = DestroyWindow(window);
    if (ok) --tally.windows;
    return ok;
}

ATOM WINAPI countRegisterClassA(const WNDCLASSA* windowClass)
{
    ATOM atom = RegisterClassA(windowClass);
    if (atom != 0) ++tally.classes;
    return atom;
}

BOOL WINAPI countUnregisterClassA(LPCSTR name, HINSTANCE instance)
{
    BOOL ok = UnregisterClassA(name, instance);
    if (ok) --tally.classes;
    return ok;
}

HDC WINAPI countBeginPaint(HWND window, PAINTSTRUCT* paint)
{
    ++tally.paints;
    ++tally.openPaints;
    return BeginPaint(window, paint);
}

BOOL WINAPI countEndPaint(HWND window, const PAINTSTRUCT* paint)
{
    --tally.openPaints;
    return EndPaint(window, paint);
}

void* __cdecl countMalloc(size_t size)
{
    void* block = malloc(size);
    if (block != nullptr) tally.heapBlocks.insert(block);
    return block;
}

void* __cdecl countCalloc(size_t count, size_t size)
{
    void* block = calloc(count, size);
    if (block != nullptr) tally.heapBlocks.insert(block);
    return block;
}

void __cdecl countFree(void* block)
{
    if (block == nullptr) return;
    released(tally.heapBlocks, block, true);
    free(block);
}

// Routes the plug-in's resource calls through the tally for as long as it lives.
class ResourceTally {
public:
    explicit ResourceTally(HMODULE module)
    {
        tally = Tally();
        const struct {
            const char* dll;
            const char* function;
            void* replacement;
        } hooks[] = {
            {"GDI32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(countCreateCompatibleDC)},
            {"GDI32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(countCreateCompatibleBitmap)},
            {"GDI32.dll", "CreateFontA", reinterpret_cast<void*>(countCreateFontA)},
            {"GDI32.dll", "DeleteDC", reinterpret_cast<void*>(countDeleteDC)},
            {"GDI32.dll", "DeleteObject", reinterpret_cast<void*>(countDeleteObject)},
            {"USER32.dll", "CreateWindowExA", reinterpret_cast<void*>(countCreateWindowExA)},
            {"USER32.dll", "DestroyWindow", reinterpret_cast<void*>(countDestroyWindow)},
            {"USER32.dll", "RegisterClassA", reinterpret_cast<void*>(countRegisterClassA)},
            {"USER32.dll", "UnregisterClassA", reinterpret_cast<void*>(countUnregisterClassA)},
            {"USER32.dll", "BeginPaint", reinterpret_cast<void*>(countBeginPaint)},
            {"USER32.dll", "EndPaint", reinterpret_cast<void*>(countEndPaint)},
            {"msvcrt.dll", "malloc", reinterpret_cast<void*>(countMalloc)},
            {"msvcrt.dll", "calloc", reinterpret_cast<void*>(countCalloc)},
            {"msvcrt.dll", "free", reinterpret_cast<void*>(countFree)},
        };
        for (const auto& hook : hooks) {
            patches_.emplace_back(new ImportPatch(module, hook.dll, hook.function, hook.replacement));
            EXPECT_TRUE(patches_.back()->active()) << hook.function;
        }
    }
    ~ResourceTally()
    {
        for (ImportPatch* patch : patches_) delete patch;
    }
    ResourceTally(const ResourceTally&) = delete;
    ResourceTally& operator=(const ResourceTally&) = delete;

    // After endPlugin: nothing the plug-in made is left, and every release succeeded.
    static void expectAllReleased()
    {
        EXPECT_TRUE(tally.gdiObjects.empty()) << tally.gdiObjects.size() << " GDI objects left";
        EXPECT_TRUE(tally.heapBlocks.empty()) << tally.heapBlocks.size() << " heap blocks left";
        EXPECT_EQ(tally.windows, 0);
        EXPECT_EQ(tally.classes, 0);
        EXPECT_EQ(tally.failedDeletes, 0);
        EXPECT_EQ(tally.deletedWhileSelected, 0);
        EXPECT_EQ(tally.openPaints, 0);
    }

private:
    std::vector<ImportPatch*> patches_;
};

struct WindowCount {
    DWORD process;
    int count;
};

BOOL CALLBACK countChild(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND w, LPARAM param)
{
    auto* counting = reinterpret_cast<WindowCount*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process != counting->process) return TRUE;
    ++counting->count;
    EnumChildWindows(w, countChild, param);
    return TRUE;
}

// Windows of this process, top-level and child.
int processWindows()
{
    WindowCount counting = {GetCurrentProcessId(), 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&counting));
    return counting.count;
}

bool heapsValid()
{
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    }
    return true;
}

// A text whose terminator is the last byte before an inaccessible page, so that reading one byte
// past it faults at once instead of going unnoticed.
class GuardedText {
public:
    explicit GuardedText(const std::string& text)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size_t page = info.dwPageSize;
        size_t dataPages = (text.size() + 1 + page - 1) / page;
        size_ = (dataPages + 1) * page;
        base_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old);
        text_ = base_ + dataPages * page - (text.size() + 1);
        memcpy(text_, text.c_str(), text.size() + 1);
    }
    ~GuardedText() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    const char* get() const { return text_; }

private:
    char* base_;
    size_t size_;
    char* text_;
};

// The twelve lines the plug-in writes, in order, each with its own line ending.
struct SettingsLine {
    const char* key;
    const char* ending;
    bool number;
};
const SettingsLine SETTINGS_LINES[] = {
    {"vistrel.position.x:", "\n", true},       {"vistrel.position.y:", "\n", true},
    {"vistrel.alwaysOnTop:", "\n", false},     {"vistrel.snapWindow:", "\n", false},
    {"vistrel.pluginToggle:", "\n", false},    {"vistrel.transparency:", "\r\n", false},
    {"vistrel.transparency.alpha:", "\r\n", true}, {"vistrel.inSlit:", "\r\n", false},
    {"vistrel.autoResize:", "\r\n", false},    {"vistrel.timerInterval:", "\n", true},
    {"vistrel.width:", "\r\n", true},          {"vistrel.height:", "\r\n", true},
};

bool isInteger(const std::string& text)
{
    size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    return text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
}

// True when text is exactly a file the plug-in wrote whole, whatever its values.
bool isWholeSettingsFile(const std::string& text)
{
    size_t at = 0;
    for (const SettingsLine& line : SETTINGS_LINES) {
        std::string start = std::string(line.key) + " ";
        if (text.compare(at, start.size(), start) != 0) return false;
        at += start.size();
        size_t end = text.find(line.ending, at);
        if (end == std::string::npos) return false;
        std::string value = text.substr(at, end - at);
        if (line.number ? !isInteger(value) : value != "true" && value != "false") return false;
        at = end + strlen(line.ending);
    }
    return at == text.size();
}

std::string settingsValue(const std::string& text, const std::string& key)
{
    size_t at = text.find(key + " ");
    if (at == std::string::npos) return "";
    at += key.size() + 1;
    return text.substr(at, text.find_first_of("\r\n", at) - at);
}

std::vector<std::string> filesIn(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

const char* const COMMAND_WORDS[] = {"AlwaysOnTop",  "SnapWindowToEdge", "ToggleWithPlugins", "ToggleSlit",
                                     "Transparency", "AutoResize",       "About",             "SaveSettings",
                                     "ReadSettings", "EditSettings"};

std::string command(const char* word)
{
    return std::string("@VistrelInternal ") + word;
}

void moveWindowTo(HWND w, int x, int y)
{
    SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int windowWidth(HWND w)
{
    RECT r = {};
    GetWindowRect(w, &r);
    return r.right - r.left;
}

}  // namespace

// A foreground window that answers WM_GETTEXT from a string: changing its title costs nothing,
// where SetWindowText would wait for the X server every time.
class TitleSource {
public:
    TitleSource()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = windowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VistrelTitleSource";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        activate();
    }
    ~TitleSource()
    {
        DestroyWindow(window_);
        UnregisterClassA("VistrelTitleSource", GetModuleHandleA(nullptr));
    }
    TitleSource(const TitleSource&) = delete;
    TitleSource& operator=(const TitleSource&) = delete;
    void setTitle(const std::string& title) { title_ = title; }
    void activate()
    {
        SetForegroundWindow(window_);
        pumpMessages();
    }

private:
    static LRESULT CALLBACK windowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<TitleSource*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcA(w, message, wParam, lParam);
        if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(self->title_.size());
        if (message == WM_GETTEXT) {
            if (wParam == 0) return 0;
            size_t n = std::min(self->title_.size(), static_cast<size_t>(wParam) - 1);
            memcpy(reinterpret_cast<char*>(lParam), self->title_.data(), n);
            reinterpret_cast<char*>(lParam)[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        return DefWindowProcA(w, message, wParam, lParam);
    }
    HWND window_;
    std::string title_;
};

class ReliabilitySoak : public PluginFixture {};

// The whole run takes the same path twice: a short warm-up, so that Wine's lazily filled caches
// (fonts, DCs, the atom table, the host's record vectors) reach their working size, and then the
// soak measured against the state after the warm-up.
TEST_F(ReliabilitySoak, TwentyThousandTicksLeaveNoObjectWindowClassOrMemoryBehind)
{
    ResourceTally counting(module);
    writeSettings("vistrel.autoResize: true\nvistrel.position.x: 200\nvistrel.position.y: 150\n");
    const std::string otherStyle = hostDir + "other.style";
    writeFile(otherStyle, "toolbar: Raised Gradient Diagonal Bevel1\ntoolbar.color: #203040\n"
                          "toolbar.colorTo: #a0b0c0\nbevelWidth: 2\nborderWidth: 1\ntoolbar.font: Arial\n");
    const std::string titles[] = {"Inbox", "Exactly twenty chars", std::string(21, 'w'), "Ünïcödé & co",
                                  std::string(300, 'x'), "Back to short"};
    const int TITLES = sizeof titles / sizeof titles[0];
    TitleSource app;

    struct Counts {
        int ticks = 0, styleChanges = 0, menus = 0, slitToggles = 0, cycles = 0;
    } counts;
    auto run = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            if (i % 5 == 0) app.setTitle(titles[(i / 5) % TITLES]);
            tick();
            ++counts.ticks;
            if (i % 2 == 0) {
                InvalidateRect(window(), nullptr, FALSE);
                UpdateWindow(window());
            }
            if (i % 20 == 10) {
                host::changeStyle(i % 40 == 10 ? otherStyle : styleFile);
                ++counts.styleChanges;
            }
            if (i % 20 == 5) {
                SendMessageA(window(), WM_RBUTTONUP, 0, 0);
                ++counts.menus;
            }
            if (i % 40 == 15) {
                host::broadcast(command("ToggleSlit").c_str());
                ++counts.slitToggles;
            }
            if (i % 100 == 50) {
                host::clearCalls();
                drawTextCalls.clear();
            }
            if (i % 100 == 99) {
                end();
                ASSERT_EQ(beginEx(host::slitWindow()), 0);
                app.activate();
                ++counts.cycles;
            }
        }
    };

    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    app.activate();
    run(400);
    end();
    ResourceTally::expectAllReleased();
    const int windowsBefore = processWindows();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const SIZE_T bytesBefore = privateBytes();
    ASSERT_GT(bytesBefore, 0u);

    counts = Counts();
    tally.paints = 0;
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    app.activate();
    run(20000);
    tick();
    EXPECT_EQ(shownLabel(), titles[(19995 / 5) % TITLES]);
    end();

    EXPECT_EQ(counts.ticks, 20000);
    EXPECT_GE(tally.paints, 10000);
    EXPECT_EQ(counts.styleChanges, 1000);
    EXPECT_EQ(counts.menus, 1000);
    EXPECT_EQ(counts.slitToggles, 500);
    EXPECT_EQ(counts.cycles, 200);

    ResourceTally::expectAllReleased();
    EXPECT_EQ(host::liveMenus(), 0);
    EXPECT_EQ(processWindows(), windowsBefore);
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(module, "Vistrel", &wc));
    // Wine reports no GUI object counts (both stay 0); on Windows they are the process's handles,
    // where a font or DC cache entry or two may come and go.
    const DWORD GUI_SLACK = 8;
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + GUI_SLACK);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore + GUI_SLACK);
    // Under Wine the soak ends 8 to 12 KiB above the warm-up (the heap's own growth and the host's
    // record vectors); the slack is ten times that and still below the smallest leak per
    // operation: a 300-byte style record per style change alone adds over 1 MiB.
    const SIZE_T MEMORY_SLACK = 128 * 1024;
    SIZE_T bytesAfter = privateBytes();
    EXPECT_LE(bytesAfter, bytesBefore + MEMORY_SLACK) << "private bytes before " << bytesBefore << ", after " << bytesAfter;
}

class ReliabilityFaults : public PluginFixture {};

TEST_F(ReliabilityFaults, SettingsFileTroubleWhileRunningLeavesItWholeOrUntouched)
{
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    const std::string path = settingsPath();
    ASSERT_TRUE(isWholeSettingsFile(settingsText()));

    HANDLE lock = INVALID_HANDLE_VALUE;
    struct Fault {
        const char* name;
        std::function<void()> apply;
        std::function<void()> undo;
        bool keepsFile;  // what was there must stay byte for byte
    };
    const Fault faults[] = {
        {"deleted", [&] { DeleteFileA(path.c_str()); }, [] {}, false},
        {"replaced by a directory",
         [&] {
             DeleteFileA(path.c_str());
             CreateDirectoryA(path.c_str(), nullptr);
         },
         [&] { RemoveDirectoryA(path.c_str()); }, false},
        {"read-only", [&] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); },
         [&] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }, true},
        {"locked",
         [&] {
             // As an editor holds it: others may read, nobody may write, replace or delete it.
             lock = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
             ASSERT_NE(lock, INVALID_HANDLE_VALUE);
         },
         [&] { CloseHandle(lock); }, true},
    };
    int x = 300;
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        std::string before = settingsText();
        fault.apply();
        // Every way the plug-in writes: one key through the host (twice, back to where it was),
        // the Save Settings command, and a move.
        host::broadcast(command("AutoResize").c_str());
        host::broadcast(command("AutoResize").c_str());
        host::broadcast(command("SaveSettings").c_str());
        moveWindowTo(w, x += 20, 240);
        EXPECT_TRUE(IsWindow(w));
        EXPECT_EQ(shownLabel(), "RC Saved!");

        std::vector<std::string> expectedFiles = {"Vistrel.dll", "vistrel.rc"};
        EXPECT_EQ(filesIn(pluginDir), expectedFiles) << "no half-written file is left beside it";
        if (fault.keepsFile) {
            EXPECT_EQ(settingsText(), before);
        } else if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            EXPECT_STREQ(fault.name, "replaced by a directory");
        } else {
            EXPECT_TRUE(isWholeSettingsFile(settingsText())) << settingsText();
        }

        fault.undo();
        moveWindowTo(w, x += 20, 260);
        std::string after = settingsText();
        EXPECT_TRUE(isWholeSettingsFile(after)) << after;
        EXPECT_EQ(settingsValue(after, "vistrel.position.x:"), std::to_string(x));
    }
}

TEST_F(ReliabilityFaults, StyleFileVanishingBetweenTwoStyleChangesFallsBackToTheDefaults)
{
    writeSettings("vistrel.autoResize: true\n");
    ASSERT_EQ(begin(), 0);
    const std::string thick = hostDir + "thick.style";
    writeFile(thick, "toolbar.color: #112233\ntoolbar.colorTo: #445566\nbevelWidth: 3\nborderWidth: 2\n");
    host::changeStyle(thick);
    host::sendSetLabel("Thick style");
    EXPECT_EQ(windowRect().bottom - windowRect().top, 22);

    ASSERT_TRUE(DeleteFileA(thick.c_str()));
    host::changeStyle(thick);
    host::sendSetLabel("Gone style");
    EXPECT_EQ(windowRect().bottom - windowRect().top, 16);
    host::clearCalls();
    EXPECT_EQ(shownLabel(), "Gone style");
    auto gradients = host::callsNamed("MakeGradient");
    ASSERT_EQ(gradients.size(), 1u);
    const std::vector<std::string>& args = gradients[0].args;
    EXPECT_EQ(args.at(3), "0") << "toolbar.color default #000000";
    EXPECT_EQ(args.at(4), std::to_string(RGB(0xFF, 0xFF, 0xFF))) << "toolbar.colorTo default #FFFFFF";
    EXPECT_EQ(args.at(8), "1");
    EXPECT_EQ(args.at(10), "1");
}

TEST_F(ReliabilityFaults, SlitDestroyedUnderThePluginLeavesItRunningAndUnloadingCleanly)
{
    ResourceTally counting(module);
    writeSettings("vistrel.inSlit: true\nvistrel.autoResize: true\n");
    ASSERT_EQ(beginEx(host::slitWindow()), 0);
    HWND w = window();
    ASSERT_EQ(host::slitWindows(), std::vector<HWND>{w});
    ASSERT_TRUE(DestroyWindow(host::slitWindow()));

    const std::string title = "A title long enough to widen the window past its least width";
    ForegroundWindow app(title.c_str());
    tick();
    EXPECT_EQ(windowWidth(w), static_cast<int>(5 * title.size()));
    host::broadcast(command("ToggleSlit").c_str());
    host::broadcast(command("ToggleSlit").c_str());
    host::sendSetLabel("Still here");
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(shownLabel(), "Still here");

    end();
    EXPECT_FALSE(IsWindow(w));
    ResourceTally::expectAllReleased();
}

TEST_F(ReliabilityFaults, HostWindowGoneAtUnloadStillUnloadsCleanly)
{
    ResourceTally counting(module);
    ASSERT_EQ(begin(), 0);
    HWND w = window();
    ASSERT_TRUE(DestroyWindow(host::mainWindow()));
    end();
    EXPECT_FALSE(IsWindow(w));
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(module, "Vistrel", &wc));
    ResourceTally::expectAllReleased();
}

HWND doomedWindow = nullptr;

// The foreground window as the plug-in asks for it, destroyed before the plug-in reads its title.
HWND WINAPI foregroundDestroyedOnTheWay()
{
    if (IsWindow(doomedWindow)) DestroyWindow(doomedWindow);
    return doomedWindow;
}

TEST_F(ReliabilityFaults, ForegroundWindowDestroyedBeforeItsTitleIsReadKeepsTheLabel)
{
    ASSERT_EQ(begin(), 0);
    ForegroundWindow app("Steady title");
    tick();
    ASSERT_EQ(shownLabel(), "Steady title");

    doomedWindow = CreateWindowExA(0, "STATIC", "Doomed title", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(doomedWindow, nullptr);
    ImportPatch patch(module, "USER32.dll", "GetForegroundWindow", reinterpret_cast<void*>(foregroundDestroyedOnTheWay));
    ASSERT_TRUE(patch.active());
    tick(3);
    EXPECT_FALSE(IsWindow(doomedWindow));
    EXPECT_EQ(paintPending(), 0);
    EXPECT_EQ(shownLabel(), "Steady title");
}

HWND hungWindow = nullptr;

HWND WINAPI foregroundIsHung()
{
    return hungWindow;
}

// A window of this process whose thread has stopped pumping messages: reading its title by
// sending it WM_GETTEXT would wait for that thread, and the host's GUI thread with it.
TEST_F(ReliabilityFaults, HungForegroundWindowDoesNotBlockTheTick)
{
    ASSERT_EQ(begin(), 0);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE tickDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread hung([&] {
        hungWindow = CreateWindowExA(0, "STATIC", "Hung window title", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
        SetEvent(ready);
        WaitForSingleObject(release, INFINITE);
        DestroyWindow(hungWindow);
    });
    WaitForSingleObject(ready, INFINITE);
    // Should the tick block after all, the watchdog lets the hung thread go so that the test ends.
    std::atomic<bool> blocked{false};
    std::thread watchdog([&] {
        if (WaitForSingleObject(tickDone, 5000) == WAIT_TIMEOUT) {
            blocked = true;
            SetEvent(release);
        }
    });

    {
        ImportPatch patch(module, "USER32.dll", "GetForegroundWindow", reinterpret_cast<void*>(foregroundIsHung));
        ASSERT_TRUE(patch.active());
        tick();
    }
    SetEvent(tickDone);
    watchdog.join();
    EXPECT_FALSE(blocked) << "the tick waited for the hung window's thread";
    EXPECT_EQ(shownLabel(), "Hung window title");

    SetEvent(release);
    hung.join();
    for (HANDLE event : {ready, release, tickDone}) CloseHandle(event);
}

class ReliabilityBadInput : public PluginFixture {};

TEST_F(ReliabilityBadInput, SentTextsAreShownWholeOrCutWithoutReadingPastTheirEnd)
{
    writeSettings("vistrel.autoResize: true\n");
    ASSERT_EQ(begin(), 0);
    std::string highBytes;
    for (int i = 0; i < 300; ++i) highBytes += static_cast<char>(0x80 + i % 0x80);
    std::string mixed;
    for (int i = 0; i < 10000; ++i) mixed += i % 7 == 0 ? '&' : static_cast<char>(0x80 + i % 0x80);
    const struct {
        const char* name;
        std::string sent;
        std::string shown;
    } cases[] = {
        {"empty", "", ""},
        {"ampersands", "&&Save & exit&", "&&Save & exit&"},
        {"bytes 0x80 to 0xFF", highBytes, highBytes},
        {"exactly fills the buffer", std::string(4095, 'a'), std::string(4095, 'a')},
        {"one past the buffer", std::string(4096, 'b'), std::string(4095, 'b')},
        {"10,000 high bytes and ampersands", mixed, mixed.substr(0, 4095)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedText text(c.sent);
        host::sendSetLabel(text.get());
        EXPECT_EQ(shownLabel(), c.shown);
        EXPECT_EQ(windowWidth(window()), std::max<int>(100, 5 * static_cast<int>(c.shown.size())));
    }
}

TEST_F(ReliabilityBadInput, BroadcastsAreCutToTheBufferBeforeTheCommandWordIsRead)
{
    ASSERT_EQ(begin(), 0);
    const std::string prefix = "@VistrelInternal";
    auto padded = [&](size_t wordStart, const std::string& word) {
        return prefix + std::string(wordStart - prefix.size(), ' ') + word;
    };
    std::string farAway(10000, static_cast<char>(0xE9));
    farAway.replace(5000, prefix.size() + 11, prefix + " AutoResize");
    const struct {
        const char* name;
        std::string text;
        bool runs;
    } cases[] = {
        {"plain", command("AutoResize"), true},
        {"prefix inside the first word, any case, later words ignored", "x@VistrelInternal autoRESIZE and more", true},
        {"word ends at the last kept character", padded(4095 - 10, "AutoResize"), true},
        {"word cut by the buffer", padded(4090, "AutoResize"), false},
        {"prefix beyond the buffer", farAway, false},
        {"prefix alone", prefix + std::string(6000, ' '), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host::clearCalls();
        GuardedText text(c.text);
        host::broadcast(text.get());
        EXPECT_EQ(host::callsNamed("WriteBool").size(), c.runs ? 1u : 0u);
        EXPECT_TRUE(IsWindow(window()));
    }
    SendMessageA(window(), HM_BROADCAST, 0, 0);
    EXPECT_TRUE(IsWindow(window()));
}

TEST_F(ReliabilityBadInput, OutlandishStyleValuesKeepTheWindowUsable)
{
    ResourceTally counting(module);
    writeSettings("vistrel.autoResize: true\n");
    ASSERT_EQ(begin(), 0);
    const struct {
        const char* name;
        std::string style;
    } cases[] = {
        {"largest widths", "bevelWidth: 2147483647\nborderWidth: 2147483647\n"},
        {"smallest widths", "bevelWidth: -2147483648\nborderWidth: -2147483648\n"},
        {"wide bevel", "bevelWidth: 100000\nborderWidth: 3\n"},
        {"long font face", "toolbar.font: " + std::string(1000, 'F') + "\n"},
        {"long toolbar text", "toolbar: " + std::string(6000, 'G') + "\n"},
        {"garbage", std::string("toolbar.color: #zzzzzz\n\xff\xfe\x01:\n:\n") + std::string(3000, ':') + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        useStyle(c.style);
        host::changeStyle(styleFile);
        host::sendSetLabel(c.name);
        size_t drawn = drawTextCalls.size();
        SendMessageA(window(), WM_PAINT, 0, 0);
        ASSERT_EQ(drawTextCalls.size(), drawn + 1);
        EXPECT_EQ(drawTextCalls.back().text, c.name);
        EXPECT_EQ(tally.lastFontHeight, 12);
        EXPECT_LE(tally.longestFontFace, 255u);
        EXPECT_TRUE(IsWindow(window()));
    }
    end();
    ResourceTally::expectAllReleased();
}

namespace {

// Seeded random text: mostly short, now and then up to 10,000 bytes (rarely, since every paint of
// the window a long label widens costs milliseconds); letters, spaces, the command prefix's
// letters, control characters, bytes 0x80 to 0xFF and ampersands.
std::string randomText(std::mt19937& random)
{
    unsigned kind = random() % 100;
    size_t length = kind < 70 ? random() % 41 : kind < 93 ? 40 + random() % 460 : 500 + random() % 9501;
    static const char letters[] = "abcXYZ @VistrelInternal 0123:#";
    std::string text(length, ' ');
    for (char& c : text) {
        unsigned pick = random() % 20;
        if (pick < 5) c = static_cast<char>(0x80 + random() % 0x80);
        else if (pick < 7) c = '&';
        else if (pick < 8) c = static_cast<char>(1 + random() % 31);
        else c = letters[random() % (sizeof letters - 1)];
    }
    return text;
}

std::string randomCase(std::mt19937& random, std::string text)
{
    for (char& c : text) {
        if (random() % 2) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

std::string randomStyle(std::mt19937& random)
{
    static const char* const types[] = {"Flat Gradient Vertical", "Raised Gradient Diagonal Bevel2", "Sunken Solid",
                                        "Parentrelative", "Raised Interlaced Gradient Pipecross"};
    std::string style;
    auto maybe = [&](const std::string& line) {
        unsigned pick = random() % 6;
        if (pick == 0) return;
        style += pick == 1 ? line.substr(0, line.find(':') + 1) + " " + randomText(random) + "\n" : line + "\n";
    };
    maybe(std::string("toolbar: ") + types[random() % 5]);
    maybe("toolbar.color: #" + std::to_string(100000 + random() % 900000));
    maybe("toolbar.colorTo: #a0b0c0");
    maybe("borderColor: #ff0000");
    maybe("bevelWidth: " + std::to_string(static_cast<int>(random() % 40) - 8));
    maybe("borderWidth: " + std::to_string(static_cast<int>(random() % 40) - 8));
    maybe("toolbar.font: " + std::string(random() % 400, 'f'));
    maybe("*font: Tahoma");
    maybe("toolbar.label.textColor: #010203");
    maybe("toolbar.textColor: #fefefe");
    maybe("toolbar.button.picColor: #123456");
    return style;
}

std::string randomSettings(std::mt19937& random)
{
    static const char* const keys[] = {"vistrel.position.x:", "vistrel.position.y:", "vistrel.alwaysOnTop:",
                                       "vistrel.snapWindow:", "vistrel.pluginToggle:", "vistrel.transparency:",
                                       "vistrel.transparency.alpha:", "vistrel.inSlit:", "vistrel.autoResize:",
                                       "vistrel.timerInterval:", "vistrel.width:", "vistrel.height:"};
    std::string settings;
    for (const char* key : keys) {
        switch (random() % 5) {
        case 0: break;
        case 1: settings += std::string(key) + " " + randomText(random) + "\n"; break;
        case 2: settings += std::string(key) + (random() % 2 ? " true\n" : " false\n"); break;
        default: settings += std::string(key) + " " + std::to_string(static_cast<int>(random() % 6000) - 1000) + "\r\n"; break;
        }
    }
    return settings;
}

enum Step { TICK, TITLE_TICK, SET_LABEL, BROADCAST_TEXT, BROADCAST_COMMAND, SHOW_HIDE, STYLE, MOVE, RIGHT_CLICK,
            OTHER_TIMER, SETTINGS_FILE, RELOAD, STEP_KINDS };
const int STEP_WEIGHTS[STEP_KINDS] = {14, 12, 16, 8, 12, 8, 6, 8, 6, 3, 4, 1};

}  // namespace

// The same random sequences run against the plug-in as shipped and against the hardened build
// (stack protector, checked copies): an overrun that goes unnoticed in one faults in the other.
class ReliabilityRandom : public PluginFixture, public ::testing::WithParamInterface<const char*> {
protected:
    ReliabilityRandom() { sourceDll = GetParam(); }
};

TEST_P(ReliabilityRandom, InvariantsHoldAfterEveryStepOfSeededSequences)
{
    MessageBoxWatcher boxes;
    ResourceTally counting(module);
    ForegroundWindow app("Random run");
    const int STEPS = 1500;
    for (unsigned seed : {20040117u, 7u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        writeSettings("vistrel.autoResize: true\nvistrel.position.x: 200\nvistrel.position.y: 200\n");
        useStyle(DEFAULT_TEST_STYLE);
        ASSERT_EQ(beginEx(host::slitWindow()), 0);
        bool hidden = false;
        std::discrete_distribution<int> pickStep(std::begin(STEP_WEIGHTS), std::end(STEP_WEIGHTS));

        for (int step = 0; step < STEPS; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            HWND w = window();
            int kind = pickStep(random);
            std::string expectedLabel;
            bool labelKnown = false;
            switch (kind) {
            case TICK:
                tick(1 + random() % 3);
                break;
            case TITLE_TICK:
                app.setTitle(randomText(random).c_str());
                app.activate();
                tick();
                break;
            case SET_LABEL:
                if (random() % 10 == 0) {
                    SendMessageA(w, HM_SETLABEL, 0, 0);
                } else {
                    std::string text = randomText(random);
                    GuardedText guarded(text);
                    host::sendSetLabel(guarded.get());
                    labelKnown = !hidden;
                    expectedLabel = text.substr(0, 4095);
                }
                break;
            case BROADCAST_TEXT:
                if (random() % 10 == 0) {
                    SendMessageA(w, HM_BROADCAST, 0, 0);
                } else {
                    GuardedText guarded(randomText(random));
                    host::broadcast(guarded.get());
                }
                break;
            case BROADCAST_COMMAND: {
                std::string text = randomCase(random, command(COMMAND_WORDS[random() % 10]));
                if (random() % 3 == 0) text += " " + randomText(random);
                GuardedText guarded(text);
                host::broadcast(guarded.get());
                break;
            }
            case SHOW_HIDE: {
                bool show = random() % 2 == 0;
                GuardedText guarded(randomCase(random, show ? "@DKShowPlugins" : "@DKHidePlugins"));
                host::broadcast(guarded.get());
                hidden = !show;
                break;
            }
            case STYLE:
                useStyle(randomStyle(random));
                host::changeStyle(styleFile);
                break;
            case MOVE:
                moveWindowTo(w, static_cast<int>(random() % 9000) - 3000, static_cast<int>(random() % 9000) - 3000);
                break;
            case RIGHT_CLICK:
                SendMessageA(w, WM_RBUTTONUP, 0, 0);
                break;
            case OTHER_TIMER:
                SendMessageA(w, WM_TIMER, 2 + random() % 100, 0);
                break;
            case SETTINGS_FILE:
                writeSettings(randomSettings(random));
                host::broadcast(command("ReadSettings").c_str());
                break;
            case RELOAD:
                end();
                ASSERT_EQ(random() % 2 ? begin() : beginEx(host::slitWindow()), 0);
                hidden = false;
                break;
            }

            w = window();
            ASSERT_TRUE(w != nullptr && IsWindow(w)) << "step kind " << kind;
            size_t drawn = drawTextCalls.size();
            SendMessageA(w, WM_PAINT, 0, 0);
            ASSERT_EQ(drawTextCalls.size(), drawn + 1) << "step kind " << kind;
            const DrawTextRecord& label = drawTextCalls.back();
            ASSERT_LE(label.text.size(), 4095u) << "step kind " << kind;
            EXPECT_EQ(label.format, static_cast<UINT>(DT_SINGLELINE | DT_VCENTER | DT_CENTER));
            if (labelKnown) {
                EXPECT_EQ(label.text, expectedLabel);
            }
            EXPECT_GE(windowWidth(w), 100) << "step kind " << kind;
            EXPECT_EQ(tally.lastFontHeight, 12);
            EXPECT_LE(tally.longestFontFace, 255u);
            if (step % 100 == 99) {
                host::clearCalls();
                drawTextCalls.clear();
                ASSERT_TRUE(heapsValid());
            }
        }
        end();
        ResourceTally::expectAllReleased();
        EXPECT_EQ(host::liveMenus(), 0);
        EXPECT_TRUE(heapsValid());
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, ReliabilityRandom, ::testing::Values(VISTREL_DLL, VISTREL_HARDENED_DLL),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index == 0 ? "Shipped" : "Hardened");
                         });
