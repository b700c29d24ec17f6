#include "accpac/local/Site.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>
#include <cctype>

#include "accpac/local/LocalErrorList.h"
#include "accpac/local/Registry.h"
#include "common/TextUtil.h"

namespace accpac::local {

namespace {

constexpr int kIterations = 10000;

std::string Join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (a.back() == '/' || b.front() == '/') return a + b;
    return a + "/" + b;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

[[noreturn]] void Damaged(const std::string& file, const std::string& what) {
    throw lumaro::RuntimeError(kErrSiteDamaged, "Site",
                               "The site file " + file + " is damaged: " + what + ".");
}

std::string RequireText(const QJsonObject& object, const char* key, const std::string& file,
                        const std::string& what) {
    QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().trimmed().isEmpty())
        Damaged(file, what + " has no \"" + key + "\"");
    return value.toString().trimmed().toStdString();
}

}  // namespace

std::string PlatformConfiguration::RuntimeFolder() const { return Join(programs, "runtime"); }
std::string PlatformConfiguration::SiteFolder() const { return Join(sharedData, "SITE"); }
std::string PlatformConfiguration::CompanyFolder() const { return Join(sharedData, "COMPANY"); }

PlatformConfiguration PlatformConfiguration::Read() {
    auto programs = registry::ReadString(HKEY_LOCAL_MACHINE, kConfigurationKey, "Programs");
    auto shared = registry::ReadString(HKEY_LOCAL_MACHINE, kConfigurationKey, "SharedData");
    if (!programs || !shared || programs->empty() || shared->empty())
        throw lumaro::RuntimeError(
            kErrPlatformNotInstalled, "Site",
            "The platform is not installed on this computer: its configuration "
            "(\"Programs\" and \"SharedData\") is missing from the registry.");
    return PlatformConfiguration{*programs, *shared};
}

std::string PasswordHash(const std::string& password, const std::string& saltHex, int iterations) {
    const QByteArray key = QByteArray::fromStdString(password);
    QByteArray salt = QByteArray::fromHex(QByteArray::fromStdString(saltHex));
    salt.append(char(0)).append(char(0)).append(char(0)).append(char(1));  // block 1
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, key);
    mac.addData(salt);
    QByteArray u = mac.result();
    QByteArray t = u;
    for (int i = 1; i < iterations; ++i) {
        mac.reset();
        mac.addData(u);
        u = mac.result();
        for (qsizetype b = 0; b < t.size(); ++b) t[b] = static_cast<char>(t[b] ^ u[b]);
    }
    return t.toHex().toStdString();
}

Site::Site(PlatformConfiguration configuration) : configuration_(std::move(configuration)) {}

Site Site::Load() { return Load(PlatformConfiguration::Read()); }

Site Site::Load(const PlatformConfiguration& configuration) {
    Site site(configuration);
    const std::string file = site.FileName();
    QFile in(Q(file));
    if (!in.exists())
        throw lumaro::RuntimeError(kErrSiteDamaged, "Site",
                                   "The site file " + file + " cannot be found.");
    if (!in.open(QIODevice::ReadOnly))
        throw lumaro::RuntimeError(
            kErrSiteDamaged, "Site",
            "The site file " + file + " cannot be read: " + in.errorString().toStdString() + ".");
    QJsonParseError parseError{};
    QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &parseError);
    if (doc.isNull() || !doc.isObject()) Damaged(file, parseError.errorString().toStdString());
    const QJsonObject root = doc.object();

    const QJsonArray users = root.value("users").toArray();
    for (qsizetype i = 0; i < users.size(); ++i) {
        const std::string what = "user entry " + std::to_string(i + 1);
        if (!users[i].isObject()) Damaged(file, what + " is not an object");
        const QJsonObject u = users[i].toObject();
        SiteUser user;
        user.id = lumaro::ToUpperAscii(RequireText(u, "id", file, what));
        user.name = u.value("name").toString().toStdString();
        user.salt = RequireText(u, "salt", file, "user " + user.id);
        user.hash = RequireText(u, "hash", file, "user " + user.id);
        user.iterations = u.value("iterations").toInt(0);
        if (user.iterations <= 0) Damaged(file, "user " + user.id + " has no valid \"iterations\"");
        if (site.FindUser(user.id)) Damaged(file, "user " + user.id + " is listed twice");
        site.users_.push_back(user);
    }

    const QJsonArray companies = root.value("companies").toArray();
    for (qsizetype i = 0; i < companies.size(); ++i) {
        const std::string what = "company entry " + std::to_string(i + 1);
        if (!companies[i].isObject()) Damaged(file, what + " is not an object");
        const QJsonObject c = companies[i].toObject();
        SiteCompany company;
        company.id = lumaro::ToUpperAscii(RequireText(c, "id", file, what));
        company.name = c.value("name").toString().toStdString();
        company.database = RequireText(c, "database", file, "company " + company.id);
        for (const QJsonValue& a : c.value("applications").toArray()) {
            const QJsonObject app = a.toObject();
            company.applications.push_back(
                {app.value("id").toString().toStdString(), app.value("active").toBool()});
            company.versions.push_back(app.value("version").toString().toStdString());
        }
        if (site.FindCompany(company.id))
            Damaged(file, "company " + company.id + " is listed twice");
        site.companies_.push_back(company);
    }
    return site;
}

std::string Site::FileName() const { return Join(configuration_.SiteFolder(), "site.json"); }

void Site::Save() const {
    QJsonArray users;
    for (const SiteUser& u : users_)
        users.append(QJsonObject{{"id", Q(u.id)},
                                 {"name", Q(u.name)},
                                 {"salt", Q(u.salt)},
                                 {"hash", Q(u.hash)},
                                 {"iterations", u.iterations}});
    QJsonArray companies;
    for (const SiteCompany& c : companies_) {
        QJsonArray apps;
        for (size_t i = 0; i < c.applications.size(); ++i)
            apps.append(
                QJsonObject{{"id", Q(c.applications[i].appId)},
                            {"version", Q(i < c.versions.size() ? c.versions[i] : std::string())},
                            {"active", c.applications[i].active}});
        companies.append(QJsonObject{{"id", Q(c.id)},
                                     {"name", Q(c.name)},
                                     {"database", Q(c.database)},
                                     {"applications", apps}});
    }
    const std::string file = FileName();
    QDir().mkpath(Q(configuration_.SiteFolder()));
    QSaveFile out(Q(file));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(QJsonObject{{"users", users}, {"companies", companies}}).toJson()) <
            0 ||
        !out.commit())
        throw lumaro::RuntimeError(kErrInstallation, "Site",
                                   "The site file " + file + " cannot be written: " +
                                       out.errorString().toStdString() + ".");
}

const SiteUser* Site::FindUser(const std::string& userId) const {
    auto it = std::find_if(users_.begin(), users_.end(), [&](const SiteUser& u) {
        return lumaro::EqualsIgnoreCase(u.id, userId);
    });
    return it == users_.end() ? nullptr : &*it;
}

const SiteCompany* Site::FindCompany(const std::string& companyId) const {
    auto it = std::find_if(companies_.begin(), companies_.end(), [&](const SiteCompany& c) {
        return lumaro::EqualsIgnoreCase(c.id, companyId);
    });
    return it == companies_.end() ? nullptr : &*it;
}

std::string Site::DatabaseFile(const SiteCompany& company) const {
    if (QFileInfo(Q(company.database)).isAbsolute()) return company.database;
    return Join(configuration_.sharedData, company.database);
}

void Site::SetUser(const std::string& userId, const std::string& name,
                   const std::string& password) {
    SiteUser user;
    user.id = lumaro::ToUpperAscii(lumaro::TrimSpaces(userId));
    if (user.id.empty() || user.id.size() > 8)
        throw lumaro::RuntimeError(kErrInstallation, "Site",
                                   "A user ID has 1 to 8 characters: \"" + userId + "\".");
    user.name = name;
    QByteArray salt(16, 0);
    for (qsizetype i = 0; i < salt.size(); ++i)
        salt[i] = static_cast<char>(QRandomGenerator::system()->bounded(256));
    user.salt = salt.toHex().toStdString();
    user.iterations = kIterations;
    user.hash = PasswordHash(password, user.salt, user.iterations);
    users_.erase(std::remove_if(users_.begin(), users_.end(),
                                [&](const SiteUser& u) { return u.id == user.id; }),
                 users_.end());
    users_.push_back(user);
}

void Site::SetCompany(const SiteCompany& company) {
    SiteCompany c = company;
    c.id = lumaro::ToUpperAscii(lumaro::TrimSpaces(c.id));
    const bool valid =
        !c.id.empty() && c.id.size() <= 6 && std::all_of(c.id.begin(), c.id.end(), [](char ch) {
            return std::isalnum(static_cast<unsigned char>(ch));
        });
    if (!valid)
        throw lumaro::RuntimeError(
            kErrInstallation, "Site",
            "A company ID has 1 to 6 letters or digits: \"" + company.id + "\".");
    RemoveCompany(c.id);
    companies_.push_back(c);
}

void Site::RemoveCompany(const std::string& companyId) {
    companies_.erase(std::remove_if(companies_.begin(), companies_.end(),
                                    [&](const SiteCompany& c) {
                                        return lumaro::EqualsIgnoreCase(c.id, companyId);
                                    }),
                     companies_.end());
}

bool Site::CheckPassword(const std::string& userId, const std::string& password) const {
    const SiteUser* user = FindUser(userId);
    if (!user) return false;
    const std::string hash = PasswordHash(password, user->salt, user->iterations);
    // Compare in constant time.
    const std::string stored = lumaro::ToLowerAscii(user->hash);
    if (hash.size() != stored.size()) return false;
    unsigned diff = 0;
    for (size_t i = 0; i < hash.size(); ++i) diff |= static_cast<unsigned>(hash[i] ^ stored[i]);
    return diff == 0;
}

}  // namespace accpac::local
