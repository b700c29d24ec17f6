#pragma once
// The views of the local platform: each view id names a table (or a computed row) of the
// company database, and each field of a view has a fixed index. Programs and screens
// address fields only by these indexes.
//
// IC0310  item (table ICITEM)
//     1 ITEMNO     key; accepts the formatted (A1-103/0) or stored (A11030) item number,
//                  holds the stored form after a read
//     7 FMTITEMNO  formatted item number, with the segment separators
//    11 DESC       description
//    12 CATEGORY   product line (the first segment)
//    14 STOCKITEM  Boolean: kept in stock (false for services)
//    16 STOCKUNIT  unit of measure
// IC0312  units of an item (table ICITEMU)
//     1 ITEMNO     key (formatted or stored form, stored form after a read)
//     2 UNIT       key, upper case
//     3 CONVERSION stocking units in one of this unit (1 for the stocking unit)
// IC0370  location (table ICLOC)
//     1 LOCATION   key
//     2 DESC       description
// IC0374  location quantities of an item (table ICILOC); all quantities are numbers
//     1 ITEMNO     key (formatted or stored form, stored form after a read)
//     2 LOCATION   key
//     3 QTONHAND   on hand: QTYONHAND + QTYRENOCST + QTYADNOCST - QTYSHNOCST
//     4 QTONORDER  on purchase order (QTYONORDER)
//     5 QTSALORDR  on sales order (QTYSALORDR)
//     6 QTAVAIL    available: on hand - QTYCOMMIT
//     7 QTYONHAND, 8 QTYRENOCST, 9 QTYADNOCST, 10 QTYSHNOCST  the stored parts of on hand
//    12 QTYCOMMIT  committed
// IC0380  inventory options (table ICOPT, one record; no key)
//     1 OPTKEY     always 1
//     3 DEFLOC     default location of new order lines
//    62 QTYDECS    number of decimals shown for quantities
// OE0520  order header (table OEORDH)
//     1 ORDUNIQ    key, 32-bit; 0 for an order not saved yet
//     2 ORDNUMBER  order number (ORD000001), "*** NEW ***" before the first save
//     3 CUSTOMER   customer number; a verified write fills 4
//     4 BILNAME    customer name
//     5 ORDDATE    order date, yyyy-MM-dd
//     6 TYPE       1 active (quantities committed), 2 future (not committed)
//     7 REFERENCE  free text
// OE0500  order detail line (table OEORDD)
//     1 ORDUNIQ    key, 32-bit
//     2 LINENUM    key, 32-bit, from 1
//     3 ITEMNO     stored item number (filled when field 4 is written with verification)
//     4 ITEM       item number as entered; a verified write of a known item replaces it by
//                  the item's formatted number and fills 3, 5, 9 and 14
//     5 DESC       description
//     6 LOCATION   location
//     7 QTYORDERED quantity ordered
//     8 QTYCOMMIT  quantity committed (set when the order is saved)
//     9 UNIT       unit of measure
//    10 UNITPRICE  unit price
//    14 STOCKITEM  Boolean: the line's item is a stock item

#include <string>
#include <string_view>
#include <vector>

namespace accpac::local {

inline constexpr const char* kViewItem = "IC0310";
inline constexpr const char* kViewItemUnit = "IC0312";
inline constexpr const char* kViewLocation = "IC0370";
inline constexpr const char* kViewItemLocation = "IC0374";
inline constexpr const char* kViewICOptions = "IC0380";
inline constexpr const char* kViewOrderHeader = "OE0520";
inline constexpr const char* kViewOrderDetail = "OE0500";

// Field indexes used by the platform's own code and screens.
namespace item {
enum : int { ITEMNO = 1, FMTITEMNO = 7, DESC = 11, CATEGORY = 12, STOCKITEM = 14, STOCKUNIT = 16 };
}
namespace itemunit {
enum : int { ITEMNO = 1, UNIT = 2, CONVERSION = 3 };
}
namespace location {
enum : int { LOCATION = 1, DESC = 2 };
}
namespace itemlocation {
enum : int {
    ITEMNO = 1,
    LOCATION = 2,
    QTONHAND = 3,
    QTONORDER = 4,
    QTSALORDR = 5,
    QTAVAIL = 6,
    QTYONHAND = 7,
    QTYRENOCST = 8,
    QTYADNOCST = 9,
    QTYSHNOCST = 10,
    QTYCOMMIT = 12
};
}
namespace icoptions {
enum : int { OPTKEY = 1, DEFLOC = 3, QTYDECS = 62 };
}
namespace orderheader {
enum : int {
    ORDUNIQ = 1,
    ORDNUMBER = 2,
    CUSTOMER = 3,
    BILNAME = 4,
    ORDDATE = 5,
    TYPE = 6,
    REFERENCE = 7
};
}
namespace orderdetail {
enum : int {
    ORDUNIQ = 1,
    LINENUM = 2,
    ITEMNO = 3,
    ITEM = 4,
    DESC = 5,
    LOCATION = 6,
    QTYORDERED = 7,
    QTYCOMMIT = 8,
    UNIT = 9,
    UNITPRICE = 10,
    STOCKITEM = 14
};
}

enum class FieldType { Text, Number, Long, Boolean };

struct FieldDefinition {
    int index = 0;
    std::string name;
    FieldType type = FieldType::Text;
    std::string expression;  // the column or SQL expression that reads the field
    bool key = false;
    bool upperCase = false;  // text is kept in upper case (codes, item numbers)
    bool itemKey = false;    // key that accepts the formatted or stored item number
};

struct ViewDefinition {
    std::string id;
    std::string table;
    std::vector<FieldDefinition> fields;  // in index order

    const FieldDefinition* Field(int index) const;
    std::vector<const FieldDefinition*> KeyFields() const;
};

// The view with this id; nullptr when there is none.
const ViewDefinition* FindView(std::string_view viewId);

}  // namespace accpac::local
