#pragma once
// A demo installation in a temporary machine folder with the local platform installed,
// message boxes and the platform's dialogs recorded, for tests of the main window.

#include <string>
#include <vector>

#include "accpac/ModalDialog.h"
#include "accpac/Platform.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"
#include "support/TestSupport.h"

namespace lumaro::test {

class DemoMachine {
public:
    DemoMachine() {
        accpac::local::Installation().InstallDemo(false);
        accpac::Platform::Install(&platform);
        platform.SetErrorDisplayHook([this](accpac::Session& session) {
            for (int i = 0; i < session.Errors().Count(); ++i)
                shownErrors.push_back(session.Errors().Item(i).message);
        });
        previousModal_ = accpac::SetModalHandler([this](QDialog& d) { modal(d); });
    }
    ~DemoMachine() {
        accpac::SetModalHandler(previousModal_);
        accpac::Platform::Install(nullptr);
    }

    static std::string SQLiteConnection(const std::string& company) {
        return "Provider=SQLite;Data Source=" + accpac::local::Installation().SharedDataFolder() +
               "/COMPANY/" + company + "/" + company + ".sqlite";
    }

    // Writes a company's settings through the program's own settings code.
    static void WriteSettings(const std::string& company, const std::string& connection) {
        accpac::local::LocalSessionManager manager;
        auto session = manager.Signon({"SYSOP", accpac::local::kDemoSysopPassword, company});
        AccpacPaths paths;
        ProgramSettings settings(*session, paths);
        if (!settings.CreateINIFile()) throw std::runtime_error("cannot place the settings file");
        settings.SetConnectionString(connection);
        settings.SetLocation("WH1");
        settings.SetQuery(kFirstRunQuery);
        settings.SetDrilldown(true);
    }

    TempMachine machine;
    RecordingMessageSink messages;
    accpac::local::LocalGuiPlatform platform;
    std::vector<std::string> shownErrors;  // what the platform's error display showed
    std::function<void(QDialog&)> modal = [](QDialog&) {};  // answers the platform's modal dialogs

private:
    accpac::ModalHandler previousModal_;
};

}  // namespace lumaro::test
