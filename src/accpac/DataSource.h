#pragma once
// The platform's data source control: bound to one view, it holds the view's current
// record, reads it by key, clears it, and raises record-changed events.

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "accpac/Session.h"

namespace accpac {

// Reasons of the record-changed event. The platform raises:
enum RecordChangeReason : int32_t {
    ReasonRecordChanged = 0,     // another record is now current (the user moved to another line)
    ReasonNewRecord = 2,         // a new, empty record was started (a new line)
    ReasonFieldChanged = 7,      // one field of the current record changed; pField is that field
    ReasonRecordRefreshed = 15,  // the current record was read again (after a save)
};

class Field {
public:
    virtual ~Field() = default;
    virtual int Index() const = 0;  // the field's index in its view, from 1
    virtual std::string Name() const = 0;
    virtual Variant Value() const = 0;
    // Writes with the platform's checks; text written to a numeric field is converted
    // (raises when it is not a number).
    virtual void SetValue(const Variant& value) = 0;
    // Writes without the platform's checks (used to set a key before a read).
    virtual void PutWithoutVerification(const Variant& value) = 0;
};

class Fields {
public:
    virtual ~Fields() = default;
    virtual Field& Item(int index) = 0;  // raises when the view has no such field
    // Announces the fields about to be read (the platform may fetch only those).
    virtual void FieldList(const std::vector<int>& indexes) = 0;
};

class DataSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DataSource() override;

    virtual std::string ViewID() const = 0;
    virtual bool Active() const = 0;
    virtual void SetActive(bool active) = 0;  // opens the view on the DB link / closes it
    virtual std::shared_ptr<accpac::DBLink> DBLink() const = 0;
    virtual void SetDBLink(std::shared_ptr<accpac::DBLink> link) = 0;
    virtual accpac::Fields& Fields() = 0;
    virtual bool Read() = 0;         // reads the record whose key is in the key fields; found
    virtual void ClearRecord() = 0;  // empties the current record

signals:
    // pField is the changed field for ReasonFieldChanged, otherwise nullptr.
    void OnRecordChanged(int eReason, accpac::Field* pField, QObject* pMultipleFields);
};

}  // namespace accpac
