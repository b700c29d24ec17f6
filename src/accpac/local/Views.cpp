#include "accpac/local/Views.h"

#include <algorithm>

namespace accpac::local {

namespace {

FieldDefinition Text(int index, const char* name, bool upper = false) {
    return {index, name, FieldType::Text, name, false, upper, false};
}
FieldDefinition Number(int index, const char* name, const char* expression = nullptr) {
    return {index, name, FieldType::Number, expression ? expression : name, false, false, false};
}
FieldDefinition Long(int index, const char* name) {
    return {index, name, FieldType::Long, name, false, false, false};
}
FieldDefinition Boolean(int index, const char* name) {
    return {index, name, FieldType::Boolean, name, false, false, false};
}
FieldDefinition Key(FieldDefinition field) {
    field.key = true;
    return field;
}
FieldDefinition ItemKey(int index) {
    FieldDefinition field = Text(index, "ITEMNO", true);
    field.key = true;
    field.itemKey = true;
    return field;
}

// On hand counts the receipts, adjustments and shipments not yet costed.
constexpr const char* kOnHand = "(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST)";
constexpr const char* kAvailable = "(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST-QTYCOMMIT)";

const std::vector<ViewDefinition>& AllViews() {
    static const std::vector<ViewDefinition> views = {
        {kViewItem,
         "ICITEM",
         {ItemKey(item::ITEMNO), Text(item::FMTITEMNO, "FMTITEMNO", true), Text(item::DESC, "DESC"),
          Text(item::CATEGORY, "CATEGORY", true), Boolean(item::STOCKITEM, "STOCKITEM"),
          Text(item::STOCKUNIT, "STOCKUNIT")}},
        {kViewItemUnit,
         "ICITEMU",
         {ItemKey(itemunit::ITEMNO), Key(Text(itemunit::UNIT, "UNIT", true)),
          Number(itemunit::CONVERSION, "CONVERSION")}},
        {kViewLocation,
         "ICLOC",
         {Key(Text(location::LOCATION, "LOCATION", true)), Text(location::DESC, "DESC")}},
        {kViewItemLocation,
         "ICILOC",
         {ItemKey(itemlocation::ITEMNO), Key(Text(itemlocation::LOCATION, "LOCATION", true)),
          Number(itemlocation::QTONHAND, "QTONHAND", kOnHand),
          Number(itemlocation::QTONORDER, "QTONORDER", "QTYONORDER"),
          Number(itemlocation::QTSALORDR, "QTSALORDR", "QTYSALORDR"),
          Number(itemlocation::QTAVAIL, "QTAVAIL", kAvailable),
          Number(itemlocation::QTYONHAND, "QTYONHAND"),
          Number(itemlocation::QTYRENOCST, "QTYRENOCST"),
          Number(itemlocation::QTYADNOCST, "QTYADNOCST"),
          Number(itemlocation::QTYSHNOCST, "QTYSHNOCST"),
          Number(itemlocation::QTYCOMMIT, "QTYCOMMIT")}},
        {kViewICOptions,
         "ICOPT",
         {Long(icoptions::OPTKEY, "OPTKEY"), Text(icoptions::DEFLOC, "DEFLOC", true),
          Long(icoptions::QTYDECS, "QTYDECS")}},
        {kViewOrderHeader,
         "OEORDH",
         {Key(Long(orderheader::ORDUNIQ, "ORDUNIQ")),
          Text(orderheader::ORDNUMBER, "ORDNUMBER", true),
          Text(orderheader::CUSTOMER, "CUSTOMER", true), Text(orderheader::BILNAME, "BILNAME"),
          Text(orderheader::ORDDATE, "ORDDATE"), Long(orderheader::TYPE, "TYPE"),
          Text(orderheader::REFERENCE, "REFERENCE")}},
        {kViewOrderDetail,
         "OEORDD",
         {Key(Long(orderdetail::ORDUNIQ, "ORDUNIQ")), Key(Long(orderdetail::LINENUM, "LINENUM")),
          Text(orderdetail::ITEMNO, "ITEMNO", true), Text(orderdetail::ITEM, "ITEM", true),
          Text(orderdetail::DESC, "DESC"), Text(orderdetail::LOCATION, "LOCATION", true),
          Number(orderdetail::QTYORDERED, "QTYORDERED"),
          Number(orderdetail::QTYCOMMIT, "QTYCOMMIT"), Text(orderdetail::UNIT, "UNIT"),
          Number(orderdetail::UNITPRICE, "UNITPRICE"),
          Boolean(orderdetail::STOCKITEM, "STOCKITEM")}},
    };
    return views;
}

}  // namespace

const FieldDefinition* ViewDefinition::Field(int index) const {
    auto it = std::find_if(fields.begin(), fields.end(),
                           [index](const FieldDefinition& f) { return f.index == index; });
    return it == fields.end() ? nullptr : &*it;
}

std::vector<const FieldDefinition*> ViewDefinition::KeyFields() const {
    std::vector<const FieldDefinition*> keys;
    for (const FieldDefinition& f : fields)
        if (f.key) keys.push_back(&f);
    return keys;
}

const ViewDefinition* FindView(std::string_view viewId) {
    for (const ViewDefinition& view : AllViews())
        if (view.id == viewId) return &view;
    return nullptr;
}

}  // namespace accpac::local
