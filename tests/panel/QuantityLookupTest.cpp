// The statement sent to the external database. Reading the result columns (NULL, missing,
// not a number) is QuantityPanelTest's QueryShapes; the connection string shown in messages
// is the database layer's ConnectionStringTest.

#include <gtest/gtest.h>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"
#include "common/RuntimeError.h"
#include "globals/Globals.h"
#include "panel/QuantityLookup.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

std::shared_ptr<ado::Connection> Open(const std::string& connectionString) {
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(connectionString);
    return connection;
}

// Item numbers meant to leave their literal. Each reaches the database as one literal whose
// value is the item number with its escapes expanded, or is refused (the lookup then shows
// the not-found marker).
const char* const kHostileItems[] = {
    "A' OR '1'='1", "\\'",  "a'\\' OR 1=1 --", "\\\\'", "'\\'", "a\\",
    "a\\\\",        "-- c", "\\n\\t\\r",       "%s",    ""};

void ExpectLiterals(const std::shared_ptr<ado::Connection>& connection) {
    for (const char* item : kHostileItems) {
        SCOPED_TRACE(item);
        std::string statement;
        try {
            statement = QuantityStatement("SELECT '%s' AS V, '%s' AS L", item, "WH'1");
        } catch (const RuntimeError&) {
            continue;  // refused
        }
        std::unique_ptr<ado::Recordset> rs;
        ASSERT_NO_THROW(rs = ado::test::OpenQuery(connection, statement)) << statement;
        ASSERT_FALSE(rs->IsEOF());
        EXPECT_EQ(rs->Fields("V").Value().ToString(), ExpandEscapes(item)) << statement;
        EXPECT_EQ(rs->Fields("L").Value().ToString(), "WH'1");
        rs->MoveNext();
        EXPECT_TRUE(rs->IsEOF());
    }
}

// On SQLite, and on PostgreSQL with standard_conforming_strings on and off (off: the server
// reads a backslash in a literal as an escape).
TEST(QuantityStatement, ItemNumberStaysOneLiteral) {
    test::TempDir dir;
    ExpectLiterals(Open(test::CreateSqliteIcloc(dir.path() / "ext.sqlite")));
    if (!test::TestPgServer()) GTEST_SKIP() << "SQLite only: " << test::kNoPgReason;
    test::PgIclocDatabase pg;
    for (const std::string setting : {"on", "off"}) {
        auto connection = Open(pg.OdbcConnectionString() +
                               "ConnSettings={SET standard_conforming_strings=" + setting + "};");
        ASSERT_EQ(ado::test::OpenQuery(connection, "SHOW standard_conforming_strings")
                      ->Fields("standard_conforming_strings")
                      .Value()
                      .ToString(),
                  setting);
        ExpectLiterals(connection);
    }
}

TEST(QuantityStatement, FillsTheQueryAsTheFormatterDoes) {
    EXPECT_EQ(QuantityStatement("ITEMNO='%s' AND LOCATION='%s'", "O'Neil", "WH1"),
              "ITEMNO='O''Neil' AND LOCATION='WH1'");
    EXPECT_EQ(QuantityStatement("'%s'\\n'%s'", "a\\tb", "c\\d"), "'a\tb'\r\n'cd'");
    EXPECT_THROW(QuantityStatement("ITEMNO='%s'", "A1", "WH1"), RuntimeError);
}

}  // namespace
}  // namespace lumaro
