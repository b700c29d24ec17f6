// What an order needs of an item at a location, against what is available there.

#include <gtest/gtest.h>

#include <map>

#include "panel/OrderShortage.h"

namespace lumaro {
namespace {

using Lines = std::vector<LineQuantity>;
LineQuantity At(const char* location, double quantity, const char* unit = "EA",
                const char* item = "A11030") {
    return {item, location, unit, quantity};
}

TEST(OrderShortageTest, NeedsOfTheOrderAgainstAvailable) {
    const std::map<std::string, double> units{{"CASE", 12}};
    const UnitFactor factor = [&](const std::string& unit) -> std::optional<double> {
        auto it = units.find(unit);
        return it == units.end() ? std::nullopt : std::optional(it->second);
    };
    struct Case {
        const char* what;
        Lines lines, saved;
        double available;
        std::string text;  // at 0 decimals
    } cases[] = {
        {"one new line", {At("WH1", 30)}, {}, 12, "This order needs 30, 12 available: short 18"},
        {"just fits", {At("WH1", 12)}, {}, 12, ""},
        {"two new lines add up (item in either form, any letter case)",
         {At("WH1", 8), At("wh1", 7, "", "a1-103/0")},
         {},
         12,
         "This order needs 15, 12 available: short 3"},
        {"other items and locations do not count",
         {At("WH1", 10), At("WH2", 50), At("WH1", 50, "EA", "B1")},
         {},
         12,
         ""},
        {"a saved line is not counted twice",
         {At("WH1", 10), At("WH1", 10)},
         {At("WH1", 10)},
         12,
         ""},
        {"a saved order needs nothing more of a location it overdraws",
         {At("WH1", 10)},
         {At("WH1", 10)},
         -3,
         ""},
        {"a saved line counts by its change",
         {At("WH1", 25)},
         {At("WH1", 10)},
         12,
         "This order needs 15, 12 available: short 3"},
        {"a saved line moved away or deleted gives its quantity back",
         {At("WH2", 10), At("WH1", 20)},
         {At("WH1", 10), At("WH1", 5)},
         12,
         ""},
        {"the case unit converts",
         {At("WH1", 2, "case")},
         {},
         12,
         "This order needs 24, 12 available: short 12"},
        {"a saved line in cases changed to units",
         {At("WH1", 30)},
         {At("WH1", 2, "CASE")},
         5,
         "This order needs 6, 5 available: short 1"},
        {"nothing available: short by the whole need",
         {At("WH1", 4)},
         {},
         -3,
         "This order needs 4, -3 available: short 4"},
        {"a unit without a factor",
         {At("WH1", 40, "BOX")},
         {},
         12,
         "The order's need is not compared: the item has no unit BOX."},
    };
    const ShortageCheck check{{"A11030", "A1-103/0"}, "WH1", "EA", 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShortageCheck at = check;
        at.available = c.available;
        const Shortage s = OrderShortage(c.lines, c.saved, at, factor);
        EXPECT_EQ(s.Text(0), c.text);
        EXPECT_EQ(s.IsShort(), c.text.rfind("This", 0) == 0);
    }
    EXPECT_EQ(OrderShortage({At("WH1", 1234.5)}, {}, check, factor).Text(2),
              "This order needs 1,234.50, 0.00 available: short 1,234.50");
}

}  // namespace
}  // namespace lumaro
