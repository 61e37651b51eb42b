// The settings file through the real DLL: where it is found or created, what a new file holds,
// how saved values come back, whole-file rewrites, and files, directories and writes that fail.
#include <algorithm>
#include <map>

#include "iat_patch.h"
#include "plugin_fixture.h"

namespace {

std::string createdFile()
{
    return readFile(std::string(SOURCE_DIR) + "/tests/data/created.rc");
}

// Key to value, for files in the "key: value" form; later lines do not override earlier ones.
std::map<std::string, std::string> valuesOf(const std::string& text)
{
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(": ");
        if (colon != std::string::npos) values.insert({line.substr(0, colon), line.substr(colon + 2)});
        at = end + 1;
    }
    return values;
}

// Each line reduced to its key and its line ending, so files with different values compare by form.
std::vector<std::string> formOf(const std::string& text)
{
    std::vector<std::string> form;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        bool crlf = !line.empty() && line.back() == '\r';
        form.push_back(line.substr(0, line.find(':')) + (crlf ? " CRLF" : " LF"));
        at = end + 1;
    }
    return form;
}

std::string positionSettings(int x, int y)
{
    return "vistrel.position.x: " + std::to_string(x) + "\nvistrel.position.y: " + std::to_string(y) + "\n";
}

void moveWindow(HWND window, int x, int y)
{
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    pumpMessages();
}

// Paths here may exceed MAX_PATH, so files are handled through the wide functions and the "\\?\" prefix.
std::wstring extended(const std::string& path)
{
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

std::vector<std::string> filesIn(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((extended(directory) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(name.begin(), name.end());
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Nested directories under path (which ends with a backslash) making a path of exactly length
// characters, trailing backslash included.
std::string makeDirectoryOfLength(std::string path, size_t length)
{
    while (path.size() < length) {
        size_t room = length - path.size();
        size_t name = room > 62 ? 60 : room - 1;
        path += std::string(name, 'd') + "\\";
        CreateDirectoryW(extended(path).c_str(), nullptr);
    }
    return path;
}

void removeLongTree(const std::string& directory)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((extended(directory) + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring wide = found.cFileName;
            std::string name(wide.begin(), wide.end());
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeLongTree(directory + name + "\\");
            } else {
                DeleteFileW(extended(directory + name).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(extended(directory).c_str());
}

// Fault injection for the plug-in's file calls; the test's own calls go to the real functions.
std::string deniedDirectory;
std::vector<std::string> writtenBlocks;

HANDLE WINAPI denyCreateInDirectory(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (_strnicmp(path, deniedDirectory.c_str(), deniedDirectory.size()) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(path, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI recordWrite(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped)
{
    writtenBlocks.emplace_back(static_cast<const char*>(data), length);
    return WriteFile(file, data, length, written, overlapped);
}

BOOL WINAPI writeHalfThenFail(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped)
{
    WriteFile(file, data, length / 2, written, overlapped);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

BOOL WINAPI writeHalfQuietly(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped)
{
    return WriteFile(file, data, length / 2, written, overlapped);
}

BOOL WINAPI failMove(LPCSTR, LPCSTR, DWORD)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A second copy of the plug-in, loaded from a path of the test's choosing; ended and freed on scope exit.
class PluginCopy {
public:
    explicit PluginCopy(const std::string& path) : module_(LoadLibraryW(extended(path).c_str()))
    {
        if (module_ == nullptr) return;
        begin_ = reinterpret_cast<BeginPluginFn>(reinterpret_cast<void*>(GetProcAddress(module_, "beginPlugin")));
        end_ = reinterpret_cast<EndPluginFn>(reinterpret_cast<void*>(GetProcAddress(module_, "endPlugin")));
    }
    ~PluginCopy()
    {
        if (running_) end_();
        pumpMessages();
        if (module_ != nullptr) FreeLibrary(module_);
    }
    PluginCopy(const PluginCopy&) = delete;
    PluginCopy& operator=(const PluginCopy&) = delete;
    bool loaded() const { return module_ != nullptr && begin_ != nullptr && end_ != nullptr; }
    int begin()
    {
        int result = begin_(module_);
        running_ = result == 0;
        pumpMessages();
        return result;
    }

private:
    HMODULE module_;
    BeginPluginFn begin_ = nullptr;
    EndPluginFn end_ = nullptr;
    bool running_ = false;
};

}  // namespace

using Settings = PluginFixture;

TEST_F(Settings, FirstStartCreatesTheFileWithDefaultsByteForByte)
{
    const std::string expected = createdFile();
    ASSERT_FALSE(expected.empty());
    writtenBlocks.clear();
    ImportPatch patch(module, "KERNEL32.dll", "WriteFile", reinterpret_cast<void*>(recordWrite));
    ASSERT_TRUE(patch.active());
    ASSERT_EQ(begin(), 0);

    ASSERT_FALSE(writtenBlocks.empty());
    EXPECT_EQ(writtenBlocks[0], expected) << "the file as first written, before any window change";
    EXPECT_EQ(settingsText(), expected) << "the test style's natural size matches the created one";
    EXPECT_FALSE(fileExists(hostDir + "vistrel.rc"));
    EXPECT_EQ(filesIn(pluginDir).size(), 2u) << "the DLL and vistrel.rc, no temporary left";
}

TEST_F(Settings, SearchesThePluginDirectoryWholeBeforeTheHosts)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> files;  // name relative to "p:" or "h:", and its saved x
        std::string chosen;                              // where settings end up
        int x;
    };
    const Case cases[] = {
        {"no file anywhere", {}, "p:vistrel.rc", 2},
        {"plug-in's vistrelrc beats the host's vistrel.rc", {{"p:vistrelrc", 110}, {"h:vistrel.rc", 220}}, "p:vistrelrc", 110},
        {"vistrel.rc beats vistrelrc in the plug-in dir", {{"p:vistrel.rc", 130}, {"p:vistrelrc", 140}}, "p:vistrel.rc", 130},
        {"vistrel.rc beats vistrelrc beside the host", {{"h:vistrelrc", 150}, {"h:vistrel.rc", 160}}, "h:vistrel.rc", 160},
        {"only the host's vistrelrc", {{"h:vistrelrc", 170}}, "h:vistrelrc", 170},
    };
    auto pathOf = [this](const std::string& where) { return (where[0] == 'p' ? pluginDir : hostDir) + where.substr(2); };
    const char* const all[] = {"p:vistrel.rc", "p:vistrelrc", "h:vistrel.rc", "h:vistrelrc"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* where : all) DeleteFileA(pathOf(where).c_str());
        std::map<std::string, std::string> before;
        for (const auto& file : c.files) {
            before[file.first] = positionSettings(file.second, 60);
            ASSERT_TRUE(writeFile(pathOf(file.first), before[file.first]));
        }

        ASSERT_EQ(begin(), 0);
        EXPECT_EQ(windowRect().left, c.x);
        moveWindow(window(), 300, 310);
        for (const char* where : all) {
            SCOPED_TRACE(where);
            if (where == c.chosen) {
                EXPECT_EQ(valuesOf(readFile(pathOf(where)))["vistrel.position.x"], "300") << "the move was saved here";
            } else if (before.count(where)) {
                EXPECT_EQ(readFile(pathOf(where)), before[where]) << "left alone";
            } else {
                EXPECT_FALSE(fileExists(pathOf(where))) << "not created";
            }
        }
        end();
    }
}

TEST_F(Settings, SavedPositionsAtOrBeyondTheScreenEdgeReadAsZero)
{
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int x, y, expectX, expectY;
    };
    const Case cases[] = {
        {w - 1, h - 1, w - 1, h - 1},
        {w, h, 0, 0},
        {w + 500, 300, 0, 300},
        {300, h + 1, 300, 0},
        {-30, -40, -30, -40},
        {-5000, h, -5000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
        writeSettings(positionSettings(c.x, c.y));
        ASSERT_EQ(begin(), 0);
        RECT r = windowRect();
        EXPECT_EQ(r.left, c.expectX);
        EXPECT_EQ(r.top, c.expectY);
        end();
    }
}

TEST_F(Settings, AutoResizeIsOnWhenTheKeyIsMissingButOffInANewFile)
{
    for (bool newFile : {false, true}) {
        SCOPED_TRACE(newFile ? "new file" : "key missing");
        DeleteFileA(settingsPath().c_str());
        if (!newFile) writeSettings(positionSettings(40, 50));
        ASSERT_EQ(begin(), 0);
        host::sendSetLabel(std::string(60, 'w').c_str());
        RECT r = windowRect();
        EXPECT_EQ(r.right - r.left, newFile ? 100 : 300);
        end();
    }
}

TEST_F(Settings, ReadSettingsAfterDeletionSwitchesToAnotherFileWithoutReadingIt)
{
    writeSettings(positionSettings(40, 50) + "vistrel.autoResize: false\nvistrel.timerInterval: 3\n");
    const std::string hostFile = hostDir + "vistrel.rc";
    ASSERT_TRUE(writeFile(hostFile, positionSettings(400, 500) +
                                        "vistrel.autoResize: true\nvistrel.alwaysOnTop: false\nvistrel.timerInterval: 9\n"));
    ASSERT_EQ(begin(), 0);
    ForegroundWindow app("Editor");
    ASSERT_TRUE(DeleteFileA(settingsPath().c_str()));

    host::broadcast("@VistrelInternal ReadSettings");
    EXPECT_FALSE(fileExists(settingsPath())) << "nothing re-created where the deleted file was";
    RECT r = windowRect();
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 50);
    tick();
    EXPECT_EQ(shownLabel(), "Editor") << "no pause: the defaults path did not run";
    host::sendSetLabel(std::string(60, 'w').c_str());
    EXPECT_EQ(windowRect().right - windowRect().left, 100) << "auto-resize was not read from the new file";

    moveWindow(window(), 60, 70);
    auto values = valuesOf(readFile(hostFile));
    EXPECT_EQ(values["vistrel.position.x"], "60") << "the host's file is the settings file now";
    EXPECT_EQ(values["vistrel.autoResize"], "false");
    EXPECT_EQ(values["vistrel.alwaysOnTop"], "true");
    EXPECT_EQ(values["vistrel.timerInterval"], "3");
    EXPECT_FALSE(fileExists(settingsPath()));
}

TEST_F(Settings, ReadSettingsWithNoFileLeftRecreatesDefaultsInThePluginDirAndPauses)
{
    const std::string hostFile = hostDir + "vistrel.rc";
    ASSERT_TRUE(writeFile(hostFile, positionSettings(300, 400) +
                                        "vistrel.alwaysOnTop: false\nvistrel.snapWindow: false\n"
                                        "vistrel.pluginToggle: false\nvistrel.transparency.alpha: 90\n"
                                        "vistrel.autoResize: true\nvistrel.timerInterval: 3\n"));
    ASSERT_EQ(begin(), 0);
    ForegroundWindow app("Editor");
    tick();
    ASSERT_EQ(shownLabel(), "Editor");
    ASSERT_TRUE(DeleteFileA(hostFile.c_str()));

    host::broadcast("@VistrelInternal ReadSettings");
    EXPECT_FALSE(fileExists(hostFile));
    ASSERT_TRUE(fileExists(settingsPath()));
    auto values = valuesOf(settingsText());
    const std::map<std::string, std::string> defaults = {
        {"vistrel.position.x", "2"},     {"vistrel.position.y", "2"},           {"vistrel.alwaysOnTop", "true"},
        {"vistrel.snapWindow", "true"},  {"vistrel.pluginToggle", "true"},      {"vistrel.transparency", "false"},
        {"vistrel.transparency.alpha", "200"}, {"vistrel.inSlit", "false"},     {"vistrel.autoResize", "false"},
        {"vistrel.timerInterval", "3"},
    };
    for (const auto& entry : defaults) EXPECT_EQ(values[entry.first], entry.second) << entry.first;

    // The window is left as it was, though the values now say otherwise.
    RECT r = windowRect();
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 400);
    EXPECT_FALSE(GetWindowLongPtrA(window(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    const std::string longTitle(40, 'e');
    app.setTitle(longTitle.c_str());
    tick(15);
    EXPECT_EQ(shownLabel(), "RC Reloaded!") << "polling pauses for 15 ticks";
    tick();
    EXPECT_EQ(shownLabel(), longTitle);
    EXPECT_EQ(windowRect().right - windowRect().left, 100) << "auto-resize is off now";
}

TEST_F(Settings, UnwritablePluginDirWithNoFileRunsOnDefaultsSilently)
{
    // Wine ignores a read-only attribute on a directory, so the plug-in's file creation is refused there.
    deniedDirectory = pluginDir;
    ImportPatch patch(module, "KERNEL32.dll", "CreateFileA", reinterpret_cast<void*>(denyCreateInDirectory));
    ASSERT_TRUE(patch.active());
    {
        MessageBoxWatcher watcher;
        ASSERT_EQ(begin(), 0);
        RECT r = windowRect();
        EXPECT_EQ(r.left, 2);
        EXPECT_EQ(r.top, 2);
        EXPECT_TRUE(GetWindowLongPtrA(window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        host::sendSetLabel(std::string(60, 'w').c_str());
        EXPECT_EQ(windowRect().right - windowRect().left, 100) << "the defaults path turns auto-resize off";
        moveWindow(window(), 200, 210);
        end();
        EXPECT_TRUE(watcher.boxes().empty());
    }
    EXPECT_EQ(filesIn(pluginDir), std::vector<std::string>{"Vistrel.dll"});
    EXPECT_FALSE(fileExists(hostDir + "vistrel.rc"));
    EXPECT_FALSE(fileExists(hostDir + "vistrelrc"));
}

TEST_F(Settings, EveryWindowChangeRewritesTheWholeFileDroppingForeignLines)
{
    writeSettings("# my notes\r\nvistrel.position.x: 40\nforeign.key: 7\n\nvistrel.position.y: 50\nVISTREL.AUTORESIZE: true\n");
    ASSERT_EQ(begin(), 0);
    moveWindow(window(), 120, 130);

    std::string text = settingsText();
    EXPECT_EQ(formOf(text), formOf(createdFile())) << text;
    auto values = valuesOf(text);
    EXPECT_EQ(values["vistrel.position.x"], "120");
    EXPECT_EQ(values["vistrel.position.y"], "130");
    EXPECT_EQ(values["vistrel.autoResize"], "true") << "read ignoring case, written in the plug-in's spelling";
}

TEST_F(Settings, ToggleRewritesOnlyItsOwnLineKeepingTheForm)
{
    ASSERT_EQ(begin(), 0);
    ASSERT_EQ(settingsText(), createdFile());
    host::broadcast("@VistrelInternal AutoResize");
    std::string expected = createdFile();
    const std::string from = "vistrel.autoResize: false\r\n";
    expected.replace(expected.find(from), from.size(), "vistrel.autoResize: true\r\n");
    EXPECT_EQ(settingsText(), expected);
}

TEST_F(Settings, HostReadersAcceptEitherLineEndingAndAnyKeyCase)
{
    const std::string lf = "Vistrel.Position.X: 40\nVISTREL.POSITION.Y: 50\nvistrel.autoresize: true\n";
    std::string crlf;
    for (char ch : lf) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    for (const std::string& text : {lf, crlf, createdFile()}) {
        SCOPED_TRACE(text);
        writeSettings(text);
        ASSERT_EQ(begin(), 0);
        bool created = text == createdFile();
        RECT r = windowRect();
        EXPECT_EQ(r.left, created ? 2 : 40);
        EXPECT_EQ(r.top, created ? 2 : 50);
        host::sendSetLabel(std::string(60, 'w').c_str());
        EXPECT_EQ(windowRect().right - windowRect().left, created ? 100 : 300);
        end();
    }
}

TEST_F(Settings, AWrittenFileReadsBackToTheSameValues)
{
    writeSettings("vistrel.alwaysOnTop: false\nvistrel.snapWindow: false\nvistrel.pluginToggle: false\n"
                  "vistrel.transparency: true\nvistrel.transparency.alpha: 90\nvistrel.autoResize: true\n"
                  "vistrel.timerInterval: 3\n" + positionSettings(150, 200));
    ASSERT_EQ(begin(), 0);
    moveWindow(window(), -40, 300);
    end();
    const std::string saved = settingsText();
    const std::map<std::string, std::string> expected = {
        {"vistrel.position.x", "-40"},   {"vistrel.position.y", "300"},         {"vistrel.alwaysOnTop", "false"},
        {"vistrel.snapWindow", "false"}, {"vistrel.pluginToggle", "false"},     {"vistrel.transparency", "true"},
        {"vistrel.transparency.alpha", "90"}, {"vistrel.inSlit", "false"},      {"vistrel.autoResize", "true"},
        {"vistrel.timerInterval", "3"},  {"vistrel.width", "100"},              {"vistrel.height", "16"},
    };
    EXPECT_EQ(valuesOf(saved), expected);

    ASSERT_EQ(begin(), 0);
    EXPECT_EQ(settingsText(), saved) << "the restarted plug-in saves what it read";
    HWND w = window();
    RECT r = windowRect();
    EXPECT_EQ(r.left, -40);
    EXPECT_EQ(r.top, 300);
    LONG_PTR exStyle = GetWindowLongPtrA(w, GWL_EXSTYLE);
    EXPECT_FALSE(exStyle & WS_EX_TOPMOST);
    ASSERT_TRUE(exStyle & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(w, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 90);

    ForegroundWindow app("Editor");
    host::sendSetLabel(std::string(60, 'w').c_str());
    EXPECT_EQ(windowRect().right - windowRect().left, 300) << "auto-resize";
    tick(3);
    EXPECT_EQ(shownLabel(), std::string(60, 'w')) << "a sent text stays three ticks";
    tick();
    EXPECT_EQ(shownLabel(), "Editor");
}

TEST_F(Settings, FileLockedByAnotherHandleIsNeitherReadNorOverwritten)
{
    const std::string original = positionSettings(40, 50) + "vistrel.autoResize: false\n";
    writeSettings(original);
    HANDLE lock = CreateFileA(settingsPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    {
        MessageBoxWatcher watcher;
        ASSERT_EQ(begin(), 0);
        RECT r = windowRect();
        EXPECT_EQ(r.left, 2) << "unreadable: the readers' defaults";
        EXPECT_EQ(r.top, 2);
        moveWindow(window(), 200, 210);
        end();
        EXPECT_TRUE(watcher.boxes().empty());
    }
    CloseHandle(lock);
    EXPECT_EQ(settingsText(), original);
    EXPECT_FALSE(fileExists(settingsPath() + ".new"));
}

TEST_F(Settings, AWriteThatFailsLeavesThePreviousWholeFileAndNoTemporary)
{
    struct Case {
        const char* name;
        const char* function;
        void* replacement;
    };
    const Case cases[] = {
        {"write fails half-way", "WriteFile", reinterpret_cast<void*>(writeHalfThenFail)},
        {"write stops short without an error", "WriteFile", reinterpret_cast<void*>(writeHalfQuietly)},
        {"replacing the file fails", "MoveFileExA", reinterpret_cast<void*>(failMove)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(positionSettings(40, 50));
        ASSERT_EQ(begin(), 0);
        moveWindow(window(), 60, 70);
        const std::string whole = settingsText();
        ASSERT_EQ(formOf(whole), formOf(createdFile()));
        {
            ImportPatch patch(module, "KERNEL32.dll", c.function, c.replacement);
            ASSERT_TRUE(patch.active());
            moveWindow(window(), 200, 210);
        }
        EXPECT_EQ(settingsText(), whole);
        EXPECT_EQ(filesIn(pluginDir).size(), 2u) << "the DLL and vistrel.rc only";

        moveWindow(window(), 220, 230);
        EXPECT_EQ(valuesOf(settingsText())["vistrel.position.x"], "220") << "the next write succeeds";
        end();
    }
}

// Bad input runs against the plain build and the one with stack protection and checked copies,
// which turns a quiet overrun into a crash.
class SettingsBadInput : public PluginFixture, public ::testing::WithParamInterface<const char*> {
protected:
    SettingsBadInput() { sourceDll = GetParam(); }
};
INSTANTIATE_TEST_SUITE_P(Builds, SettingsBadInput, ::testing::Values(VISTREL_DLL, VISTREL_HARDENED_DLL),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return info.index == 0 ? "Plain" : "Hardened";
                         });

TEST_P(SettingsBadInput, BadFilesGiveDefaultsOrWhatCanBeReadWithoutAMessage)
{
    std::string binary;
    unsigned seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        binary += static_cast<char>(seed >> 16);
    }
    struct Case {
        const char* name;
        std::string text;
        int x, y;
    };
    const Case cases[] = {
        {"garbage", "lorem ipsum\n:::\n: 40\nvistrel.position.x\n= 40\nvistrel.position.y 50\n", 2, 2},
        {"binary", binary, 2, 2},
        {"binary around a good line", binary + "\nvistrel.position.x: 40\n" + binary, 40, 2},
        {"not numbers", "vistrel.position.x: forty\nvistrel.position.y: 5O\nvistrel.autoResize: yes\n", 2, 2},
        {"huge", "vistrel.position.x: 99999999999999999999\nvistrel.position.y: 4294967336\n"
                 "vistrel.timerInterval: 99999999999\nvistrel.transparency.alpha: -99999999999\n", 0, 0},
        {"negative", "vistrel.position.x: -50\nvistrel.position.y: -60\nvistrel.timerInterval: -3\n", -50, -60},
        {"10,000-character lines", "foreign: " + std::string(10000, 'z') + "\nvistrel.position.x: 40\n"
                                   "vistrel.position.y: " + std::string(10000, '7') + "\n", 40, 0},
        {"empty", "", 2, 2},
    };
    MessageBoxWatcher watcher;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.text);
        ASSERT_EQ(begin(), 0);
        RECT r = windowRect();
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        host::sendSetLabel("still alive");
        EXPECT_EQ(shownLabel(), "still alive");
        end();
        EXPECT_EQ(formOf(settingsText()), formOf(createdFile())) << "replaced by a sound file";
    }
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_P(SettingsBadInput, LongPluginDirectoryIsNeverUsedWithACutPath)
{
    enum Where { PLUGIN_DIR, HOST_DIR, NOWHERE };
    struct Case {
        const char* name;
        size_t directoryLength;   // with its trailing backslash; the DLL copy is "V.dll"
        bool hostDirFits;
        Where settings;
    };
    const Case cases[] = {
        {"vistrel.rc fits, its temporary does not: written in place", 248, true, PLUGIN_DIR},
        {"vistrel.rc does not fit: created beside the host", 252, true, HOST_DIR},
        {"module path cut by the buffer: created beside the host", 262, true, HOST_DIR},
        {"neither directory fits: nothing written", 252, false, NOWHERE},
    };
    const std::string longHostDir = "C:\\" + std::string(250, 'h') + "\\";
    MessageBoxWatcher watcher;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host::setDirectory(c.hostDirFits ? hostDir : longHostDir);
        DeleteFileA((hostDir + "vistrel.rc").c_str());
        std::string directory = makeDirectoryOfLength(pluginDir, c.directoryLength);
        ASSERT_EQ(directory.size(), c.directoryLength);
        ASSERT_TRUE(CopyFileW(std::wstring(sourceDll.begin(), sourceDll.end()).c_str(), extended(directory + "V.dll").c_str(), FALSE));
        {
            PluginCopy copy(directory + "V.dll");
            ASSERT_TRUE(copy.loaded()) << GetLastError();
            ASSERT_EQ(copy.begin(), 0);
            RECT r = windowRect();
            EXPECT_EQ(r.left, 2);
            EXPECT_EQ(r.top, 2);
            moveWindow(window(), 200, 210);
        }
        std::vector<std::string> expected = {"V.dll"};
        if (c.settings == PLUGIN_DIR) expected.push_back("vistrel.rc");
        EXPECT_EQ(filesIn(directory), expected);
        if (c.settings == PLUGIN_DIR) {
            EXPECT_EQ(valuesOf(readFile(directory + "vistrel.rc"))["vistrel.position.x"], "200");
        }
        if (c.settings == HOST_DIR) {
            EXPECT_EQ(valuesOf(readFile(hostDir + "vistrel.rc"))["vistrel.position.x"], "200");
        } else {
            EXPECT_FALSE(fileExists(hostDir + "vistrel.rc"));
        }
        removeLongTree(directory.substr(0, directory.find('\\', pluginDir.size()) + 1));
    }
    EXPECT_TRUE(watcher.boxes().empty());
}
