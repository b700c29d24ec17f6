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

std::string Quoted(std::string text) {
    for (size_t p = text.find('\''); p != std::string::npos; p = text.find('\'', p + 2))
        text.insert(p, "'");
    return "'" + text + "'";
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
    Exec(db,
         "CREATE TABLE ICILOC (ITEMNO VARCHAR(24) NOT NULL, LOCATION VARCHAR(6) NOT NULL, "
         "QTYONHAND DECIMAL(19,4), QTYRENOCST DECIMAL(19,4), QTYADNOCST DECIMAL(19,4), "
         "QTYSHNOCST DECIMAL(19,4), QTYONORDER DECIMAL(19,4), QTYSALORDR DECIMAL(19,4), "
         "QTYCOMMIT DECIMAL(19,4), PRIMARY KEY (ITEMNO, LOCATION))");
    const long count = rows ? static_cast<long>(rows->size()) : generated;
    Exec(db, "BEGIN");
    for (long start = 0; start < count; start += 1000) {
        std::string sql = "INSERT INTO ICILOC VALUES ";
        for (long i = start; i < std::min(count, start + 1000); ++i) {
            const IclocRow r = rows ? (*rows)[static_cast<size_t>(i)] : GeneratedIclocRow(i);
            sql += std::string(i > start ? "," : "") + "(" + Quoted(r.itemNo) + "," +
                   Quoted(r.location);
            for (double v : {r.qtyOnHand, r.qtyReNoCst, r.qtyAdNoCst, r.qtyShNoCst, r.qtyOnOrder,
                             r.qtySalOrdr})
                sql += "," + std::to_string(v);
            sql += "," + (r.qtyCommit ? std::to_string(*r.qtyCommit) : std::string("NULL")) + ")";
        }
        Exec(db, sql);
    }
    Exec(db, "COMMIT");
}

// Runs `work` on a Qt connection of its own (SQLite file `name`, or database `name` on the
// PostgreSQL server), removed afterwards whatever happens.
template <typename Work>
void WithConnection(const PgServer* server, const std::string& name, Work work) {
    static std::atomic<int> counter{0};
    const QString connection = QStringLiteral("lumaro.test.icloc.%1").arg(++counter);
    struct Remover {
        QString name;
        ~Remover() { QSqlDatabase::removeDatabase(name); }
    } remover{connection};
    QSqlDatabase db = QSqlDatabase::addDatabase(server ? "QPSQL" : "QSQLITE", connection);
    if (server) {
        db.setHostName(QString::fromStdString(server->host));
        db.setPort(server->port);
        db.setUserName(QString::fromStdString(server->user));
    }
    db.setDatabaseName(QString::fromStdString(name));
    if (!db.open())
        throw std::runtime_error("ICILOC fixture: cannot connect: " +
                                 db.lastError().text().toStdString());
    work(db);
}

std::string CreateSqlite(const std::filesystem::path& file, const std::vector<IclocRow>* rows,
                         long generated) {
    WithConnection(nullptr, file.string(), [&](QSqlDatabase& db) {
        if (!rows) {  // a large table: no journal, no waiting for the disk
            QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=OFF"));
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=OFF"));
        }
        WriteRows(db, rows, generated);
    });
    return "Provider=SQLite;Data Source=" + file.string();
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
    char item[32];
    std::snprintf(item, sizeof item, "A%07ld", index / kIclocLocationsPerItem);
    const unsigned long h = static_cast<unsigned long>(index) * 2654435761UL;
    auto part = [h](int shift, unsigned long range) {
        return static_cast<double>((h >> shift) % range);
    };
    return {item,          locations[index % kIclocLocationsPerItem],
            part(0, 1000), part(10, 5),
            part(13, 3),   part(15, 4),
            part(17, 200), part(19, 150) + 0.5,
            part(21, 50)};
}

std::string FirstRunQuery(const std::string& itemNo, const std::string& location) {
    return "SELECT (QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST) AS QTONHAND,QTYONORDER AS "
           "QTONORDER,QTYSALORDR AS QTSALORDR,(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST-"
           "QTYCOMMIT) AS QTAVAIL,QTYCOMMIT AS QTCOMMIT FROM ICILOC WHERE ITEMNO='" +
           itemNo + "' AND LOCATION='" + location + "'";
}

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
    for (std::string pair; in >> pair;) {
        const size_t eq = pair.find('=');
        const std::string key = pair.substr(0, eq), value = pair.substr(eq + 1);
        if (key == "host") server.host = value;
        if (key == "port") server.port = std::atoi(value.c_str());
        if (key == "user") server.user = value;
        if (key == "dbname") server.dbname = value;
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
    WithConnection(&server_, server_.dbname,
                   [&](QSqlDatabase& db) { Exec(db, "CREATE DATABASE " + name_); });
    WithConnection(&server_, name_, [&](QSqlDatabase& db) {
        WriteRows(db, rows, generated);
        Exec(db, "ANALYZE ICILOC");
    });
}

PgIclocDatabase::~PgIclocDatabase() {
    try {
        WithConnection(&server_, server_.dbname, [&](QSqlDatabase& db) {
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
