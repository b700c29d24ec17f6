#include "panel/LaunchUI.h"

#include <memory>

#include "accpac/Platform.h"
#include "accpac/Session.h"
#include "common/RuntimeError.h"

namespace lumaro {

namespace {

// Set only while LaunchUI runs; shared by every caller. The second call it guards against
// can only arrive re-entrantly on the user-interface thread while the launcher runs.
bool g_launchInProgress = false;

struct NotRegistered {};

}  // namespace

std::string LaunchUI(accpac::Session* session, const std::string& screenId,
                     const std::string& parameters, int32_t windowHandle) {
    if (g_launchInProgress) return {};
    g_launchInProgress = true;
    try {
        if (!session) throw NotRegistered{};
        std::string clsid, codeBase;
        if (!session->GetScreenRegistration(screenId, 0, clsid, codeBase)) throw NotRegistered{};
        // The second and third texts of the preparation take the place of the two texts of
        // the registration lookup.
        std::string first;
        session->PrepareScreen(screenId, parameters, first, clsid, codeBase);
        std::shared_ptr<accpac::ScreenLauncher> launcher =
            accpac::Platform::Get().CreateScreenLauncher();
        const std::string launcherText = session->LauncherText();
        launcher->Prepare(clsid, codeBase, first, launcherText, parameters);
        std::string result = launcher->Run(windowHandle);
        launcher->Close();
        launcher.reset();
        g_launchInProgress = false;
        return result;
    } catch (...) {
        g_launchInProgress = false;
        throw RuntimeError(kErrLaunchUI, kLaunchUISource,
                           "Internal error.\r\nCannot start \"" + screenId + "\"!");
    }
}

}  // namespace lumaro
