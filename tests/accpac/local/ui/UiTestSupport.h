#pragma once
// Helpers for the widget tests of the local platform's controls and screens.

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "accpac/ModalDialog.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
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

// The inquiry screens open now.
std::vector<InquiryScreen*> OpenInquiries();

// Starts the inquiry the way the zoom does (the session's screen preparation, then the
// platform's screen launcher), asking the launcher for screenId; the screen opened, if one.
InquiryScreen* LaunchInquiry(LocalSession& session, const std::string& parameters,
                             const std::string& screenId = "IC1900", int32_t owner = 0);

// The controls under root whose text does not fit them, as "kind text".
std::vector<std::string> ClippedTexts(QWidget* root);

}  // namespace accpac::local::test
