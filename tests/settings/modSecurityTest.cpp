#include <gtest/gtest.h>

#include <random>

#include "common/WaitCursor.h"
#include "common/Windows1252.h"
#include "settings/modSecurity.h"

namespace lumaro {
namespace {

std::string Chars(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes) s.push_back(static_cast<char>(c));
    return s;
}

TEST(modSecurityTest, RecordsOfTheStoredForm) {
    struct Case {
        int code;
        int factor;
        std::string record;
    } cases[] = {
        // 65 with factor 10: x = 291000 = 33*93^2 + 60*93 + 3
        {65, 10, "3" + Chars({66, 93, 36})},
        // 255 with factor 10: the smallest x, 101000
        {255, 10, "3" + Chars({33 + 11, 33 + 63, 33 + 2})},
        // 0 with factor 28: the largest x, 992840
        {0, 28, "4" + Chars({33 + 1, 33 + 21, 33 + 73, 33 + 65})},
        // 32 with factor 28 (p = 9044, x = 902844): four digits, the first "\""
        {32, 28, "4" + Chars({34, 33 + 11, 33 + 36, 33 + 0})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeRecord(static_cast<unsigned char>(c.code), c.factor), c.record) << c.code;
        EXPECT_EQ(DecodeText(c.record), Utf8FromWindows1252(Chars({c.code})));
    }
}

TEST(modSecurityTest, EveryByteAndFactorComesBack) {
    std::string all, stored;
    for (int code = 0; code < 256; ++code) {
        all.push_back(static_cast<char>(code));
        for (int factor = 10; factor <= 28; ++factor)
            stored += EncodeRecord(static_cast<unsigned char>(code), factor);
    }
    // Each record stands for a Windows-1252 code: the text comes back as UTF-8.
    std::string expected;
    for (char c : all) expected += Utf8FromWindows1252(std::string(19, c));
    EXPECT_EQ(DecodeText(stored), expected);
    // Printable records of four or five characters, the first telling which.
    for (char c : stored) ASSERT_TRUE(c >= 33 && c <= 125) << static_cast<int>(c);
    EXPECT_GE(stored.size(), 4 * 256 * 19u);
    EXPECT_LE(stored.size(), 5 * 256 * 19u);
    const std::string text = Utf8FromWindows1252(all);
    EXPECT_EQ(DecodeText(EncodeText(text)), text);
    EXPECT_NE(EncodeText(text), EncodeText(text));          // the factors are drawn at random
    EXPECT_EQ(DecodeText(EncodeText("\u4E2D\xFF")), "??");  // no Windows-1252 code
    EXPECT_EQ(EncodeText("") + DecodeText(""), "");
}

// Text typed by hand, or random bytes, decode to some string without touching memory
// outside the input; one character per record that starts.
TEST(modSecurityTest, DecodeOfForeignTextGivesGarbageOnly) {
    std::vector<size_t> counts;
    for (const std::string& stored :
         {std::string("9}}}}}}}}}"), std::string("3!"), std::string("4"), Chars({1, 2, 0, 32}),
          std::string("0000"), "5" + Chars({255, 255, 255, 255, 255})})
        counts.push_back(CharacterCount(DecodeText(stored)));
    EXPECT_EQ(counts, (std::vector<size_t>{1, 1, 1, 4, 4, 1}));
    (void)DecodeText("Provider=SQLite;Data Source=c:\\db.sqlite");
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::string stored(random() % 40, '\0');
        for (char& c : stored) c = static_cast<char>(random() % 3 ? random() : '0' + random() % 10);
        const std::string decoded = DecodeText(stored);
        ASSERT_LE(CharacterCount(decoded), stored.size());
    }
}

TEST(modSecurityTest, ShowsTheHourglassWhileRunning) {
    int shown = 0, restored = 0;
    WaitCursor::SetHooks([&] { ++shown; }, [&] { ++restored; });
    DecodeText(EncodeText("Pwd=secret"));
    WaitCursor::SetHooks(nullptr, nullptr);
    EXPECT_EQ(std::pair(shown, restored), std::pair(2, 2));
}

}  // namespace
}  // namespace lumaro
