#pragma once
// The local platform's data source: one view's current record (see Views.h), read by key
// from the company database of its DB link.
//
// Record-changed events (accpac::RecordChangeReason) raised here:
//   0  Read() found a record, or a screen moved to another record (LoadRecord(.., 0))
//   2  ClearRecord(), or a screen started a new record (LoadRecord(.., 2))
//   7  a field was written with SetValue (pField is that field); PutWithoutVerification
//      raises nothing
//   15 a screen read the record again after saving it (LoadRecord(.., 15))
// pMultipleFields is always nullptr.
//
// Values: text fields hold text (codes and item numbers in upper case); number fields
// hold a double and accept numbers or text that is a number ("-999999999999", " 12.5");
// an empty value is 0; anything else raises 13 (Type mismatch) with a description naming
// the view and field. Long fields hold 32-bit integers, Boolean fields Booleans.
// Errors are recorded in the session's error list of the DB link and raised.
//
// A verified write (SetValue) of OE0500 field 4 looks the item up: a known item is
// replaced by its formatted number and fills fields 3, 5, 9 and 14; an unknown one is
// kept as entered (upper case) with 3 and 5 empty and 14 false. A verified write of
// OE0520 field 3 fills the customer name (field 4).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accpac/DataSource.h"
#include "accpac/local/LocalErrorList.h"
#include "accpac/local/Views.h"

namespace accpac::local {

class LocalDBLink;
class LocalDataSource;

class LocalField : public accpac::Field {
public:
    LocalField(LocalDataSource& owner, const FieldDefinition& definition);
    int Index() const override;
    std::string Name() const override;
    Variant Value() const override;
    void SetValue(const Variant& value) override;
    void PutWithoutVerification(const Variant& value) override;

    const FieldDefinition& Definition() const { return definition_; }
    // How many times the value has been written (by any write, read, clear or load, with
    // or without an event): a control that shows the field knows from it whether what it
    // shows is still current.
    uint64_t WriteCount() const { return writes_; }

private:
    friend class LocalDataSource;
    void Store(Variant value) {
        value_ = std::move(value);
        ++writes_;
    }

    LocalDataSource& owner_;
    const FieldDefinition& definition_;
    Variant value_;
    uint64_t writes_ = 0;
};

class LocalFields : public accpac::Fields {
public:
    explicit LocalFields(LocalDataSource& owner) : owner_(owner) {}
    accpac::Field& Item(int index) override;
    void FieldList(const std::vector<int>& indexes) override;
    LocalField& ItemOf(int index);

private:
    LocalDataSource& owner_;
};

class LocalDataSource : public accpac::DataSource {
    Q_OBJECT
public:
    // Field index -> value.
    using Record = std::map<int, Variant>;

    explicit LocalDataSource(std::string viewId, QObject* parent = nullptr);
    ~LocalDataSource() override;

    std::string ViewID() const override { return viewId_; }
    bool Active() const override { return active_; }
    // Activation needs a DB link of the local platform and a known view; raises otherwise.
    void SetActive(bool active) override;
    std::shared_ptr<accpac::DBLink> DBLink() const override { return link_; }
    void SetDBLink(std::shared_ptr<accpac::DBLink> link) override;
    accpac::Fields& Fields() override { return fields_; }
    // Reads the record whose key fields hold the key; raises reason 0 when found. When
    // not found the key fields keep the key and every other field is emptied.
    bool Read() override;
    // Empties every field and raises reason 2.
    void ClearRecord() override;

    // ---- for the local platform's screens ----
    const ViewDefinition* View() const { return view_; }
    std::shared_ptr<LocalDBLink> LocalLink() const { return localLink_; }
    Record CurrentRecord() const;
    Variant FieldValue(int index) const;
    // The field with that index; nullptr when the view has none (raises nothing).
    LocalField* FindField(int index) const;
    // Replaces the whole record (fields missing from values are emptied) and raises eReason
    // (0 another record, 2 a new record, 15 re-read after a save).
    void LoadRecord(const Record& values, int eReason);
    void RaiseRecordChanged(int eReason, accpac::Field* pField = nullptr);

    // Record-changed events raised while another one is being handled (a handler that
    // clears a record and writes its fields, of any data source) make one cascade. Work
    // given here runs when the outermost event of the cascade has been handled (at once
    // outside events), unless context has been destroyed by then: for what needs only the
    // final state, such as the text a control shows.
    static void WhenEventsHandled(QObject* context, std::function<void()> work);

private:
    friend class LocalField;
    friend class LocalFields;
    LocalField& FieldAt(int index);
    Variant Convert(const FieldDefinition& field, const Variant& value) const;
    void AfterVerifiedWrite(LocalField& field);
    void EmptyFields(bool keepKeys);
    void RequireView() const;
    void RequireActive(const char* operation) const;
    [[noreturn]] void Raise(int32_t number, const std::string& description) const;
    ErrorScope Scope() const;

    std::string viewId_;
    const ViewDefinition* view_;
    bool active_ = false;
    std::shared_ptr<accpac::DBLink> link_;
    std::shared_ptr<LocalDBLink> localLink_;
    std::vector<std::unique_ptr<LocalField>> fieldObjects_;
    LocalFields fields_;
    // The statement that reads the record by key, with the key field of each of its
    // parameters (made at the first read: it depends on the view only; the company
    // database keeps it prepared).
    struct ReadStatement {
        std::string sql;
        std::vector<const FieldDefinition*> parameters;
    };
    const ReadStatement& ReadByKey();
    ReadStatement readByKey_;
};

}  // namespace accpac::local
