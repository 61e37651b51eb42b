// The stand-in host's text functions: DKTokenize, IsInString and GetDuskwellPath stay in bounds.
#include <cstring>
#include <vector>

#include "plugin_fixture.h"

namespace {

const size_t TOKEN = 4096;
const size_t GUARD = 32;
const char FILL = '\x5a';

// A token buffer followed by guard bytes that must survive every call.
struct Buffer {
    std::vector<char> bytes = std::vector<char>(TOKEN + GUARD, FILL);
    char* data() { return bytes.data(); }
    std::string text() const { return std::string(bytes.data()); }
    bool guardIntact() const
    {
        for (size_t i = TOKEN; i < bytes.size(); ++i) {
            if (bytes[i] != FILL) return false;
        }
        return true;
    }
};

}  // namespace

TEST(HostText, TokenizeSplitsWordsAndRest)
{
    struct Case {
        const char* text;
        unsigned count;
        int found;
        const char* first;
        const char* second;
        const char* rest;
    } cases[] = {
        {"@VistrelInternal AlwaysOnTop", 2, 2, "@VistrelInternal", "AlwaysOnTop", ""},
        {"  @VistrelInternal \t about  extra  words ", 2, 2, "@VistrelInternal", "about", "extra  words "},
        {"@VistrelInternal", 2, 1, "@VistrelInternal", "", ""},
        {"", 2, 0, "", "", ""},
        {" \t ", 2, 0, "", "", ""},
        {"one two three", 1, 1, "one", "", "two three"},
        {"one two", 0, 0, "", "", "one two"},
        {nullptr, 2, 0, "", "", ""},
    };
    for (const Case& c : cases) {
        Buffer first, second, rest;
        char* words[] = {first.data(), second.data()};
        SCOPED_TRACE(c.text ? c.text : "(null)");
        EXPECT_EQ(DKTokenize(c.text, words, c.count, rest.data()), c.found);
        // Only the count buffers the caller offers are touched; those beyond the words found are emptied.
        if (c.count > 0) {
            EXPECT_EQ(first.text(), c.first);
        }
        if (c.count > 1) {
            EXPECT_EQ(second.text(), c.second);
        } else {
            EXPECT_EQ(second.bytes[0], FILL);
        }
        EXPECT_EQ(rest.text(), c.rest);
    }
}

TEST(HostText, TokenizeCutsLongWordsAndRestToTheirBuffers)
{
    std::string text = std::string(10000, 'a') + " " + std::string(5000, 'b') + " " + std::string(9000, 'c');
    Buffer first, second, rest;
    char* words[] = {first.data(), second.data()};
    EXPECT_EQ(DKTokenize(text.c_str(), words, 2, rest.data()), 2);
    EXPECT_EQ(first.text(), std::string(TOKEN - 1, 'a'));
    EXPECT_EQ(second.text(), std::string(TOKEN - 1, 'b'));
    EXPECT_EQ(rest.text(), std::string(TOKEN - 1, 'c'));
    EXPECT_TRUE(first.guardIntact() && second.guardIntact() && rest.guardIntact());
}

TEST(HostText, IsInStringFindsPartsAndRefusesNull)
{
    EXPECT_TRUE(IsInString("x @VistrelInternal About", "@VistrelInternal"));
    EXPECT_FALSE(IsInString("@vistrelinternal About", "@VistrelInternal"));
    EXPECT_FALSE(IsInString("short", "longer text"));
    EXPECT_FALSE(IsInString(nullptr, "a"));
    EXPECT_FALSE(IsInString("a", nullptr));
}

TEST(HostText, DuskwellPathEndsWithABackslashAndRespectsTheBufferSize)
{
    host::setDirectory("C:\\Program Files\\Duskwell");
    char path[MAX_PATH + GUARD];
    std::memset(path, FILL, sizeof path);
    EXPECT_EQ(GetDuskwellPath(path, MAX_PATH), path);
    EXPECT_STREQ(path, "C:\\Program Files\\Duskwell\\");

    std::memset(path, FILL, sizeof path);
    GetDuskwellPath(path, 5);
    EXPECT_STREQ(path, "C:\\P");
    EXPECT_EQ(path[5], FILL);

    std::memset(path, FILL, sizeof path);
    GetDuskwellPath(path, 0);
    EXPECT_EQ(path[0], FILL);
    host::setDirectory("");
}
