#include "settings/ProgramSettings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "accpac/Session.h"
#include "common/ErrorHandling.h"
#include "common/MessageBox.h"
#include "common/RuntimeError.h"
#include "common/StandardErrors.h"
#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "common/Windows1252.h"
#include "platform/AccpacPaths.h"
#include "settings/frmSettings.h"
#include "settings/modSecurity.h"
#include "winapi/MachineFolder.h"

namespace lumaro {

namespace {

constexpr char kSysop[] = "SYSOP";
constexpr char kNotSetForUser[] =
    "Program settings have not been set. Please contact the Accpac SYSOP user to set them.";
constexpr char kNotSetAskSysop[] =
    "Program settings have not been set. Do you want to set them now?";

// The empty line a new INI file holds: the program writes ANSI text with Windows line
// breaks, as the profile functions do.
constexpr char kNewFileContent[] = "\r\n";

}  // namespace

std::string ConnectionStringTooLongMessage() {
    return "The connection string is too long to be stored. It can have at most " +
           std::to_string(kMaxConnectionStringLength) + " characters.";
}

std::string UnstorableCharacterMessage(const std::string& what, const std::string& text) {
    std::string codes;
    char32_t bad = 0;
    if (Windows1252FromUtf8(text, codes, &bad)) return {};
    return "The " + what + " holds the character " + DescribeCharacter(bad) +
           ", which the settings file cannot store (it holds Windows-1252 text). Nothing was "
           "saved.";
}

namespace {

void RefuseUnstorable(const std::string& what, const std::string& value) {
    const std::string message = UnstorableCharacterMessage(what, value);
    if (!message.empty()) throw RuntimeError(kErrUnstorableCharacter, ExecutableName(), message);
}

}  // namespace

ProgramSettings::ProgramSettings(SessionSource session, PathsSource paths)
    : session_(std::move(session)), paths_(std::move(paths)) {
    companyID_ = [this] { return session_().CompanyID(); };
}

ProgramSettings::ProgramSettings(CompanyIDSource companyID, PathsSource paths)
    : ProgramSettings(SessionSource(), std::move(paths)) {
    companyID_ = std::move(companyID);
    session_ = []() -> accpac::Session& {
        throw RuntimeError::Standard(kErrInvalidProcedureCall, ExecutableName());
    };
}

ProgramSettings::ProgramSettings(accpac::Session& session, const AccpacPaths& paths)
    : ProgramSettings([&session]() -> accpac::Session& { return session; },
                      [&paths]() -> const AccpacPaths& { return paths; }) {}

ProgramSettings::~ProgramSettings() = default;

std::string ProgramSettings::CompanyID() const { return companyID_(); }

// ---- Properties ----------------------------------------------------------------------

std::string ProgramSettings::ConnectionString() const {
    std::string stored = TrimSpaces(ReadINIString(CompanyID(), kKeyConnectionString));
    if (stored.empty()) return stored;
    return DecodeText(stored);
}

void ProgramSettings::SetConnectionString(const std::string& value) {
    // The stored form could come back cut from the reader and decode to garbage: refuse
    // it rather than store it.
    if (CharacterCount(value) > kMaxConnectionStringLength)
        throw RuntimeError(kErrConnectionStringTooLong, ExecutableName(),
                           ConnectionStringTooLongMessage());
    RefuseUnstorable("connection string", value);
    WriteINIString(CompanyID(), kKeyConnectionString, EncodeText(value));
}

std::string ProgramSettings::Location() const {
    return TrimSpaces(ReadINIString(CompanyID(), kKeyLocation));
}

std::string ProgramSettings::StoredText(const std::string& value) {
    // The reader trims blanks and tabs before it looks for the quotes.
    const size_t first = value.find_first_not_of(" \t"), last = value.find_last_not_of(" \t");
    const std::string trimmed =
        first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    const bool enclosed = trimmed.size() >= 2 &&
                          (trimmed.front() == '"' || trimmed.front() == '\'') &&
                          trimmed.back() == trimmed.front();
    return enclosed ? "\"" + value + "\"" : value;
}

void ProgramSettings::SetLocation(const std::string& value) {
    RefuseUnstorable("location", value);
    WriteINIString(CompanyID(), kKeyLocation, StoredText(value));
}

std::string ProgramSettings::Query() const {
    return TrimSpaces(ReadINIString(CompanyID(), kKeyQuery));
}

void ProgramSettings::SetQuery(const std::string& value) {
    RefuseUnstorable("query", value);
    WriteINIString(CompanyID(), kKeyQuery, StoredText(value));
}

bool ProgramSettings::Drilldown() const { return ReadINIBoolean(CompanyID(), kKeyDrilldown); }

void ProgramSettings::SetDrilldown(bool value) {
    WriteINIBoolean(CompanyID(), kKeyDrilldown, value);
}

int ProgramSettings::QueryTimeout() const {
    const int32_t seconds = IniFile::CLngDefault(
        TrimSpaces(ReadINIString(CompanyID(), kKeyQueryTimeout)), kDefaultQueryTimeout);
    return seconds >= 1 && seconds <= kMaxQueryTimeout ? seconds : kDefaultQueryTimeout;
}

void ProgramSettings::SetQueryTimeout(int seconds) {
    if (seconds < 1 || seconds > kMaxQueryTimeout)
        throw RuntimeError::Standard(kErrInvalidProcedureCall, ExecutableName());
    WriteINIString(CompanyID(), kKeyQueryTimeout, std::to_string(seconds));
}

// ---- INI access ----------------------------------------------------------------------

void ProgramSettings::WriteINIString(const std::string& sSection, const std::string& sKey,
                                     const std::string& sValue) {
    ini_.SetSection(sSection);
    ini_.SetKey(sKey);
    ini_.SetValue(sValue);
}

std::string ProgramSettings::ReadINIString(const std::string& sSection,
                                           const std::string& sKey) const {
    ini_.SetSection(sSection);
    ini_.SetKey(sKey);
    return ini_.value();
}

bool ProgramSettings::ReadINIBoolean(const std::string& sSection, const std::string& sKey) const {
    ini_.SetSection(sSection);
    ini_.SetKey(sKey);
    return ini_.BooleanValue();
}

void ProgramSettings::WriteINIBoolean(const std::string& sSection, const std::string& sKey,
                                      bool bValue) {
    ini_.SetSection(sSection);
    ini_.SetKey(sKey);
    ini_.SetValue(bValue ? "True" : "False");
}

// ---- Start-up ------------------------------------------------------------------------

bool ProgramSettings::CreateINIFile() {
    try {
        ini_.SetPath(JoinPath(paths_().CompanyPath(), kSettingsFileName));
        const std::string path = winapi::ProfileFilePath(ini_.Path().c_str(), true);

        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return true;
        // "x": create only; a file that another process created meanwhile is kept as is.
        std::FILE* file = std::fopen(path.c_str(), "wbx");
        if (!file) {
            const int error = errno;
            if (error == EEXIST && std::filesystem::is_regular_file(path, ec)) return true;
            namespace fs = std::filesystem;
            if (error != EEXIST)
                createFailure_ = std::strerror(error);
            else if (fs::is_symlink(path, ec))
                createFailure_ = "it is a link to " + fs::read_symlink(path, ec).string() +
                                 ", which leads nowhere";
            else
                createFailure_ = "its name is taken by something that is not a file";
            return false;
        }
        const bool written = std::fputs(kNewFileContent, file) >= 0;
        const bool closed = std::fclose(file) == 0;
        if (!written || !closed) createFailure_ = "the file could not be written";
        return written && closed;
    } catch (...) {
        createFailure_ = DescribeException(std::current_exception());
        return false;
    }
}

bool ProgramSettings::CheckProgramSettings() {
    currentConnectionString_ = ConnectionString();
    if (!currentConnectionString_.empty()) return true;

    if (ToUpperAscii(session_().UserID()) != kSysop) {
        MsgBox(kNotSetForUser, MsgIcon::Exclamation, MsgButtons::OK, "Error");
        return false;
    }
    if (MsgBox(kNotSetAskSysop, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return false;

    // No owner window; unloaded when this function ends, whatever happens.
    frmSettings dialog(nullptr);
    dialog.SetConnectionString(kFirstRunConnectionString);
    dialog.SetLocation(kFirstRunLocation);
    dialog.SetQuery(kFirstRunQuery);
    dialog.SetDrilldown(kFirstRunDrilldown);
    dialog.SetQueryTimeout(QueryTimeout());
    // The dialog refuses a location the company does not have, when the platform lists them.
    IgnoreErrors([&] {
        if (auto link = session_().OpenDBLink(1, 1)) dialog.SetLocations(link->LocationCodes());
    });
    dialog.ShowModal();

    if (dialog.ReturnCode() != frmSettings::kReturnOK) return false;
    SetConnectionString(dialog.ConnectionString());
    SetLocation(dialog.Location());
    SetQuery(dialog.Query());
    SetQueryTimeout(dialog.QueryTimeout());
    SetDrilldown(dialog.Drilldown());
    return true;
}

}  // namespace lumaro
