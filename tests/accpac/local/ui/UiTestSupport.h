#pragma once
// Helpers for the widget tests of the local platform's controls and screens.

#include <QDialog>
#include <functional>
#include <map>
#include <memory>

#include "accpac/DataSource.h"
#include "accpac/Session.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "accpac/local/ui/ModalDialog.h"
#include "common/ErrorHandling.h"
#include "common/RuntimeError.h"
#include "support/TestSupport.h"

namespace accpac::local::test {

// Answers every modal dialog with the given handler while it lives; counts the dialogs.
class ScopedModalHandler {
public:
    explicit ScopedModalHandler(std::function<void(QDialog&)> handler) {
        previous_ = SetModalHandler([this, handler](QDialog& dialog) {
            ++shown;
            handler(dialog);
        });
    }
    ~ScopedModalHandler() { SetModalHandler(previous_); }
    int shown = 0;

private:
    ModalHandler previous_;
};

// A data source over a fixed set of named fields; writing a field raises reason 7.
class FakeDataSource : public accpac::DataSource, private accpac::Fields {
public:
    struct FakeField : accpac::Field {
        FakeDataSource* owner = nullptr;
        int index = 0;
        std::string name;
        Variant value;
        bool numeric = false;
        int Index() const override { return index; }
        std::string Name() const override { return name; }
        Variant Value() const override { return value; }
        void SetValue(const Variant& v) override {
            if (numeric) {
                double d = 0;
                if (!lumaro::TextToDouble(v.ToString(), d)) throw lumaro::RuntimeError::Standard(13);
                value = Variant(d);
            } else {
                value = v;
            }
            emit owner->OnRecordChanged(accpac::ReasonFieldChanged, this, nullptr);
        }
        void PutWithoutVerification(const Variant& v) override { value = v; }
    };

    FakeDataSource() = default;
    FakeField& Add(int index, const std::string& name, Variant value, bool numeric = false) {
        auto& f = fields_[index];
        f.owner = this;
        f.index = index;
        f.name = name;
        f.value = std::move(value);
        f.numeric = numeric;
        return f;
    }

    std::string ViewID() const override { return "TEST"; }
    bool Active() const override { return true; }
    void SetActive(bool) override {}
    std::shared_ptr<accpac::DBLink> DBLink() const override { return nullptr; }
    void SetDBLink(std::shared_ptr<accpac::DBLink>) override {}
    accpac::Fields& Fields() override { return *this; }
    bool Read() override { return true; }
    void ClearRecord() override {
        for (auto& [i, f] : fields_) f.value = f.numeric ? Variant(0.0) : Variant(std::string());
        emit OnRecordChanged(accpac::ReasonRecordChanged, nullptr, nullptr);
    }

    accpac::Field& Item(int index) override {
        auto it = fields_.find(index);
        if (it == fields_.end()) throw lumaro::RuntimeError(5, "TEST", "No such field");
        return it->second;
    }
    void FieldList(const std::vector<int>&) override {}

private:
    std::map<int, FakeField> fields_;
};

// A session that only holds an error list and a company ID.
class FakeSession : public accpac::Session, public accpac::ErrorList {
public:
    std::vector<accpac::ErrorEntry> entries;
    int Count() const override { return static_cast<int>(entries.size()); }
    accpac::ErrorEntry Item(int index) const override { return entries.at(static_cast<size_t>(index)); }
    void Add(const accpac::ErrorEntry& entry) override { entries.push_back(entry); }
    void Clear() override { entries.clear(); }

    std::shared_ptr<accpac::DBLink> OpenDBLink(int, int) override { return nullptr; }
    std::string CompanyID() const override { return "SAMLTD"; }
    std::string CompanyName() const override { return "Sample Company Ltd."; }
    std::string UserID() const override { return "ADMIN"; }
    accpac::ErrorList& Errors() override { return *this; }
    bool GetScreenRegistration(const std::string&, int, std::string&, std::string&) override { return false; }
    void PrepareScreen(const std::string&, const std::string&, std::string&, std::string&, std::string&) override {}
    std::string LauncherText() override { return {}; }
};

// The demo installation in a temporary machine folder, with the GUI platform installed
// and a sign-on of SYSOP to SAMLTD.
class DemoPlatform {
public:
    DemoPlatform() {
        Installation().InstallDemo(true);
        accpac::Platform::Install(&platform);
        session = manager.Signon({"SYSOP", kDemoSysopPassword, "SAMLTD"});
    }
    ~DemoPlatform() {
        manager.EndSignon(session->SessionID());
        accpac::Platform::Install(nullptr);
    }

    lumaro::test::TempMachine machine;
    LocalGuiPlatform platform;
    LocalSessionManager manager;
    std::shared_ptr<LocalSession> session;
};

// Every record-changed event of a data source, with the value of a field at that moment.
struct RecordedEvent {
    int reason;
    int fieldIndex;      // of pField; 0 when none
    std::string field4;  // field 4 of the record when the event arrived
};

class EventRecorder : public QObject {
public:
    explicit EventRecorder(accpac::DataSource* source) {
        connect(source, &accpac::DataSource::OnRecordChanged, this,
                [this, source](int reason, accpac::Field* field, QObject*) {
                    std::string field4;
                    lumaro::IgnoreErrors([&] { field4 = source->Fields().Item(4).Value().ToString(); });
                    events.push_back({reason, field ? field->Index() : 0, field4});
                });
    }
    std::vector<int> Reasons() const {
        std::vector<int> reasons;
        for (const RecordedEvent& e : events) reasons.push_back(e.reason);
        return reasons;
    }
    std::vector<RecordedEvent> events;
};

}  // namespace accpac::local::test
