#include "accpac/local/LocalSession.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <algorithm>
#include <map>

#include "accpac/local/Registry.h"
#include "accpac/local/Views.h"
#include "common/ErrorHandling.h"
#include "common/TextUtil.h"
#include "common/Variant.h"

namespace accpac::local {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::map<int32_t, std::weak_ptr<LocalSession>>& LiveSessions() {
    static std::map<int32_t, std::weak_ptr<LocalSession>> sessions;
    return sessions;
}

[[noreturn]] void SignonFailed(const std::string& why) {
    throw lumaro::RuntimeError(kErrSignonFailed, "SessionManager", why);
}

// The next sign-on ID of the machine: a counter in the site folder, advanced under a lock
// so that sign-ons in different processes never share an ID.
int32_t NextSessionID(const PlatformConfiguration& configuration) {
    const QString folder = Q(configuration.SiteFolder());
    QDir().mkpath(folder);
    const QString file = folder + "/signon.seq";
    QLockFile lock(file + ".lock");
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(5000))
        SignonFailed("The sign-on counter " + file.toStdString() +
                     " is locked by another program.");
    qint64 last = 0;
    {
        QFile in(file);
        if (in.open(QIODevice::ReadOnly))
            last = QString::fromLatin1(in.readAll()).trimmed().toLongLong();
    }
    qint64 next = last >= 0x7FFFFFFF || last < 0 ? 1 : last + 1;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray::number(next)) < 0 || !out.commit())
        SignonFailed("The sign-on counter " + file.toStdString() +
                     " cannot be written: " + out.errorString().toStdString() + ".");
    return static_cast<int32_t>(next);
}

}  // namespace

// ---- LocalDBLink ----------------------------------------------------------------------

LocalDBLink::LocalDBLink(std::shared_ptr<LocalErrorList> errors, const SiteCompany& company,
                         const std::string& file)
    : errors_(std::move(errors)), company_(company) {
    Scope()("DBLink", [&] { database_ = std::make_unique<CompanyDatabase>(company_.id, file); });
}

LocalDBLink::~LocalDBLink() = default;

std::optional<std::vector<ActiveApplication>> LocalDBLink::ActiveApplications() {
    return company_.applications;
}

std::optional<std::vector<std::string>> LocalDBLink::LocationCodes() {
    return Scope()("DBLink", [&] {
        std::vector<std::string> codes;
        for (const LocationInfo& location : database_->Locations())
            codes.push_back(location.location);
        std::sort(codes.begin(), codes.end());
        return std::optional(codes);
    });
}

std::vector<Variant> LocalDBLink::ReadViewFields(const std::string& viewId,
                                                 const std::vector<int>& fieldIndexes) {
    return Scope()("DBLink", [&] {
        const ViewDefinition* view = FindView(viewId);
        if (!view)
            throw lumaro::RuntimeError(kErrViewNotFound, viewId,
                                       "View \"" + viewId + "\" does not exist.");
        std::string columns;
        std::vector<const FieldDefinition*> fields;
        for (int index : fieldIndexes) {
            const FieldDefinition* field = view->Field(index);
            if (!field)
                throw lumaro::RuntimeError(
                    kErrFieldNotFound, viewId,
                    "View " + viewId + " has no field " + std::to_string(index) + ".");
            fields.push_back(field);
            columns +=
                (columns.empty() ? "" : ", ") +
                (field->expression == field->name ? "\"" + field->name + "\"" : field->expression);
        }
        if (fields.empty()) return std::vector<Variant>{};
        QSqlQuery q = database_->Exec("SELECT " + columns + " FROM " + view->table + " LIMIT 1");
        if (!q.next())
            throw lumaro::RuntimeError(kErrRecordInvalid, viewId,
                                       "View " + viewId + " has no record to read.");
        std::vector<Variant> values;
        for (size_t i = 0; i < fields.size(); ++i) {
            const QVariant v = q.value(static_cast<int>(i));
            switch (fields[i]->type) {
                case FieldType::Text:
                    values.emplace_back(v.isNull() ? std::string() : v.toString().toStdString());
                    break;
                case FieldType::Number:
                    values.emplace_back(v.toDouble());
                    break;
                case FieldType::Long:
                    values.emplace_back(static_cast<int32_t>(v.toInt()));
                    break;
                case FieldType::Boolean:
                    values.emplace_back(v.toInt() != 0);
                    break;
            }
        }
        return values;
    });
}

// ---- LocalSession ---------------------------------------------------------------------

LocalSession::LocalSession(int32_t sessionID, Site site, const SiteCompany& company,
                           const SiteUser& user)
    : sessionID_(sessionID),
      site_(std::move(site)),
      company_(company),
      userId_(user.id),
      errors_(std::make_shared<LocalErrorList>()) {}

LocalSession::~LocalSession() { LiveSessions().erase(sessionID_); }

void LocalSession::RequireSignedOn(const char* operation) const {
    if (!signedOn_)
        throw lumaro::RuntimeError(
            kErrSessionClosed, "Session",
            std::string("The session has been signed off; ") + operation + " is not possible.");
}

std::shared_ptr<DBLink> LocalSession::OpenDBLink(int linkType, int flags) {
    return OpenLocalDBLinkOfType(linkType, flags);
}

std::shared_ptr<LocalDBLink> LocalSession::OpenLocalDBLink() { return OpenLocalDBLinkOfType(1, 1); }

std::shared_ptr<LocalDBLink> LocalSession::OpenLocalDBLinkOfType(int linkType, int flags) {
    return ErrorScope(errors_.get())("Session", [&] {
        RequireSignedOn("opening a database link");
        // Link type 1 is the company database, 2 the system database; here both are the
        // company's one database. Flags 0 and 1 (read-write) are accepted.
        if (linkType != 1 && linkType != 2)
            throw lumaro::RuntimeError(
                kErrCompanyDatabase, "Session",
                "There is no database link of type " + std::to_string(linkType) + ".");
        if (flags < 0 || flags > 1)
            throw lumaro::RuntimeError(
                kErrCompanyDatabase, "Session",
                "The database link flags " + std::to_string(flags) + " are not supported.");
        return std::make_shared<LocalDBLink>(errors_, company_, site_.DatabaseFile(company_));
    });
}

std::string LocalSession::CompanyID() const { return company_.id; }
std::string LocalSession::CompanyName() const { return company_.name; }
std::string LocalSession::UserID() const { return userId_; }
ErrorList& LocalSession::Errors() { return *errors_; }

bool LocalSession::GetScreenRegistration(const std::string& screenId, int /*option*/,
                                         std::string& clsid, std::string& codeBase) {
    return ErrorScope(errors_.get())("Session", [&] {
        RequireSignedOn("looking up a screen");
        const std::string key = std::string(kScreensKey) + "\\" + screenId;
        auto id = screenId.empty() ? std::nullopt
                                   : registry::ReadString(HKEY_LOCAL_MACHINE, key, "ClassID");
        if (!id || id->empty()) return false;
        clsid = *id;
        codeBase = registry::ReadString(HKEY_LOCAL_MACHINE, key, "CodeBase").value_or("");
        return true;
    });
}

void LocalSession::PrepareScreen(const std::string& screenId, const std::string& /*parameters*/,
                                 std::string& text1, std::string& text2, std::string& text3) {
    ErrorScope(errors_.get())("Session", [&] {
        std::string clsid, codeBase;
        if (!GetScreenRegistration(screenId, 0, clsid, codeBase))
            throw lumaro::RuntimeError(
                kErrScreenNotRegistered, "Session",
                "Screen \"" + screenId + "\" is not registered on this computer.");
        text1 = screenId;
        text2 = clsid;
        text3 = codeBase;
    });
}

std::string LocalSession::LauncherText() {
    return ErrorScope(errors_.get())("Session", [&] {
        RequireSignedOn("launching a screen");
        return std::to_string(sessionID_);
    });
}

void LocalSession::SignOff() {
    signedOn_ = false;
    LiveSessions().erase(sessionID_);
}

std::shared_ptr<LocalSession> LocalSession::FromLauncherText(const std::string& text) {
    double id = 0;
    if (!lumaro::TextToDouble(text, id) || id != static_cast<int32_t>(id)) return nullptr;
    return FromSessionID(static_cast<int32_t>(id));
}

std::shared_ptr<LocalSession> LocalSession::FromSessionID(int32_t sessionID) {
    auto it = LiveSessions().find(sessionID);
    if (it == LiveSessions().end()) return nullptr;
    auto session = it->second.lock();
    return session && session->SignedOn() ? session : nullptr;
}

// ---- LocalSessionManager ----------------------------------------------------------------

LocalSessionManager::LocalSessionManager(SignonPromptHook prompt) : prompt_(std::move(prompt)) {}

LocalSessionManager::~LocalSessionManager() = default;

std::shared_ptr<LocalSession> LocalSessionManager::Open(const Site& site, const std::string& userID,
                                                        const std::string& companyID) {
    const SiteUser* user = site.FindUser(userID);
    if (!user)
        SignonFailed("User \"" + lumaro::ToUpperAscii(userID) + "\" is not defined on this site.");
    const SiteCompany* company = site.FindCompany(companyID);
    if (!company)
        SignonFailed("Company \"" + lumaro::ToUpperAscii(companyID) +
                     "\" is not defined on this site.");
    const int32_t id = NextSessionID(site.Configuration());
    auto session = std::make_shared<LocalSession>(id, site, *company, *user);
    LiveSessions()[id] = session;
    sessions_.push_back(session);
    return session;
}

std::shared_ptr<LocalSession> LocalSessionManager::Signon(const SignonCredentials& credentials) {
    if (lumaro::TrimSpaces(credentials.userID).empty()) SignonFailed("Please enter a user ID.");
    if (lumaro::TrimSpaces(credentials.companyID).empty()) SignonFailed("Please choose a company.");
    Site site = Site::Load();
    if (!site.FindUser(credentials.userID))
        SignonFailed("User \"" + lumaro::ToUpperAscii(credentials.userID) +
                     "\" is not defined on this site.");
    if (!site.CheckPassword(credentials.userID, credentials.password))
        SignonFailed("The password of user \"" + lumaro::ToUpperAscii(credentials.userID) +
                     "\" is not correct.");
    return Open(site, credentials.userID, credentials.companyID);
}

std::shared_ptr<LocalSession> LocalSessionManager::SignonTrusted(const std::string& userID,
                                                                 const std::string& companyID) {
    return Open(Site::Load(), userID, companyID);
}

void LocalSessionManager::CreateSession(const std::string& /*objectHandle*/, int32_t& sessionID,
                                        std::shared_ptr<Session>& session) {
    sessionID = 0;
    session = nullptr;
    lastError_.clear();

    const auto remembered = RememberedSignon();
    if (!signonPrompt_ && remembered) {
        try {
            auto opened = SignonTrusted(remembered->userID, remembered->companyID);
            sessionID = opened->SessionID();
            session = opened;
            return;
        } catch (const lumaro::RuntimeError& error) {
            // The remembered user or company is gone: ask, as if nothing were remembered.
            lastError_ = error.Description();
        }
    }
    if (!prompt_) {
        if (lastError_.empty())
            lastError_ = "No sign-on is remembered and there is no way to ask for one.";
        return;
    }

    SignonPromptRequest request;
    if (remembered) {
        request.userID = remembered->userID;
        request.companyID = remembered->companyID;
    }
    try {
        const Site site = Site::Load();
        for (const SiteCompany& c : site.Companies()) request.companies.push_back({c.id, c.name});
    } catch (const lumaro::RuntimeError& error) {
        lastError_ = error.Description();
        return;
    }
    int refused = 0;
    const auto check = [](const SignonCredentials& credentials) -> std::string {
        try {
            if (lumaro::TrimSpaces(credentials.userID).empty()) return "Please enter a user ID.";
            if (lumaro::TrimSpaces(credentials.companyID).empty())
                return "Please choose a company.";
            Site site = Site::Load();
            if (!site.FindUser(credentials.userID))
                return "User \"" + lumaro::ToUpperAscii(credentials.userID) +
                       "\" is not defined on this site.";
            if (!site.CheckPassword(credentials.userID, credentials.password))
                return "The password of user \"" + lumaro::ToUpperAscii(credentials.userID) +
                       "\" is not correct.";
            if (!site.FindCompany(credentials.companyID))
                return "Company \"" + lumaro::ToUpperAscii(credentials.companyID) +
                       "\" is not defined on this site.";
            return {};
        } catch (const lumaro::RuntimeError& error) {
            return error.Description();
        }
    };

    request.check = [&](const SignonCredentials& credentials) {
        std::string reason = check(credentials);
        if (!reason.empty()) ++refused;
        return reason;
    };

    lastError_.clear();
    const auto credentials = prompt_(request);
    if (!credentials) {
        if (refused >= kMaxSignonAttempts)
            lastError_ = "Sign-on refused: too many attempts (" + std::to_string(refused) +
                         " sign-ons were refused).";
        return;  // otherwise cancelled
    }
    try {
        auto opened = Signon(*credentials);
        // Failing to remember it does not undo the sign-on.
        lumaro::IgnoreErrors([&] { RememberSignon(opened->UserID(), opened->CompanyID()); });
        sessionID = opened->SessionID();
        session = opened;
    } catch (const lumaro::RuntimeError& error) {
        lastError_ = error.Description();
    }
}

void LocalSessionManager::EndSignon(int32_t sessionID) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if ((*it)->SessionID() == sessionID) {
            (*it)->SignOff();
            it = sessions_.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<SignonCredentials> LocalSessionManager::RememberedSignon() {
    auto user = registry::ReadString(HKEY_CURRENT_USER, kSignonKey, "UserID");
    auto company = registry::ReadString(HKEY_CURRENT_USER, kSignonKey, "CompanyID");
    if (!user || !company || lumaro::TrimSpaces(*user).empty() ||
        lumaro::TrimSpaces(*company).empty())
        return std::nullopt;
    return SignonCredentials{lumaro::TrimSpaces(*user), {}, lumaro::TrimSpaces(*company)};
}

void LocalSessionManager::RememberSignon(const std::string& userID, const std::string& companyID) {
    registry::WriteString(HKEY_CURRENT_USER, kSignonKey, "UserID", lumaro::ToUpperAscii(userID));
    registry::WriteString(HKEY_CURRENT_USER, kSignonKey, "CompanyID",
                          lumaro::ToUpperAscii(companyID));
}

void LocalSessionManager::ForgetSignon() { registry::DeleteTree(HKEY_CURRENT_USER, kSignonKey); }

}  // namespace accpac::local
