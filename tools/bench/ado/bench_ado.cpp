// The quantity lookup's query through the database layer against the raw client libraries,
// on the same data in the same run, with ratios.
//
// Data: ICILOC with --rows rows (default 1,000,000) and its primary key (ITEMNO, LOCATION),
// in a temporary SQLite file and, when LUMARO_TEST_PG is set, in a database of its own on
// that PostgreSQL server (also reached through the "PostgreSQL Unicode" ODBC driver).
// Each lookup builds the first-run query as text for a random existing item and location,
// runs it and reads the five columns, as the quantity panel does.
//
// Targets (median per lookup, same run): layer on SQLite <= 1.3 x raw sqlite3; layer with
// Provider=PostgreSQL <= 1.15 x libpq; layer through ODBC <= 1.5 x libpq; p99 on SQLite
// under 1 ms; Connection.Open on SQLite under 1 ms.
//
// Usage: bench_ado [--rows N] [--lookups N] [--strict]   (--strict: exit 1 on a missed target)

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ado/Ado.h"
#include "support/IclocFixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumaro::test::FirstRunQuery;
using lumaro::test::GeneratedIclocRow;

const char* const kColumns[] = {"QTONHAND", "QTONORDER", "QTSALORDR", "QTAVAIL", "QTCOMMIT"};

double Sink = 0;  // keeps the values read alive

using lumaro::bench::Stats;
using lumaro::bench::Summarize;

// One way of running a lookup: the query text in, the five values read.
struct Method {
    std::string name;
    std::function<void(const std::string&)> lookup;
    std::vector<double> us;
};

using lumaro::bench::Fail;

// ---- raw clients -----------------------------------------------------------------------

struct RawSqlite {
    sqlite3* db = nullptr;
    explicit RawSqlite(const std::string& file) {
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            Fail("sqlite3_open_v2");
    }
    ~RawSqlite() { sqlite3_close(db); }
    void Lookup(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
            SQLITE_OK)
            Fail(sqlite3_errmsg(db));
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int i = 0; i < 5; ++i) Sink += sqlite3_column_double(stmt, i);
        }
        sqlite3_finalize(stmt);
    }
};

struct RawPq {
    PGconn* conn = nullptr;
    explicit RawPq(const std::string& conninfo) {
        conn = PQconnectdb(conninfo.c_str());
        if (PQstatus(conn) != CONNECTION_OK) Fail(PQerrorMessage(conn));
    }
    ~RawPq() { PQfinish(conn); }
    void Lookup(const std::string& sql) {
        PGresult* r = PQexec(conn, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK) Fail(PQresultErrorMessage(r));
        if (PQntuples(r) > 0) {
            for (int i = 0; i < 5; ++i) Sink += std::strtod(PQgetvalue(r, 0, i), nullptr);
        }
        PQclear(r);
    }
};

struct RawOdbc {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    explicit RawOdbc(const std::string& connectionString) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string cs = connectionString;
        SQLRETURN r = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS,
                                       nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(r)) Fail("SQLDriverConnect " + connectionString);
    }
    ~RawOdbc() {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    void Lookup(const std::string& sql) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        std::string text = sql;
        if (!SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS)))
            Fail("SQLExecDirect");
        if (SQL_SUCCEEDED(SQLFetch(stmt))) {
            for (SQLUSMALLINT i = 1; i <= 5; ++i) {
                double v = 0;
                SQLLEN indicator = 0;
                SQLGetData(stmt, i, SQL_C_DOUBLE, &v, sizeof v, &indicator);
                Sink += v;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
};

// Qt SQL alone, as a reference for what the layer adds.
struct QtAlone {
    QString name;
    QSqlDatabase db;
    QtAlone(const QString& driver, const std::function<void(QSqlDatabase&)>& setup)
        : name("bench.qt." + driver) {
        db = QSqlDatabase::addDatabase(driver, name);
        setup(db);
        if (!db.open()) Fail("Qt open " + driver.toStdString());
    }
    ~QtAlone() {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    void Lookup(const std::string& sql) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(QString::fromStdString(sql));
        if (q.next()) {
            for (int i = 0; i < 5; ++i) Sink += q.value(i).toDouble();
        }
    }
};

// ---- the layer, as the quantity lookup uses it -------------------------------------------

void LayerLookup(const std::shared_ptr<ado::Connection>& connection, const std::string& sql) {
    ado::Recordset rs;
    ado::OpenTextQuery(rs, connection, sql);
    if (!rs.IsEOF()) {
        rs.MoveFirst();
        for (const char* column : kColumns) Sink += rs.Fields(column).Value().ToDouble();
    }
}

std::shared_ptr<ado::Connection> OpenLayer(const std::string& connectionString) {
    auto connection = std::make_shared<ado::Connection>();
    connection->SetCursorLocation(ado::adUseServer);
    connection->Open(connectionString);
    return connection;
}

// Runs every method over the same lookups, one lookup at a time in turn, starting with a
// different method each time, so that the load of the machine touches all alike.
void Measure(std::vector<Method>& methods, const std::vector<std::string>& queries) {
    const size_t warmup = std::min<size_t>(1000, queries.size());
    for (auto& m : methods) {
        for (size_t i = 0; i < warmup; ++i) m.lookup(queries[i]);
    }
    for (auto& m : methods) m.us.reserve(queries.size());
    for (size_t i = 0; i < queries.size(); ++i) {
        for (size_t k = 0; k < methods.size(); ++k) {
            Method& m = methods[(i + k) % methods.size()];
            auto t0 = Clock::now();
            m.lookup(queries[i]);
            m.us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
    }
}

bool g_allMet = true;

void Report(const char* engine, std::vector<Method>& methods, size_t baseline,
            const std::vector<std::pair<size_t, double>>& targets) {
    const Stats base = Summarize(methods[baseline].us);
    for (size_t i = 0; i < methods.size(); ++i) {
        const Stats s = Summarize(methods[i].us);
        const double ratio = s.median / base.median;
        std::printf("%-11s %-28s %9.1f %9.1f %8.2fx", engine, methods[i].name.c_str(), s.median,
                    s.p99, ratio);
        for (const auto& [index, limit] : targets) {
            if (index == i) {
                const bool met = ratio <= limit;
                g_allMet = g_allMet && met;
                std::printf("   target <= %.2fx %s", limit, met ? "met" : "MISSED");
            }
        }
        std::printf("\n");
    }
}

std::vector<std::string> RandomLookups(long rows, size_t count) {
    std::mt19937_64 random(20240531);
    std::uniform_int_distribution<long> pick(0, rows - 1);
    std::vector<std::string> queries;
    queries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        lumaro::test::IclocRow row = GeneratedIclocRow(pick(random));
        queries.push_back(FirstRunQuery(row.itemNo, row.location));
    }
    return queries;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    long rows = 1000000;
    size_t lookups = 20000;
    bool strict = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc)
            rows = std::atol(argv[++i]);
        else if (a == "--lookups" && i + 1 < argc)
            lookups = static_cast<size_t>(std::atol(argv[++i]));
        else if (a == "--strict")
            strict = true;
    }
    const std::vector<std::string> queries = RandomLookups(rows, lookups);

    char pattern[] = "/tmp/lumaro-bench-ado-XXXXXX";
    if (!mkdtemp(pattern)) Fail("mkdtemp");
    const std::filesystem::path dir = pattern;
    const std::string file = (dir / "company.db").string();

    auto t0 = Clock::now();
    const std::string sqliteCs = lumaro::test::CreateSqliteIcloc(file, rows);
    std::printf("ICILOC of %ld rows written to SQLite in %.1f s; %zu lookups per method\n\n", rows,
                std::chrono::duration<double>(Clock::now() - t0).count(), lookups);
    std::printf("%-11s %-28s %9s %9s %9s\n", "engine", "path", "median us", "p99 us", "ratio");

    {
        RawSqlite raw(file);
        QtAlone qt("QSQLITE",
                   [&](QSqlDatabase& db) { db.setDatabaseName(QString::fromStdString(file)); });
        auto layer = OpenLayer(sqliteCs);
        std::vector<Method> methods = {
            {"raw sqlite3", [&](const std::string& q) { raw.Lookup(q); }, {}},
            {"Qt SQL alone", [&](const std::string& q) { qt.Lookup(q); }, {}},
            {"layer (Provider=SQLite)", [&](const std::string& q) { LayerLookup(layer, q); }, {}},
        };
        Measure(methods, queries);
        Report("SQLite", methods, 0, {{2, 1.3}});
        const Stats layerStats = Summarize(methods[2].us);
        const bool met = layerStats.p99 < 1000;
        g_allMet = g_allMet && met;
        std::printf("%-11s %-28s p99 %.1f us   target < 1000 us %s\n", "SQLite", "layer lookup",
                    layerStats.p99, met ? "met" : "MISSED");
    }
    {
        // Opening and closing a connection, as the settings test and start-up do.
        std::vector<double> rawOpen, layerOpen;
        for (int i = 0; i < 2000; ++i) {
            auto a = Clock::now();
            sqlite3* db = nullptr;
            sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            auto b = Clock::now();
            ado::Connection connection;
            connection.Open(sqliteCs);
            connection.Close();
            auto c = Clock::now();
            rawOpen.push_back(std::chrono::duration<double, std::micro>(b - a).count());
            layerOpen.push_back(std::chrono::duration<double, std::micro>(c - b).count());
        }
        const Stats r = Summarize(rawOpen), l = Summarize(layerOpen);
        const bool met = l.median < 1000;
        g_allMet = g_allMet && met;
        std::printf("%-11s %-28s %9.1f %9.1f\n", "SQLite", "raw open+close", r.median, r.p99);
        std::printf("%-11s %-28s %9.1f %9.1f %8.2fx   target < 1000 us %s\n", "SQLite",
                    "Connection.Open+Close", l.median, l.p99, l.median / r.median,
                    met ? "met" : "MISSED");
    }

    if (!lumaro::test::TestPgServer()) {
        std::printf(
            "\nPostgreSQL and ODBC skipped: LUMARO_TEST_PG is not set (run under "
            "scripts/test-services)\n");
    } else {
        t0 = Clock::now();
        lumaro::test::PgIclocDatabase pg(rows);
        std::printf("\nICILOC of %ld rows written to PostgreSQL in %.1f s\n", rows,
                    std::chrono::duration<double>(Clock::now() - t0).count());
        {
            RawPq raw(pg.Conninfo());
            RawOdbc rawOdbc(pg.OdbcConnectionString());
            QtAlone qt("QPSQL", [&](QSqlDatabase& db) {
                db.setHostName(QString::fromStdString(pg.Server().host));
                db.setPort(pg.Server().port);
                db.setDatabaseName(QString::fromStdString(pg.Name()));
                db.setUserName(QString::fromStdString(pg.Server().user));
            });
            auto layer = OpenLayer(pg.AdoConnectionString());
            auto layerOdbc = OpenLayer(pg.OdbcConnectionString());
            std::vector<Method> methods = {
                {"raw libpq", [&](const std::string& q) { raw.Lookup(q); }, {}},
                {"Qt SQL alone (QPSQL)", [&](const std::string& q) { qt.Lookup(q); }, {}},
                {"layer (Provider=PostgreSQL)",
                 [&](const std::string& q) { LayerLookup(layer, q); },
                 {}},
                {"raw ODBC (psqlodbc)", [&](const std::string& q) { rawOdbc.Lookup(q); }, {}},
                {"layer (ODBC, psqlodbc)",
                 [&](const std::string& q) { LayerLookup(layerOdbc, q); },
                 {}},
            };
            Measure(methods, queries);
            Report("PostgreSQL", methods, 0, {{2, 1.15}, {4, 1.5}});
        }
    }
    std::filesystem::remove_all(dir);
    std::printf("\n%s\n", g_allMet ? "All targets met." : "Some targets MISSED.");
    return strict && !g_allMet ? 1 : 0;
}
