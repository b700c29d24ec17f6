#pragma once
// Finds the ERP platform on this machine from its registry configuration
// (HKEY_LOCAL_MACHINE\SOFTWARE\ACCPAC International, Inc.\ACCPAC\Configuration, values
// Programs and SharedData), derives its standard folders and decides whether it is
// installed. Also offers a day-by-day text log in a folder named after the product inside
// the company folder. Everything is read once, at construction.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "common/Variant.h"

namespace lumaro {

// The one path-joining rule: a, "/" and b, unless a is empty, a ends with "/" or b begins
// with "/", in which case a followed directly by b. Nothing else is normalised.
std::string JoinPath(const std::string& a, const std::string& b);

class AccpacPaths {
public:
    // The local date and time, broken down; replaceable so that tests can fix the day.
    using LocalTimeSource = std::function<std::tm()>;

    // Runs the discovery. Never fails towards the caller: an unexpected error is shown as
    // a critical message and leaves Installed False.
    AccpacPaths();

    // The configuration was found and a4wapi.dll is present in the runtime folder.
    bool Installed() const { return installed_; }
    const std::string& ProgramsPath() const { return programsPath_; }
    const std::string& RuntimePath() const { return runtimePath_; }
    const std::string& SharedDataPath() const { return sharedDataPath_; }
    const std::string& SitePath() const { return sitePath_; }
    const std::string& CompanyPath() const { return companyPath_; }
    const std::string& LogPath() const { return logPath_; }

    // The company folder, or the folder of company sOrgId inside it (a String Variant).
    Variant OrgPath(const std::string& sOrgId) const;

    // Today's log file: <log folder>/YYYYMMDD.log, worked out at every call.
    std::string LogFileName() const;
    // Whether today's log file exists now (a Boolean Variant).
    Variant LogExists() const;
    // Appends "<date time> <indent><sLogEntry>" and CR LF to today's log, creating the log
    // folder (one level) and the file as needed. Any failure loses the line silently.
    void WriteLog(int16_t iLevel, const std::string& sLogEntry) const;
    // Four blanks per level; empty for 0 or less.
    static std::string LogIndent(int16_t iLevel);

    void SetLocalTimeSource(LocalTimeSource now) { now_ = std::move(now); }

private:
    void Discover();

    std::string sharedDataPath_;
    std::string programsPath_;
    std::string runtimePath_;
    std::string sitePath_;
    std::string companyPath_;
    std::string logPath_;
    bool installed_ = true;
    LocalTimeSource now_;
};

}  // namespace lumaro
