#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "settings/IniFile.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

using test::TempMachine;
using test::WriteFile;

class IniFileTest : public ::testing::Test {
protected:
    IniFile Open(const std::string& section = "S", const std::string& key = "K") {
        IniFile ini;
        ini.SetPath(file_);
        ini.SetSection(section);
        ini.SetKey(key);
        return ini;
    }

    TempMachine machine_;
    std::string file_ = (machine_.path() / "Test.ini").string();
};

// How values are read and trimmed is the profile function's (its tests hold the table);
// here: the default passes through (a missing file gives it as the profile function does).
TEST_F(IniFileTest, DefaultWhenAbsent) {
    WriteFile(file_, "[S]\nE=\n");
    IniFile ini = Open("S", "E");
    ini.SetDefault("dflt");
    EXPECT_EQ(ini.value(), "");
    ini.SetKey("Missing");
    EXPECT_EQ(ini.value(), "dflt");
}

// NULs removed, long values cut by the read buffer; a section with an empty name is
// skipped in the 1-based list of sections (element 0 unused).
TEST_F(IniFileTest, WritesAndSectionList) {
    IniFile ini = Open("A", "K");
    std::vector<std::string> names{"stale"};
    int32_t count = 7;
    ini.EnumerateAllSections(names, count);  // file missing
    EXPECT_EQ(std::pair(count, names.size()), std::pair(0, size_t{0}));
    ini.SetValue(std::string("a\0b\0c", 5));
    EXPECT_EQ(ini.value(), "abc");
    ini.SetValue(std::string(8200, 'x'));
    EXPECT_EQ(ini.value(), std::string(IniFile::kBufferSize - 1, 'x'));

    WriteFile(file_, "[A]\nk1=1\n[]\nk=2\n[B]\nk3=3\n");
    ini.EnumerateAllSections(names, count);
    EXPECT_EQ(std::pair(count, names), std::pair(2, std::vector<std::string>{"", "A", "B"}));
}

TEST_F(IniFileTest, BooleanValueTruthTable) {
    struct Case {
        const char* stored;
        bool expected;
    } cases[] = {{"Yes", true}, {"TRUE", true}, {"1", true},          {"Y", false},
                 {"on", false}, {"-1", false},  {"yes please", false}};
    IniFile ini = Open();
    for (const auto& c : cases) {
        ini.SetValue(c.stored);
        EXPECT_EQ(ini.BooleanValue(), c.expected) << c.stored;
    }
}

TEST(IniFileCLngDefaultTest, ConvertsOrFallsBack) {
    std::vector<int32_t> got;
    for (const char* text :
         {"2.5", "3.5", " 7 ", "1e3", "2147483647", "-2147483648.5", "&O17", "&H1F", "-1,234.5",
          "abc", "", "2147483648", "2147483647.5", "1 2", "&O8", ",1", "1,", "1.5,0"})
        got.push_back(IniFile::CLngDefault(text, 9));
    EXPECT_EQ(got, (std::vector<int32_t>{2, 4, 7, 1000, INT32_MAX, INT32_MIN, 15, 31, -1234, 9, 9,
                                         9, 9, 9, 9, 9, 9, 9}));
}

}  // namespace
}  // namespace lumaro
