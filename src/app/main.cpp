#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <string>

#include "accpac/Platform.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "app/QtMessageSink.h"
#include "app/frmOEEntry.h"
#include "common/VersionInfo.h"

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--version") {
            std::cout << lumaro::CompanyName() << ' ' << lumaro::ProductName() << ' '
                      << lumaro::VersionString() << '\n';
            return 0;
        }
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    if (!HasDisplay()) {
        std::cerr << lumaro::ProductName()
                  << " is a desktop program and needs a display, but none was found (DISPLAY is "
                     "not set).\n"
                     "Run it in a desktop session, or under a virtual display:\n"
                     "    xvfb-run -a scripts/run-demo\n";
        return 2;
    }

    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // numbers in SQL text and settings use the point
    app.setApplicationName(QString::fromStdString(lumaro::ProductName()));
    app.setOrganizationName(QString::fromStdString(lumaro::CompanyName()));
    lumaro::InstallGuiSeams();

    accpac::local::LocalGuiPlatform platform;
    accpac::Platform::Install(&platform);

    int exitCode = 0;
    {
        lumaro::frmOEEntry window(commandLine);
        window.Load();
        if (window.State() == lumaro::frmOEEntry::StartState::Running) {
            window.show();
            exitCode = app.exec();
        } else {
            exitCode = window.StartupExitCode();
        }
    }
    accpac::Platform::Install(nullptr);
    return exitCode;
}
