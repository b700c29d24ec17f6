// The statement sent to the external database, reading a result column, and the
// connection string shown in messages.

#include "panel/QuantityLookup.h"

#include <gtest/gtest.h>

#include "panel/PanelTestSupport.h"
#include "support/TestSupport.h"
#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "panel/Globals.h"

namespace lumaro {
namespace {

TEST(MaskConnectionPasswords, HidesOnlyPasswordValues) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=?;", "Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=****;"},
        {"Driver={PostgreSQL Unicode};Server=db;Uid=sa;PWD={se;cr}}et};Port=5432",
         "Driver={PostgreSQL Unicode};Server=db;Uid=sa;PWD=****;Port=5432"},
        {"Password=\"a;b\"\"c\";User ID=x", "Password=****;User ID=x"},
        {" password = 'x;y' ; Data Source=f", " password = **** ; Data Source=f"},
        {"Pwd=", "Pwd=****"},
        {"Pwd=secret", "Pwd=****"},
        {"Jet OLEDB:Database Password=x;Pwdx=y;Pwd", "Jet OLEDB:Database Password=x;Pwdx=y;Pwd"},
        {"Provider=SQLite;Data Source=/tmp/a=b.db;", "Provider=SQLite;Data Source=/tmp/a=b.db;"},
        {"Pwd=a;Password=b;pwd=c", "Pwd=****;Password=****;pwd=****"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(MaskConnectionPasswords(c.in), c.out) << c.in;
}

// Item numbers meant to break out of their literal. Each must reach the database as one
// literal whose value is the item number with its escapes expanded, or be refused (the
// lookup then shows the not-found marker) when a backslash would reach the database.
const char* const kHostileItems[] = {
    "O'Neil",
    "A' OR '1'='1",
    "x'; DROP TABLE t; --",
    "\\'",
    "a'\\' OR 1=1 --",
    "a'\\' UNION SELECT 'x', 'y' --",
    "\\\\'",
    "\\\\' OR 1=1 --",
    "\\''",
    "'\\'",
    "a\\",
    "a\\\\",
    "-- comment",
    "/* open",
    "a\\n' OR 1=1 --",
    "\\n\\t\\r",
    "'",
    "''",
    "%s",
    "",
};

std::string QueryText(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
                      const std::string& column) {
    ado::Command command;
    command.SetActiveConnection(connection);
    command.SetCommandText(sql);
    ado::Recordset recordset;
    recordset.Open(command);
    return recordset.Fields(column).Value().ToString();
}

void ExpectLiterals(const std::shared_ptr<ado::Connection>& connection) {
    for (const char* item : kHostileItems) {
        SCOPED_TRACE(item);
        std::string statement;
        try {
            statement = QuantityStatement("SELECT '%s' AS V, '%s' AS L", item, "WH'1");
        } catch (const RuntimeError&) {
            continue;  // refused: the lookup shows the not-found marker
        }
        ado::Command command;
        command.SetActiveConnection(connection);
        command.SetCommandText(statement);
        command.SetCommandType(ado::adCmdText);
        ado::Recordset recordset;
        ASSERT_NO_THROW(recordset.Open(command)) << statement;
        ASSERT_FALSE(recordset.IsEOF());
        EXPECT_EQ(recordset.Fields("V").Value().ToString(), ExpandEscapes(item)) << statement;
        EXPECT_EQ(recordset.Fields("L").Value().ToString(), "WH'1");
        recordset.MoveNext();
        EXPECT_TRUE(recordset.IsEOF());
    }
}

TEST(QuantityStatement, ItemNumberStaysOneLiteralOnSqlite) {
    test::TempDir dir;
    const std::string file = (dir.path() / "ext.sqlite").string();
    test::RunSqlite(file, {"CREATE TABLE t (x INTEGER)"});
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(test::SqliteConnectionString(file));
    ExpectLiterals(connection);
}

TEST(QuantityStatement, ItemNumberStaysOneLiteralOnPostgres) {
    auto pg = test::PostgresDatabase::Create();
    if (!pg) GTEST_SKIP() << "LUMARO_TEST_PG not set";
    for (const char* setting : {"on", "off"}) {
        // Off: the server reads a backslash in a literal as an escape.
        auto connection = std::make_shared<ado::Connection>();
        connection->Open(pg->ConnectionString() + "ConnSettings={SET standard_conforming_strings=" + setting + "};");
        ASSERT_EQ(QueryText(connection, "SHOW standard_conforming_strings", "standard_conforming_strings"), setting);
        ExpectLiterals(connection);
    }
}

TEST(QuantityStatement, FillsTheQueryAsTheFormatterDoes) {
    EXPECT_EQ(QuantityStatement("ITEMNO='%s' AND LOCATION='%s'", "A1", "WH1"), "ITEMNO='A1' AND LOCATION='WH1'");
    EXPECT_EQ(QuantityStatement("ITEMNO='%s' AND LOCATION='%s'", "O'Neil", "WH1"),
              "ITEMNO='O''Neil' AND LOCATION='WH1'");
    // Escapes of the item and of the query text are expanded.
    EXPECT_EQ(QuantityStatement("'%s'\\n'%s'", "a\\tb", "c\\d"), "'a\tb'\r\n'cd'");
    EXPECT_THROW(QuantityStatement("ITEMNO='%s'", "A1", "WH1"), RuntimeError);
    EXPECT_THROW(QuantityStatement("ITEMNO LIKE 'A%' AND X='%s' AND Y='%s'", "A1", "WH1"), RuntimeError);
}

TEST(GetFieldText, ZeroForWhatCannotBeRead) {
    test::TempDir dir;
    const std::string file = (dir.path() / "ext.sqlite").string();
    test::RunSqlite(file, {"CREATE TABLE t (x INTEGER)"});
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(test::SqliteConnectionString(file));
    ado::Command command;
    command.SetActiveConnection(connection);
    command.SetCommandText("SELECT NULL AS A, 5 AS B, 2.5 AS C, 'x' AS D, -7.0 AS E");
    ado::Recordset recordset;
    recordset.Open(command);
    EXPECT_EQ(GetFieldText(recordset, "A"), "0");  // null
    EXPECT_EQ(GetFieldText(recordset, "Z"), "0");  // no such column
    EXPECT_EQ(GetFieldText(recordset, "b"), "5");  // by name, ignoring case
    EXPECT_EQ(GetFieldText(recordset, "C"), "2.5");
    EXPECT_EQ(GetFieldText(recordset, "D"), "x");
    EXPECT_EQ(GetFieldText(recordset, "E"), "-7");
}

}  // namespace
}  // namespace lumaro
