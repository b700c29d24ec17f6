#pragma once
// ADO connection strings: parsing, and the choice of engine from the Provider keyword.
//
// Syntax, as ADO reads it: key=value pairs separated by ";"; keys compared ignoring case,
// blanks around keys and values ignored; a value may be quoted with " or ' (a doubled
// quote inside stands for one); an ODBC value in braces {...} is kept whole, braces
// included, so that it reaches the ODBC driver manager as written; "==" in a key is a
// literal "=". Empty pairs (";;") are skipped. When a key appears twice the last one wins.
//
// Engines:
//   Provider=SQLite;Data Source=<file>       embedded SQLite (also without Provider when
//                                           there is no Driver=/DSN=/FILEDSN=)
//   Provider=MSDASQL;..., Driver=..., DSN=...  ODBC through the driver manager
//   Provider=PostgreSQL;Host=...;Database=...  the native PostgreSQL client
//   Provider=SQLNCLI*/SQLOLEDB/MSOLEDBSQL*     ODBC through the FreeTDS driver
//   anything else                           "Provider cannot be found. It may not be
//                                           properly installed."

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ado {

// One key=value pair as written: the spans (offsets into the text) of its key and value,
// blanks around each left out. The value span includes its quotes or braces.
struct ConnectionToken {
    size_t keyBegin = 0, keyEnd = 0;
    size_t valueBegin = 0, valueEnd = 0;
    bool hasValue = false;   // the pair has a "=" (else the value span is empty)
    char opener = 0;         // '"', '\'', '{' or 0 for a plain value
    bool wellFormed = true;  // quotes and braces closed, nothing after them but blanks
};

// The pairs of a connection string in the order written, empty pairs (";;") included.
// Never raises: a malformed pair is marked and its value runs to the next ";" (to the end
// of the text when a quote or brace is not closed). Keys end at a single "="; "==" is a
// literal "=".
std::vector<ConnectionToken> TokenizeConnectionString(std::string_view text);

// The key of a token, "==" read as "=".
std::string TokenKey(std::string_view text, const ConnectionToken& token);

// The value of a well-formed token: quotes removed and doubled quotes read as one; a
// braced value kept whole.
std::string TokenValue(std::string_view text, const ConnectionToken& token);

// A value written so that Parse reads it back as given: as it is when that is safe,
// otherwise in double quotes with inner double quotes doubled.
std::string QuoteConnectionValue(const std::string& value);

class ConnectionString {
public:
    struct Item {
        std::string key;    // as written, blanks around it removed
        std::string value;  // unquoted; a braced value keeps its braces
        bool braced = false;
    };

    // Raises RuntimeError (adErrProvider) for text that is not a connection string.
    static ConnectionString Parse(std::string_view text);

    const std::vector<Item>& Items() const& { return items_; }
    std::vector<Item> Items() && { return std::move(items_); }  // safe on a temporary
    bool Has(std::string_view key) const;
    // The value of the first of the keys present (keys ignoring case), or fallback.
    std::string Get(std::initializer_list<std::string_view> keys,
                    const std::string& fallback = {}) const;
    std::string Get(std::string_view key, const std::string& fallback = {}) const {
        return Get({key}, fallback);
    }

private:
    const Item* Find(std::string_view key) const;
    std::vector<Item> items_;
};

enum class Engine { SQLite, ODBC, PostgreSQL };

// What a Connection hands to Qt SQL to open the database.
struct EngineTarget {
    Engine engine = Engine::SQLite;
    std::string qtDriver;              // "QSQLITE", "QODBC", "QPSQL"
    std::string databaseName;          // QSQLITE: the file:...?mode=rw URI; QPSQL: dbname;
                                       // QODBC: the text Qt expects (see QtOdbcDatabaseName)
    std::string odbcConnectionString;  // ODBC only: the string the driver manager receives
    std::string hostName;              // QPSQL
    int port = -1;                     // QPSQL
    std::string userName;              // QPSQL
    std::string password;              // QPSQL
    std::string connectOptions;        // Qt connect options (timeouts)
};

// Picks the engine and its settings. userId/password, when not empty, replace the ones of
// the string (ADO's Open arguments). Timeouts are in seconds, 0 meaning none. Raises
// RuntimeError: adErrProviderNotFound for an unknown provider, adErrProvider for a string
// that the provider cannot use (no data source, Windows authentication, bad syntax).
EngineTarget MapConnectionString(const std::string& connectionString, const std::string& userId,
                                 const std::string& password, int connectionTimeout,
                                 int commandTimeout);

// ODBC values: a value that would end early or be misread (";", braces, blanks at its ends,
// a leading quote or "=") is wrapped in braces with "}" doubled.
std::string OdbcValue(const std::string& value);

// The database name to give Qt's ODBC driver so that the driver manager receives exactly
// odbcConnectionString: Qt prefixes "DSN=" when the text has neither "DRIVER=" nor "SERVER=".
std::string QtOdbcDatabaseName(const std::string& odbcConnectionString);

}  // namespace ado
