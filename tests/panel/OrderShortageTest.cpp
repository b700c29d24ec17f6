// What an order needs of an item at a location, against what is available there.

#include <gtest/gtest.h>

#include "panel/OrderShortage.h"

namespace lumaro {
namespace {

using Lines = std::vector<LineQuantity>;
LineQuantity At(double quantity, const char* location = "WH1", const char* unit = "EA",
                const char* item = "A11030") {
    return {item, location, unit, quantity};
}

TEST(OrderShortageTest, NeedsOfTheOrderAgainstAvailable) {
    const UnitFactor factor = [](const std::string& unit) {
        return unit == "CASE" ? std::optional<double>(12) : std::nullopt;
    };
    const struct {
        Lines lines, saved;
        double available, needed;
        bool isShort;
    } cases[] = {
        {{At(30)}, {}, 12, 30, true},
        {{At(12)}, {}, 12, 12, false},                              // just fits
        {{At(8), At(7, "wh1", "", "a1-103/0")}, {}, 12, 15, true},  // any form of the item adds up
        {{At(10), At(50, "WH2"), At(50, "WH1", "EA", "B1")}, {}, 12, 10, false},  // others apart
        {{At(10), At(10)}, {At(10)}, 12, 10, false},  // a saved line is not counted twice
        {{At(25)}, {At(10)}, 12, 15, true},           // a saved line counts by its change
        {{At(10, "WH2"), At(20)}, {At(10), At(5)}, 12, 5, false},  // saved: moved away, deleted
        {{At(10)}, {At(10)}, -3, 0, false},              // a saved order needs nothing more
        {{At(2, "WH1", "case")}, {}, 12, 24, true},      // the case unit converts
        {{At(30)}, {At(2, "WH1", "CASE")}, 5, 6, true},  // saved in cases, now in units
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const Shortage s = OrderShortage(
            c.lines, c.saved, {{"A11030", "A1-103/0"}, "WH1", "EA", c.available}, factor);
        EXPECT_DOUBLE_EQ(s.needed, c.needed);
        EXPECT_EQ(s.IsShort(), c.isShort);
    }
    auto text = [&](const Lines& lines, double available, int decimals) {
        return OrderShortage(lines, {}, {{"A11030"}, "WH1", "EA", available}, factor)
            .Text(decimals);
    };
    EXPECT_EQ(text({At(30)}, 12, 0), "This order needs 30, 12 available: short 18");
    EXPECT_EQ(text({At(4)}, -3, 0), "This order needs 4, -3 available: short 4");  // none to take
    EXPECT_EQ(text({At(1234.5)}, 0, 2),
              "This order needs 1,234.50, 0.00 available: short 1,234.50");
    EXPECT_EQ(text({At(40, "WH1", "BOX")}, 12, 0),
              "The order's need is not compared: the item has no unit BOX.");
}

}  // namespace
}  // namespace lumaro
