#include "platform/AccpacPaths.h"

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <locale>
#include <sstream>

#include "common/MessageBox.h"
#include "common/RuntimeError.h"
#include "common/VersionInfo.h"
#include "platform/cRegistry.h"

namespace lumaro {

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = '/';
constexpr const char* kConfigurationKey =
    "SOFTWARE\\ACCPAC International, Inc.\\ACCPAC\\Configuration";

std::tm SystemLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

std::string TwoDigits(int n) {
    std::string s = "00" + std::to_string(n);
    return s.substr(s.size() - 2);
}

// The user's general date-and-time form: short date, a blank, long time.
std::string DateTimeText(const std::tm& when) {
    std::ostringstream out;
    try {
        out.imbue(std::locale(""));
    } catch (const std::exception&) {
        out.imbue(std::locale::classic());
    }
    out << std::put_time(&when, "%x %X");
    return out.str();
}

}  // namespace

std::string JoinPath(const std::string& a, const std::string& b) {
    if (!a.empty() && a.back() != kSeparator && (b.empty() || b.front() != kSeparator))
        return a + kSeparator + b;
    return a + b;
}

AccpacPaths::AccpacPaths() : now_(SystemLocalTime) { Discover(); }

void AccpacPaths::Discover() {
    installed_ = true;
    try {
        cRegistry registry;
        registry.SetClassKey(HKEY_LOCAL_MACHINE);
        registry.SetSectionKey(kConfigurationKey);
        registry.SetValueType(REG_SZ);

        // KeyExists looks at the key, not the value: a missing value reads as the
        // (empty) default.
        registry.SetValueKey("Programs");
        if (registry.KeyExists()) {
            programsPath_ = registry.value().ToString();
            runtimePath_ = JoinPath(programsPath_, "runtime");
        } else {
            installed_ = false;
        }

        registry.SetValueKey("SharedData");
        if (registry.KeyExists()) {
            sharedDataPath_ = registry.value().ToString();
            sitePath_ = JoinPath(sharedDataPath_, "SITE");
            companyPath_ = JoinPath(sharedDataPath_, "COMPANY");
            logPath_ = JoinPath(companyPath_, ProductName());
        } else {
            installed_ = false;
        }

        if (installed_) installed_ = FileExists(JoinPath(runtimePath_, "a4wapi.dll"));
    } catch (...) {
        MsgBox("A critical error occured in determining Accpac path information. Error=" +
                   DescribeException(std::current_exception()),
               MsgIcon::Critical, MsgButtons::OK, ProductName());
        installed_ = false;
    }
}

Variant AccpacPaths::OrgPath(const std::string& sOrgId) const {
    return Variant(sOrgId.empty() ? companyPath_ : JoinPath(companyPath_, sOrgId));
}

std::string AccpacPaths::LogFileName() const {
    std::tm today = now_();
    std::string name = std::to_string(today.tm_year + 1900) + TwoDigits(today.tm_mon + 1) +
                       TwoDigits(today.tm_mday);
    return JoinPath(logPath_, name + ".log");
}

Variant AccpacPaths::LogExists() const { return Variant(FileExists(LogFileName())); }

void AccpacPaths::WriteLog(int16_t iLevel, const std::string& sLogEntry) const {
    try {
        std::error_code ec;
        if (!fs::is_directory(fs::path(logPath_), ec)) {
            // One level only: the company folder must already exist.
            if (!fs::create_directory(fs::path(logPath_), ec) || ec) return;
        }
        std::tm now = now_();
        std::ofstream log(LogFileName(), std::ios::binary | std::ios::app);
        if (!log) return;
        log << DateTimeText(now) << ' ' << LogIndent(iLevel) << sLogEntry << "\r\n";
    } catch (...) {
        // The log never fails towards the caller: the line is lost.
    }
}

std::string AccpacPaths::LogIndent(int16_t iLevel) {
    return iLevel > 0 ? std::string(static_cast<size_t>(iLevel) * 4, ' ') : std::string();
}

}  // namespace lumaro
