#include "accpac/local/LocalDataSource.h"

#include <QPointer>
#include <QSqlQuery>
#include <utility>

#include "accpac/local/LocalSession.h"
#include "common/TextUtil.h"

namespace accpac::local {

namespace {

Variant EmptyValue(FieldType type) {
    switch (type) {
        case FieldType::Number:
            return Variant(0.0);
        case FieldType::Long:
            return Variant(int32_t{0});
        case FieldType::Boolean:
            return Variant(false);
        case FieldType::Text:
            break;
    }
    return Variant(std::string());
}

Variant FromDatabase(FieldType type, const QVariant& v) {
    switch (type) {
        case FieldType::Number:
            return Variant(v.toDouble());
        case FieldType::Long:
            return Variant(static_cast<int32_t>(v.toLongLong()));
        case FieldType::Boolean:
            return Variant(v.toLongLong() != 0);
        case FieldType::Text:
            break;
    }
    return Variant(v.isNull() ? std::string() : v.toString().toStdString());
}

std::string ColumnSql(const FieldDefinition& field) {
    return field.expression == field.name ? "\"" + field.name + "\"" : field.expression;
}

std::string Shown(const Variant& value) {
    try {
        return value.IsNull() ? "Null" : "\"" + value.ToString() + "\"";
    } catch (...) {
        return "the value";
    }
}

}  // namespace

// ---- LocalField ---------------------------------------------------------------------------

LocalField::LocalField(LocalDataSource& owner, const FieldDefinition& definition)
    : owner_(owner), definition_(definition), value_(EmptyValue(definition.type)) {}

int LocalField::Index() const { return definition_.index; }
std::string LocalField::Name() const { return definition_.name; }
Variant LocalField::Value() const { return value_; }

void LocalField::SetValue(const Variant& value) {
    owner_.Scope()(owner_.viewId_, [&] {
        Store(owner_.Convert(definition_, value));
        owner_.AfterVerifiedWrite(*this);
    });
    owner_.RaiseRecordChanged(ReasonFieldChanged, this);
}

void LocalField::PutWithoutVerification(const Variant& value) {
    owner_.Scope()(owner_.viewId_, [&] { Store(owner_.Convert(definition_, value)); });
}

// ---- LocalFields ----------------------------------------------------------------------------

accpac::Field& LocalFields::Item(int index) { return ItemOf(index); }

LocalField& LocalFields::ItemOf(int index) {
    if (LocalField* field = owner_.FindField(index)) return *field;
    return owner_.Scope()(owner_.viewId_, [&]() -> LocalField& { return owner_.FieldAt(index); });
}

void LocalFields::FieldList(const std::vector<int>& indexes) {
    for (int index : indexes)
        if (!owner_.FindField(index))
            owner_.Scope()(owner_.viewId_, [&] { owner_.FieldAt(index); });  // raises
}

// ---- LocalDataSource --------------------------------------------------------------------------

LocalDataSource::LocalDataSource(std::string viewId, QObject* parent)
    : accpac::DataSource(parent),
      viewId_(std::move(viewId)),
      view_(FindView(viewId_)),
      fields_(*this) {
    if (view_)
        for (const FieldDefinition& definition : view_->fields)
            fieldObjects_.push_back(std::make_unique<LocalField>(*this, definition));
}

LocalDataSource::~LocalDataSource() = default;

ErrorScope LocalDataSource::Scope() const {
    return ErrorScope(localLink_ ? localLink_->Errors() : nullptr);
}

void LocalDataSource::Raise(int32_t number, const std::string& description) const {
    throw lumaro::RuntimeError(number, viewId_, description);
}

void LocalDataSource::RequireView() const {
    if (!view_) Raise(kErrViewNotFound, "View \"" + viewId_ + "\" does not exist.");
}

void LocalDataSource::RequireActive(const char* operation) const {
    RequireView();
    if (!active_ || !localLink_)
        Raise(kErrNotActive, "The data source of view " + viewId_ + " is not active; it cannot " +
                                 operation + ".");
}

LocalField* LocalDataSource::FindField(int index) const {
    for (const auto& field : fieldObjects_)
        if (field->definition_.index == index) return field.get();
    return nullptr;
}

LocalField& LocalDataSource::FieldAt(int index) {
    RequireView();
    if (LocalField* field = FindField(index)) return *field;
    Raise(kErrFieldNotFound, "View " + viewId_ + " has no field " + std::to_string(index) + ".");
}

void LocalDataSource::SetDBLink(std::shared_ptr<accpac::DBLink> link) {
    Scope()(viewId_, [&] {
        if (active_)
            Raise(kErrNotActive,
                  "The DB link of the active data source of view " + viewId_ + " cannot change.");
        link_ = std::move(link);
        localLink_ = std::dynamic_pointer_cast<LocalDBLink>(link_);
    });
}

void LocalDataSource::SetActive(bool active) {
    Scope()(viewId_, [&] {
        if (!active) {
            active_ = false;
            return;
        }
        RequireView();
        if (!link_) Raise(kErrNotActive, "The data source of view " + viewId_ + " has no DB link.");
        if (!localLink_)
            Raise(kErrNotActive, "The DB link of the data source of view " + viewId_ +
                                     " is not a link of this platform.");
        active_ = true;
    });
}

Variant LocalDataSource::Convert(const FieldDefinition& field, const Variant& value) const {
    try {
        switch (field.type) {
            case FieldType::Text: {
                std::string text = value.ToString();
                return Variant(field.upperCase ? lumaro::ToUpperAscii(text) : text);
            }
            case FieldType::Number:
            case FieldType::Long: {
                double number = 0;
                const bool blank =
                    value.IsEmpty() ||
                    (value.IsString() && lumaro::TrimSpaces(value.ToString()).empty());
                if (!blank) number = value.ToDouble();
                if (field.type == FieldType::Number) return Variant(number);
                return Variant(
                    static_cast<int32_t>(lumaro::RoundToWhole(number, INT32_MIN, INT32_MAX)));
            }
            case FieldType::Boolean:
                if (value.IsEmpty() ||
                    (value.IsString() && lumaro::TrimSpaces(value.ToString()).empty()))
                    return Variant(false);
                return Variant(value.ToBool());
        }
    } catch (const lumaro::RuntimeError& error) {
        const char* expected = field.type == FieldType::Text      ? "text"
                               : field.type == FieldType::Boolean ? "True or False"
                               : field.type == FieldType::Long    ? "a whole number"
                                                                  : "a number";
        const std::string why = error.Number() == lumaro::kErrOverflow
                                    ? " is too large"
                                    : " is not " + std::string(expected);
        const std::string where =
            "field " + field.name + " (" + std::to_string(field.index) + ") of view " + viewId_;
        throw lumaro::RuntimeError(
            error.Number() == lumaro::kErrOverflow ? lumaro::kErrOverflow
                                                   : lumaro::kErrTypeMismatch,
            viewId_, "Type mismatch: " + Shown(value) + why + " for " + where + ".");
    }
    return value;
}

void LocalDataSource::EmptyFields(bool keepKeys) {
    for (auto& field : fieldObjects_)
        if (!keepKeys || !field->definition_.key) field->Store(EmptyValue(field->definition_.type));
}

LocalDataSource::Record LocalDataSource::CurrentRecord() const {
    Record record;
    for (const auto& field : fieldObjects_) record[field->definition_.index] = field->value_;
    return record;
}

Variant LocalDataSource::FieldValue(int index) const {
    for (const auto& field : fieldObjects_)
        if (field->definition_.index == index) return field->value_;
    return Variant();
}

void LocalDataSource::LoadRecord(const Record& values, int eReason) {
    Scope()(viewId_, [&] {
        RequireView();
        std::vector<Variant> converted;
        for (const auto& field : fieldObjects_) {
            auto it = values.find(field->definition_.index);
            converted.push_back(it == values.end() ? EmptyValue(field->definition_.type)
                                                   : Convert(field->definition_, it->second));
        }
        for (size_t i = 0; i < fieldObjects_.size(); ++i)
            fieldObjects_[i]->Store(std::move(converted[i]));
    });
    RaiseRecordChanged(eReason);
}

namespace {

// The record-changed events being handled, and the work waiting for them to end.
thread_local int g_eventDepth = 0;
thread_local std::vector<std::pair<QPointer<QObject>, std::function<void()>>> g_afterEvents;

void EventHandled() {
    if (--g_eventDepth > 0) return;
    while (!g_afterEvents.empty()) {
        auto waiting = std::move(g_afterEvents);
        g_afterEvents.clear();
        for (auto& [context, work] : waiting)
            if (context) work();
        // The room is kept for the next event's work: every write of a field queues some.
        waiting.clear();
        if (g_afterEvents.empty()) g_afterEvents.swap(waiting);
    }
}

}  // namespace

void LocalDataSource::WhenEventsHandled(QObject* context, std::function<void()> work) {
    if (g_eventDepth == 0) {
        work();
        return;
    }
    g_afterEvents.emplace_back(context, std::move(work));
}

void LocalDataSource::RaiseRecordChanged(int eReason, accpac::Field* pField) {
    ++g_eventDepth;
    try {
        emit OnRecordChanged(eReason, pField, nullptr);
    } catch (...) {
        EventHandled();
        throw;
    }
    EventHandled();
}

const LocalDataSource::ReadStatement& LocalDataSource::ReadByKey() {
    if (!readByKey_.sql.empty()) return readByKey_;
    std::string columns, where;
    for (const FieldDefinition& field : view_->fields)
        columns += (columns.empty() ? "" : ", ") + ColumnSql(field);
    for (const FieldDefinition* key : view_->KeyFields()) {
        where += where.empty() ? " WHERE " : " AND ";
        if (key->itemKey) {
            // The key may be the stored number (the item table's primary key) or the
            // formatted one (its unique index); a stored number wins over a formatted number
            // written the same way. The other tables hold the stored number; there a number
            // the item table does not know is looked for as given.
            const bool itemTable = view_->table == "ICITEM";
            where +=
                "ITEMNO = COALESCE((SELECT ITEMNO FROM ICITEM WHERE ITEMNO = ?),"
                " (SELECT ITEMNO FROM ICITEM WHERE FMTITEMNO = ?)";
            where += itemTable ? ")" : ", ?)";
            for (int i = itemTable ? 2 : 3; i > 0; --i) readByKey_.parameters.push_back(key);
        } else {
            where += ColumnSql(*key) + " = ?";
            readByKey_.parameters.push_back(key);
        }
    }
    readByKey_.sql = "SELECT " + columns + " FROM " + view_->table + where + " LIMIT 1";
    return readByKey_;
}

bool LocalDataSource::Read() {
    const bool found = Scope()(viewId_, [&] {
        RequireActive("read");
        auto keyValue = [&](const FieldDefinition& key) -> QVariant {
            const Variant& v = FieldAt(key.index).value_;
            if (key.type == FieldType::Long) return QVariant(v.ToLong());
            return QVariant(QString::fromStdString(v.ToString()));
        };
        const ReadStatement& statement = ReadByKey();
        QVariantList values;
        for (const FieldDefinition* key : statement.parameters) values << keyValue(*key);
        if (view_->table == "ICITEM") {
            // Items are read again on every record change of their users: the database
            // remembers the rows while it is unchanged.
            const auto& row = localLink_->Database().ReadRow(
                statement.sql, values, static_cast<int>(view_->fields.size()));
            if (!row) {
                EmptyFields(true);
                return false;
            }
            for (size_t i = 0; i < view_->fields.size(); ++i)
                fieldObjects_[i]->Store(FromDatabase(view_->fields[i].type, (*row)[i]));
            return true;
        }
        CompanyDatabase::KeptQuery read(localLink_->Database(), statement.sql, values);
        QSqlQuery& q = read.Query();
        if (!q.next()) {
            EmptyFields(true);
            return false;
        }
        for (size_t i = 0; i < view_->fields.size(); ++i)
            fieldObjects_[i]->Store(
                FromDatabase(view_->fields[i].type, q.value(static_cast<int>(i))));
        return true;
    });
    if (found) RaiseRecordChanged(ReasonRecordChanged);
    return found;
}

void LocalDataSource::ClearRecord() {
    Scope()(viewId_, [&] { RequireView(); });
    EmptyFields(false);
    RaiseRecordChanged(ReasonNewRecord);
}

void LocalDataSource::AfterVerifiedWrite(LocalField& field) {
    if (!active_ || !localLink_) return;
    CompanyDatabase& db = localLink_->Database();
    if (viewId_ == kViewOrderDetail && field.definition_.index == orderdetail::ITEM) {
        auto item = db.FindItem(field.value_.ToString());
        LocalField& itemNo = FieldAt(orderdetail::ITEMNO);
        LocalField& desc = FieldAt(orderdetail::DESC);
        LocalField& stock = FieldAt(orderdetail::STOCKITEM);
        if (item) {
            field.Store(Variant(item->formattedItemNo));
            itemNo.Store(Variant(item->itemNo));
            desc.Store(Variant(item->description));
            FieldAt(orderdetail::UNIT).Store(Variant(item->unit));
            FieldAt(orderdetail::UNITPRICE).Store(Variant(item->unitPrice));
            stock.Store(Variant(item->stockItem));
        } else {
            itemNo.Store(Variant(std::string()));
            desc.Store(Variant(std::string()));
            stock.Store(Variant(false));
        }
    } else if (viewId_ == kViewOrderHeader && field.definition_.index == orderheader::CUSTOMER) {
        auto customer = db.FindCustomer(field.value_.ToString());
        FieldAt(orderheader::BILNAME).Store(Variant(customer ? customer->name : std::string()));
    }
}

}  // namespace accpac::local
