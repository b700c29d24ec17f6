// The registry value text that hive files and exported/imported registry files share.

#include <gtest/gtest.h>

#include "winapi/RegText.h"

using namespace std::string_literals;
namespace regtext = winapi::regtext;
using regtext::Error;

TEST(RegText, DataTextReadsAsTheRegistryEditorWritesItAndNamesWhatIsWrong) {
    struct Case {
        const char* text;
        Error error;
        DWORD type;
        std::string data;
    } cases[] = {
        {R"( "C:\\a \"q\" \n" )", Error::None, REG_SZ, "C:\\a \"q\" \\n\0"s},
        {"DWORD:0000002A", Error::None, REG_DWORD, "\x2a\0\0\0"s},
        {"hex: 1, 2 ,ff", Error::None, REG_BINARY, "\x01\x02\xff"s},
        {"hex(7):fc,00,00,00,00,00", Error::None, REG_MULTI_SZ, "\xC3\xBC\0\0"s},
        {"hex(1):ff,dc,00,00", Error::None, REG_SZ, "\xFF\0"s},  // a byte that is not UTF-8
        {"hex(ffffffff):09", Error::None, 0xFFFFFFFF, "\x09"},
        {"\"open", Error::UnclosedQuote, 0, ""},
        {"\"x\" more", Error::TextAfterQuote, 0, ""},
        {"dword:123456789", Error::BadDword, 0, ""},
        {"dword: 2a", Error::None, REG_DWORD, "\x2a\0\0\0"s},
        {"dword:", Error::BadDword, 0, ""},
        {"hex():01", Error::BadHexType, 0, ""},
        {"hex(100000000):01", Error::BadHexType, 0, ""},
        {"hex(2)01", Error::BadHexType, 0, ""},
        {"hex:1g", Error::BadHexBytes, 0, ""},
        {"hex:123", Error::BadHexBytes, 0, ""},
        {"hex:01,,02", Error::BadHexBytes, 0, ""},
        {"hex(2):41,00,00", Error::OddUtf16, 0, ""},
        {"-", Error::UnknownData, 0, ""},
        {"qword:1", Error::UnknownData, 0, ""},
    };
    for (const Case& c : cases) {
        DWORD type = 0;
        std::string data;
        EXPECT_EQ(regtext::ReadData(c.text, type, data), c.error) << c.text;
        if (c.error != Error::None) continue;
        EXPECT_EQ(std::make_pair(type, data), std::make_pair(c.type, c.data)) << c.text;
    }
}

// Writing and reading every type through a hive file is RegistryTest's.
TEST(RegText, AKeyHeaderNeverContinuesABrokenValue) {
    const std::vector<std::string_view> broken = {"\"b\"=hex:01,\\", "[HKEY_USERS\\X]"};
    std::string joined;
    EXPECT_EQ(regtext::JoinContinued(broken, 0, joined), 0u);
    EXPECT_EQ(joined, "\"b\"=hex:01,\\");
}
