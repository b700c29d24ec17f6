#include <gtest/gtest.h>

#include "common/RuntimeError.h"
#include "globals/Globals.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

struct FormatCase {
    const char* pattern;
    std::vector<Variant> args;
    std::string expected;
};

TEST(GlobalsTest, FormatStringFillsAndPads) {
    const FormatCase cases[] = {
        {"ITEMNO='%s' AND LOCATION='%s'", {"A1", "WH1"}, "ITEMNO='A1' AND LOCATION='WH1'"},
        {"100%% done", {}, "100% done"},
        {"100% done", {5}, "1005one"},  // "% d": blank flag, conversion d
        {"%5s", {"abc"}, "  abc"},
        {"%-5s", {"abc"}, "abc  "},
        {"%3s", {"abcdef"}, "###"},
        {"%S|%s", {"x", 42}, "x|42"},
        {"%05d", {42}, "00042"},
        {"%06d", {-42}, "######"},  // a minus sign never fits a zero picture
        {"%05d", {-0.4}, "00000"},
        {"%05d", {2.5}, "00003"},    // zero picture rounds half away from zero
        {"%05d", {"abc"}, "abc  "},  // not a number: kept as text
        {"%-05d", {42}, "42   "},    // second flag is width: no zero padding
        {"%+5d|% 5d|%#5d", {1, 2, 3}, "    1|    2|    3"},
        {"%3d", {3.7}, "3.7"},
        {"%5d", {true}, " true"},
        {"%ld|%5ld|%i|%u", {7, 8, 9, 10}, "7|    8|9|10"},
        {"%4.2f", {2.675}, "2.68"},  // half away from zero on the decimal digits
        {"%6.2f", {-0.125}, "-0.13 "},
        {"%8.0f", {3.7}, "4.      "},
        {"%7.1f", {"x"}, "x      "},
        {"%f|%g|%G|%E", {0.5, 2.0, 1.5, 1e20}, "0.5|2|1.5|1e+20"},
        {"%04X", {255}, "00FF"},
        {"%6.4x", {255}, "  00ff"},
        {"%4x", {255}, "  ff"},
        {"%1x", {255}, "ff"},  // picture shorter than the digits is dropped
        {"%x|%x", {-1, int16_t{-1}}, "ffffffff|ffff"},
        {"%X", {2.5}, "2"},  // whole number rounded half to even
        {"%5.3d", {42}, "  042"},
        {"a\\tb%s", {"c\\td"}, "a\tbc\td"},
        // Characters between two percent signs are dropped, yet both signs were counted.
        {"%5%|%s", {"z", 1, 2}, "%|z"},
        // An array as the first argument stands for the arguments.
        {"%s/%s", {Variant(std::vector<Variant>{"A1", "WH1"}), "ignored"}, "A1/WH1"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatString(c.pattern, c.args), c.expected) << c.pattern;
}

TEST(GlobalsTest, FormatStringErrors) {
    struct Case {
        std::string pattern;
        std::vector<Variant> args;
        int32_t number;
        std::string description;  // empty: not checked
    } cases[] = {
        {"% d", {}, 450, "Mismatch of parameters for string % d.  Expected 1 but received 0."},
        {"x%lxy", {1}, 93, "Unrecognized pattern %lx in x%lxy"},
        {"x%l", {1}, 93, "Unrecognized pattern %l in x%l"},
        {"%", {1}, 93, "Invalid % format in <%>"},
        {"%3.2f", {1.0}, 5, ""},
        {"%40000s", {"a"}, 6, ""},
        {std::string(32768, 'a'), {}, 6, ""},
        {"%x", {"abc"}, 13, ""},
        {"%s", {std::vector<Variant>{}}, 450, ""},  // unwrapped: no arguments
        {"%s|%s", {"a", std::vector<Variant>{}}, 13, ""},
        {"%s", {Variant::Null()}, 94, ""},
        {"%x", {Variant::Null()}, 94, ""},
    };
    for (const auto& c : cases) {
        const RuntimeError e = test::RaisedBy([&] { FormatString(c.pattern, c.args); });
        EXPECT_EQ(e.Number(), c.number) << c.pattern.substr(0, 20);
        if (!c.description.empty()) {
            EXPECT_EQ(e.Description(), c.description);
        }
    }
}

TEST(GlobalsTest, FormatArgumentOpenCases) {
    EXPECT_EQ(FormatArgument("%", FormatKind::Text, false, "abc"), "");
    EXPECT_EQ(FormatArgument("%05.3d", FormatKind::Whole, false, 42),
              "  042");  // zero flag ignored
    EXPECT_EQ(FormatArgument("%08.4X", FormatKind::Hex, true, 255), "    00FF");
    EXPECT_EQ(FormatArgument("%5.2s", FormatKind::Text, false, "abcdef"), "   ab");  // printf-like
}

TEST(GlobalsTest, ExpandEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\\nb", "a\r\nb"}, {"\\r\\t", "\r\t"}, {"a\\\\nb", "a\\nb"}, {"\\q", "q"},
        {"end\\", "end"},    {"\\\\\\", "\\"},   {"plain", "plain"},   {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(ExpandEscapes(in), out) << in;
}

TEST(GlobalsTest, QuotingAndParameterStrings) {
    EXPECT_EQ(QuoteSQL("O'Neil''s"), "O''Neil''''s");

    EXPECT_EQ(KVEscape("\\="), "\\\\\\eq");
    EXPECT_EQ(KVEscape("x\ny\rz\\0"), "x\\0y\rz\\\\0");
    EXPECT_EQ(KVPair("ITEMNO", ""), "ITEMNO=\n");

    EXPECT_EQ(KVBuildList(StringArray({"ITEMNO", "LOCATION", "DOCTYPE"}),
                          StringArray({"A1-103/0", "WH1", 2})),
              "ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=2\n");
    EXPECT_EQ(KVBuildList({"ITEMNO"}, {"A=B  "}), "ITEMNO=A\\eqB  \n");
    EXPECT_EQ(KVBuildList({"A", "B"}, {"1"}), "");

    const std::vector<Variant> inner{"b", 3};
    EXPECT_EQ(StringArray({"a", Variant(inner), 1.5, true}),
              (std::vector<std::string>{"a", "b", "3", "1.5", "True"}));
    EXPECT_EQ(StringArray({"a", Variant::Null()}), std::vector<std::string>{""});
    EXPECT_EQ(StringArray({Variant(std::vector<Variant>{})}), std::vector<std::string>{""});
}

}  // namespace
}  // namespace lumaro
