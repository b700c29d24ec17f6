#include "panel/OrderShortage.h"

#include <algorithm>

#include "common/TextUtil.h"
#include "panel/QuantityLookup.h"

namespace lumaro {

namespace {

// Below this a difference is rounding, not a shortage.
constexpr double kTolerance = 1e-9;

}  // namespace

bool Shortage::IsShort() const {
    // An order that needs nothing more is never short, however low the location is.
    return unknownUnit.empty() && needed > kTolerance && needed > available + kTolerance;
}

std::string Shortage::Text(int decimals) const {
    if (!unknownUnit.empty())
        return "The order's need is not compared: the item has no unit " + unknownUnit + ".";
    if (!IsShort()) return {};
    return "This order needs " + FormatQuantity(needed, decimals) + ", " +
           FormatQuantity(available, decimals) + " available: short " +
           FormatQuantity(needed - std::max(available, 0.0), decimals);
}

Shortage OrderShortage(const std::vector<LineQuantity>& lines,
                       const std::vector<LineQuantity>& saved, const ShortageCheck& check,
                       const UnitFactor& factor) {
    Shortage result;
    result.available = check.available;
    auto counts = [&](const LineQuantity& q) {
        if (!EqualsIgnoreCase(TrimSpaces(q.location), check.location)) return false;
        const std::string item = TrimSpaces(q.item);
        return std::any_of(check.itemNumbers.begin(), check.itemNumbers.end(),
                           [&](const std::string& n) { return EqualsIgnoreCase(item, n); });
    };
    // The quantity in stocking units; nullopt (and the unit noted) without a factor.
    auto stocking = [&](const LineQuantity& q) -> std::optional<double> {
        const std::string unit = ToUpperAscii(TrimSpaces(q.unit));
        if (unit.empty() || EqualsIgnoreCase(unit, check.stockingUnit)) return q.quantity;
        if (std::optional<double> f = factor ? factor(unit) : std::nullopt) return q.quantity * *f;
        if (result.unknownUnit.empty()) result.unknownUnit = unit;
        return std::nullopt;
    };
    for (const LineQuantity& line : lines)
        if (counts(line)) result.needed += stocking(line).value_or(0);
    for (const LineQuantity& line : saved)
        if (counts(line)) result.needed -= stocking(line).value_or(0);
    return result;
}

}  // namespace lumaro
