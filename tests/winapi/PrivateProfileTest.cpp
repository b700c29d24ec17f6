#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/TestSupport.h"
#include "winapi/windows.h"

using namespace lumaro::test;
using namespace std::string_literals;

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
    bool Set(const char* section, const char* key, const char* value) const {
        return WritePrivateProfileStringA(section, key, value, path.c_str());
    }
    std::string Content() const { return ReadFile(path); }
};

}  // namespace

TEST(GetPrivateProfileStringA, ReadsValuesAsWindowsDoes) {
    const std::string main =
        "; leading comment\r\n[Main]\r\nPlain=abc\r\n  Spaced  =   two words   \r\n"
        "Quoted=\"  keep blanks  \"\r\nSingle='x'\r\nUnmatched=\"abc\r\nEmpty=\r\n"
        "Dup=first\r\ndup=second\r\nno equals sign here\r\n;Hidden=1\r\nInner==x=\r\n"
        "[unclosed\r\nAfter=still Main\r\n[main]\r\nPlain=second section\r\n"
        "Other=only in second\r\n[ padded ]\r\nk=p\r\n";
    const std::string utf16 = Utf16("[s]\r\nk=") + "\xE4\0x\0\r\0\n\0"s;
    struct Case {
        std::string content;
        const char* section;
        const char* key;
        const char* def;
        std::string expected;
    } cases[] = {
        {main, "MAIN", "plain", "", "abc"},               // case-insensitive names
        {main, "Main", "Spaced", "", "two words"},        // blanks around name and value trimmed
        {main, "Main", "Quoted", "", "  keep blanks  "},  // one pair of quotes removed
        {main, "Main", "Single", "", "x"},
        {main, "Main", "Unmatched", "", "\"abc"},
        {main, "Main", "Empty", "d", ""},
        {main, "Main", "Dup", "", "first"},       // first match wins
        {main, "Main", "Other", "dflt", "dflt"},  // first section wins
        {main, "Main", ";Hidden", "d", "d"},      // comment lines hold no entries
        {main, "Main", "no equals sign here", "d", "d"},
        {main, "Main", "Inner", "", "=x="},
        {main, "Main", "After", "", "still Main"},  // "[unclosed" is no header
        {main, " Main\t", "\tPlain ", "", "abc"},   // the caller's names are trimmed
        {main, "padded", "k", "", "p"},             // so is a header's name
        {main, "Main", "Missing", "def  ", "def"},  // trailing spaces of the default dropped
        {main, "Main", "Missing", "\t", "\t"},      // not tabs
        {main, "Main", "Missing", nullptr, ""},
        {"", "S", "K", "dflt", "dflt"},  // no file at all
        // Line ends of every kind, none at the end.
        {"[a]\nx=1\r[b]\r\ny=2\n\rz=3", "b", "z", "", "3"},
        // Encodings: Windows-1252 unless a byte order mark says otherwise.
        {"[s]\r\nk=Soci\xE9t\xE9 \x80\r\n", "s", "k", "", "Soci\u00E9t\u00E9 \u20AC"},
        {"\xEF\xBB\xBF[s]\r\nk=Soci\u00E9t\u00E9\r\n", "s", "k", "", "Soci\u00E9t\u00E9"},
        {utf16, "s", "k", "", "\u00E4x"},
    };
    for (const Case& c : cases) {
        ProfileFile ini(c.content);
        EXPECT_EQ(ini.Get(c.section, c.key, c.def), c.expected) << c.section << "/" << c.key;
    }
}

TEST(GetPrivateProfileStringA, ValueTruncationAtEveryBufferSize) {
    ProfileFile ini("[S]\r\nK=abcdef\r\n");
    // size 0 writes nothing; otherwise the copy is cut to size - 1 and the result is its length.
    struct Case {
        DWORD size;
        DWORD result;
        std::string text;
    } cases[] = {{0, 0, ""}, {1, 0, ""}, {6, 5, "abcde"}, {7, 6, "abcdef"}};
    for (const Case& c : cases) {
        std::string buf(c.size + 1, '#');
        DWORD n = GetPrivateProfileStringA("S", "K", "", buf.data(), c.size, ini.path.c_str());
        EXPECT_EQ(std::make_tuple(n, buf.substr(0, n), buf[c.size]),
                  std::make_tuple(c.result, c.text, '#'))
            << c.size;
    }
}

TEST(GetPrivateProfileStringA, ListsAndTheirTruncation) {
    // Every entry as it stands (duplicates and case variants too), each followed by a NUL,
    // then one more NUL. A list that needs the whole buffer counts as cut like any longer
    // one: the last name is cut, two NULs follow, the result is size - 2. An empty list is
    // one NUL; a section without keys answers with the default.
    const std::string keys =
        "[s]\r\nname1=1\r\nname2=2\r\nname4=4\r\n[e]\r\n[x]\r\na=1\r\nb=\r\nA=3\r\n";
    const std::string sections = "[Sec]\r\n[SEC]\r\n[ padded ]\r\n[section1234]\r\n";  // 27 bytes
    struct Case {
        std::string content;
        const char* section;
        const char* def;
        DWORD size;
        DWORD result;
        std::string bytes;  // the buffer's first `size` bytes ('#' untouched)
    } cases[] = {
        {keys, "s", "", 20, 18, "name1\0name2\0name4\0\0"s},
        {keys, "s", "", 19, 17, "name1\0name2\0name4\0\0"s},
        {keys, "s", "", 6, 4, "name\0\0"s},
        {keys, "s", "", 2, 0, "\0\0"s},
        {keys, "s", "", 1, 0, "\0"s},
        {keys, "x", "", 10, 6, "a\0b\0A\0\0###"s.substr(0, 10)},
        {keys, "e", "dflt", 8, 4, "dflt\0###"s},     // no keys: the default
        {keys, "none", "dflt", 8, 4, "dflt\0###"s},  // no section: the default
        {keys, "e", "", 4, 0, "\0###"s},             // one NUL, the next byte untouched
        {sections, nullptr, "", 29, 27, "Sec\0SEC\0padded\0section1234\0\0#"s},
        {"", nullptr, "d", 4, 0, "\0###"s},  // missing file
    };
    for (const Case& c : cases) {
        ProfileFile ini(c.content);
        std::string out(c.size + 1, '#');
        DWORD n = GetPrivateProfileStringA(c.section, nullptr, c.def, out.data(), c.size,
                                           ini.path.c_str());
        EXPECT_EQ(std::make_tuple(n, out.substr(0, c.bytes.size()), out[c.size]),
                  std::make_tuple(c.result, c.bytes, '#'))
            << c.size;
    }
}

TEST(WritePrivateProfileStringA, EditsOnlyTheLinesItChangesInTheFilesOwnForm) {
    // Every other byte is kept; new lines take the file's line ends (CR LF in a new file)
    // and its encoding; a character the file cannot hold, or text that is not UTF-8, is
    // refused and nothing is written.
    const std::string file = "; c\njunk\n[One]\n  a = 1  \nb=2\n\n; about Two\n[Two]\nc=3";
    const std::string utf16 = Utf16("[s]\r\n");
    struct Case {
        bool ok;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {true, file, "one", "A", "10", "; c\njunk\n[One]\na=10\nb=2\n\n; about Two\n[Two]\nc=3"},
        {true, file, "One", "new", "x",
         "; c\njunk\n[One]\n  a = 1  \nb=2\nnew=x\n\n; about Two\n[Two]\nc=3"},
        {true, file, "Two", "d", "4", file + "\nd=4\n"},
        {true, file, "One", "b", nullptr, "; c\njunk\n[One]\n  a = 1  \n\n; about Two\n[Two]\nc=3"},
        {true, file, "Two", nullptr, nullptr, "; c\njunk\n[One]\n  a = 1  \nb=2\n\n; about Two\n"},
        {true, file, "Gone", nullptr, nullptr, file},
        {true, file, "One", "missing", nullptr, file},
        {true, "", "Sec", "Key", "Value", "[Sec]\r\nKey=Value\r\n"},
        {true, "[S]\r\nK=v\r\n", "Next", "K", "v", "[S]\r\nK=v\r\n[Next]\r\nK=v\r\n"},
        {true, "[section1]\rname1=val1\r", "section1", "name2", "v",
         "[section1]\rname1=val1\rname2=v\r"},
        {true, "[S]\r\nx=1\r", "S", "k", "v", "[S]\r\nx=1\rk=v\r\n"},  // never merges two lines
        {true, "[S]\r\nkey1=old\r\n", " S ", " key1\t", "new1", "[S]\r\nkey1=new1\r\n"},
        {true, "[ padded ]\r\nk=1\r\n", "padded", "k", "2", "[ padded ]\r\nk=2\r\n"},
        {true, "[S]\r\nk=Soci\xE9t\xE9\r\n", "S", "n", "\u20AC\u00E9",
         "[S]\r\nk=Soci\xE9t\xE9\r\nn=\x80\xE9\r\n"},
        {true, "\xEF\xBB\xBF[S]\r\n", "S", "k", "\u00E9\u4E2D",
         "\xEF\xBB\xBF[S]\r\nk=\u00E9\u4E2D\r\n"},
        {true, utf16, "s", "k", "\u00E9\U0001F600",
         utf16 + "k\0=\0\xE9\0\x3D\xD8\x00\xDE\r\0\n\0"s},
        {false, "[S]\r\nk=1\r\n", "S", "k", "\u4E2D", ""},
        {false, "[S]\r\nk=1\r\n", "S", "\xE9", "1", ""},
        {false, utf16, "s", "k", "\xFF", ""},
    };
    for (const Case& c : cases) {
        ProfileFile ini(c.before);
        EXPECT_EQ(ini.Set(c.section, c.key, c.value), c.ok) << c.after;
        EXPECT_EQ(ini.Content(), c.ok ? c.after : c.before) << c.after;
    }
    // The process's own write is read from memory; another program's rewrite in place, at
    // once, keeping the size or emptying the file, is still seen.
    ProfileFile ini("[S]\r\nk=1\r\n");
    ASSERT_TRUE(ini.Set("S", "k", "2"));
    EXPECT_EQ(ini.Get("S", "k"), "2");
    WriteFile(ini.path, "[S]\r\nk=3\r\n");
    EXPECT_EQ(ini.Get("S", "k"), "3");
    ASSERT_TRUE(ini.Set("S", "k", "4"));
    WriteFile(ini.path, "");
    EXPECT_EQ(ini.Get("S", "k", "none"), "none");
}

TEST(WritePrivateProfileStringA, RefusesLineBreaksAndUnwritableFiles) {
    ProfileFile ini("[S]\r\nK=v\r\n");
    for (const char* bad : {"a\nb", "a\rb", "a\r\n[Evil]\r\nX=1"}) {
        EXPECT_FALSE(ini.Set("S", "K", bad));
        EXPECT_FALSE(ini.Set("S", bad, "v"));
        EXPECT_FALSE(ini.Set(bad, "K", "v"));
    }
    EXPECT_EQ(ini.Content(), "[S]\r\nK=v\r\n");
    // Removing a section ignores the text, whatever it holds.
    EXPECT_TRUE(ini.Set("S", nullptr, "x\ny"));
    EXPECT_EQ(ini.Content(), "");
    WriteFile(ini.path, "[S]\r\nK=v\r\n");

    TempDir dir;
    const std::string nowhere = dir.str() + "/no/such/folder.ini";
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", nowhere.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", nullptr, nowhere.c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));  // a deletion creates no folder
    EXPECT_FALSE(ini.Set(nullptr, "K", "v"));

    std::filesystem::permissions(
        ini.path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_FALSE(ini.Set("S", "K", "changed"));
    EXPECT_FALSE(ini.Set("S", "K", nullptr));
    EXPECT_EQ(ini.Content(), "[S]\r\nK=v\r\n");
    EXPECT_EQ(ini.Get("S", "K"), "v");
}

TEST(WritePrivateProfileStringA, WritableFileInAFolderThatIsNot) {
    // The folder refuses new files (as the super-user, the write runs as another user),
    // the file itself may be written: it is rewritten in place, and no file is left beside it.
    ProfileFile ini("[S]\r\nK=v\r\n");
    ::chmod(ini.path.c_str(), 0666);
    ::chmod(ini.dir.str().c_str(), 0755);
    if (::geteuid() != 0) ::chmod(ini.dir.str().c_str(), 0555);
    pid_t pid = fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(2);
        _exit(ini.Set("S", "K", "new") && ini.Set("S", "K2", "2") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ::chmod(ini.dir.str().c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ini.Content(), "[S]\r\nK=new\r\nK2=2\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ini.dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WritePrivateProfileStringA, RelativeNamesResolveAsOnWindows) {
    // A bare name lives in the Windows folder; a name with a folder part is taken from the
    // current folder, '\' or '/' alike.
    TempMachine machine;
    TempDir cwd;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(cwd.path());
    std::filesystem::create_directory("COMPANY");
    EXPECT_TRUE(WritePrivateProfileStringA("S", "K", "v", "relative.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("S", "K", "c", "COMPANY\\OstrelLumaro.ini"));
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buf, sizeof buf, "relative.ini"), 1u);
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buf, sizeof buf, "COMPANY/OstrelLumaro.ini"),
              1u);
    EXPECT_EQ(std::string(buf), "c");
    std::filesystem::current_path(before);
    EXPECT_EQ(ReadFile(machine.path() / "Windows" / "relative.ini"), "[S]\r\nK=v\r\n");
    EXPECT_EQ(ReadFile(cwd.path() / "COMPANY" / "OstrelLumaro.ini"), "[S]\r\nK=c\r\n");
}
