#pragma once
// The five columns the quantity query returns, each with the quantity record field it
// fills, in the order they are written. The settings test and the panel read the same list.

namespace lumaro {

struct QuantityColumn {
    const char* name;
    int field;
};
inline constexpr QuantityColumn kQuantityColumns[] = {
    {"QTONHAND", 3}, {"QTONORDER", 4}, {"QTSALORDR", 5}, {"QTAVAIL", 6}, {"QTCOMMIT", 12},
};

}  // namespace lumaro
