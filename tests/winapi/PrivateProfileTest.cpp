#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "winapi/windows.h"

using lumaro::test::ReadFile;
using lumaro::test::TempDir;
using lumaro::test::TempMachine;
using lumaro::test::WriteFile;

namespace {

struct ProfileFile {
    TempDir dir;
    std::string path = dir.str() + "/test.ini";
    explicit ProfileFile(const std::string& content = std::string()) {
        if (!content.empty()) WriteFile(path, content);
    }
    std::string Get(const char* section, const char* key, const char* def = "",
                    DWORD size = 8192) const {
        std::string buffer(size, '#');
        DWORD n = GetPrivateProfileStringA(section, key, def, buffer.data(), size, path.c_str());
        return buffer.substr(0, n);
    }
    std::string Content() const { return ReadFile(path); }
};

}  // namespace

TEST(GetPrivateProfileStringA, ReadsValuesAsWindowsDoes) {
    ProfileFile ini(
        "; leading comment\r\n"
        "[Main]\r\n"
        "Plain=abc\r\n"
        "  Spaced  =   two words   \r\n"
        "Quoted=\"  keep blanks  \"\r\n"
        "Single='x'\r\n"
        "Unmatched=\"abc\r\n"
        "Empty=\r\n"
        "Dup=first\r\n"
        "dup=second\r\n"
        "no equals sign here\r\n"
        ";Hidden=1\r\n"
        "Inner==x=\r\n"
        "[main]\r\n"
        "Plain=second section\r\n"
        "Other=only in second\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        std::string expected;
    } cases[] = {
        {"Main", "Plain", "", "abc"},
        {"MAIN", "plain", "", "abc"},               // case-insensitive names
        {"Main", "Spaced", "", "two words"},        // blanks around name and value trimmed
        {"Main", "Quoted", "", "  keep blanks  "},  // one pair of quotes removed
        {"Main", "Single", "", "x"},
        {"Main", "Unmatched", "", "\"abc"},
        {"Main", "Empty", "d", ""},
        {"Main", "Dup", "", "first"},       // first match wins
        {"Main", "Other", "dflt", "dflt"},  // first section wins
        {"Main", ";Hidden", "d", "d"},      // comment lines hold no entries
        {"Main", "no equals sign here", "d", "d"},
        {"Main", "Inner", "", "=x="},
        {"Main", "Missing", "def  ", "def"},  // trailing blanks of the default dropped
        {"Main", "Missing", nullptr, ""},
        {"Nowhere", "Plain", "d", "d"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.Get(c.section, c.key, c.def), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(ProfileFile().Get("S", "K", "dflt"), "dflt");  // no file at all
}

TEST(GetPrivateProfileStringA, ValueTruncationAtEveryBufferSize) {
    ProfileFile ini("[S]\r\nK=abcdef\r\n");
    // size 0 writes nothing; otherwise the copy is cut to size - 1 and the result is its length.
    struct Case {
        DWORD size;
        DWORD result;
        std::string text;
    } cases[] = {{1, 0, ""}, {2, 1, "a"}, {6, 5, "abcde"}, {7, 6, "abcdef"}, {8, 6, "abcdef"}};
    for (const Case& c : cases) {
        std::string buf(c.size + 1, '#');
        EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buf.data(), c.size, ini.path.c_str()),
                  c.result)
            << c.size;
        EXPECT_EQ(std::string(buf.c_str()), c.text) << c.size;
        EXPECT_EQ(buf[c.size], '#') << "wrote past the buffer at size " << c.size;
    }
    char untouched = '#';
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", &untouched, 0, ini.path.c_str()), 0u);
    EXPECT_EQ(untouched, '#');
}

TEST(GetPrivateProfileStringA, ListFormsAndTheirTruncation) {
    ProfileFile ini("[A]\r\nk1=1\r\nK2=2\r\nk1=again\r\n[B]\r\n[a]\r\nx=1\r\n");
    using namespace std::string_literals;
    // Full lists: every name followed by a NUL, one more NUL not counted.
    EXPECT_EQ(ini.Get(nullptr, nullptr), "A\0B\0"s);
    EXPECT_EQ(ini.Get("a", nullptr), "k1\0K2\0"s);
    EXPECT_EQ(ini.Get("B", nullptr, "d"), ""s);
    EXPECT_EQ(ini.Get("Missing", nullptr, "d"), "d"s);  // no such section: the default
    char buf[16];
    ASSERT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buf, 16, ini.path.c_str()), 4u);
    EXPECT_EQ(std::string(buf, 5), "A\0B\0\0"s);

    // Lists that do not fit: the last name is cut, two NULs follow, the result is size - 2.
    struct Case {
        DWORD size;
        DWORD result;
        std::string bytes;
    } cases[] = {
        {1, 0, "\0"s},       {2, 0, "\0\0"s},      {3, 1, "k\0\0"s},      {4, 2, "k1\0\0"s},
        {5, 3, "k1\0\0\0"s}, {6, 4, "k1\0K\0\0"s}, {7, 6, "k1\0K2\0\0"s},
    };
    for (const Case& c : cases) {
        std::string out(c.size + 1, '#');
        EXPECT_EQ(GetPrivateProfileStringA("A", nullptr, "", out.data(), c.size, ini.path.c_str()),
                  c.result)
            << c.size;
        EXPECT_EQ(out.substr(0, c.size), c.bytes) << c.size;
        EXPECT_EQ(out[c.size], '#') << c.size;
    }
}

TEST(WritePrivateProfileStringA, NewFileHasTheWindowsLayout) {
    ProfileFile ini;
    EXPECT_TRUE(WritePrivateProfileStringA("Sec", "Key", "Value", ini.path.c_str()));
    EXPECT_EQ(ini.Content(), "[Sec]\r\nKey=Value\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("Sec", "Two", "2", ini.path.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Next", "K", "v", ini.path.c_str()));
    EXPECT_EQ(ini.Content(), "[Sec]\r\nKey=Value\r\nTwo=2\r\n[Next]\r\nK=v\r\n");
    EXPECT_EQ(ini.Get("sec", "key"), "Value");
}

TEST(WritePrivateProfileStringA, EditsOnlyTheLinesItChanges) {
    const std::string before =
        "; header comment\n"
        "junk line without equals\n"
        "[One]\n"
        "  a = 1  \n"
        "b=2\n"
        "\n"
        "; about Two\n"
        "[Two]\n"
        "c=3";
    ProfileFile ini(before);
    struct Step {
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } steps[] = {
        {"one", "A", "10",
         "; header comment\njunk line without equals\n[One]\na=10\nb=2\n\n; about Two\n[Two]\nc=3"},
        {"One", "new", "x",
         "; header comment\njunk line without equals\n[One]\na=10\nb=2\nnew=x\n\n; about "
         "Two\n[Two]\nc=3"},
        {"Two", "d", "4",
         "; header comment\njunk line without equals\n[One]\na=10\nb=2\nnew=x\n\n; about "
         "Two\n[Two]\nc=3\nd=4\n"},
        {"One", "b", nullptr,
         "; header comment\njunk line without equals\n[One]\na=10\nnew=x\n\n; about "
         "Two\n[Two]\nc=3\nd=4\n"},
        {"Two", nullptr, nullptr,
         "; header comment\njunk line without equals\n[One]\na=10\nnew=x\n\n; about Two\n"},
        {"Gone", nullptr, nullptr,
         "; header comment\njunk line without equals\n[One]\na=10\nnew=x\n\n; about Two\n"},
        {"One", "missing", nullptr,
         "; header comment\njunk line without equals\n[One]\na=10\nnew=x\n\n; about Two\n"},
    };
    for (const Step& s : steps) {
        EXPECT_TRUE(WritePrivateProfileStringA(s.section, s.key, s.value, ini.path.c_str()));
        EXPECT_EQ(ini.Content(), s.after) << (s.key ? s.key : "(section)");
    }
}

TEST(WritePrivateProfileStringA, RefusesLineBreaksAndUnwritableFiles) {
    ProfileFile ini("[S]\r\nK=v\r\n");
    for (const char* bad : {"a\nb", "a\rb", "a\r\n[Evil]\r\nX=1"}) {
        EXPECT_FALSE(WritePrivateProfileStringA("S", "K", bad, ini.path.c_str()));
        EXPECT_FALSE(WritePrivateProfileStringA("S", bad, "v", ini.path.c_str()));
        EXPECT_FALSE(WritePrivateProfileStringA(bad, "K", "v", ini.path.c_str()));
    }
    EXPECT_EQ(ini.Content(), "[S]\r\nK=v\r\n");
    // Removing a section ignores the text, whatever it holds.
    EXPECT_TRUE(WritePrivateProfileStringA("S", nullptr, "x\ny", ini.path.c_str()));
    EXPECT_EQ(ini.Content(), "");
    WriteFile(ini.path, "[S]\r\nK=v\r\n");

    TempDir dir;
    EXPECT_FALSE(
        WritePrivateProfileStringA("S", "K", "v", (dir.str() + "/no/such/folder.ini").c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "K", "v", ini.path.c_str()));

    std::filesystem::permissions(
        ini.path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "changed", ini.path.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", nullptr, ini.path.c_str()));
    EXPECT_EQ(ini.Content(), "[S]\r\nK=v\r\n");
    EXPECT_EQ(ini.Get("S", "K"), "v");
}

TEST(WritePrivateProfileStringA, RelativeNamesLiveInTheWindowsFolder) {
    TempMachine machine;
    EXPECT_TRUE(WritePrivateProfileStringA("S", "K", "v", "relative.ini"));
    EXPECT_EQ(ReadFile(machine.path() / "Windows" / "relative.ini"), "[S]\r\nK=v\r\n");
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buf, sizeof buf, "relative.ini"), 1u);
}
