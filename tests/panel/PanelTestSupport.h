#pragma once
// Databases for the panel's tests: SQLite files, tables on the PostgreSQL test server
// (LUMARO_TEST_PG, skipped when unset), and a counter of the statements SQLite runs on
// the program's own external connection.

#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumaro::test {

// Runs statements on a Qt SQL connection set up by configure; raises with the driver's text.
// Returns the first column of the last statement's first row, as text ("" when none).
inline std::string RunSql(const char* driver, const std::function<void(QSqlDatabase&)>& configure,
                          const std::vector<std::string>& statements) {
    const QString name = "panel.test." + QUuid::createUuid().toString(QUuid::Id128);
    std::string error, result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        configure(db);
        if (!db.open()) {
            error = db.lastError().text().toStdString();
        } else {
            QSqlQuery query(db);
            for (const std::string& sql : statements) {
                if (!query.exec(QString::fromStdString(sql))) {
                    error = sql + ": " + query.lastError().text().toStdString();
                    break;
                }
            }
            if (error.empty() && query.isSelect() && query.next()) result = query.value(0).toString().toStdString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.empty()) throw std::runtime_error(error);
    return result;
}

inline void RunSqlite(const std::string& file, const std::vector<std::string>& statements) {
    RunSql("QSQLITE", [&](QSqlDatabase& db) { db.setDatabaseName(QString::fromStdString(file)); }, statements);
}

inline std::string SqliteConnectionString(const std::string& file) {
    return "Provider=SQLite;Data Source=" + file + ";";
}

// The columns of ICILOC that the first-run query reads.
inline std::string IclocTable(const std::string& name) {
    return "CREATE TABLE " + name +
           " (ITEMNO VARCHAR(40) NOT NULL, LOCATION VARCHAR(10) NOT NULL, QTYONHAND DOUBLE PRECISION, "
           "QTYRENOCST DOUBLE PRECISION, QTYADNOCST DOUBLE PRECISION, QTYSHNOCST DOUBLE PRECISION, "
           "QTYONORDER DOUBLE PRECISION, QTYSALORDR DOUBLE PRECISION, QTYCOMMIT DOUBLE PRECISION, "
           "PRIMARY KEY (ITEMNO, LOCATION))";
}

// A connection to the PostgreSQL test server with tables of its own (names made unique,
// so that tests running side by side do not meet), dropped at the end.
class PostgresDatabase {
public:
    // nullptr when no test server is configured.
    static std::unique_ptr<PostgresDatabase> Create() {
        const char* conninfo = std::getenv("LUMARO_TEST_PG");
        if (!conninfo || !*conninfo) return nullptr;
        return std::unique_ptr<PostgresDatabase>(new PostgresDatabase(conninfo));
    }
    ~PostgresDatabase() {
        std::vector<std::string> drops;
        for (const std::string& table : tables_) drops.push_back("DROP TABLE IF EXISTS " + table);
        try {
            Run(drops);
        } catch (...) {
        }
    }
    // A unique table name for base ("iciloc" -> "iciloc_1a2b..."), dropped at the end.
    std::string Table(const std::string& base) {
        tables_.push_back(base + "_" + QUuid::createUuid().toString(QUuid::Id128).left(12).toStdString());
        return tables_.back();
    }
    std::string Run(const std::vector<std::string>& statements) const {
        return RunSql(
            "QPSQL",
            [&](QSqlDatabase& db) {
                db.setHostName(QString::fromStdString(Get("host", "localhost")));
                db.setPort(std::stoi(Get("port", "5432")));
                db.setDatabaseName(QString::fromStdString(Get("dbname", "postgres")));
                db.setUserName(QString::fromStdString(Get("user", "")));
                db.setPassword(QString::fromStdString(Get("password", "")));
            },
            statements);
    }
    // The ADO connection string a user would type: the ODBC driver of the test set-up.
    std::string ConnectionString() const {
        return "Driver={PostgreSQL Unicode};Server=" + Get("host", "localhost") + ";Port=" + Get("port", "5432") +
               ";Database=" + Get("dbname", "postgres") + ";Uid=" + Get("user", "") + ";Pwd=" + Get("password", "") +
               ";";
    }

private:
    explicit PostgresDatabase(const std::string& conninfo) {
        std::istringstream words(conninfo);
        std::string word;
        while (words >> word) {
            auto eq = word.find('=');
            if (eq != std::string::npos) parameters_[word.substr(0, eq)] = word.substr(eq + 1);
        }
    }
    std::string Get(const char* key, const char* fallback) const {
        auto it = parameters_.find(key);
        return it == parameters_.end() ? std::string(fallback) : it->second;
    }

    std::map<std::string, std::string> parameters_;
    std::vector<std::string> tables_;
};

// Counts the statements that SQLite starts on the database layer's open connections
// (every statement sent through an ado::Connection), from now on.
class StatementCounter {
public:
    StatementCounter() {
        for (const QString& name : QSqlDatabase::connectionNames()) {
            if (!name.startsWith("lumaro.ado.")) continue;
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (!db.isOpen() || db.driverName() != "QSQLITE") continue;
            QVariant handle = db.driver()->handle();
            if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) continue;
            sqlite3* h = *static_cast<sqlite3* const*>(handle.constData());
            if (!h) continue;
            sqlite3_trace_v2(h, SQLITE_TRACE_STMT, &StatementCounter::Trace, this);
            handles_.push_back(h);
        }
    }
    ~StatementCounter() {
        for (sqlite3* h : handles_) sqlite3_trace_v2(h, 0, nullptr, nullptr);
    }
    StatementCounter(const StatementCounter&) = delete;
    StatementCounter& operator=(const StatementCounter&) = delete;

    bool Attached() const { return !handles_.empty(); }
    int Count() const { return count_; }
    const std::vector<std::string>& Statements() const { return statements_; }

private:
    static int Trace(unsigned, void* context, void*, void* text) {
        auto* self = static_cast<StatementCounter*>(context);
        const std::string sql = static_cast<const char*>(text);
        if (sql.rfind("--", 0) == 0) return 0;  // a trigger's sub-program, not a statement
        ++self->count_;
        self->statements_.push_back(sql);
        return 0;
    }

    std::vector<sqlite3*> handles_;
    int count_ = 0;
    std::vector<std::string> statements_;
};

}  // namespace lumaro::test
