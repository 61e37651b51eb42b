// The stand-in host's rc and style file readers and WriteBool, through the exported functions.
#include <climits>

#include "plugin_fixture.h"

namespace {

class HostRcFile : public ::testing::Test {
protected:
    void SetUp() override { dir = makeTempDirectory("hostrc"); }
    void TearDown() override { removeTree(dir); }
    std::string dir;
};

const char* const MIXED =
    "! a comment: with a colon\n"
    "toolbar.color: #FF8000\r\n"
    "Toolbar.ColorTo:   00ff7f  \n"
    "bad.color: #12345\n"
    "count: -42\r\n"
    "big: 99999999999\n"
    "small: -99999999999\n"
    "junk: 12abc\n"
    "flag: TRUE\r\n"
    "other: False\n"
    "maybe: yes\n"
    "  spaced.key  :  some text with  inner  spaces \t\r\n"
    "path: C:\\dir\\file.txt";

}  // namespace

TEST_F(HostRcFile, ReadersMatchKeysIgnoringCaseAndFallBackToTheirDefaults)
{
    std::string file = dir + "mixed.rc";
    ASSERT_TRUE(writeFile(file, MIXED));
    const char* f = file.c_str();

    EXPECT_EQ(ReadColor(f, "toolbar.color:", "#000000"), RGB(255, 128, 0));
    EXPECT_EQ(ReadColor(f, "toolbar.colorTo:", "#000000"), RGB(0, 255, 127));
    EXPECT_EQ(ReadColor(f, "bad.color:", "#0a0B0c"), RGB(10, 11, 12)) << "invalid value: the default text is parsed";
    EXPECT_EQ(ReadColor(f, "absent:", "#FFFFFF"), RGB(255, 255, 255));
    EXPECT_EQ(ReadColor(f, "absent:", "doesntexist"), RGB(0, 0, 0));

    struct IntCase { const char* key; int expected; } ints[] = {
        {"count:", -42}, {"big:", INT_MAX}, {"small:", INT_MIN}, {"junk:", 7}, {"absent:", 7}, {"flag:", 7}};
    for (const IntCase& c : ints) EXPECT_EQ(ReadInt(f, c.key, 7), c.expected) << c.key;

    EXPECT_TRUE(ReadBool(f, "FLAG:", false));
    EXPECT_FALSE(ReadBool(f, "other:", true));
    EXPECT_TRUE(ReadBool(f, "maybe:", true));
    EXPECT_FALSE(ReadBool(f, "maybe:", false));

    EXPECT_STREQ(ReadString(f, "spaced.key:", "x"), "some text with  inner  spaces");
    EXPECT_STREQ(ReadString(f, "path:", "x"), "C:\\dir\\file.txt") << "last line without an ending, colon in value";
    EXPECT_STREQ(ReadString(f, "absent:", "fallback"), "fallback");
    EXPECT_STREQ(ReadString((dir + "missing.rc").c_str(), "toolbar.color:", "none"), "none");
    EXPECT_STREQ(ReadString(nullptr, nullptr, "none"), "none");
    EXPECT_FALSE(FileExists((dir + "missing.rc").c_str()));
    EXPECT_FALSE(FileExists(dir.c_str())) << "a directory is not a file";
    EXPECT_TRUE(FileExists(f));
}

TEST_F(HostRcFile, LongLinesAndBinaryBytesAreReadWhole)
{
    std::string longValue(20000, 'x');
    std::string content = std::string("noise: ") + std::string("\x01\xff\x7f\0binary", 10) + "\n" + "long: " +
                          longValue + "\r\n" + std::string(15000, ':') + "\nafter: 5\n";
    std::string file = dir + "long.rc";
    ASSERT_TRUE(writeFile(file, content));
    EXPECT_EQ(std::string(ReadString(file.c_str(), "long:", "")), longValue);
    EXPECT_EQ(ReadInt(file.c_str(), "after:", 0), 5);
}

TEST_F(HostRcFile, WriteBoolRewritesOneLineAndKeepsEveryOtherByte)
{
    std::string file = dir + "vistrel.rc";
    ASSERT_TRUE(writeFile(file, "a: 1\r\nvistrel.autoResize: true\nb: 2\r\n! note\nvistrel.autoresize: true\n"));

    WriteBool(file.c_str(), "Vistrel.AutoResize:", false);
    EXPECT_EQ(readFile(file), "a: 1\r\nVistrel.AutoResize: false\nb: 2\r\n! note\nvistrel.autoresize: true\n")
        << "the first matching line only, in place, key as given";
    EXPECT_FALSE(ReadBool(file.c_str(), "vistrel.autoResize:", true));

    WriteBool(file.c_str(), "vistrel.inSlit:", true);
    EXPECT_EQ(readFile(file),
              "a: 1\r\nVistrel.AutoResize: false\nb: 2\r\n! note\nvistrel.autoresize: true\nvistrel.inSlit: true\r\n")
        << "an absent key is appended with the file's line ending";
    EXPECT_TRUE(ReadBool(file.c_str(), "vistrel.inSlit:", false));

    std::string created = dir + "new.rc";
    WriteBool(created.c_str(), "vistrel.snapWindow:", false);
    EXPECT_EQ(readFile(created), "vistrel.snapWindow: false\n");

    std::string unterminated = dir + "open.rc";
    ASSERT_TRUE(writeFile(unterminated, "x: 1"));
    WriteBool(unterminated.c_str(), "y:", true);
    EXPECT_EQ(readFile(unterminated), "x: 1\ny: true\n");
}
