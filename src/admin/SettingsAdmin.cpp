#include "admin/SettingsAdmin.h"

#include <filesystem>
#include <memory>

#include "ado/ConnectionString.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "common/Windows1252.h"
#include "globals/Globals.h"
#include "platform/AccpacPaths.h"
#include "settings/IniFile.h"
#include "settings/ProgramSettings.h"
#include "winapi/FileStore.h"
#include "winapi/MachineFolder.h"

namespace lumaro {

namespace {

std::string Source() { return ExecutableName() + ".SettingsAdmin"; }

[[noreturn]] void Raise(int32_t number, const std::string& description) {
    throw RuntimeError(number, Source(), description);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// The longest location or query that reads back whole (the reader's buffer less its NUL).
constexpr size_t kMaxStoredLength = IniFile::kBufferSize - 1;

void CheckText(const char* what, const std::optional<std::string>& value) {
    if (!value) return;
    if (HasLineBreak(*value))
        Raise(kErrAdminBadValue, std::string("The ") + what + " cannot contain a line break.");
    if (ProgramSettings::StoredText(TrimBlanks(*value)).size() > kMaxStoredLength)
        Raise(kErrAdminBadValue, std::string("The ") + what +
                                     " is too long to be stored. It can have at most " +
                                     std::to_string(kMaxStoredLength - 2) + " characters.");
}

}  // namespace

bool ParseDrilldownText(std::string_view text, bool& value) {
    const std::string t = ToUpperAscii(TrimSpaces(text));
    if (t == "TRUE" || t == "YES" || t == "1") {
        value = true;
        return true;
    }
    if (t == "FALSE" || t == "NO" || t == "0") {
        value = false;
        return true;
    }
    return false;
}

SettingsAdmin::SettingsAdmin(const AccpacPaths& paths, CompanyList companies,
                             LocationList locations)
    : paths_(paths), companies_(std::move(companies)), locations_(std::move(locations)) {}

void SettingsAdmin::RequireInstalled() const {
    if (!paths_.Installed() || paths_.CompanyPath().empty())
        Raise(kErrAdminNotInstalled,
              "The platform is not installed on this machine (machine folder " +
                  winapi::MachineFolder() + ").");
}

std::string SettingsAdmin::IniPath() const {
    return JoinPath(paths_.CompanyPath(), kSettingsFileName);
}

std::vector<std::string> SettingsAdmin::Companies() const {
    RequireInstalled();
    std::vector<std::string> all = companies_();
    IniFile ini;
    ini.SetPath(IniPath());
    std::vector<std::string> sections;  // element 0 unused
    int32_t count = 0;
    ini.EnumerateAllSections(sections, count);
    for (int32_t i = 1; i <= count; ++i) {
        bool listed = false;
        for (const std::string& c : all)
            listed = listed || EqualsIgnoreCase(c, sections[size_t(i)]);
        if (!listed) all.push_back(sections[size_t(i)]);
    }
    return all;
}

std::string SettingsAdmin::FindCompany(const std::string& companyId) const {
    RequireInstalled();
    const std::vector<std::string> known = companies_();
    for (const std::string& c : known)
        if (EqualsIgnoreCase(c, TrimSpaces(companyId))) return c;
    std::string list;
    for (const std::string& c : known) list += (list.empty() ? "" : ", ") + c;
    Raise(kErrAdminUnknownCompany, "Unknown company \"" + companyId +
                                       "\". The platform's companies are: " +
                                       (list.empty() ? std::string("none") : list) + ".");
}

CompanySettings SettingsAdmin::Read(const std::string& companyId) const {
    RequireInstalled();
    CompanySettings result;
    result.company = companyId;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(IniPath(), ec)) return result;  // nothing set yet

    ProgramSettings settings([companyId] { return companyId; },
                             [this]() -> const AccpacPaths& { return paths_; });
    // The file exists: placing it leaves it untouched.
    if (!settings.CreateINIFile()) return result;
    result.connectionString = settings.ConnectionString();
    result.location = settings.Location();
    result.query = settings.Query();
    result.drilldown = settings.Drilldown();
    result.queryTimeout = settings.QueryTimeout();
    return result;
}

void SettingsAdmin::Validate(const SettingsChange& change) {
    if (change.connectionString &&
        CharacterCount(*change.connectionString) > kMaxConnectionStringLength)
        Raise(kErrAdminBadValue, ConnectionStringTooLongMessage());
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {"connection string", &change.connectionString},
        {"location", &change.location},
        {"query", &change.query}};
    for (const auto& [what, text] : texts) {
        const std::string message = *text ? UnstorableCharacterMessage(what, **text) : "";
        if (!message.empty()) Raise(kErrAdminBadValue, message);
    }
    CheckText("location", change.location);
    CheckText("query", change.query);
}

void SettingsAdmin::Write(const std::string& companyId, const SettingsChange& change) {
    Validate(change);
    const std::string company = FindCompany(companyId);

    ProgramSettings settings([company] { return company; },
                             [this]() -> const AccpacPaths& { return paths_; });
    const std::string path = IniPath();
    if (!settings.CreateINIFile())
        Raise(kErrAdminReadOnly, "The settings file " + path +
                                     " cannot be created (is the company folder " +
                                     paths_.CompanyPath() + " writable?).");
    if (!winapi::detail::IsWritable(winapi::detail::ResolveForWrite(path)))
        Raise(kErrAdminReadOnly, "The settings file " + path + " is read-only.");

    // In the order the program writes them.
    std::optional<std::string> location, query;
    if (change.location) location = TrimBlanks(*change.location);
    if (change.query) query = TrimBlanks(*change.query);
    if (change.connectionString) settings.SetConnectionString(*change.connectionString);
    if (location) settings.SetLocation(*location);
    if (query) settings.SetQuery(*query);
    if (change.drilldown) settings.SetDrilldown(*change.drilldown);
    if (change.queryTimeout) settings.SetQueryTimeout(*change.queryTimeout);

    // What the program will read must be what was given.
    auto verify = [&](const char* key, bool same) {
        if (!same)
            Raise(kErrAdminWriteFailed, std::string("The setting ") + key + " of company " +
                                            company + " could not be written to " + path + ".");
    };
    if (change.connectionString)
        verify(kKeyConnectionString, settings.ConnectionString() == *change.connectionString);
    if (location) verify(kKeyLocation, settings.Location() == TrimSpaces(*location));
    if (query) verify(kKeyQuery, settings.Query() == TrimSpaces(*query));
    if (change.drilldown) verify(kKeyDrilldown, settings.Drilldown() == *change.drilldown);
    if (change.queryTimeout)
        verify(kKeyQueryTimeout, settings.QueryTimeout() == *change.queryTimeout);
}

SettingsTestOutcome SettingsAdmin::Test(const std::string& companyId, const SettingsChange& change,
                                        const std::string& item) const {
    const std::string company = FindCompany(companyId);
    CompanySettings s = Read(company);
    if (change.connectionString) s.connectionString = *change.connectionString;
    if (change.location) s.location = TrimBlanks(*change.location);
    if (change.query) s.query = TrimBlanks(*change.query);
    if (!s.Configured())
        Raise(kErrAdminNotSet,
              "The settings of company " + company + " have not been set (no connection string).");
    SettingsTestInput input{s.connectionString, s.location, s.query, item, std::nullopt};
    if (locations_) input.locations = locations_(company);
    SettingsTestOutcome outcome = TestQuantitySettings(input);
    if (!outcome.passed) Raise(kErrAdminTestFailed, outcome.message);
    return outcome;
}

SettingsChange SettingsAdmin::DemoSettings(const std::string& databaseFile) {
    SettingsChange change;
    change.connectionString =
        "Provider=SQLite;Data Source=" + ado::QuoteConnectionValue(databaseFile);
    change.location = "WH1";
    change.query = kFirstRunQuery;
    change.drilldown = true;
    return change;
}

}  // namespace lumaro
