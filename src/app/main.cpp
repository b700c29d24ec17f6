#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <string>

#include "accpac/Platform.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "app/QtMessageSink.h"
#include "app/frmOEEntry.h"
#include "common/RuntimeFolder.h"
#include "common/VersionInfo.h"
#include "winapi/MachineFolder.h"

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

// --help: what a user can give the program and where it keeps its data. Printed before any
// window or display is needed.
void PrintHelp() {
    std::cout << "Usage: lumaro [/login]\n"
                 "       lumaro --help | --version\n\n"
              << lumaro::ProductName() << ' ' << lumaro::VersionString()
              << ": the order desk's Order Entry screen with the Quantity panel.\n\n"
                 "  /login     show the platform's sign-on dialog, even when a user is "
                 "remembered\n"
                 "  --help     print this help and exit\n"
                 "  --version  print the product name and version and exit\n\n"
                 "Machine folder: "
              << winapi::MachineFolder()
              << "\n"
                 "  ($LUMARO_MACHINE, or $XDG_DATA_HOME/lumaro/machine, or "
                 "~/.local/share/lumaro/machine)\n"
                 "Exit status: 0 closed, 1 ended at start-up (platform or settings missing), "
                 "2 no display.\n";
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
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            PrintHelp();
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

    lumaro::UsePrivateRuntimeFolder();
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
