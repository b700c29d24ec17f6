#include "accpac/local/LocalPlatform.h"

#include "accpac/local/ClassTable.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/SpyTarget.h"
#include "common/MessageBox.h"
#include "common/RuntimeError.h"

namespace accpac::local {

void RegisterCoreClasses() {
    ClassTable::Instance().Register(
        kSpyTargetClsid, kSpyTargetProgID,
        [](QObject* parent) -> QObject* { return new SpyTarget(parent); });
}

void LocalControlInstaller::Install(const std::string& clsid, const std::string& /*codeBase*/,
                                    int32_t /*hwnd*/) {
    if (!ClassTable::Instance().IsKnown(clsid))
        throw lumaro::RuntimeError(
            kErrCannotCreateObject, "ControlInstaller",
            "The control " + clsid + " cannot be installed: this platform does not have it.");
}

void LocalErrorDisplay::ShowErrors(Session& session) {
    if (show_) {
        show_(session);
        return;
    }
    ErrorList& errors = session.Errors();
    if (errors.Count() == 0) return;
    std::string text;
    for (int i = 0; i < errors.Count(); ++i) text += (i ? "\n" : "") + errors.Item(i).message;
    lumaro::MsgBox(text, lumaro::MsgIcon::Exclamation, lumaro::MsgButtons::OK, session.CompanyID());
}

void LocalErrorDisplay::ClearErrors(Session& session) { session.Errors().Clear(); }

void LocalErrorDisplay::AddError(Session& session, const std::string& /*objectHandle*/, int level,
                                 const std::string& message, const std::string& text1,
                                 const std::string& /*text2*/, int32_t number) {
    session.Errors().Add(ErrorEntry{level, message, text1, number});
}

LocalPlatform::LocalPlatform() { RegisterCoreClasses(); }
LocalPlatform::~LocalPlatform() = default;

void LocalPlatform::NotAvailable(const std::string& what) {
    throw lumaro::RuntimeError(
        kErrCannotCreateObject, what,
        "ActiveX component can't create object (" + what + " needs the platform's GUI)");
}

std::shared_ptr<SessionManager> LocalPlatform::CreateSessionManager() {
    return std::make_shared<LocalSessionManager>(prompt_);
}

std::shared_ptr<ErrorDisplay> LocalPlatform::CreateErrorDisplay() {
    return std::make_shared<LocalErrorDisplay>(showErrors_);
}

std::shared_ptr<ControlInstaller> LocalPlatform::CreateControlInstaller() {
    return std::make_shared<LocalControlInstaller>();
}

std::shared_ptr<ScreenLauncher> LocalPlatform::CreateScreenLauncher() {
    NotAvailable("ScreenLauncher");
}

QObject* LocalPlatform::CreateObject(const std::string& progId, QObject* parent) {
    return ClassTable::Instance().CreateByProgID(progId, parent);
}

DataSource* LocalPlatform::CreateDataSource(const std::string& viewId, QObject* parent) {
    return new LocalDataSource(viewId, parent);
}

FieldEdit* LocalPlatform::CreateFieldEdit(DataSource*, const std::string&, QWidget*) {
    NotAvailable("FieldEdit");
}
Frame* LocalPlatform::CreateFrame(QWidget*) { NotAvailable("Frame"); }
ControlExtender* LocalPlatform::AddControl(const std::string& progId, const std::string&,
                                           QWidget*) {
    NotAvailable(progId);
}

}  // namespace accpac::local
