#pragma once
// The program's settings seen from outside the program: read, written and tested per
// company by an administrator without signing on. Every read and write goes through
// ProgramSettings, the code the program itself uses, on the INI file the program uses
// (the platform's company folder, found through AccpacPaths).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsTest.h"

namespace lumaro {

class AccpacPaths;

// Numbers of the errors SettingsAdmin raises (RuntimeError; the description says what
// happened and where). Errors of the database layer pass through with their own numbers.
enum : int32_t {
    kErrAdminNotInstalled = 1001,    // the platform is not installed on this machine
    kErrAdminUnknownCompany = 1002,  // the platform has no such company
    kErrAdminBadValue = 1003,        // a value that cannot be stored as given
    kErrAdminReadOnly = 1004,        // the settings file cannot be created or changed
    kErrAdminWriteFailed = 1005,     // a value did not read back as written
    kErrAdminNotSet = 1006,          // the company has no connection string
    kErrAdminTestFailed = 1007,      // the settings test found a fault of the settings
};

struct CompanySettings {
    std::string company;
    std::string connectionString;  // decoded
    std::string location;
    std::string query;
    bool drilldown = false;
    int queryTimeout = 0;  // seconds
    // The program counts a company as set up when it has a connection string.
    bool Configured() const { return !connectionString.empty(); }
};

// What to change: only the settings that are given.
struct SettingsChange {
    std::optional<std::string> connectionString;
    std::optional<std::string> location;
    std::optional<std::string> query;
    std::optional<bool> drilldown;
    std::optional<int> queryTimeout;  // seconds, 1 to kMaxQueryTimeout
    bool Empty() const {
        return !connectionString && !location && !query && !drilldown && !queryTimeout;
    }
};

// "true"/"false", "yes"/"no", "1"/"0", any letter case. False for anything else.
bool ParseDrilldownText(std::string_view text, bool& value);

class SettingsAdmin {
public:
    // The company IDs of the platform installation.
    using CompanyList = std::function<std::vector<std::string>()>;
    // The location codes of a company; nullopt (or no list at all) leaves locations unchecked.
    using LocationList =
        std::function<std::optional<std::vector<std::string>>(const std::string& company)>;

    // `paths` must outlive this object.
    SettingsAdmin(const AccpacPaths& paths, CompanyList companies, LocationList locations = {});

    // Raises kErrAdminNotInstalled unless the platform is installed.
    void RequireInstalled() const;
    // The INI file: JoinPath(CompanyPath, "OstrelLumaro.ini").
    std::string IniPath() const;

    // The platform's companies, then any other company that has a section in the INI file.
    std::vector<std::string> Companies() const;
    // The platform's spelling of a company ID (compared ignoring case); raises
    // kErrAdminUnknownCompany when the platform has no such company.
    std::string FindCompany(const std::string& companyId) const;

    // What the program reads for a company (a missing file reads as nothing set; reading
    // never creates or changes the file).
    CompanySettings Read(const std::string& companyId) const;

    // Raises kErrAdminBadValue for a value that could not be stored so that the program
    // reads it back as given: a line break in the location or query, a connection string
    // or query too long for the file.
    static void Validate(const SettingsChange& change);

    // Writes the settings given, through the program's properties (the connection string
    // encoded). Everything is checked first (values, company, a writable file); a failure
    // then changes nothing. Blanks around the location and the query are dropped, as the
    // program drops them when reading; a value that begins and ends with a quote is
    // stored quoted once more, so that the INI reader's removal of enclosing quotes gives
    // back the value itself.
    void Write(const std::string& companyId, const SettingsChange& change);

    // The settings test (TestQuantitySettings) on the company's settings as they would be
    // after `change`, for `item` (may be empty), the location checked against the company's
    // locations. Raises kErrAdminNotSet when there is no connection string and
    // kErrAdminTestFailed with the test's message when it fails. Nothing is written.
    SettingsTestOutcome Test(const std::string& companyId, const SettingsChange& change,
                             const std::string& item) const;

    // The settings of a demo company whose database is `databaseFile`: the SQLite
    // connection string, location WH1, the first-run query, drilldown on.
    static SettingsChange DemoSettings(const std::string& databaseFile);

private:
    const AccpacPaths& paths_;
    CompanyList companies_;
    LocationList locations_;
};

}  // namespace lumaro
