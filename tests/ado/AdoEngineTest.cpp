// Connection, Command and Recordset on each engine: embedded SQLite files, the PostgreSQL
// test server through its native client and through its ODBC driver.

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"

namespace {

using ado::test::OpenQuery;
using ado::test::RaisedBy;
using lumaro::RuntimeError;
using lumaro::Variant;
using namespace lumaro::test;
using Clock = std::chrono::steady_clock;

enum class Engine { Sqlite, Native, Odbc };

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return std::vector<std::string>{"Sqlite", "Native", "Odbc"}[size_t(info.param)];
}

class AdoEngineTest : public ::testing::TestWithParam<Engine> {
protected:
    static void SetUpTestSuite() {
        if (TestPgServer()) database_ = new PgIclocDatabase();
    }
    static void TearDownTestSuite() {
        delete database_;
        database_ = nullptr;
    }
    void SetUp() override {
        if (GetParam() == Engine::Sqlite)
            connectionString_ = CreateSqliteIcloc(dir_.path() / "company.db");
        else if (!database_)
            GTEST_SKIP() << kNoPgReason;
        else
            connectionString_ = GetParam() == Engine::Native ? database_->AdoConnectionString()
                                                             : database_->OdbcConnectionString();
        connection_ = ado::OpenConnection(connectionString_);
    }
    bool Is(Engine engine) const { return GetParam() == engine; }

    static PgIclocDatabase* database_;
    TempDir dir_;
    std::string connectionString_;
    std::shared_ptr<ado::Connection> connection_;
};

PgIclocDatabase* AdoEngineTest::database_ = nullptr;

// The sample rows of the ICILOC fixture read back through the first-run query: each row's
// five quantities, a NULL QTYCOMMIT giving Null in the columns computed from it. The columns
// are found ignoring case (PostgreSQL names them in lower case).
void ExpectSampleQuantities(const std::shared_ptr<ado::Connection>& connection) {
    for (const IclocRow& row : SampleIclocRows()) {
        auto rs = OpenQuery(connection,
                            FirstRunQuery(lumaro::ReplaceAll(row.itemNo, "'", "''"), row.location));
        rs->MoveFirst();
        auto got = [&](const char* column, bool asNumber = true) {
            const Variant v = rs->Fields(column).Value();
            return v.IsNull() ? "Null"
                   : asNumber ? lumaro::DoubleToText(v.ToDouble())
                              : v.ToString();
        };
        auto text = [](std::optional<double> v) {
            return v ? lumaro::DoubleToText(*v) : std::string("Null");
        };
        EXPECT_EQ((std::vector<std::string>{got("QTONHAND"), got("qtonorder"), got("QtSalOrdr"),
                                            got("QTAVAIL"), got("QTCOMMIT", false)}),
                  (std::vector<std::string>{
                      text(row.QtOnHand()), text(row.qtyOnOrder), text(row.qtySalOrdr),
                      row.qtyCommit ? text(row.QtAvail()) : "Null", text(row.qtyCommit)}));
    }
}

TEST_P(AdoEngineTest, QueriesAndCursorMovesAsAdoDoes) {
    ExpectSampleQuantities(connection_);

    auto none = OpenQuery(connection_, FirstRunQuery("NO SUCH ITEM", "1"));
    EXPECT_TRUE(none->IsEOF());
    none->MoveFirst();
    EXPECT_TRUE(none->IsEOF());
    EXPECT_EQ(none->FieldNames().size(), 5u);  // also without a row
    EXPECT_EQ(RaisedBy([&] { none->Fields("QTONHAND"); }).Number(), ado::adErrNoCurrentRecord);
    EXPECT_EQ(RaisedBy([&] { none->Fields("NOPE"); }).Number(), ado::adErrItemNotFound);

    auto rs = OpenQuery(connection_,
                        "SELECT LOCATION FROM ICILOC WHERE ITEMNO='A1-103/0' ORDER BY LOCATION");
    EXPECT_EQ(rs->Fields("LOCATION").Value().ToString(), "1");
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("LOCATION").Value().ToString(), "2");
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(RaisedBy([&] { rs->MoveNext(); }).Number(), ado::adErrNoCurrentRecord);
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("location").Value().ToString(), "1");
}

TEST_P(AdoEngineTest, StatementErrorsCarryTheDriversOwnText) {
    const bool sqlite = Is(Engine::Sqlite);
    const std::pair<const char*, std::string> cases[] = {
        {"SELEC * FROM ICILOC",
         sqlite ? "near \"SELEC\": syntax error" : "syntax error at or near \"SELEC\""},
        {"SELECT * FROM NOTABLE",
         sqlite ? "no such table: NOTABLE" : "relation \"notable\" does not exist"},
    };
    for (const auto& [sql, text] : cases) {
        RuntimeError e = RaisedBy([&] { OpenQuery(connection_, sql); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        if (sqlite) {
            EXPECT_EQ(e.Description(), text);
        } else {
            EXPECT_NE(e.Description().find(text), std::string::npos) << e.Description();
        }
    }
    // A bad statement leaves the connection usable.
    EXPECT_FALSE(OpenQuery(connection_, FirstRunQuery("A1-103/0", "1"))->IsEOF());
}

TEST_P(AdoEngineTest, ObjectStatesFollowAdo) {
    EXPECT_EQ(RaisedBy([&] { connection_->Open(); }).Number(), ado::adErrObjectOpen);

    auto rs = OpenQuery(connection_, FirstRunQuery("A1-103/0", "1"));
    EXPECT_EQ(rs->State(), ado::adStateOpen);
    EXPECT_EQ(RaisedBy([&] { rs->SetCursorType(ado::adOpenForwardOnly); }).Number(),
              ado::adErrObjectOpen);

    // Closing the connection closes its recordsets.
    connection_->Close();
    EXPECT_EQ(connection_->State(), ado::adStateClosed);
    EXPECT_EQ(rs->State(), ado::adStateClosed);
    EXPECT_EQ(RaisedBy([&] { rs->IsEOF(); }).Number(), ado::adErrObjectClosed);
    EXPECT_EQ(RaisedBy([&] { connection_->Close(); }).Number(), ado::adErrObjectClosed);
    EXPECT_EQ(RaisedBy([&] { OpenQuery(connection_, "SELECT 1"); }).Number(),
              ado::adErrInvalidConnection);
    EXPECT_EQ(RaisedBy([&] { OpenQuery(nullptr, "SELECT 1"); }).Number(),
              ado::adErrInvalidConnection);

    // Open again with the kept property; a statement without rows leaves the recordset
    // closed, as ADO does.
    connection_->Open();
    EXPECT_FALSE(OpenQuery(connection_, FirstRunQuery("A1-103/0", "2"))->IsEOF());
    EXPECT_EQ(OpenQuery(connection_, "UPDATE ICILOC SET QTYONHAND = 1 WHERE 1 = 0")->State(),
              ado::adStateClosed);
}

TEST_P(AdoEngineTest, SignOnFaultsCarryTheServersText) {
    if (Is(Engine::Sqlite)) GTEST_SKIP() << "a server's sign-on";
    const std::string host = database_->Server().host,
                      port = std::to_string(database_->Server().port);
    const bool native = Is(Engine::Native);
    const std::string base =
        (native ? "Provider=PostgreSQL;Host=" : "Driver={PostgreSQL Unicode};Servername=") + host +
        ";Port=" + port + ";Database=" + database_->Name() + ";";
    ado::Connection connection;
    RuntimeError e = RaisedBy([&] { connection.Open(base + "User ID=lumaro_pw;Password=wrong"); });
    EXPECT_EQ(e.Number(), ado::adErrProvider);
    EXPECT_NE(e.Description().find("password authentication failed for user \"lumaro_pw\""),
              std::string::npos)
        << e.Description();
    EXPECT_EQ(connection.State(), ado::adStateClosed);
    // The password given as Open's arguments (one given in the string is refused above when
    // wrong, and would be "not supplied" if it were dropped).
    ado::Connection withArguments;
    withArguments.Open(base, "lumaro_pw", "lumaro-secret");
    EXPECT_EQ(withArguments.State(), ado::adStateOpen);
}

TEST_P(AdoEngineTest, AStatementStopsAtTheCommandTimeout) {
    if (Is(Engine::Odbc)) GTEST_SKIP() << "the ODBC driver has no statement timeout of its own";
    const std::string sleep = Is(Engine::Native) ? "SELECT pg_sleep(10)" : "";
    auto connection = std::make_shared<ado::Connection>();
    connection->SetCommandTimeout(1);
    connection->Open(connectionString_);
    std::string expected = "canceling statement due to statement timeout";
    std::optional<QSqlDatabase> locker;
    if (Is(Engine::Sqlite)) {
        // A file another connection holds locked: the wait for it is the command timeout.
        locker =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("ado.test.locker"));
        locker->setDatabaseName(QString::fromStdString((dir_.path() / "company.db").string()));
        ASSERT_TRUE(locker->open());
        QSqlQuery(*locker).exec(QStringLiteral("BEGIN EXCLUSIVE"));
        expected = "database is locked";
    }
    auto start = Clock::now();
    RuntimeError e =
        RaisedBy([&] { OpenQuery(connection, locker ? FirstRunQuery("A1-103/0", "1") : sleep); });
    EXPECT_NE(e.Description().find(expected), std::string::npos) << e.Description();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(800));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(connection->State(), ado::adStateOpen);
    if (locker) {
        // A new connection waits as long.
        ado::Connection other;
        other.SetCommandTimeout(1);
        start = Clock::now();
        EXPECT_EQ(RaisedBy([&] { other.Open(connectionString_); }).Description(), expected);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        QSqlQuery(*locker).exec(QStringLiteral("ROLLBACK"));
        EXPECT_FALSE(OpenQuery(connection, FirstRunQuery("A1-103/0", "1"))->IsEOF());
        locker->close();
        locker.reset();
        QSqlDatabase::removeDatabase(QStringLiteral("ado.test.locker"));
    }
}

// A data source named in odbc.ini, reached as ADO strings name it.
TEST_P(AdoEngineTest, OdbcDataSourceNames) {
    if (!Is(Engine::Odbc)) GTEST_SKIP() << "ODBC only";
    const std::filesystem::path ini = dir_.path() / "odbc.ini";
    WriteFile(ini,
              "[Lumaro Test]\nDriver=PostgreSQL Unicode\nServername=" + database_->Server().host +
                  "\nPort=" + std::to_string(database_->Server().port) +
                  "\nDatabase=" + database_->Name() + "\n");
    ScopedEnv odbcIni("ODBCINI", ini.c_str());
    // The other ways of naming a source lead to the same driver string (ConnectionStringTest).
    auto connection =
        ado::OpenConnection("Provider=MSDASQL;Data Source=Lumaro Test;User ID=lumaro");
    EXPECT_FALSE(OpenQuery(connection, FirstRunQuery("A1-103/0", "1"))->IsEOF());
    ado::Connection missing;
    EXPECT_NE(RaisedBy([&] { missing.Open("DSN=No Such Source"); })
                  .Description()
                  .find("Data source name not found"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Engines, AdoEngineTest,
                         ::testing::Values(Engine::Sqlite, Engine::Native, Engine::Odbc),
                         EngineName);

TEST(AdoSqliteTest, ValuesKeepTheirTypesAndEachObjectHoldsItsOwnQtConnection) {
    TempDir dir;
    const std::string cs = CreateSqliteIcloc(dir.path() / "company.db");
    const auto before = QSqlDatabase::connectionNames().size();
    {
        auto a = ado::OpenConnection(cs);
        auto b = ado::OpenConnection(cs);
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before + 2);
        auto rs = OpenQuery(
            a, "SELECT 1 AS I, 2.5 AS D, 'x''y' AS S, NULL AS N, X'0102' AS B, 'é' AS \"Qté\"");
        EXPECT_EQ(rs->Fields("QTÉ").Value(), Variant("é"));
        EXPECT_EQ(rs->Fields("qté").Name(), "Qté");
        EXPECT_EQ(RaisedBy([&] { rs->Fields("QT"); }).Number(), ado::adErrItemNotFound);
        std::vector<Variant> values;
        for (const char* name : {"I", "D", "S", "N", "B"})
            values.push_back(rs->Fields(name).Value());
        EXPECT_EQ(values, (std::vector<Variant>{1LL, 2.5, "x'y", Variant::Null(),
                                                std::vector<uint8_t>{1, 2}}));
        a->Close();
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before + 1);
        EXPECT_FALSE(OpenQuery(b, FirstRunQuery("A1-103/0", "1"))->IsEOF());
    }
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
}

TEST(AdoSqliteTest, MissingOrBadFilesFailWithoutCreatingADatabase) {
    TempDir dir;
    const std::filesystem::path missing = dir.path() / "missing.db";
    const std::filesystem::path notDb = dir.path() / "text.db";
    WriteFile(notDb, std::string(100, 'x'));
    const std::pair<std::string, std::string> cases[] = {
        {"Provider=SQLite;Data Source=" + missing.string(), "unable to open database file"},
        {"Provider=SQLite;Data Source=" + notDb.string(), "file is not a database"},
    };
    for (const auto& [cs, text] : cases) {
        ado::Connection connection;
        RuntimeError e = RaisedBy([&] { connection.Open(cs); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        EXPECT_EQ(e.Description(), text);
        EXPECT_EQ(connection.State(), ado::adStateClosed);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    // A path with characters that mean something in a URI.
    auto odd = ado::OpenConnection(CreateSqliteIcloc(dir.path() / "a b#c?d%e.db"));
    EXPECT_FALSE(OpenQuery(odd, FirstRunQuery("A1-103/0", "1"))->IsEOF());
}

}  // namespace
