#pragma once
// The local platform behind accpac::Platform: sessions, data sources, objects by ProgID,
// the control installer and the error display. The controls, dialogs and screens are the
// GUI library's: it derives from LocalPlatform and overrides CreateScreenLauncher,
// CreateFieldEdit, CreateFrame and AddControl, which raise 429 here, and sets the sign-on
// prompt and the error display's dialog.

#include <functional>
#include <memory>
#include <string>

#include "accpac/Platform.h"
#include "accpac/local/LocalSession.h"

namespace accpac::local {

// Installs the classes that need no GUI in the class table (the trace target).
void RegisterCoreClasses();

// Accepts the classes known to the class table; raises 429 for any other class ID.
class LocalControlInstaller : public accpac::ControlInstaller {
public:
    void Install(const std::string& clsid, const std::string& codeBase, int32_t hwnd) override;
};

// Adds and clears entries of a session's error list; showing the list is the dialog's
// (the hook). Without a hook the entries are shown as one message box (lumaro::MsgBox).
class LocalErrorDisplay : public accpac::ErrorDisplay {
public:
    using ShowHook = std::function<void(accpac::Session&)>;
    explicit LocalErrorDisplay(ShowHook show = {}) : show_(std::move(show)) {}
    void ShowErrors(Session& session) override;
    void ClearErrors(Session& session) override;
    void AddError(Session& session, const std::string& objectHandle, int level,
                  const std::string& message, const std::string& text1, const std::string& text2,
                  int32_t number) override;

private:
    ShowHook show_;
};

class LocalPlatform : public accpac::Platform {
public:
    LocalPlatform();
    ~LocalPlatform() override;

    std::shared_ptr<SessionManager> CreateSessionManager() override;
    std::shared_ptr<ErrorDisplay> CreateErrorDisplay() override;
    std::shared_ptr<ControlInstaller> CreateControlInstaller() override;
    std::shared_ptr<ScreenLauncher> CreateScreenLauncher() override;
    QObject* CreateObject(const std::string& progId, QObject* parent) override;
    DataSource* CreateDataSource(const std::string& viewId, QObject* parent) override;
    FieldEdit* CreateFieldEdit(DataSource* source, const std::string& fieldName,
                               QWidget* parent) override;
    Frame* CreateFrame(QWidget* parent) override;
    ControlExtender* AddControl(const std::string& progId, const std::string& name,
                                QWidget* parent) override;

    // The sign-on prompt given to every session manager created from now on.
    void SetSignonPrompt(SignonPromptHook prompt) { prompt_ = std::move(prompt); }
    // How error displays show a session's error list.
    void SetErrorDisplayHook(LocalErrorDisplay::ShowHook show) { showErrors_ = std::move(show); }

protected:
    [[noreturn]] static void NotAvailable(const std::string& what);

private:
    SignonPromptHook prompt_;
    LocalErrorDisplay::ShowHook showErrors_;
};

}  // namespace accpac::local
