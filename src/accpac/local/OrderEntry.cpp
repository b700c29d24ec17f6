#include "accpac/local/OrderEntry.h"

#include <QDate>
#include <algorithm>

#include "accpac/local/LocalSession.h"
#include "common/ErrorHandling.h"
#include "common/TextUtil.h"

namespace accpac::local {

namespace {

constexpr const char* kNewOrderNumber = "*** NEW ***";

std::string Text(const LocalDataSource::Record& record, int index) {
    auto it = record.find(index);
    return it == record.end() ? std::string() : it->second.ToString();
}
double Number(const LocalDataSource::Record& record, int index) {
    auto it = record.find(index);
    return it == record.end() ? 0.0 : it->second.ToDouble();
}

LocalDataSource::Record LineRecord(int32_t orderUniq, const OrderLine& l) {
    return {{orderdetail::ORDUNIQ, Variant(orderUniq)},
            {orderdetail::LINENUM, Variant(l.lineNumber)},
            {orderdetail::ITEMNO, Variant(l.itemNo)},
            {orderdetail::ITEM, Variant(l.item)},
            {orderdetail::DESC, Variant(l.description)},
            {orderdetail::LOCATION, Variant(l.location)},
            {orderdetail::QTYORDERED, Variant(l.quantityOrdered)},
            {orderdetail::QTYCOMMIT, Variant(l.quantityCommitted)},
            {orderdetail::UNIT, Variant(l.unit)},
            {orderdetail::UNITPRICE, Variant(l.unitPrice)},
            {orderdetail::STOCKITEM, Variant(l.stockItem)}};
}

}  // namespace

OrderEntry::OrderEntry(LocalDataSource& header, LocalDataSource& detail, QObject* parent)
    : QObject(parent), header_(header), detail_(detail) {
    auto check = [](LocalDataSource& source, const char* viewId) {
        if (source.ViewID() != viewId)
            throw lumaro::RuntimeError(kErrViewNotFound, "OrderEntry",
                                       "The order entry needs a data source of view " +
                                           std::string(viewId) + ", not of view " +
                                           source.ViewID() + ".");
        if (!source.Active() || !source.LocalLink())
            throw lumaro::RuntimeError(
                kErrNotActive, "OrderEntry",
                "The data source of view " + std::string(viewId) + " is not active.");
    };
    check(header_, kViewOrderHeader);
    check(detail_, kViewOrderDetail);
    if (header_.LocalLink()->CompanyID() != detail_.LocalLink()->CompanyID())
        throw lumaro::RuntimeError(
            kErrRecordInvalid, "OrderEntry",
            "The order header and detail data sources are linked to different companies.");
    for (LocalDataSource* source : {&header_, &detail_})
        connect(source, &DataSource::OnRecordChanged, this, [this](int reason) {
            if (reason == ReasonFieldChanged) modified_ = true;
        });
}

OrderEntry::~OrderEntry() = default;

CompanyDatabase& OrderEntry::Database() const { return header_.LocalLink()->Database(); }

void OrderEntry::NewOrder() {
    lines_.clear();
    savedLines_.clear();
    current_ = -1;
    header_.LoadRecord(
        {{orderheader::ORDUNIQ, Variant(int32_t{0})},
         {orderheader::ORDNUMBER, Variant(kNewOrderNumber)},
         {orderheader::ORDDATE, Variant(QDate::currentDate().toString(Qt::ISODate).toStdString())},
         {orderheader::TYPE, Variant(int32_t{1})}},
        ReasonNewRecord);
    modified_ = false;
    emit LinesChanged();
    detail_.LoadRecord({}, ReasonNewRecord);
}

bool OrderEntry::OpenOrder(const std::string& orderNumber) {
    std::optional<Order> order;
    header_.LocalLink()->Scope()("OrderEntry",
                                 [&] { order = Database().LoadOrderByNumber(orderNumber); });
    if (!order) return false;
    ShowOrder(*order, ReasonRecordChanged, 0);
    return true;
}

void OrderEntry::ShowOrder(const Order& order, int eReason, int currentLine) {
    const OrderHeader& h = order.header;
    header_.LoadRecord({{orderheader::ORDUNIQ, Variant(h.orderUniq)},
                        {orderheader::ORDNUMBER, Variant(h.orderNumber)},
                        {orderheader::CUSTOMER, Variant(h.customer)},
                        {orderheader::BILNAME, Variant(h.customerName)},
                        {orderheader::ORDDATE, Variant(h.orderDate)},
                        {orderheader::TYPE, Variant(static_cast<int32_t>(h.type))},
                        {orderheader::REFERENCE, Variant(h.reference)}},
                       eReason);
    lines_.clear();
    for (const OrderLine& l : order.lines) lines_.push_back(LineRecord(h.orderUniq, l));
    savedLines_ = lines_;
    current_ = lines_.empty() ? -1 : std::clamp(currentLine, 0, LineCount() - 1);
    modified_ = false;
    emit LinesChanged();
    if (current_ >= 0)
        detail_.LoadRecord(lines_[static_cast<size_t>(current_)], eReason);
    else
        detail_.LoadRecord({}, eReason == ReasonRecordChanged ? ReasonNewRecord : eReason);
}

void OrderEntry::CheckLine(int line) const {
    if (line < 0 || line >= LineCount())
        throw lumaro::RuntimeError(9, "OrderEntry",
                                   "There is no line " + std::to_string(line + 1) +
                                       " (the order has " + std::to_string(LineCount()) +
                                       " lines).");
}

void OrderEntry::StoreCurrentLine() {
    if (current_ >= 0) lines_[static_cast<size_t>(current_)] = detail_.CurrentRecord();
}

void OrderEntry::GoToLine(int line) {
    CheckLine(line);
    if (line == current_) return;
    StoreCurrentLine();
    current_ = line;
    detail_.LoadRecord(lines_[static_cast<size_t>(line)], ReasonRecordChanged);
}

OrderEntry::Record OrderEntry::NewLineRecord() const {
    int32_t lineNumber = 0;
    for (const Record& r : lines_)
        lineNumber = std::max(lineNumber, r.at(orderdetail::LINENUM).ToLong());
    std::string location;
    lumaro::IgnoreErrors([&] { location = Database().DefaultLocation(); });
    return {{orderdetail::ORDUNIQ, header_.FieldValue(orderheader::ORDUNIQ)},
            {orderdetail::LINENUM, Variant(lineNumber + 1)},
            {orderdetail::LOCATION, Variant(location)}};
}

int OrderEntry::AddLine() {
    StoreCurrentLine();
    lines_.push_back(NewLineRecord());
    // The stored copy has every field, like a line read from the database.
    current_ = LineCount() - 1;
    modified_ = true;
    emit LinesChanged();
    detail_.LoadRecord(lines_.back(), ReasonNewRecord);
    lines_.back() = detail_.CurrentRecord();
    return current_;
}

void OrderEntry::DeleteLine(int line) {
    CheckLine(line);
    StoreCurrentLine();
    lines_.erase(lines_.begin() + line);
    modified_ = true;
    if (line != current_) {
        if (line < current_) --current_;
        emit LinesChanged();
        return;
    }
    current_ = lines_.empty() ? -1 : std::min(line, LineCount() - 1);
    emit LinesChanged();
    if (current_ >= 0)
        detail_.LoadRecord(lines_[static_cast<size_t>(current_)], ReasonRecordChanged);
    else
        detail_.LoadRecord({}, ReasonNewRecord);
}

Variant OrderEntry::LineValue(int line, int fieldIndex) const {
    CheckLine(line);
    if (!detail_.View()->Field(fieldIndex))
        throw lumaro::RuntimeError(kErrFieldNotFound, kViewOrderDetail,
                                   "View OE0500 has no field " + std::to_string(fieldIndex) + ".");
    if (line == current_) return detail_.FieldValue(fieldIndex);
    const Record& record = lines_[static_cast<size_t>(line)];
    auto it = record.find(fieldIndex);
    return it == record.end() ? Variant() : it->second;
}

void OrderEntry::SetLineValue(int line, int fieldIndex, const Variant& value) {
    GoToLine(line);
    detail_.Fields().Item(fieldIndex).SetValue(value);
}

Variant OrderEntry::SavedLineValue(int line, int fieldIndex) const {
    if (line < 0 || line >= SavedLineCount())
        throw lumaro::RuntimeError(9, "OrderEntry",
                                   "There is no saved line " + std::to_string(line + 1) + ".");
    const Record& record = savedLines_[static_cast<size_t>(line)];
    auto it = record.find(fieldIndex);
    return it == record.end() ? Variant() : it->second;
}

Variant OrderEntry::HeaderValue(int fieldIndex) const { return header_.FieldValue(fieldIndex); }

void OrderEntry::SetHeaderValue(int fieldIndex, const Variant& value) {
    header_.Fields().Item(fieldIndex).SetValue(value);
}

Order OrderEntry::ToOrder() const {
    Order order;
    const Record h = header_.CurrentRecord();
    order.header.orderUniq = h.at(orderheader::ORDUNIQ).ToLong();
    order.header.orderNumber = Text(h, orderheader::ORDNUMBER);
    order.header.customer = Text(h, orderheader::CUSTOMER);
    order.header.orderDate = Text(h, orderheader::ORDDATE);
    order.header.type = h.at(orderheader::TYPE).ToLong();
    order.header.reference = Text(h, orderheader::REFERENCE);
    for (const Record& r : lines_) {
        OrderLine line;
        line.lineNumber = static_cast<int32_t>(Number(r, orderdetail::LINENUM));
        line.item = Text(r, orderdetail::ITEM);
        line.description = Text(r, orderdetail::DESC);
        line.location = Text(r, orderdetail::LOCATION);
        line.quantityOrdered = Number(r, orderdetail::QTYORDERED);
        line.unit = Text(r, orderdetail::UNIT);
        line.unitPrice = Number(r, orderdetail::UNITPRICE);
        order.lines.push_back(line);
    }
    return order;
}

Order OrderEntry::Current() {
    StoreCurrentLine();
    return ToOrder();
}

void OrderEntry::ShowUnsaved(const Order& order) {
    ShowOrder(order, ReasonRecordChanged, 0);
    modified_ = true;
    // What was saved of it is what the database holds.
    std::optional<Order> saved;
    if (order.header.orderUniq != 0)
        lumaro::IgnoreErrors([&] { saved = Database().LoadOrder(order.header.orderUniq); });
    savedLines_.clear();
    if (saved)
        for (const OrderLine& l : saved->lines)
            savedLines_.push_back(LineRecord(saved->header.orderUniq, l));
}

std::string OrderEntry::Save() {
    StoreCurrentLine();
    Order saved;
    header_.LocalLink()->Scope()("OrderEntry", [&] { saved = Database().SaveOrder(ToOrder()); });
    // Lines without an item were dropped: stay on the same line where it still exists.
    int current = current_;
    if (current >= 0) {
        const int32_t number =
            lines_[static_cast<size_t>(current)].at(orderdetail::LINENUM).ToLong();
        int kept = 0;
        for (const Record& r : lines_) {
            if (r.at(orderdetail::LINENUM).ToLong() == number) break;
            if (!lumaro::TrimSpaces(Text(r, orderdetail::ITEM)).empty()) ++kept;
        }
        current = kept;
    }
    ShowOrder(saved, ReasonRecordRefreshed, current);
    return saved.header.orderNumber;
}

std::vector<std::string> OrderEntry::OrderNumbers(const std::string& after, int limit) const {
    std::vector<std::string> numbers;
    header_.LocalLink()->Scope()("OrderEntry",
                                 [&] { numbers = Database().OrderNumbers(after, limit); });
    return numbers;
}

}  // namespace accpac::local
