#pragma once
// The platform's configuration and its site.
//
// Configuration: HKEY_LOCAL_MACHINE "SOFTWARE\ACCPAC International, Inc.\ACCPAC\Configuration",
// values "Programs" (the programs folder, whose "runtime" folder holds a4wapi.dll) and
// "SharedData" (the shared-data folder with the folders SITE and COMPANY).
//
// Site: the file SITE/site.json of the shared-data folder, written by the installation:
//   { "users": [ { "id": "ADMIN", "name": "...", "salt": hex, "hash": hex, "iterations": n } ],
//     "companies": [ { "id": "SAMLTD", "name": "...", "database": "COMPANY/SAMLTD/SAMLTD.sqlite",
//                      "applications": [ { "id": "OE", "version": "54A", "active": true } ] } ] }
// Passwords are kept only as salted PBKDF2-HMAC-SHA256 hashes. User and company IDs are
// upper case and compared ignoring case; passwords are compared exactly. A relative
// database path is relative to the shared-data folder.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "accpac/Session.h"

namespace accpac::local {

inline constexpr const char* kConfigurationKey =
    "SOFTWARE\\ACCPAC International, Inc.\\ACCPAC\\Configuration";
// Screen registrations: <kScreensKey>\<screen id>, values "ClassID" and "CodeBase".
inline constexpr const char* kScreensKey = "SOFTWARE\\ACCPAC International, Inc.\\ACCPAC\\Screens";
// The sign-on remembered per user (HKEY_CURRENT_USER): values "UserID" and "CompanyID".
inline constexpr const char* kSignonKey = "Software\\ACCPAC International, Inc.\\ACCPAC\\Signon";

struct PlatformConfiguration {
    std::string programs;
    std::string sharedData;
    std::string RuntimeFolder() const;  // programs/runtime
    std::string SiteFolder() const;     // sharedData/SITE
    std::string CompanyFolder() const;  // sharedData/COMPANY

    // Reads the configuration from the registry; raises kErrPlatformNotInstalled when it is
    // missing.
    static PlatformConfiguration Read();
};

struct SiteUser {
    std::string id;
    std::string name;
    std::string salt;  // hex
    std::string hash;  // hex
    int iterations = 0;
};

struct SiteCompany {
    std::string id;
    std::string name;
    std::string database;  // as stored (relative to the shared-data folder, or absolute)
    std::vector<ActiveApplication> applications;
    std::vector<std::string> versions;  // per application, same order
};

class Site {
public:
    // Loads the site of the installed platform; raises kErrPlatformNotInstalled or kErrSiteDamaged.
    static Site Load();
    static Site Load(const PlatformConfiguration& configuration);
    // A new, empty site of a platform (not saved).
    explicit Site(PlatformConfiguration configuration);

    const PlatformConfiguration& Configuration() const { return configuration_; }
    std::string FileName() const;
    // Writes the site file atomically; raises kErrInstallation.
    void Save() const;

    const std::vector<SiteUser>& Users() const { return users_; }
    const std::vector<SiteCompany>& Companies() const { return companies_; }
    const SiteUser* FindUser(const std::string& userId) const;
    const SiteCompany* FindCompany(const std::string& companyId) const;
    // The absolute file of a company's database.
    std::string DatabaseFile(const SiteCompany& company) const;

    // Adds or replaces a user with a new salted hash of the password.
    void SetUser(const std::string& userId, const std::string& name, const std::string& password);
    void SetCompany(const SiteCompany& company);
    void RemoveCompany(const std::string& companyId);

    // Checks a user's password; false for an unknown user.
    bool CheckPassword(const std::string& userId, const std::string& password) const;

private:
    PlatformConfiguration configuration_;
    std::vector<SiteUser> users_;
    std::vector<SiteCompany> companies_;
};

// PBKDF2-HMAC-SHA256 of the password, as lower-case hex.
std::string PasswordHash(const std::string& password, const std::string& saltHex, int iterations);

}  // namespace accpac::local
