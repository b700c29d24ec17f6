#include "support/IclocFixture.h"

#include <unistd.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace lumaro::test {

namespace {

const char kCreateTable[] =
    "CREATE TABLE ICILOC (ITEMNO VARCHAR(24) NOT NULL, LOCATION VARCHAR(6) NOT NULL, "
    "QTYONHAND DECIMAL(19,4), QTYRENOCST DECIMAL(19,4), QTYADNOCST DECIMAL(19,4), QTYSHNOCST "
    "DECIMAL(19,4), "
    "QTYONORDER DECIMAL(19,4), QTYSALORDR DECIMAL(19,4), QTYCOMMIT DECIMAL(19,4), "
    "PRIMARY KEY (ITEMNO, LOCATION))";

const char kInsertHead[] =
    "INSERT INTO ICILOC (ITEMNO, LOCATION, QTYONHAND, QTYRENOCST, QTYADNOCST, QTYSHNOCST, "
    "QTYONORDER, QTYSALORDR, "
    "QTYCOMMIT) VALUES ";

std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

void AppendValues(std::string& sql, const IclocRow& r) {
    sql += "(" + Quoted(r.itemNo) + "," + Quoted(r.location) + "," + Number(r.qtyOnHand) + "," +
           Number(r.qtyReNoCst) + "," + Number(r.qtyAdNoCst) + "," + Number(r.qtyShNoCst) + "," +
           Number(r.qtyOnOrder) + "," + Number(r.qtySalOrdr) + "," +
           (r.qtyCommit ? Number(*r.qtyCommit) : std::string("NULL")) + ")";
}

void Exec(QSqlDatabase& db, const std::string& sql) {
    QSqlQuery query(db);
    if (!query.exec(QString::fromStdString(sql)))
        throw std::runtime_error("ICILOC fixture: " + query.lastError().text().toStdString() +
                                 " in: " + sql.substr(0, 200));
}

// Creates the table in an empty database and writes it in multi-row INSERTs inside one
// transaction.
void WriteRows(QSqlDatabase& db, const std::vector<IclocRow>* rows, long generated) {
    Exec(db, kCreateTable);
    long count = rows ? static_cast<long>(rows->size()) : generated;
    Exec(db, "BEGIN");
    const long batch = 1000;
    for (long start = 0; start < count; start += batch) {
        std::string sql = kInsertHead;
        for (long i = start; i < std::min(count, start + batch); ++i) {
            if (i > start) sql += ',';
            AppendValues(sql, rows ? (*rows)[static_cast<size_t>(i)] : GeneratedIclocRow(i));
        }
        Exec(db, sql);
    }
    Exec(db, "COMMIT");
}

QString FixtureConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("lumaro.test.icloc.%1").arg(++counter);
}

// Runs `work` on a Qt connection of its own, removed afterwards whatever happens.
template <typename Setup, typename Work>
void WithConnection(const char* driver, Setup setup, Work work) {
    const QString name = FixtureConnectionName();
    struct Remover {
        QString name;
        ~Remover() { QSqlDatabase::removeDatabase(name); }
    } remover{name};
    QSqlDatabase db = QSqlDatabase::addDatabase(QString::fromLatin1(driver), name);
    setup(db);
    if (!db.open())
        throw std::runtime_error("ICILOC fixture: cannot connect: " +
                                 db.lastError().text().toStdString());
    work(db);
}

void SetupPg(QSqlDatabase& db, const PgServer& server, const std::string& dbname) {
    db.setHostName(QString::fromStdString(server.host));
    db.setPort(server.port);
    db.setUserName(QString::fromStdString(server.user));
    db.setDatabaseName(QString::fromStdString(dbname));
}

}  // namespace

std::vector<IclocRow> SampleIclocRows() {
    return {
        {"A1-103/0", "1", 120, 5, 2, 7, 40, 15, 30},
        {"A1-103/0", "2", 8, 0, 0, 0, 0, 3, 8},
        {"A1-105/0", "1", 0, 0, 0, 0, 0, 0, 0},
        {"A1-310/0", "1", 1234.5, 0.25, 0, 0.75, 100, 12.5, 4},
        {"O'NEIL", "1", 3, 0, 0, 0, 1, 0, 2},
        {"NULLCOMMIT", "1", 10, 0, 0, 0, 5, 0, std::nullopt},
        {"Q 100", "WH01", 50, 0, 1, 0, 0, 20, 10},
    };
}

IclocRow GeneratedIclocRow(long index) {
    static const char* const locations[kIclocLocationsPerItem] = {"1", "2", "3", "WH01"};
    IclocRow r;
    char item[32];
    std::snprintf(item, sizeof item, "A%07ld", index / kIclocLocationsPerItem);
    r.itemNo = item;
    r.location = locations[index % kIclocLocationsPerItem];
    unsigned long h = static_cast<unsigned long>(index) * 2654435761UL;
    r.qtyOnHand = static_cast<double>(h % 1000);
    r.qtyReNoCst = static_cast<double>((h >> 10) % 5);
    r.qtyAdNoCst = static_cast<double>((h >> 13) % 3);
    r.qtyShNoCst = static_cast<double>((h >> 15) % 4);
    r.qtyOnOrder = static_cast<double>((h >> 17) % 200);
    r.qtySalOrdr = static_cast<double>((h >> 19) % 150) + 0.5;
    r.qtyCommit = static_cast<double>((h >> 21) % 50);
    return r;
}

std::string FirstRunQuery(const std::string& itemNo, const std::string& location) {
    return "SELECT (QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST) AS QTONHAND,QTYONORDER AS "
           "QTONORDER,"
           "QTYSALORDR AS QTSALORDR,(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST-QTYCOMMIT) AS "
           "QTAVAIL,"
           "QTYCOMMIT AS QTCOMMIT FROM ICILOC WHERE ITEMNO='" +
           itemNo + "' AND LOCATION='" + location + "'";
}

namespace {

std::string CreateSqlite(const std::filesystem::path& file, const std::vector<IclocRow>* rows,
                         long generated) {
    WithConnection(
        "QSQLITE",
        [&](QSqlDatabase& db) { db.setDatabaseName(QString::fromStdString(file.string())); },
        [&](QSqlDatabase& db) {
            if (!rows) {  // a large table: no journal, no waiting for the disk
                QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=OFF"));
                QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=OFF"));
            }
            WriteRows(db, rows, generated);
        });
    return "Provider=SQLite;Data Source=" + file.string();
}

}  // namespace

std::string CreateSqliteIcloc(const std::filesystem::path& file,
                              const std::vector<IclocRow>& rows) {
    return CreateSqlite(file, &rows, 0);
}

std::string CreateSqliteIcloc(const std::filesystem::path& file, long generated) {
    return CreateSqlite(file, nullptr, generated);
}

std::optional<PgServer> TestPgServer() {
    const char* conninfo = std::getenv("LUMARO_TEST_PG");
    if (conninfo == nullptr || *conninfo == '\0') return std::nullopt;
    PgServer server;
    std::istringstream in(conninfo);
    std::string pair;
    while (in >> pair) {
        size_t eq = pair.find('=');
        if (eq == std::string::npos) continue;
        std::string key = pair.substr(0, eq), value = pair.substr(eq + 1);
        if (key == "host")
            server.host = value;
        else if (key == "port")
            server.port = std::atoi(value.c_str());
        else if (key == "user")
            server.user = value;
        else if (key == "dbname")
            server.dbname = value;
    }
    return server;
}

PgIclocDatabase::PgIclocDatabase(const std::vector<IclocRow>& rows) { Create(&rows, 0); }
PgIclocDatabase::PgIclocDatabase(long generated) { Create(nullptr, generated); }

void PgIclocDatabase::Create(const std::vector<IclocRow>* rows, long generated) {
    std::optional<PgServer> server = TestPgServer();
    if (!server) throw std::runtime_error(kNoPgReason);
    server_ = *server;
    static std::atomic<int> counter{0};
    name_ = "lumaro_icloc_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    WithConnection(
        "QPSQL", [&](QSqlDatabase& db) { SetupPg(db, server_, server_.dbname); },
        [&](QSqlDatabase& db) { Exec(db, "CREATE DATABASE " + name_); });
    WithConnection(
        "QPSQL", [&](QSqlDatabase& db) { SetupPg(db, server_, name_); },
        [&](QSqlDatabase& db) {
            WriteRows(db, rows, generated);
            Exec(db, "ANALYZE ICILOC");
        });
}

PgIclocDatabase::~PgIclocDatabase() {
    try {
        WithConnection(
            "QPSQL", [&](QSqlDatabase& db) { SetupPg(db, server_, server_.dbname); },
            [&](QSqlDatabase& db) {
                Exec(db, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
            });
    } catch (...) {
        // The server may be down after a fault test; the throwaway cluster goes anyway.
    }
}

std::string PgIclocDatabase::AdoConnectionString() const {
    return "Provider=PostgreSQL;Host=" + server_.host + ";Port=" + std::to_string(server_.port) +
           ";Database=" + name_ + ";User ID=" + server_.user + ";";
}

std::string PgIclocDatabase::OdbcConnectionString() const {
    return "Driver={PostgreSQL Unicode};Servername=" + server_.host +
           ";Port=" + std::to_string(server_.port) + ";Database=" + name_ +
           ";Username=" + server_.user + ";";
}

std::string PgIclocDatabase::Conninfo() const {
    return "host=" + server_.host + " port=" + std::to_string(server_.port) + " dbname=" + name_ +
           " user=" + server_.user;
}

}  // namespace lumaro::test
