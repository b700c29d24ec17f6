#pragma once
// Starting a platform screen (for example the inventory inquiry "IC1900") through the
// platform's screen launcher, with a parameter string of key=value lines (KVBuildList).

#include <cstdint>
#include <string>

namespace accpac {
class Session;
}

namespace lumaro {

// Raised by LaunchUI when the screen cannot be started.
inline constexpr int32_t kErrLaunchUI = static_cast<int32_t>(0x80040001);  // -2147221503
inline constexpr const char* kLaunchUISource = "Globals.LaunchUI";

// Starts screenId with the parameter string, owned by the window whose handle is given, and
// returns the launcher's result text. While a launch is running (a second click delivered
// during the first launch), a further call returns "" at once and starts nothing. When the
// session does not know the screen, or preparing, creating, running or closing the launcher
// fails, raises kErrLaunchUI from kLaunchUISource with the description
// "Internal error.\r\nCannot start \"<screenId>\"!"; the launcher's own error is not passed on.
std::string LaunchUI(accpac::Session* session, const std::string& screenId,
                     const std::string& parameters, int32_t windowHandle);

}  // namespace lumaro
