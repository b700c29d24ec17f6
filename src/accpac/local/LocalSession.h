#pragma once
// Sign-on, sessions and DB links of the local platform.
//
// Sign-on: LocalSessionManager::CreateSession uses the sign-on remembered for the user
// in HKEY_CURRENT_USER (kSignonKey: user and company, never a password) unless the
// sign-on prompt option is set or nothing is remembered; then it asks the sign-on prompt
// (a hook the GUI sets; without one nobody can be asked and there is no session). A
// successful prompted sign-on is remembered. Each sign-on gets a session ID that is
// unique on the machine (a counter in the site folder).
//
// Screens: GetScreenRegistration reads kScreensKey\<screen id> ("ClassID", "CodeBase");
// the option (0 or 1) does not change the answer. PrepareScreen gives, in order, the
// screen id, the class ID and the code base. LauncherText is the session ID in decimal;
// LocalSession::FromLauncherText finds the session again (for the screen launcher).

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "accpac/Session.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/LocalErrorList.h"
#include "accpac/local/Site.h"

namespace accpac::local {

class LocalDBLink : public accpac::DBLink {
public:
    // Opens the company's database; raises (and records in errors) when it cannot.
    LocalDBLink(std::shared_ptr<LocalErrorList> errors, const SiteCompany& company,
                const std::string& file);
    ~LocalDBLink() override;

    std::optional<std::vector<ActiveApplication>> ActiveApplications() override;
    // The listed fields of the view's first record; raises for an unknown view or field,
    // or a view without records.
    std::vector<Variant> ReadViewFields(const std::string& viewId,
                                        const std::vector<int>& fieldIndexes) override;
    std::optional<std::vector<std::string>> LocationCodes() override;

    const std::string& CompanyID() const { return company_.id; }
    CompanyDatabase& Database() { return *database_; }
    // The session's error list; platform objects using this link record their errors there.
    LocalErrorList* Errors() const { return errors_.get(); }
    ErrorScope Scope() const { return ErrorScope(errors_.get()); }

private:
    std::shared_ptr<LocalErrorList> errors_;
    SiteCompany company_;
    std::unique_ptr<CompanyDatabase> database_;
};

class LocalSession : public accpac::Session, public std::enable_shared_from_this<LocalSession> {
public:
    LocalSession(int32_t sessionID, Site site, const SiteCompany& company, const SiteUser& user);
    ~LocalSession() override;

    std::shared_ptr<DBLink> OpenDBLink(int linkType, int flags) override;
    std::string CompanyID() const override;
    std::string CompanyName() const override;
    std::string UserID() const override;
    ErrorList& Errors() override;
    bool GetScreenRegistration(const std::string& screenId, int option, std::string& clsid,
                               std::string& codeBase) override;
    void PrepareScreen(const std::string& screenId, const std::string& parameters,
                       std::string& text1, std::string& text2, std::string& text3) override;
    std::string LauncherText() override;

    int32_t SessionID() const { return sessionID_; }
    bool SignedOn() const { return signedOn_; }
    const Site& SiteData() const { return site_; }
    // The DB link with the local platform's own operations (company database).
    std::shared_ptr<LocalDBLink> OpenLocalDBLink();
    std::shared_ptr<LocalErrorList> ErrorListPtr() const { return errors_; }

    // The signed-on session that a launcher text names; nullptr when there is none.
    static std::shared_ptr<LocalSession> FromLauncherText(const std::string& text);
    static std::shared_ptr<LocalSession> FromSessionID(int32_t sessionID);

private:
    friend class LocalSessionManager;
    void SignOff();
    std::shared_ptr<LocalDBLink> OpenLocalDBLinkOfType(int linkType, int flags);
    void RequireSignedOn(const char* operation) const;

    int32_t sessionID_;
    Site site_;
    SiteCompany company_;
    std::string userId_;
    std::shared_ptr<LocalErrorList> errors_;
    bool signedOn_ = true;
};

struct CompanyInfo {
    std::string id;
    std::string name;
};

struct SignonCredentials {
    std::string userID;
    std::string password;
    std::string companyID;
};

// What the sign-on prompt is given: the proposed user and company, the site's companies,
// and a check the prompt may run before it closes ("" when the credentials would be
// accepted, otherwise the reason in the platform's words).
struct SignonPromptRequest {
    std::string userID;
    std::string companyID;
    std::vector<CompanyInfo> companies;
    std::function<std::string(const SignonCredentials&)> check;
};
// Refused sign-ons before the prompt gives up.
inline constexpr int kMaxSignonAttempts = 3;
// Returns the credentials entered, or nullopt when the user cancelled or gave up after
// kMaxSignonAttempts refused sign-ons.
using SignonPromptHook =
    std::function<std::optional<SignonCredentials>(const SignonPromptRequest&)>;

class LocalSessionManager : public accpac::SessionManager {
public:
    explicit LocalSessionManager(SignonPromptHook prompt = {});
    ~LocalSessionManager() override;

    void SetAppID(const std::string& appId) override { appId_ = appId; }
    void SetAppVersion(const std::string& version) override { appVersion_ = version; }
    void SetProgramName(const std::string& programName) override { programName_ = programName; }
    void SetServerName(const std::string& serverName) override { serverName_ = serverName; }
    void SetSignonPrompt(bool prompt) override { signonPrompt_ = prompt; }
    bool SignonPrompt() const override { return signonPrompt_; }
    // Signs on as described at the top; sessionID 0 and session nullptr when the user
    // cancelled or sign-on failed (LastError() then says why).
    void CreateSession(const std::string& objectHandle, int32_t& sessionID,
                       std::shared_ptr<Session>& session) override;
    void EndSignon(int32_t sessionID) override;

    void SetPromptHook(SignonPromptHook prompt) { prompt_ = std::move(prompt); }
    const std::string& AppID() const { return appId_; }
    const std::string& AppVersion() const { return appVersion_; }
    const std::string& ProgramName() const { return programName_; }

    // Signs on with a password (the programmatic sign-on); raises kErrSignonFailed with
    // the reason (unknown user or company, wrong password, platform not installed).
    std::shared_ptr<LocalSession> Signon(const SignonCredentials& credentials);
    // The reason the last CreateSession gave no session ("" after a success or a cancel).
    std::string LastError() const override { return lastError_; }

    // The sign-on remembered in HKEY_CURRENT_USER.
    static std::optional<SignonCredentials> RememberedSignon();  // password empty
    static void RememberSignon(const std::string& userID, const std::string& companyID);
    static void ForgetSignon();

private:
    std::shared_ptr<LocalSession> SignonTrusted(const std::string& userID,
                                                const std::string& companyID);
    std::shared_ptr<LocalSession> Open(const Site& site, const std::string& userID,
                                       const std::string& companyID);

    SignonPromptHook prompt_;
    std::string appId_, appVersion_, programName_, serverName_;
    bool signonPrompt_ = false;
    std::string lastError_;
    std::vector<std::shared_ptr<LocalSession>> sessions_;
};

}  // namespace accpac::local
