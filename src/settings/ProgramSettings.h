#pragma once
// The program's four settings (connection string, location, query, quantity drilldown),
// kept per platform company in one INI file in the platform's company folder. The main
// window owns one ProgramSettings and exposes its properties and its two start-up
// functions as its own.
//
// Every read and every write asks the platform session for the company ID again and uses
// it as the section name; nothing caches it. Values are trimmed when read, never when
// written. The connection string is stored encoded (EncodeText) and decoded on reading.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "settings/IniFile.h"

namespace accpac {
class Session;
}

namespace lumaro {

class AccpacPaths;
class frmSettings;

// The INI file, in the platform's company folder.
inline constexpr char kSettingsFileName[] = "OstrelLumaro.ini";

// Keys of a company's section.
inline constexpr char kKeyConnectionString[] = "ConnectionString";
inline constexpr char kKeyLocation[] = "Location";
inline constexpr char kKeyQuery[] = "Query";
inline constexpr char kKeyDrilldown[] = "Drilldown";
// Seconds a quantity lookup may take before it is cancelled; files written before the key
// existed, and values that are not a number from 1 to 3600, read as the default.
inline constexpr char kKeyQueryTimeout[] = "QueryTimeout";
inline constexpr int kDefaultQueryTimeout = 15;
inline constexpr int kMaxQueryTimeout = 3600;

// First-run values offered in the settings dialog.
inline constexpr char kFirstRunConnectionString[] =
    "Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=?;";
inline constexpr char kFirstRunLocation[] = "";
inline constexpr char kFirstRunQuery[] =
    "SELECT (QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST) AS QTONHAND,QTYONORDER AS QTONORDER,"
    "QTYSALORDR AS QTSALORDR,(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST-QTYCOMMIT) AS QTAVAIL,"
    "QTYCOMMIT AS QTCOMMIT FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'";
inline constexpr bool kFirstRunDrilldown = false;

// The longest connection string that can be stored: its encoded form takes up to five
// characters per character, and a read returns at most one character less than the
// INI reader's buffer. A longer string could be cut when read back and decode to garbage,
// so it is refused instead.
inline constexpr std::size_t kMaxConnectionStringLength = (IniFile::kBufferSize - 1) / 5;

// Error raised when a connection string is too long to be stored, or a setting holds a
// character the settings file cannot store.
inline constexpr int32_t kErrConnectionStringTooLong = 5;  // invalid procedure call or argument
inline constexpr int32_t kErrUnstorableCharacter = 5;
std::string ConnectionStringTooLongMessage();
// The settings file and the connection string's stored form hold Windows-1252 text: the
// message that refuses a setting (`what`: "connection string", "location", "query") for its
// first character without a Windows-1252 code, naming it; "" when every character has one.
std::string UnstorableCharacterMessage(const std::string& what, const std::string& text);

class ProgramSettings {
public:
    using SessionSource = std::function<accpac::Session&()>;
    // Gives the company ID without a session (tools that work on a company's settings
    // without signing on).
    using CompanyIDSource = std::function<std::string()>;
    using PathsSource = std::function<const AccpacPaths&()>;

    // The session and the paths are asked for on every use, so the owner may fill them
    // in after creating this object (the main window signs on and finds the platform
    // during start-up). Both must be set before any property or function is used.
    ProgramSettings(SessionSource session, PathsSource paths);
    // The same over objects that outlive this one.
    ProgramSettings(accpac::Session& session, const AccpacPaths& paths);
    // The same with the company ID from `companyID` instead of a session. Such an object
    // has no signed-on user: CheckProgramSettings raises (error 5) on it.
    ProgramSettings(CompanyIDSource companyID, PathsSource paths);
    ~ProgramSettings();
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;

    // The decoded connection string of the company; writing encodes it. A string longer
    // than kMaxConnectionStringLength characters raises kErrConnectionStringTooLong and
    // stores nothing. Each setter raises kErrUnstorableCharacter and stores nothing for text
    // with a character that UnstorableCharacterMessage refuses.
    std::string ConnectionString() const;
    void SetConnectionString(const std::string& value);
    std::string Location() const;
    void SetLocation(const std::string& value);
    std::string Query() const;
    void SetQuery(const std::string& value);
    bool Drilldown() const;
    void SetDrilldown(bool value);
    int QueryTimeout() const;
    // Raises error 5 (invalid procedure call) outside 1..kMaxQueryTimeout.
    void SetQueryTimeout(int seconds);

    // Places the INI file: JoinPath(CompanyPath, "OstrelLumaro.ini"), created with one
    // empty line when missing, where the profile functions look for that name (a relative
    // name is resolved as they resolve it). False on any failure; CreateFailure() then says why.
    bool CreateINIFile();
    const std::string& CreateFailure() const { return createFailure_; }
    // Makes sure a connection string is set, offering the settings dialog to SYSOP on the
    // first run. False ends the program.
    bool CheckProgramSettings();

    // The connection string read by CheckProgramSettings (the quantity panel replaces it
    // when it reads the settings again).
    const std::string& CurrentConnectionString() const { return currentConnectionString_; }
    void SetCurrentConnectionString(const std::string& value) { currentConnectionString_ = value; }

    // The text stored for a location or query. The INI reader drops one pair of quotes that
    // encloses a value; such a value is stored inside one more pair of double quotes, so
    // that it reads back exactly as it was written.
    static std::string StoredText(const std::string& value);

    // The full path of the INI file once CreateINIFile has placed it.
    const std::string& IniPath() const { return ini_.Path(); }

private:
    void WriteINIString(const std::string& sSection, const std::string& sKey,
                        const std::string& sValue);
    std::string ReadINIString(const std::string& sSection, const std::string& sKey) const;
    bool ReadINIBoolean(const std::string& sSection, const std::string& sKey) const;
    void WriteINIBoolean(const std::string& sSection, const std::string& sKey, bool bValue);
    std::string CompanyID() const;

    SessionSource session_;
    CompanyIDSource companyID_;
    PathsSource paths_;
    // One reader for the life of the owner; every access sets its Section and Key first.
    mutable IniFile ini_;
    std::string currentConnectionString_;
    std::string createFailure_;
};

}  // namespace lumaro
