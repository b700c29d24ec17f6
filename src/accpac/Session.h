#pragma once
// The ERP platform's session-level objects as the program uses them: session manager,
// session, DB link, error list, error display, control installer, screen launcher.
// Each operation raises lumaro::RuntimeError with the platform's number and description
// when it fails; the platform also records its errors in the session's error list.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Variant.h"

namespace accpac {

using lumaro::Variant;

struct ActiveApplication {
    std::string appId;  // e.g. "OE", "IC"
    bool active = false;
};

class DBLink {
public:
    virtual ~DBLink() = default;
    // The active applications of the company, indexed from 0; nullopt when the link has no list.
    virtual std::optional<std::vector<ActiveApplication>> ActiveApplications() = 0;
    // Reads the listed fields of the first record of a view (e.g. the options view "IC0380").
    virtual std::vector<Variant> ReadViewFields(const std::string& viewId,
                                                const std::vector<int>& fieldIndexes) = 0;
    // The codes of the company's locations, sorted; nullopt when the link cannot list them.
    virtual std::optional<std::vector<std::string>> LocationCodes() { return std::nullopt; }
};

struct ErrorEntry {
    int level = 0;  // 1 message, 2 warning, 3 error, 4 security, 5 fatal
    std::string message;
    std::string source;
    int32_t number = 0;
};

class ErrorList {
public:
    virtual ~ErrorList() = default;
    virtual int Count() const = 0;
    virtual ErrorEntry Item(int index) const = 0;  // 0-based
    virtual void Add(const ErrorEntry& entry) = 0;
    virtual void Clear() = 0;
};

class Session {
public:
    virtual ~Session() = default;
    // Link type 1 (company), flags 1; nullptr when no link could be opened.
    virtual std::shared_ptr<DBLink> OpenDBLink(int linkType, int flags) = 0;
    virtual std::string CompanyID() const = 0;
    virtual std::string CompanyName() const = 0;
    virtual std::string UserID() const = 0;
    virtual ErrorList& Errors() = 0;
    // The screen registration lookup: screen id (e.g. "OE1100", "IC1900") and option;
    // fills the screen control's class ID text and code base; false when not registered.
    virtual bool GetScreenRegistration(const std::string& screenId, int option, std::string& clsid,
                                       std::string& codeBase) = 0;
    // Prepares the launch of a screen with its parameter string; three texts out, in order.
    virtual void PrepareScreen(const std::string& screenId, const std::string& parameters,
                               std::string& text1, std::string& text2, std::string& text3) = 0;
    // The further text the screen launcher needs.
    virtual std::string LauncherText() = 0;
};

class SessionManager {
public:
    virtual ~SessionManager() = default;
    virtual void SetAppID(const std::string& appId) = 0;
    virtual void SetAppVersion(const std::string& version) = 0;
    virtual void SetProgramName(const std::string& programName) = 0;
    virtual void SetServerName(const std::string& serverName) = 0;
    virtual void SetSignonPrompt(bool prompt) = 0;
    virtual bool SignonPrompt() const = 0;
    // Signs on (showing the platform's sign-on dialog when it must) and opens a session.
    // session is nullptr when the user cancelled or sign-on failed.
    virtual void CreateSession(const std::string& objectHandle, int32_t& sessionID,
                               std::shared_ptr<Session>& session) = 0;
    virtual void EndSignon(int32_t sessionID) = 0;
    // Why the last CreateSession gave no session; empty after a success or a cancel.
    virtual std::string LastError() const { return {}; }
};

class ErrorDisplay {
public:
    virtual ~ErrorDisplay() = default;
    virtual void ShowErrors(Session& session) = 0;   // shows the session's error list
    virtual void ClearErrors(Session& session) = 0;  // empties it
    virtual void AddError(Session& session, const std::string& objectHandle, int level,
                          const std::string& message, const std::string& text1,
                          const std::string& text2, int32_t number) = 0;
};

class ControlInstaller {
public:
    virtual ~ControlInstaller() = default;
    // Returns without error when the control is usable.
    virtual void Install(const std::string& clsid, const std::string& codeBase, int32_t hwnd) = 0;
};

class ScreenLauncher {
public:
    virtual ~ScreenLauncher() = default;
    virtual void Prepare(const std::string& text1, const std::string& text2,
                         const std::string& text3, const std::string& text4,
                         const std::string& parameters) = 0;
    virtual std::string Run(int32_t ownerHwnd) = 0;
    virtual void Close() = 0;
};

}  // namespace accpac
