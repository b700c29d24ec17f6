#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>

#include "common/RuntimeError.h"
#include "common/Variant.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

TEST(VariantTest, TextOfValues) {
    struct Case {
        Variant value;
        const char* text;
    } cases[] = {
        {Variant(3.7), "3.7"},          {Variant(0.0001), "0.0001"},
        {Variant(0.00001), "1E-05"},    {Variant(123456789012345.0), "123456789012345"},
        {Variant(1e15), "1E+15"},       {Variant(0.1 + 0.2), "0.3"},
        {Variant(true), "True"},        {Variant(false), "False"},
        {Variant(int32_t{-42}), "-42"}, {Variant(), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value.ToString(), c.text);
}

TEST(VariantTest, WholeNumbersRoundHalfToEven) {
    struct Case {
        Variant value;
        int32_t expected;
    } cases[] = {
        {Variant("2.5"), 2}, {Variant(" 3.5 "), 4}, {Variant(-2.5), -2},
        {Variant("12"), 12}, {Variant(2.51), 3},    {Variant(true), -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value.ToLong(), c.expected) << c.value.ToString();
}

TEST(VariantTest, ConversionErrors) {
    struct Case {
        Variant value;
        int32_t number;
    } cases[] = {
        {Variant("abc"), kErrTypeMismatch},      {Variant("1e10"), kErrOverflow},
        {Variant::Null(), kErrInvalidUseOfNull}, {Variant("inf"), kErrTypeMismatch},
        {Variant("0x10"), kErrTypeMismatch},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test::RaisedBy([&] { (void)c.value.ToLong(); }).Number(), c.number);
    EXPECT_THROW((void)Variant(int32_t{40000}).ToInteger(), RuntimeError);
    // 64 bits: the whole range converts, 2^63 does not.
    EXPECT_EQ(Variant("5e18").ToLongLong(), 5000000000000000000LL);
    EXPECT_EQ(Variant(-0x1p63).ToLongLong(), INT64_MIN);
    EXPECT_THROW((void)Variant(0x1p63).ToLongLong(), RuntimeError);
}

TEST(VariantTest, Booleans) {
    EXPECT_EQ((std::vector<bool>{Variant("TRUE").ToBool(), Variant("false").ToBool(),
                                 Variant("-1").ToBool(), Variant("0").ToBool()}),
              (std::vector<bool>{true, false, true, false}));
    EXPECT_THROW((void)Variant("yes").ToBool(), RuntimeError);
}

// Qt applications take the user's locale for the C library; numbers must not follow it.
TEST(VariantTest, NumberTextIgnoresTheProcessLocale) {
    const char* previous = setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!setlocale(LC_NUMERIC, "de_DE.UTF-8") && !setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(Variant(3.25).ToString(), "3.25");
    EXPECT_DOUBLE_EQ(Variant("3.25").ToDouble(), 3.25);
    setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace lumaro
