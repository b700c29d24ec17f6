#pragma once
// What the order being entered needs of one item at one location, against what the
// location has available: the shortage signal of the Quantity panel. Pure functions of
// the order's lines, so that they are checked without a window.
//
// The location's figures already hold every saved line of every order (on sales order,
// and committed, so not available). What this order still needs is therefore what its
// lines hold now less what its lines held when it was last saved: a new line counts whole,
// a saved line only by what it was changed, and a saved line deleted or moved to another
// item or location gives its saved quantity back here. All of it in the stocking unit, the
// unit of the figures.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumaro {

struct LineQuantity {
    std::string item;  // the item number as the line holds it (stored or formatted form)
    std::string location;
    std::string unit;     // empty: the stocking unit
    double quantity = 0;  // in the line's unit
};

// The number of stocking units in one of the given unit (in upper case); nullopt when the
// item has no such unit.
using UnitFactor = std::function<std::optional<double>(const std::string& unit)>;

struct ShortageCheck {
    std::vector<std::string> itemNumbers;  // every form of the item's number
    std::string location;
    std::string stockingUnit;
    double available = 0;  // in the stocking unit
};

struct Shortage {
    std::string unknownUnit;  // a line's unit without a factor: nothing is compared
    double needed = 0;        // by this order beyond its saved lines, in the stocking unit
    double available = 0;
    bool IsShort() const;
    // "This order needs 30, 12 available: short 18" (numbers with the controls'
    // decimals), the unit without a factor, or empty when the order's need fits.
    std::string Text(int decimals) const;
};

// lines: the order's lines as entered now; saved: its lines as last saved (none for an
// order never saved).
Shortage OrderShortage(const std::vector<LineQuantity>& lines,
                       const std::vector<LineQuantity>& saved, const ShortageCheck& check,
                       const UnitFactor& factor);

}  // namespace lumaro
