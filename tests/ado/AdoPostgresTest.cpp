// The database layer against the real PostgreSQL test server, through the native client
// (Provider=PostgreSQL) and through ODBC (the PostgreSQL ODBC driver).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"

namespace {

using ado::test::OpenQuery;
using ado::test::RaisedBy;
using lumaro::RuntimeError;
using namespace lumaro::test;

enum class Path { Native, Odbc };

std::string PathName(const ::testing::TestParamInfo<Path>& info) {
    return info.param == Path::Native ? "Native" : "Odbc";
}

class AdoPostgresTest : public ::testing::TestWithParam<Path> {
protected:
    static void SetUpTestSuite() {
        if (TestPgServer()) database_ = new PgIclocDatabase();
    }
    static void TearDownTestSuite() {
        delete database_;
        database_ = nullptr;
    }
    void SetUp() override {
        if (!database_) GTEST_SKIP() << kNoPgReason;
        connection_ = std::make_shared<ado::Connection>();
        connection_->SetCursorLocation(ado::adUseServer);
        connection_->Open(ConnectionString());
    }
    std::string ConnectionString() const {
        return GetParam() == Path::Native ? database_->AdoConnectionString()
                                          : database_->OdbcConnectionString();
    }
    // The connection string with one key replaced or added.
    std::string With(const std::string& extra) const { return ConnectionString() + extra; }

    static PgIclocDatabase* database_;
    std::shared_ptr<ado::Connection> connection_;
};

PgIclocDatabase* AdoPostgresTest::database_ = nullptr;

TEST_P(AdoPostgresTest, FirstRunQueryGivesTheFiveQuantities) {
    ado::test::ExpectSampleQuantities(connection_);
}

TEST_P(AdoPostgresTest, NoRowsAndStatementErrors) {
    auto rs = OpenQuery(connection_, FirstRunQuery("NO SUCH ITEM", "1"));
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(RaisedBy([&] { rs->Fields("QTONHAND"); }).Number(), ado::adErrNoCurrentRecord);
    rs->Close();

    struct Case {
        const char* sql;
        const char* text;
    };
    const Case cases[] = {
        {"SELEC * FROM ICILOC", "syntax error at or near \"SELEC\""},
        {"SELECT NOPE FROM ICILOC", "column \"nope\" does not exist"},
        {"SELECT * FROM NOTABLE", "relation \"notable\" does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        RuntimeError e = RaisedBy([&] { OpenQuery(connection_, c.sql); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        EXPECT_NE(e.Description().find(c.text), std::string::npos) << e.Description();
        EXPECT_EQ(connection_->State(), ado::adStateOpen);
    }
    EXPECT_FALSE(OpenQuery(connection_, FirstRunQuery("A1-103/0", "1"))->IsEOF());
}

TEST_P(AdoPostgresTest, SignOnFaultsCarryTheServersText) {
    struct Case {
        std::string connectionString;
        std::string text;
    };
    const std::string host = database_->Server().host,
                      port = std::to_string(database_->Server().port);
    const bool native = GetParam() == Path::Native;
    const std::string base =
        native ? "Provider=PostgreSQL;Host=" + host + ";Port=" + port + ";"
               : "Driver={PostgreSQL Unicode};Servername=" + host + ";Port=" + port + ";";
    const std::string db = "Database=";
    const Case cases[] = {
        {base + db + database_->Name() + ";User ID=lumaro_pw;Password=wrong",
         "password authentication failed for user \"lumaro_pw\""},
        {base + db + database_->Name() + ";User ID=lumaro_pw", "no password supplied"},
        {base + db + "no_such_database;User ID=lumaro",
         "database \"no_such_database\" does not exist"},
        {(native ? "Provider=PostgreSQL;Host=no-such-host.invalid;Database=x;User ID=lumaro"
                 : "Driver={PostgreSQL "
                   "Unicode};Servername=no-such-host.invalid;Database=x;Username=lumaro"),
         "could not translate host name \"no-such-host.invalid\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connectionString);
        ado::Connection connection;
        RuntimeError e = RaisedBy([&] { connection.Open(c.connectionString); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        EXPECT_NE(e.Description().find(c.text), std::string::npos) << e.Description();
        EXPECT_EQ(connection.State(), ado::adStateClosed);
    }
    // The password given in the string, or as Open's arguments.
    ado::Connection withPassword;
    withPassword.Open(base + db + database_->Name() + ";User ID=lumaro_pw;Password=lumaro-secret");
    EXPECT_EQ(withPassword.State(), ado::adStateOpen);
    ado::Connection withArguments;
    withArguments.Open(base + db + database_->Name(), "lumaro_pw", "lumaro-secret");
    EXPECT_EQ(withArguments.State(), ado::adStateOpen);
}

TEST_P(AdoPostgresTest, AStatementStopsAtTheCommandTimeout) {
    if (GetParam() == Path::Odbc)
        GTEST_SKIP() << "the ODBC driver has no statement timeout of its own";
    auto connection = std::make_shared<ado::Connection>();
    connection->SetCommandTimeout(1);
    connection->Open(ConnectionString());
    const auto start = std::chrono::steady_clock::now();
    RuntimeError e = RaisedBy([&] { OpenQuery(connection, "SELECT pg_sleep(10)"); });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(e.Description().find("canceling statement due to statement timeout"),
              std::string::npos)
        << e.Description();
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(connection->State(), ado::adStateOpen);
}

// A data source named in odbc.ini, reached as ADO strings name it.
TEST_P(AdoPostgresTest, OdbcDataSourceNames) {
    if (GetParam() == Path::Native) GTEST_SKIP() << "ODBC only";
    TempDir dir;
    const std::filesystem::path ini = dir.path() / "odbc.ini";
    WriteFile(ini,
              "[Lumaro Test]\nDriver=PostgreSQL Unicode\nServername=" + database_->Server().host +
                  "\nPort=" + std::to_string(database_->Server().port) +
                  "\nDatabase=" + database_->Name() + "\n");
    ScopedEnv odbcIni("ODBCINI", ini.c_str());
    for (const std::string cs :
         {"DSN=Lumaro Test;UID=lumaro", "Provider=MSDASQL;Data Source=Lumaro Test;User ID=lumaro",
          "Provider=MSDASQL.1;Extended Properties=\"DSN=Lumaro Test;UID=lumaro\""}) {
        SCOPED_TRACE(cs);
        auto connection = std::make_shared<ado::Connection>();
        EXPECT_NO_THROW(connection->Open(cs));
        if (connection->State() == ado::adStateOpen) {
            EXPECT_FALSE(OpenQuery(connection, FirstRunQuery("A1-103/0", "1"))->IsEOF());
        }
    }
    ado::Connection missing;
    EXPECT_NE(RaisedBy([&] { missing.Open("DSN=No Such Source"); })
                  .Description()
                  .find("Data source name not found"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Paths, AdoPostgresTest, ::testing::Values(Path::Native, Path::Odbc),
                         PathName);

}  // namespace
