#pragma once
// The parts of a company database that keep statements prepared and tell whether the
// database changed since rows were read (used by CompanyDatabase only).

#include <QSqlQuery>
#include <optional>

#include "accpac/local/CompanyDatabase.h"

struct sqlite3;
struct sqlite3_file;
struct sqlite3_stmt;

namespace accpac::local {

struct CompanyDatabase::KeptStatement {
    QSqlQuery query;
    bool inUse = false;
};

// What tells whether the database changed since rows were read: the file's change counter,
// read straight from the database header through the connection's own file handle (one
// read call, no lock: SQLite increments it with every commit in rollback-journal mode, so
// that other processes can see a change); in WAL mode, where the counter is not kept up,
// "PRAGMA data_version". Both only tell of other connections' commits; this connection's
// own changes are counted by its total changes.
struct CompanyDatabase::ChangeCheck {
    sqlite3* handle = nullptr;
    sqlite3_file* file = nullptr;
    sqlite3_stmt* dataVersion = nullptr;

    explicit ChangeCheck(const QSqlDatabase& db);
    ~ChangeCheck();
    ChangeCheck(const ChangeCheck&) = delete;
    ChangeCheck& operator=(const ChangeCheck&) = delete;

    // The database's state now; nullopt when it cannot be told (nothing is remembered then).
    std::optional<ChangeStamp> Stamp();
};

}  // namespace accpac::local
