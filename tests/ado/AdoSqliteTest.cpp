// Connection, Command and Recordset on embedded SQLite files.

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <memory>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"
#include "common/RuntimeError.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"

namespace {

using lumaro::RuntimeError;
using lumaro::Variant;
using namespace lumaro::test;
using ado::test::OpenQuery;
using ado::test::RaisedBy;

class AdoSqliteTest : public ::testing::Test {
protected:
    void SetUp() override {
        connectionString_ = CreateSqliteIcloc(dir_.path() / "company.db");
        connection_ = std::make_shared<ado::Connection>();
        connection_->SetConnectionString(connectionString_);
        connection_->SetCursorLocation(ado::adUseServer);
        connection_->Open("", "", "", ado::adConnectUnspecified);
    }

    TempDir dir_;
    std::string connectionString_;
    std::shared_ptr<ado::Connection> connection_;
};

TEST_F(AdoSqliteTest, FirstRunQueryGivesTheFiveQuantitiesOfEachRow) {
    ado::test::ExpectSampleQuantities(connection_);
}

TEST_F(AdoSqliteTest, ValuesKeepTheirTypes) {
    auto rs =
        OpenQuery(connection_,
                  "SELECT 1 AS I, 2.5 AS D, 'x''y' AS S, NULL AS N, X'0102' AS B, 'é' AS \"Qté\"");
    EXPECT_EQ(rs->Fields("QTÉ").Value(), Variant("é"));
    EXPECT_EQ(rs->Fields("qté").Name(), "Qté");
    EXPECT_EQ(RaisedBy([&] { rs->Fields("QT"); }).Number(), ado::adErrItemNotFound);
    EXPECT_EQ(RaisedBy([&] { rs->Fields("IX"); }).Number(), ado::adErrItemNotFound);
    EXPECT_EQ(rs->Fields("I").Value(), Variant(1LL));
    EXPECT_EQ(rs->Fields("D").Value(), Variant(2.5));
    EXPECT_EQ(rs->Fields("S").Value(), Variant("x'y"));
    EXPECT_TRUE(rs->Fields("N").Value().IsNull());
    EXPECT_EQ(rs->Fields("B").Value(), Variant(std::vector<uint8_t>{1, 2}));
}

TEST_F(AdoSqliteTest, CursorMovesAsAdoDoes) {
    auto none = OpenQuery(connection_, FirstRunQuery("NO SUCH ITEM", "1"));
    EXPECT_TRUE(none->IsEOF());
    none->MoveFirst();
    EXPECT_TRUE(none->IsEOF());
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
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(rs->Fields("location").Value().ToString(), "1");
}

TEST_F(AdoSqliteTest, StatementErrorsCarryTheDriversOwnText) {
    struct Case {
        const char* sql;
        const char* text;
    };
    const Case cases[] = {
        {"SELEC * FROM ICILOC", "near \"SELEC\": syntax error"},
        {"SELECT NOPE FROM ICILOC", "no such column: NOPE"},
        {"SELECT * FROM NOTABLE", "no such table: NOTABLE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        RuntimeError e = RaisedBy([&] { OpenQuery(connection_, c.sql); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        EXPECT_EQ(e.Description(), c.text);
        EXPECT_EQ(connection_->State(),
                  ado::adStateOpen);  // a bad statement leaves the connection usable
    }
    EXPECT_FALSE(OpenQuery(connection_, FirstRunQuery("A1-103/0", "1"))->IsEOF());
}

TEST_F(AdoSqliteTest, ObjectStatesFollowAdo) {
    EXPECT_EQ(connection_->State(), ado::adStateOpen);
    EXPECT_EQ(connection_->ConnectionString(), connectionString_);
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

    // Open again with the kept property.
    connection_->Open();
    EXPECT_FALSE(OpenQuery(connection_, FirstRunQuery("A1-103/0", "2"))->IsEOF());

    // A statement without rows leaves the recordset closed, as ADO does.
    EXPECT_EQ(OpenQuery(connection_, "UPDATE ICILOC SET QTYONHAND = 1 WHERE 1 = 0")->State(),
              ado::adStateClosed);
}

TEST_F(AdoSqliteTest, EachObjectHoldsItsOwnQtConnectionAndReleasesIt) {
    const auto before = QSqlDatabase::connectionNames().size();
    {
        auto a = std::make_shared<ado::Connection>();
        auto b = std::make_shared<ado::Connection>();
        a->Open(connectionString_);
        b->Open(connectionString_);
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before + 2);
        auto rs = OpenQuery(a, FirstRunQuery("A1-103/0", "1"));
        a->Close();
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before + 1);
        EXPECT_FALSE(OpenQuery(b, FirstRunQuery("A1-103/0", "1"))->IsEOF());
    }
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
}

TEST_F(AdoSqliteTest, ALockedDatabaseFailsAfterTheCommandTimeout) {
    const QString name = QStringLiteral("ado.test.locker");
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        locker.setDatabaseName(QString::fromStdString((dir_.path() / "company.db").string()));
        ASSERT_TRUE(locker.open());
        auto connection = std::make_shared<ado::Connection>();
        connection->SetCommandTimeout(1);
        connection->Open(connectionString_);
        QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE"));

        // A query, and a new connection, wait for the lock as long as the command timeout.
        auto start = std::chrono::steady_clock::now();
        RuntimeError e = RaisedBy([&] { OpenQuery(connection, FirstRunQuery("A1-103/0", "1")); });
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(e.Description(), "database is locked");
        EXPECT_GE(seconds, 0.8);
        EXPECT_LT(seconds, 5.0);
        ado::Connection other;
        other.SetCommandTimeout(1);
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(RaisedBy([&] { other.Open(connectionString_); }).Description(),
                  "database is locked");
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 5.0);

        QSqlQuery(locker).exec(QStringLiteral("ROLLBACK"));
        EXPECT_FALSE(OpenQuery(connection, FirstRunQuery("A1-103/0", "1"))->IsEOF());
        locker.close();
    }
    QSqlDatabase::removeDatabase(name);
}

TEST(AdoSqliteOpenTest, MissingOrBadFilesFailWithoutCreatingADatabase) {
    TempDir dir;
    const std::filesystem::path missing = dir.path() / "missing.db";
    const std::filesystem::path notDb = dir.path() / "text.db";
    WriteFile(
        notDb,
        "this is not a database, just some text that is long enough to look like a header......");

    struct Case {
        std::string connectionString;
        std::string text;
    };
    const Case cases[] = {
        {"Provider=SQLite;Data Source=" + missing.string(), "unable to open database file"},
        {"Data Source=" + missing.string(), "unable to open database file"},
        {"Provider=SQLite;Data Source=" + dir.str(), "unable to open database file"},
        {"Provider=SQLite;Data Source=" + notDb.string(), "file is not a database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connectionString);
        ado::Connection connection;
        RuntimeError e = RaisedBy([&] { connection.Open(c.connectionString); });
        EXPECT_EQ(e.Number(), ado::adErrProvider);
        EXPECT_EQ(e.Description(), c.text);
        EXPECT_EQ(connection.State(), ado::adStateClosed);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    // A path with characters that mean something in a URI.
    const std::filesystem::path odd = dir.path() / "a b#c?d%e.db";
    std::string cs = CreateSqliteIcloc(odd);
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(cs);
    EXPECT_FALSE(OpenQuery(connection, FirstRunQuery("A1-103/0", "1"))->IsEOF());
}

}  // namespace
