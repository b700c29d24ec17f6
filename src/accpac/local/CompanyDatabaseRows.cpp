// The statements a company database keeps prepared, and the rows it remembers while the
// database stays unchanged (the change check reads SQLite's file header).

#include "accpac/local/CompanyDatabaseRows.h"

#include <sqlite3.h>

#include <QSqlDriver>
#include <QSqlError>

namespace accpac::local {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CompanyDatabase::KeptQuery::KeptQuery(CompanyDatabase& database, const std::string& sql,
                                      const QVariantList& values) {
    std::unique_ptr<KeptStatement>& slot = database.kept_[sql];
    if (!slot) {
        auto statement = std::make_unique<KeptStatement>();
        statement->query = QSqlQuery(database.db_);
        statement->query.setForwardOnly(true);
        if (!statement->query.prepare(Q(sql))) {
            const std::string why = Describe(statement->query.lastError());
            database.kept_.erase(sql);
            database.Fail(why);
        }
        slot = std::move(statement);
    }
    if (slot->inUse) {
        own_ = QSqlQuery(database.db_);
        own_.setForwardOnly(true);
        if (!own_.prepare(Q(sql))) database.Fail(Describe(own_.lastError()));
        query_ = &own_;
    } else {
        kept_ = slot.get();
        kept_->inUse = true;
        query_ = &kept_->query;
    }
    for (int i = 0; i < values.size(); ++i) query_->bindValue(i, values[i]);
    if (!query_->exec()) {
        const std::string why = Describe(query_->lastError());
        query_->finish();
        if (kept_) kept_->inUse = false;
        kept_ = nullptr;
        database.Fail(why);
    }
}

CompanyDatabase::KeptQuery::~KeptQuery() {
    query_->finish();
    if (kept_) kept_->inUse = false;
}

CompanyDatabase::ChangeCheck::ChangeCheck(const QSqlDatabase& db) {
    const QVariant driverHandle = db.driver() ? db.driver()->handle() : QVariant();
    if (!driverHandle.isValid() || qstrcmp(driverHandle.typeName(), "sqlite3*") != 0) return;
    handle = *static_cast<sqlite3* const*>(driverHandle.constData());
    if (sqlite3_file_control(handle, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK)
        file = nullptr;
    if (sqlite3_prepare_v2(handle, "PRAGMA data_version", -1, &dataVersion, nullptr) != SQLITE_OK) {
        sqlite3_finalize(dataVersion);
        dataVersion = nullptr;
    }
}
CompanyDatabase::ChangeCheck::~ChangeCheck() { sqlite3_finalize(dataVersion); }

std::optional<CompanyDatabase::ChangeStamp> CompanyDatabase::ChangeCheck::Stamp() {
    ChangeStamp stamp;
    stamp.totalChanges = sqlite3_total_changes64(handle);
    unsigned char header[28];
    if (file && file->pMethods &&
        file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK && header[18] == 1) {
        stamp.fileCounter =
            (int64_t{header[24]} << 24) | (header[25] << 16) | (header[26] << 8) | header[27];
        return stamp;
    }
    if (!dataVersion) return std::nullopt;
    const bool row = sqlite3_step(dataVersion) == SQLITE_ROW;
    if (row) stamp.dataVersion = sqlite3_column_int64(dataVersion, 0);
    sqlite3_reset(dataVersion);
    if (!row) return std::nullopt;
    return stamp;
}

const std::optional<CompanyDatabase::Row>& CompanyDatabase::ReadRow(const std::string& sql,
                                                                    const QVariantList& values,
                                                                    int columns) {
    if (!changeCheck_) changeCheck_ = std::make_unique<ChangeCheck>(db_);
    // Inside a transaction a row may be rolled back after it was read: nothing is remembered.
    std::optional<ChangeStamp> before;
    if (changeCheck_->handle && sqlite3_get_autocommit(changeCheck_->handle))
        before = changeCheck_->Stamp();
    const bool remember = before.has_value();
    if (remember && *before != rowsStamp_) {
        rows_.clear();
        rowsStamp_ = *before;
    }
    std::string& key = rowKey_;
    if (remember) {
        key.assign(sql);
        for (const QVariant& value : values) {
            key += '\x1f';
            key += std::to_string(value.typeId());
            key += ':';
            key += value.toString().toStdString();
        }
        auto found = rows_.find(key);
        if (found != rows_.end()) return found->second;
    }
    std::optional<Row> row;
    {
        KeptQuery read(*this, sql, values);
        QSqlQuery& q = read.Query();
        if (q.next()) {
            row.emplace();
            row->reserve(static_cast<size_t>(columns));
            for (int i = 0; i < columns; ++i) row->push_back(q.value(i));
        }
    }
    // A commit while the row was read (or a crashed writer's change rolled back by that read)
    // leaves a different stamp: that row is not remembered.
    if (!remember || changeCheck_->Stamp() != before) {
        unremembered_ = std::move(row);
        return unremembered_;
    }
    if (rows_.size() >= 4096) rows_.clear();  // a bound for a long session of many records
    return rows_.emplace(key, std::move(row)).first->second;
}

}  // namespace accpac::local
