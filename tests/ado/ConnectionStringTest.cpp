// ADO connection strings: parsing and the engine each provider leads to.

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"
#include "ado/ConnectionString.h"
#include "ado/ConnectionStringMask.h"
#include "common/TextUtil.h"

namespace {

using ado::ConnectionString;
using ado::Engine;
using ado::EngineTarget;
using ado::test::RaisedBy;

TEST(ConnectionStringTest, ParsesAsAdoDoes) {
    using Items = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        std::string text;
        Items items;
    };
    const Case cases[] = {
        {";;  provider = SQLite ;; ;  data source = /a b/c.db ;Data Source=x;Empty=; ",
         {{"provider", "SQLite"}, {"Data Source", "x"}, {"Empty", ""}}},
        {"Password=\"a;b\";User ID='it''s';Pwd=\"say \"\"hi\"\"\" ; x=' padded '",
         {{"Password", "a;b"}, {"User ID", "it's"}, {"Pwd", "say \"hi\""}, {"x", " padded "}}},
        {"Driver={PostgreSQL Unicode};Pwd={a;b}}c} ;a==b=c",
         {{"Driver", "{PostgreSQL Unicode}"}, {"Pwd", "{a;b}}c}"}, {"a=b", "c"}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        Items got;
        for (const auto& item : ConnectionString::Parse(c.text).Items())
            got.emplace_back(item.key, item.value);
        EXPECT_EQ(got, c.items);
    }
    ConnectionString cs = ConnectionString::Parse("USER ID=u");
    EXPECT_EQ(cs.Get({"Uid", "User ID"}) + cs.Get("Nothing", "fallback"), "ufallback");

    for (const char* bad :
         {"Provider", "=x", "Pwd=\"abc", "Pwd={abc", "Pwd='a' b;x=1", "x=1;junk"}) {
        lumaro::RuntimeError e = RaisedBy([&] { ConnectionString::Parse(bad); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        EXPECT_EQ(
            e.Description(),
            "Format of the initialization string does not conform to the OLE DB specification.");
    }
}

TEST(ConnectionStringTest, ProvidersLeadToTheirEngines) {
    struct Case {
        std::string text;
        Engine engine;
        std::string database;  // Qt's database name
        std::string odbc;      // what the ODBC driver manager receives ("": the database name)
        std::string options;
        std::string host = {};
        int port = -1;
        std::string user = {}, password = {}, userArg = {}, passwordArg = {};
    };
    const std::string cwd = std::filesystem::current_path().string();
    const std::string sqlite = "QSQLITE_BUSY_TIMEOUT=30000;QSQLITE_OPEN_URI";
    const std::string odbc = "SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=30";
    const std::string tds = "SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15";
    const std::string pg = "connect_timeout=15;options='-c statement_timeout=30000'";
    auto freeTds = [](const std::string& keys) {
        return "DRIVER={FreeTDS};" + keys + "ClientCharset=UTF-8;TDS_Version=7.4;";
    };
    const Case cases[] = {
        {"Provider=SQLite;Data Source=/tmp/a b#1.db", Engine::SQLite,
         "file:/tmp/a%20b%231.db?mode=rw", "", sqlite},
        {"Data Source=rel.db", Engine::SQLite, "file:" + cwd + "/rel.db?mode=rw", "", sqlite},
        {"Provider=sqlite.1;Data Source=:memory:", Engine::SQLite, ":memory:", "",
         "QSQLITE_BUSY_TIMEOUT=30000"},
        {"Driver={PostgreSQL Unicode};Server=h;Database=d", Engine::ODBC,
         "Driver={PostgreSQL Unicode};Server=h;Database=d;", "", odbc},
        {"DSN=mydsn;UID=u;PWD=p", Engine::ODBC, "mydsn;UID=u;PWD=p", "DSN=mydsn;UID=u;PWD=p;",
         odbc},
        {"Provider=MSDASQL;Data Source=my dsn;User ID=u;Password=\"p;q\"", Engine::ODBC,
         "my dsn;UID=u;PWD={p;q}", "DSN=my dsn;UID=u;PWD={p;q};", odbc},
        {"Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=x;UID=y\"",
         Engine::ODBC, "x;UID=ovr;PWD=pw", "DSN=x;UID=ovr;PWD=pw;", odbc, "", -1, "", "", "ovr",
         "pw"},
        {"FILEDSN=/etc/a.dsn;PWD=x", Engine::ODBC, "/etc/a.dsn;PWD=x", "FILEDSN=/etc/a.dsn;PWD=x;",
         odbc},
        {"Provider=PostgreSQL;Host=/tmp/s;Port=5433;Database=d;User ID=u;Password=p",
         Engine::PostgreSQL, "d", "", pg, "/tmp/s", 5433, "u", "p"},
        {"Provider=PostgreSQL;Server=h;Initial Catalog=d;Uid=u;Pwd=p;sslmode=require",
         Engine::PostgreSQL, "d", "", pg + ";sslmode='require'", "h", -1, "arg", "argpw", "arg",
         "argpw"},
        {"Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=?;", Engine::ODBC,
         freeTds("SERVER=?;DATABASE=?;UID=?;PWD=?;"), "", tds},
        {"Provider=SQLOLEDB.1;Data Source=tcp:db.example.com,1444;Initial Catalog=ACCPAC;"
         "User ID=sa;Password=\"a;}\"",
         Engine::ODBC,
         freeTds("SERVER=db.example.com;PORT=1444;DATABASE=ACCPAC;UID=sa;PWD={a;}}};"), "", tds},
        {"Provider=SQLNCLI11;Server=(local)\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;"
         "Trusted_Connection=no",
         Engine::ODBC, freeTds("SERVER=localhost\\SQLEXPRESS;DATABASE=d;UID=u;PWD=p;"), "", tds},
        {"Provider=MSOLEDBSQL19;Server=.;Uid=u;Pwd=p", Engine::ODBC,
         freeTds("SERVER=localhost;UID=u;PWD=p;"), "", tds},
    };
    for (const Case& c : cases) {
        EngineTarget t = ado::MapConnectionString(c.text, c.userArg, c.passwordArg, 15, 30);
        const bool pg = c.engine == Engine::PostgreSQL;
        EXPECT_EQ(std::tie(t.engine, t.databaseName, t.hostName, t.port, t.connectOptions),
                  std::tie(c.engine, c.database, c.host, c.port, c.options));
        EXPECT_EQ(t.odbcConnectionString,
                  c.engine == Engine::ODBC && c.odbc.empty() ? c.database : c.odbc);
        EXPECT_EQ(pg ? t.userName + "/" + t.password : "", pg ? c.user + "/" + c.password : "");
    }
}

TEST(ConnectionStringTest, UnusableStringsAreRefusedClearly) {
    // Connection::Open raises the mapping's error and stays closed.
    ado::Connection connection;
    EXPECT_EQ(RaisedBy([&] { connection.Open("Provider=SQLite"); }).Description(),
              RaisedBy([] {
                  ado::MapConnectionString("Provider=SQLite", "", "", 15, 30);
              }).Description());
    EXPECT_EQ(connection.State(), ado::adStateClosed);
    struct Case {
        std::string text;
        int32_t number;
        std::string description;  // a part of it
    };
    const Case cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb", ado::adErrProviderNotFound,
         "Provider cannot be found. It may not be properly installed."},
        {"Provider=MSOLEDBSQL.X;Server=h", ado::adErrProviderNotFound, "Provider cannot be found."},
        {"Provider=SQLNCLI10;Server=h;Trusted_Connection=yes", ado::adErrProvider,
         "Windows authentication"},
        {"Provider=SQLOLEDB;Data Source=h;Integrated Security=SSPI", ado::adErrProvider,
         "Windows authentication"},
        {"Provider=SQLNCLI;Database=x;Uid=u", ado::adErrProvider, "names no server"},
        {"Provider=SQLNCLI;Server=h,port", ado::adErrProvider, "is not a port number"},
        {"Provider=PostgreSQL;Host=h;Port=99999", ado::adErrProvider, "is not a port number"},
        {"Provider=SQLite", ado::adErrProvider, "names no database file"},
        {"Provider=SQLite;Data Source=\"x", ado::adErrProvider, "does not conform"},
    };
    for (const Case& c : cases) {
        lumaro::RuntimeError e =
            RaisedBy([&] { ado::MapConnectionString(c.text, "", "", 15, 30); });
        EXPECT_EQ(e.Number(), c.number);
        EXPECT_NE(e.Description().find(c.description), std::string::npos) << e.Description();
    }
}

// A value as the ODBC driver manager reads it: braces removed, "}}" read as "}".
std::vector<std::pair<std::string, std::string>> DriverItems(const std::string& odbc) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& item : ConnectionString::Parse(odbc).Items()) {
        std::string v = item.value;
        if (item.braced) v = lumaro::ReplaceAll(v.substr(1, v.size() - 2), "}}", "}");
        items.emplace_back(lumaro::ToUpperAscii(item.key), v);
    }
    return items;
}

TEST(ConnectionStringTest, ValuesArriveWhole) {
    // Written for ADO and read back by the parser.
    for (const std::string value : {"plain", "a;b", "\"q\"", "'s'", " lead", "trail\t", "{br}", "",
                                    "/tmp/x y.db", "a\"b'c", "=x"}) {
        EXPECT_EQ(ConnectionString::Parse("K=" + ado::QuoteConnectionValue(value)).Get("K"), value)
            << value;
    }
    // Passed to the ODBC driver: each value is one value there, never a second keyword.
    using Items = std::vector<std::pair<std::string, std::string>>;
    const std::pair<std::string, Items> odbc[] = {
        {"DSN=erp;PWD=\"'abc\"", {{"DSN", "erp"}, {"PWD", "'abc"}}},
        {"Driver={x};PWD=\"a}b;c\";UID=' u ';X=\"{y}\";Y=\"=z\"",
         {{"DRIVER", "x"}, {"PWD", "a}b;c"}, {"UID", " u "}, {"X", "{y}"}, {"Y", "=z"}}},
        {"Provider=MSDASQL;Extended Properties='DSN=d;PWD=\"{x;PWD=y\"'",
         {{"DSN", "d"}, {"PWD", "{x;PWD=y"}}},
    };
    for (const auto& [text, items] : odbc) {
        EXPECT_EQ(DriverItems(ado::MapConnectionString(text, "", "", 15, 30).odbcConnectionString),
                  items);
    }
    EXPECT_NE(RaisedBy([] { ado::MapConnectionString("X==Y=\"1;PWD=i\";DSN=d", "", "", 1, 1); })
                  .Description()
                  .find("cannot be passed to the ODBC driver"),
              std::string::npos);
    // Large timeouts: computed in 64 bits and held to the int the engines take.
    EXPECT_EQ(
        ado::MapConnectionString("Provider=PostgreSQL;Host=h", "", "", 15, INT_MAX).connectOptions,
        "connect_timeout=15;options='-c statement_timeout=2147483647'");
}

TEST(ConnectionStringTest, MaskHidesEveryPasswordTheParserFinds) {
    // Each password (also inside a nested string) replaced, every other byte kept.
    const std::pair<std::string, std::string> cases[] = {
        {"Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=?;",
         "Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=****;"},
        {"Driver={x};PWD={se;cr}}et};password=\"a;b\";Port=1",
         "Driver={x};PWD=****;password=****;Port=1"},
        {"Server=h;\r\nPwd\n=s2 ", "Server=h;\r\nPwd\n=**** "},
        {"Pwd=\t\"s3a;s3b\";Server=h", "Pwd=\t****;Server=h"},
        {"X==Y=\"1;PWD=s4\";Pwd==x=1", "X==Y=\"1;PWD=****\";Pwd==x=1"},
        {"sslpassword=s5;Host=h", "sslpassword=****;Host=h"},
        {"Extended Properties='DSN=x;Pwd=\"s7''q\"'", "Extended Properties='DSN=x;Pwd=****'"},
        {"Pwd=\"unclosed s8;Server=h", "Pwd=****"},
        {"Pwd='a' s9;Server=h", "Pwd=****;Server=h"},
        {"Pwd=first11;PWD=second11;Pwd=", "Pwd=****;PWD=****;Pwd="},
    };
    for (const auto& [text, masked] : cases) EXPECT_EQ(ado::MaskConnectionPasswords(text), masked);
}

}  // namespace
