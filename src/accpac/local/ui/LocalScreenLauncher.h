#pragma once
// The screen launcher: starts a platform screen (the inventory inquiry "IC1900") in a
// window of its own, for the sign-on that the session's launcher text names, with a
// key=value parameter string.
//
// Prepare receives, in order: the screen's class ID and code base, the screen id (the
// session's screen preparation gives these three), the session's launcher text and the
// parameter string. Run starts the screen and returns the screen id; it raises (and
// records in the session's error list) when the launcher was not prepared, the sign-on
// is not open, the screen id is not registered or names another class, the class cannot
// be started, or the screen refuses its parameters. Nothing is shown then.

#include <string>

#include "accpac/Session.h"

namespace accpac::local {

class LocalScreenLauncher : public accpac::ScreenLauncher {
public:
    void Prepare(const std::string& clsid, const std::string& codeBase, const std::string& screenId,
                 const std::string& launcherText, const std::string& parameters) override;
    // ownerHwnd: the window the screen stays above (0 for none).
    std::string Run(int32_t ownerHwnd) override;
    void Close() override;

private:
    bool prepared_ = false;
    std::string clsid_, codeBase_, screenId_, launcherText_, parameters_;
};

}  // namespace accpac::local
