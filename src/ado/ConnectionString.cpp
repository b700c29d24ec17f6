#include "ado/ConnectionString.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <filesystem>

#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"

namespace ado {

namespace {

using lumaro::EqualsIgnoreCase;
using lumaro::RuntimeError;
using lumaro::ToUpperAscii;
using lumaro::TrimSpaces;

const char kSource[] = "ADODB.Connection";

[[noreturn]] void BadFormat() {
    throw RuntimeError(
        adErrProvider, kSource,
        "Format of the initialization string does not conform to the OLE DB specification.");
}

[[noreturn]] void Refuse(const std::string& description) {
    throw RuntimeError(adErrProvider, kSource, description);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// "SQLNCLI11.1" -> "SQLNCLI11": ADO accepts a provider's versioned name.
std::string ProviderBaseName(const std::string& provider) {
    std::string name = ToUpperAscii(TrimSpaces(provider));
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot + 1 < name.size() &&
        std::all_of(name.begin() + static_cast<long>(dot) + 1, name.end(),
                    [](unsigned char c) { return std::isdigit(c); }))
        name.resize(dot);
    return name;
}

// A name followed by nothing or by digits only: "SQLNCLI", "SQLNCLI11", "MSOLEDBSQL19".
bool IsNameWithVersion(const std::string& upper, std::string_view base) {
    if (upper.compare(0, base.size(), base) != 0) return false;
    return std::all_of(upper.begin() + static_cast<long>(base.size()), upper.end(),
                       [](unsigned char c) { return std::isdigit(c); });
}

bool IsTrue(const std::string& value) {
    std::string v = ToUpperAscii(TrimSpaces(value));
    return v == "YES" || v == "TRUE" || v == "SSPI" || v == "1";
}

int ParsePort(const std::string& text) {
    std::string t = TrimSpaces(text);
    int port = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), port);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || port <= 0 || port > 65535)
        Refuse("The port \"" + text + "\" in the connection string is not a port number.");
    return port;
}

// A timeout in seconds as milliseconds, computed in 64 bits and held to what an int holds
// (PostgreSQL's statement_timeout and SQLite's busy timeout are ints; 0 means none here,
// which is the longest wait an int gives).
int64_t TimeoutMs(int seconds) {
    if (seconds <= 0) return INT_MAX;
    return std::min<int64_t>(static_cast<int64_t>(seconds) * 1000, INT_MAX);
}

// RFC 3986 percent-encoding of a file path for an SQLite URI.
std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?mode=rw";
}

// A value for a libpq connect option in Qt's connect-options text.
std::string PgValue(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

struct OdbcBuilder {
    std::vector<std::pair<std::string, std::string>> items;  // value already ODBC-escaped

    void Set(const std::string& key, const std::string& escapedValue) {
        // ODBC has no escape for keys: one that would end early or split is refused.
        if (key.empty() || key.find_first_of("=;{}") != std::string::npos || IsBlank(key.front()) ||
            IsBlank(key.back()))
            Refuse("The keyword \"" + key + "\" cannot be passed to the ODBC driver.");
        for (auto& item : items) {
            if (EqualsIgnoreCase(item.first, key)) {
                item.second = escapedValue;
                return;
            }
        }
        items.emplace_back(key, escapedValue);
    }
    void Add(const ConnectionString::Item& item) {
        Set(item.key, item.braced ? item.value : OdbcValue(item.value));
    }
    std::string Text() const {
        std::string text;
        for (const auto& [key, value] : items) text += key + "=" + value + ";";
        return text;
    }
};

// ODBC's login timeout bounds the sign-on; its connection timeout bounds any request on
// the connection (the FreeTDS driver takes it as its sign-on timeout instead).
std::string OdbcOptions(int loginTimeout, int requestTimeout) {
    return "SQL_ATTR_LOGIN_TIMEOUT=" + std::to_string(loginTimeout) +
           ";SQL_ATTR_CONNECTION_TIMEOUT=" + std::to_string(requestTimeout);
}

// What Qt's ODBC driver is given for a finished ODBC connection string.
EngineTarget OdbcTarget(const OdbcBuilder& odbc, std::string connectOptions) {
    EngineTarget t;
    t.engine = Engine::ODBC;
    t.qtDriver = "QODBC";
    t.odbcConnectionString = odbc.Text();
    t.databaseName = QtOdbcDatabaseName(t.odbcConnectionString);
    t.connectOptions = std::move(connectOptions);
    return t;
}

EngineTarget MapSqlite(const ConnectionString& cs, int commandTimeout) {
    EngineTarget t;
    t.engine = Engine::SQLite;
    t.qtDriver = "QSQLITE";
    std::string file = cs.Get({"Data Source", "DataSource"});
    if (file.empty()) Refuse("The connection string names no database file (Data Source).");
    t.connectOptions = "QSQLITE_BUSY_TIMEOUT=" + std::to_string(TimeoutMs(commandTimeout));
    if (file == ":memory:") {
        t.databaseName = file;
        return t;
    }
    // Opened read-write without create: a missing file is an error, never a new database.
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(file), ec);
    t.databaseName = FileUri(ec ? file : path.string());
    t.connectOptions += ";QSQLITE_OPEN_URI";
    return t;
}

EngineTarget MapPostgres(const ConnectionString& cs, const std::string& userId,
                         const std::string& password, int connectionTimeout, int commandTimeout) {
    EngineTarget t;
    t.engine = Engine::PostgreSQL;
    t.qtDriver = "QPSQL";
    t.hostName = cs.Get({"Host", "Server", "Data Source", "Address", "Addr"});
    std::string port = cs.Get("Port");
    if (!port.empty()) t.port = ParsePort(port);
    t.databaseName = cs.Get({"Database", "Initial Catalog", "dbname"});
    t.userName =
        !userId.empty() ? userId : cs.Get({"User ID", "Uid", "User", "Username", "User Name"});
    t.password = !password.empty() ? password : cs.Get({"Password", "Pwd"});

    std::vector<std::string> options;
    // libpq waits at least 2 seconds; 0 means wait forever.
    if (connectionTimeout > 0)
        options.push_back("connect_timeout=" + std::to_string(std::max(connectionTimeout, 2)));
    if (commandTimeout > 0)
        options.push_back("options=" + PgValue("-c statement_timeout=" +
                                               std::to_string(TimeoutMs(commandTimeout))));
    // libpq's own keywords pass through as written (sslmode, application_name, ...).
    static const char* const passThrough[] = {
        "sslmode",     "sslrootcert",     "sslcert",          "sslkey",
        "sslpassword", "sslcrl",          "application_name", "target_session_attrs",
        "hostaddr",    "passfile",        "service",          "client_encoding",
        "keepalives",  "keepalives_idle", "gssencmode",       "channel_binding"};
    for (const char* key : passThrough) {
        if (cs.Has(key)) options.push_back(std::string(key) + "=" + PgValue(cs.Get(key)));
    }
    for (size_t i = 0; i < options.size(); ++i) t.connectOptions += (i ? ";" : "") + options[i];
    return t;
}

EngineTarget MapOdbc(const ConnectionString& cs, bool viaMsdasql, const std::string& userId,
                     const std::string& password, int connectionTimeout, int commandTimeout) {
    OdbcBuilder odbc;
    // MSDASQL carries the ODBC string in Extended Properties, its data source in Data Source.
    if (viaMsdasql) {
        std::string extended = cs.Get("Extended Properties");
        if (!extended.empty()) {
            ConnectionString inner = ConnectionString::Parse(extended);
            for (const auto& item : inner.Items()) odbc.Add(item);
        }
    }
    for (const auto& item : cs.Items()) {
        if (EqualsIgnoreCase(item.key, "Provider") ||
            EqualsIgnoreCase(item.key, "Extended Properties") ||
            EqualsIgnoreCase(item.key, "Persist Security Info"))
            continue;
        if (viaMsdasql && EqualsIgnoreCase(item.key, "Data Source"))
            odbc.Set("DSN", OdbcValue(item.value));
        else if (EqualsIgnoreCase(item.key, "User ID"))
            odbc.Set("UID", OdbcValue(item.value));
        else if (EqualsIgnoreCase(item.key, "Password"))
            odbc.Set("PWD", OdbcValue(item.value));
        else if (EqualsIgnoreCase(item.key, "Initial Catalog"))
            odbc.Set("DATABASE", OdbcValue(item.value));
        else
            odbc.Add(item);
    }
    if (!userId.empty()) odbc.Set("UID", OdbcValue(userId));
    if (!password.empty()) odbc.Set("PWD", OdbcValue(password));

    return OdbcTarget(odbc, OdbcOptions(connectionTimeout, commandTimeout));
}

// SQL Server's OLE DB providers: the same server reached through the FreeTDS ODBC driver.
// The driver has no command timeout setting in a connection string.
EngineTarget MapSqlServer(const ConnectionString& cs, const std::string& userId,
                          const std::string& password, int connectionTimeout) {
    if (IsTrue(cs.Get("Trusted_Connection")) || IsTrue(cs.Get("Integrated Security")))
        Refuse(
            "Windows authentication (Trusted_Connection, Integrated Security) is not available "
            "here: "
            "give a SQL Server login with Uid and Pwd in the connection string.");

    std::string server =
        TrimSpaces(cs.Get({"Server", "Data Source", "Address", "Addr", "Network Address"}));
    if (server.empty()) Refuse("The connection string names no server (Server).");
    if (server.size() > 4 && EqualsIgnoreCase(server.substr(0, 4), "tcp:"))
        server = TrimSpaces(server.substr(4));
    std::string port;
    if (size_t comma = server.find(','); comma != std::string::npos) {
        port = std::to_string(ParsePort(server.substr(comma + 1)));
        server = TrimSpaces(server.substr(0, comma));
    }
    // "(local)" and "." name this machine; an instance name may follow after "\".
    size_t slash = server.find('\\');
    std::string host = server.substr(0, slash);
    if (EqualsIgnoreCase(host, "(local)") || host == ".") host = "localhost";
    server = host + (slash == std::string::npos ? "" : server.substr(slash));

    OdbcBuilder odbc;
    odbc.Set("DRIVER", "{FreeTDS}");
    odbc.Set("SERVER", OdbcValue(server));
    if (!port.empty()) odbc.Set("PORT", port);
    std::string database = cs.Get({"Database", "Initial Catalog"});
    if (!database.empty()) odbc.Set("DATABASE", OdbcValue(database));
    std::string uid = !userId.empty() ? userId : cs.Get({"Uid", "User ID", "User"});
    std::string pwd = !password.empty() ? password : cs.Get({"Pwd", "Password"});
    odbc.Set("UID", OdbcValue(uid));
    odbc.Set("PWD", OdbcValue(pwd));
    odbc.Set("ClientCharset", "UTF-8");
    // One protocol: left to itself the driver also tries Sybase's after SQL Server's, each
    // attempt waiting the whole timeout on a server that does not answer.
    odbc.Set("TDS_Version", OdbcValue(cs.Get("TDS_Version", "7.4")));
    std::string app = cs.Get({"Application Name", "APP"});
    if (!app.empty()) odbc.Set("APP", OdbcValue(app));

    return OdbcTarget(odbc, OdbcOptions(connectionTimeout, connectionTimeout));
}

}  // namespace

std::vector<ConnectionToken> TokenizeConnectionString(std::string_view text) {
    std::vector<ConnectionToken> tokens;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        ConnectionToken t;
        // Key: up to a single "=", where "==" is a literal "=".
        while (i < n && IsBlank(text[i])) ++i;
        t.keyBegin = i;
        while (i < n && text[i] != ';') {
            if (text[i] == '=') {
                if (i + 1 < n && text[i + 1] == '=') {
                    i += 2;
                    continue;
                }
                t.hasValue = true;
                break;
            }
            ++i;
        }
        t.keyEnd = i;
        while (t.keyEnd > t.keyBegin && IsBlank(text[t.keyEnd - 1])) --t.keyEnd;
        if (!t.hasValue) {
            t.valueBegin = t.valueEnd = i;
            tokens.push_back(t);
            if (i < n) ++i;  // the ";"
            continue;
        }
        ++i;  // the "="
        while (i < n && IsBlank(text[i])) ++i;
        t.valueBegin = i;
        if (i < n && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
            // Quoted or braced: a doubled closing character inside stands for one.
            t.opener = text[i];
            const char close = t.opener == '{' ? '}' : t.opener;
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text[i] != close) continue;
                if (i + 1 < n && text[i + 1] == close) {
                    ++i;
                    continue;
                }
                closed = true;
                ++i;
                break;
            }
            t.valueEnd = i;
            while (i < n && IsBlank(text[i])) ++i;
            if (!closed || (i < n && text[i] != ';')) {
                // Malformed: everything up to the ";" counts as the value.
                t.wellFormed = false;
                while (i < n && text[i] != ';') ++i;
                t.valueEnd = i;
            }
        } else {
            while (i < n && text[i] != ';') ++i;
            t.valueEnd = i;
            while (t.valueEnd > t.valueBegin && IsBlank(text[t.valueEnd - 1])) --t.valueEnd;
        }
        tokens.push_back(t);
        if (i < n) ++i;  // the ";"
    }
    return tokens;
}

std::string TokenKey(std::string_view text, const ConnectionToken& token) {
    std::string_view key = text.substr(token.keyBegin, token.keyEnd - token.keyBegin);
    std::string out;
    for (size_t i = 0; i < key.size(); ++i) {
        out += key[i];
        if (key[i] == '=' && i + 1 < key.size() && key[i + 1] == '=') ++i;
    }
    return out;
}

std::string TokenValue(std::string_view text, const ConnectionToken& token) {
    std::string_view value = text.substr(token.valueBegin, token.valueEnd - token.valueBegin);
    if (token.opener == 0 || token.opener == '{' || value.size() < 2) return std::string(value);
    std::string out;
    const std::string_view inner = value.substr(1, value.size() - 2);
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == token.opener && i + 1 < inner.size() && inner[i + 1] == token.opener) ++i;
    }
    return out;
}

std::string QuoteConnectionValue(const std::string& value) {
    // A leading "=" would join the key's "=" into a literal "=" of the key.
    const bool plain = !value.empty() && value.find_first_of(";\"'") == std::string::npos &&
                       value.front() != '{' && value.front() != '=' && !IsBlank(value.front()) &&
                       !IsBlank(value.back());
    return plain ? value : "\"" + lumaro::ReplaceAll(value, "\"", "\"\"") + "\"";
}

ConnectionString ConnectionString::Parse(std::string_view text) {
    ConnectionString cs;
    for (const ConnectionToken& t : TokenizeConnectionString(text)) {
        const bool emptyKey = t.keyBegin == t.keyEnd;
        if (!t.hasValue) {
            if (!emptyKey) BadFormat();
            continue;  // an empty pair
        }
        if (emptyKey || !t.wellFormed) BadFormat();
        Item item{TokenKey(text, t), TokenValue(text, t), t.opener == '{'};
        auto same = std::find_if(cs.items_.begin(), cs.items_.end(), [&](const Item& it) {
            return EqualsIgnoreCase(it.key, item.key);
        });
        if (same != cs.items_.end())
            *same = std::move(item);
        else
            cs.items_.push_back(std::move(item));
    }
    return cs;
}

const ConnectionString::Item* ConnectionString::Find(std::string_view key) const {
    for (const auto& item : items_) {
        if (EqualsIgnoreCase(item.key, key)) return &item;
    }
    return nullptr;
}

bool ConnectionString::Has(std::string_view key) const { return Find(key) != nullptr; }

std::string ConnectionString::Get(std::initializer_list<std::string_view> keys,
                                  const std::string& fallback) const {
    for (std::string_view key : keys) {
        if (const Item* item = Find(key)) return item->value;
    }
    return fallback;
}

std::string OdbcValue(const std::string& value) {
    bool needsBraces = !value.empty() &&
                       (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '{' ||
                        value.front() == '"' || value.front() == '\'' || value.front() == '=');
    needsBraces = needsBraces || value.find_first_of(";{}") != std::string::npos;
    if (!needsBraces) return value;
    return "{" + lumaro::ReplaceAll(value, "}", "}}") + "}";
}

std::string QtOdbcDatabaseName(const std::string& odbc) {
    // Qt prefixes "FILEDSN=" to a text containing ".dsn", else "DSN=" to a text with neither
    // "DRIVER=" nor "SERVER=": then that keyword's value goes first and Qt adds the keyword.
    std::string upper = ToUpperAscii(odbc);
    std::string_view prefixed;
    if (upper.find(".DSN") != std::string::npos)
        prefixed = "FILEDSN";
    else if (upper.find("DRIVER=") == std::string::npos &&
             upper.find("SERVER=") == std::string::npos)
        prefixed = "DSN";
    else
        return odbc;
    ConnectionString cs = ConnectionString::Parse(odbc);
    std::string dsn, rest;
    for (const auto& item : cs.Items()) {
        std::string value = item.braced ? item.value : OdbcValue(item.value);
        if (EqualsIgnoreCase(item.key, prefixed))
            dsn = value;
        else
            rest += ";" + item.key + "=" + value;
    }
    return dsn + rest;
}

EngineTarget MapConnectionString(const std::string& connectionString, const std::string& userId,
                                 const std::string& password, int connectionTimeout,
                                 int commandTimeout) {
    ConnectionString cs = ConnectionString::Parse(connectionString);
    const std::string provider = ProviderBaseName(cs.Get("Provider"));
    connectionTimeout = std::max(connectionTimeout, 0);
    commandTimeout = std::max(commandTimeout, 0);

    if (provider.empty()) {
        if (cs.Has("Driver") || cs.Has("DSN") || cs.Has("FILEDSN"))
            return MapOdbc(cs, false, userId, password, connectionTimeout, commandTimeout);
        return MapSqlite(cs, commandTimeout);
    }
    if (provider == "SQLITE") return MapSqlite(cs, commandTimeout);
    if (provider == "MSDASQL")
        return MapOdbc(cs, true, userId, password, connectionTimeout, commandTimeout);
    if (provider == "POSTGRESQL")
        return MapPostgres(cs, userId, password, connectionTimeout, commandTimeout);
    if (IsNameWithVersion(provider, "SQLNCLI") || IsNameWithVersion(provider, "MSOLEDBSQL") ||
        provider == "SQLOLEDB")
        return MapSqlServer(cs, userId, password, connectionTimeout);
    throw RuntimeError(adErrProviderNotFound, kSource,
                       "Provider cannot be found. It may not be properly installed.");
}

}  // namespace ado
