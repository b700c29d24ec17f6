#pragma once
// Registers a platform screen control for a moment under a temporary ProgID of our own
// (the control's ProgID + "." + the session ID) under HKEY_LOCAL_MACHINE\Software\Classes,
// so that the window can add the control by that ProgID; then removes the registration.
// Writes a diagnostic trace to the platform's trace component when one can be created.

#include <QPointer>
#include <QVariant>
#include <cstdint>
#include <string>

namespace accpac {
class Session;
}

namespace lumaro {

class AccpacOcxRegHelper {
public:
    AccpacOcxRegHelper();
    ~AccpacOcxRegHelper();
    AccpacOcxRegHelper(const AccpacOcxRegHelper&) = delete;
    AccpacOcxRegHelper& operator=(const AccpacOcxRegHelper&) = delete;

    // The screen control's class ID and code base, from the session's screen registration.
    // An error raised by the session passes to the caller.
    bool GetClsID(accpac::Session& Session, const std::string& sRotoID, std::string& sClsID,
                  std::string& sCodeBase);
    // Has the platform install the control when there is a code base; false on any error.
    bool InstallControl(const std::string& sClsID, const std::string& sCodeBase, int32_t hwnd);
    // Registers the temporary ProgID for the class and returns it in sID. False when the
    // registration fails or the class has no registered ProgID (sID is then left as it was).
    // A lSignonID that is not a number raises.
    bool SetProgID(const std::string& lSignonID, const std::string& sClsID, std::string& sID);
    // Deletes the temporary registration; failures are only traced.
    void ClearProgID(const std::string& sEntry);

    static std::string TempProgID(int32_t sessionID, const std::string& progId);

private:
    bool CreateRegEntry(int32_t sessionID, const std::string& progId, const std::string& clsid);
    void Trace(const char* call, const std::string& text, QVariant& context);

    QPointer<QObject> trace_;  // the trace target, or null when none could be created
};

}  // namespace lumaro
