#include "ado/Ado.h"

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <sys/socket.h>

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "ado/ConnectionString.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"

namespace ado {

namespace {

using lumaro::RuntimeError;
using lumaro::Variant;

const char kConnectionSource[] = "ADODB.Connection";
const char kRecordsetSource[] = "ADODB.Recordset";
const char kFieldsSource[] = "ADODB.Fields";

// DB_E_NOCOMMAND: a command without text.
constexpr int32_t kErrNoCommandText = static_cast<int32_t>(0x80040E0C);

[[noreturn]] void Raise(int32_t number, const char* source, const char* description) {
    throw RuntimeError(number, source, description);
}

[[noreturn]] void RaiseClosed(const char* source) {
    Raise(adErrObjectClosed, source, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void RaiseOpen(const char* source) {
    Raise(adErrObjectOpen, source, "Operation is not allowed when the object is open.");
}

// The driver's own text: the database's message when there is one, else Qt's.
std::string DriverMessage(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    // Qt's PostgreSQL driver appends "(<SQLSTATE>)" to the server's message.
    const QString code = error.nativeErrorCode();
    if (!code.isEmpty() && text.endsWith(u'(' + code + u')'))
        text = text.chopped(code.size() + 2).trimmed();
    if (text.isEmpty()) text = error.driverText().trimmed();
    if (text.isEmpty()) text = QStringLiteral("Unspecified error");
    return text.toStdString();
}

[[noreturn]] void RaiseDriverError(const char* source, const QSqlError& error) {
    throw RuntimeError(adErrProvider, source, DriverMessage(error));
}

// Column names compared ignoring case, as ADO does.
bool SameName(const std::string& column, const std::string& name) {
    if (lumaro::EqualsIgnoreCase(column, name)) return true;
    auto ascii = [](const std::string& t) {
        return std::all_of(t.begin(), t.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (ascii(column) && ascii(name)) return false;
    return QString::fromStdString(column).compare(QString::fromStdString(name),
                                                  Qt::CaseInsensitive) == 0;
}

// A column name as UTF-8; ASCII names (the usual case) without a conversion buffer.
std::string ToUtf8(const QString& text) {
    std::string out(static_cast<size_t>(text.size()), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) return text.toStdString();
        out[static_cast<size_t>(i)] = static_cast<char>(c);
    }
    return out;
}

QString NewConnectionName() {
    static std::atomic<unsigned long long> counter{0};
    return QStringLiteral("lumaro.ado.%1").arg(++counter);
}

Variant ToVariant(const QVariant& value) {
    if (value.isNull()) return Variant::Null();
    switch (value.typeId()) {
        case QMetaType::Bool:
            return Variant(value.toBool());
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return Variant(static_cast<int32_t>(value.toInt()));
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
            return Variant(static_cast<long long>(value.toLongLong()));
        case QMetaType::ULong:
        case QMetaType::ULongLong: {
            qulonglong v = value.toULongLong();
            if (v <= static_cast<qulonglong>(INT64_MAX)) return Variant(static_cast<long long>(v));
            return Variant(static_cast<double>(v));
        }
        case QMetaType::Float:
        case QMetaType::Double:
            return Variant(value.toDouble());
        case QMetaType::QByteArray: {
            QByteArray bytes = value.toByteArray();
            return Variant(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        }
        case QMetaType::QDateTime:
            return Variant(
                value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString());
        default:
            return Variant(value.toString().toStdString());
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Connection

// The engine's handles, valid while the connection they belong to is open; the mutex keeps
// a cancel from another thread from using a handle that the connection is releasing.
struct Canceller::State {
    std::mutex mutex;
    Engine engine = Engine::SQLite;
    sqlite3* sqlite = nullptr;
    std::shared_ptr<PGcancel> pgCancel;
    int pgSocket = -1;
    SQLHANDLE odbc = nullptr;

    void Disarm() {
        std::lock_guard lock(mutex);
        sqlite = nullptr;
        pgCancel.reset();
        pgSocket = -1;
        odbc = nullptr;
    }
};

struct Connection::Impl {
    std::string connectionString;
    int cursorLocation = adUseServer;
    int connectionTimeout = 15;
    int commandTimeout = 30;
    const QString name = NewConnectionName();
    QSqlDatabase db;
    Engine engine = Engine::SQLite;
    bool open = false;
    std::vector<Recordset::Impl*> recordsets;  // open recordsets running on this connection
    Canceller canceller{std::make_shared<Canceller::State>()};

    ~Impl() { Release(); }
    // Gives the canceller the engine's handles of the connection just opened.
    void ArmCanceller();
    // Whether the engine still holds its connection: a PostgreSQL or ODBC connection dies
    // with its server; SQLite never does.
    bool Alive() const;
    // After a failed statement: a connection that the engine has lost is closed, so that
    // State() reports it and a new Open can reconnect.
    void CheckLost() {
        if (open && !Alive()) Release();
    }
    void Release();
};

struct Recordset::Impl {
    int cursorType = adOpenForwardOnly;
    int cursorLocation = adUseServer;
    int lockType = adLockReadOnly;
    std::shared_ptr<Connection> connection;
    std::optional<QSqlQuery> query;
    QString sql;
    std::vector<std::string> names;  // the result's column names
    long position = 0;               // index of the current row
    bool eof = true;
    bool open = false;

    ~Impl() { Detach(); }
    void Execute();
    void Detach() {
        query.reset();
        if (connection) {
            auto& list = connection->impl().recordsets;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
            connection.reset();
        }
        names.clear();
        open = false;
        eof = true;
    }
    void ReadColumnNames();
    int ColumnIndex(const std::string& name);
};

bool Connection::Impl::Alive() const {
    if (!open) return false;
    QSqlDriver* driver = db.driver();
    if (driver == nullptr) return false;
    switch (engine) {
        case Engine::SQLite:
            return true;
        case Engine::PostgreSQL:
            return driver->isOpen();  // the client library's connection status
        case Engine::ODBC: {
            QVariant handle = driver->handle();
            if (handle.metaType() != QMetaType::fromType<SQLHANDLE>()) return true;
            SQLHANDLE hdbc = *static_cast<const SQLHANDLE*>(handle.constData());
            SQLUINTEGER dead = SQL_CD_FALSE;
            SQLRETURN r = SQLGetConnectAttr(hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
            return !SQL_SUCCEEDED(r) || dead != SQL_CD_TRUE;
        }
    }
    return true;
}

void Connection::Impl::Release() {
    canceller.state->Disarm();
    // Recordsets first: a Qt connection is removed only when no query uses it.
    while (!recordsets.empty()) recordsets.back()->Detach();
    if (db.isValid()) db.close();
    db = QSqlDatabase();
    if (QSqlDatabase::contains(name)) QSqlDatabase::removeDatabase(name);
    open = false;
}

Connection::Connection() : impl_(std::make_unique<Impl>()) {}
Connection::~Connection() = default;

const std::string& Connection::ConnectionString() const { return impl_->connectionString; }
void Connection::SetConnectionString(const std::string& connectionString) {
    if (impl_->open) RaiseOpen(kConnectionSource);
    impl_->connectionString = connectionString;
}
int Connection::CursorLocation() const { return impl_->cursorLocation; }
void Connection::SetCursorLocation(int cursorLocation) { impl_->cursorLocation = cursorLocation; }
int Connection::ConnectionTimeout() const { return impl_->connectionTimeout; }
void Connection::SetConnectionTimeout(int seconds) {
    if (impl_->open) RaiseOpen(kConnectionSource);
    impl_->connectionTimeout = seconds;
}
int Connection::CommandTimeout() const { return impl_->commandTimeout; }
void Connection::SetCommandTimeout(int seconds) { impl_->commandTimeout = seconds; }

void Connection::Open(const std::string& connectionString, const std::string& userId,
                      const std::string& password, int /*options*/) {
    Impl& d = *impl_;
    if (d.open) RaiseOpen(kConnectionSource);
    if (!connectionString.empty()) d.connectionString = connectionString;

    EngineTarget target = MapConnectionString(d.connectionString, userId, password,
                                              d.connectionTimeout, d.commandTimeout);
    if (!QSqlDatabase::isDriverAvailable(QString::fromStdString(target.qtDriver)))
        Raise(adErrProviderNotFound, kConnectionSource,
              "Provider cannot be found. It may not be properly installed.");

    d.db = QSqlDatabase::addDatabase(QString::fromStdString(target.qtDriver), d.name);
    d.db.setDatabaseName(QString::fromStdString(target.databaseName));
    if (!target.hostName.empty()) d.db.setHostName(QString::fromStdString(target.hostName));
    if (target.port > 0) d.db.setPort(target.port);
    if (!target.userName.empty()) d.db.setUserName(QString::fromStdString(target.userName));
    if (!target.password.empty()) d.db.setPassword(QString::fromStdString(target.password));
    d.db.setConnectOptions(QString::fromStdString(target.connectOptions));
    d.engine = target.engine;

    if (!d.db.open()) {
        QSqlError error = d.db.lastError();
        d.Release();
        RaiseDriverError(kConnectionSource, error);
    }
    if (d.engine == Engine::SQLite) {
        // SQLite reads the file lazily: a file that is not a database fails here, at Open,
        // rather than at the first query.
        QSqlError error;
        {
            QSqlQuery probe(d.db);
            if (!probe.exec(QStringLiteral("PRAGMA schema_version"))) error = probe.lastError();
        }
        if (error.isValid()) {
            d.Release();
            RaiseDriverError(kConnectionSource, error);
        }
    }
    d.open = true;
    d.ArmCanceller();
}

Canceller Connection::GetCanceller() const { return impl_->canceller; }

int Connection::State() const {
    Impl& d = *impl_;
    if (d.open && d.engine != Engine::SQLite && !d.Alive()) d.Release();
    return d.open ? adStateOpen : adStateClosed;
}

void Connection::Close() {
    if (!impl_->open) RaiseClosed(kConnectionSource);
    impl_->Release();
}

// ---------------------------------------------------------------------------------------
// Command

Command::Command() = default;
Command::~Command() = default;

// ---------------------------------------------------------------------------------------
// Recordset

void Recordset::Impl::Execute() {
    // Held here: losing the connection detaches this recordset from it.
    std::shared_ptr<Connection> keep = connection;
    query.emplace(keep->impl().db);
    query->setForwardOnly(true);
    query->setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query->exec(sql)) {
        QSqlError error = query->lastError();
        query.reset();
        keep->impl().CheckLost();
        RaiseDriverError(kRecordsetSource, error);
    }
    position = 0;
    ReadColumnNames();
    eof = !query->isSelect() || !query->next();
    if (eof && query->lastError().isValid()) {
        QSqlError error = query->lastError();
        query.reset();
        keep->impl().CheckLost();
        RaiseDriverError(kRecordsetSource, error);
    }
}

void Recordset::Impl::ReadColumnNames() {
    names.clear();
    if (!query->isSelect()) return;
    // PostgreSQL: straight from the client library's result; Qt's column description asks
    // the server's catalog and costs as much as the rest of a lookup.
    if (connection->impl().engine == Engine::PostgreSQL) {
        const QVariant handle = query->result()->handle();
        const char* type = handle.typeName();
        if (type && (qstrcmp(type, "PGresult*") == 0 || qstrcmp(type, "pg_result*") == 0)) {
            if (const PGresult* result = *static_cast<PGresult* const*>(handle.constData())) {
                const int count = PQnfields(result);
                for (int i = 0; i < count; ++i) names.emplace_back(PQfname(result, i));
                return;
            }
        }
    }
    // Before the first row: once on a row, Qt copies the row's values into the record.
    const QSqlRecord columns = query->record();
    for (int i = 0; i < columns.count(); ++i) names.push_back(ToUtf8(columns.fieldName(i)));
}

int Recordset::Impl::ColumnIndex(const std::string& name) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (SameName(names[i], name)) return static_cast<int>(i);
    }
    return -1;
}

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

int Recordset::CursorType() const { return impl_->cursorType; }
void Recordset::SetCursorType(int cursorType) {
    if (impl_->open) RaiseOpen(kRecordsetSource);
    impl_->cursorType = cursorType;
}
int Recordset::CursorLocation() const { return impl_->cursorLocation; }
void Recordset::SetCursorLocation(int cursorLocation) {
    if (impl_->open) RaiseOpen(kRecordsetSource);
    impl_->cursorLocation = cursorLocation;
}
int Recordset::LockType() const { return impl_->lockType; }
void Recordset::SetLockType(int lockType) {
    if (impl_->open) RaiseOpen(kRecordsetSource);
    impl_->lockType = lockType;
}

void Recordset::Open(const Command& source, int cursorType, int lockType, int /*options*/) {
    Impl& d = *impl_;
    if (d.open) RaiseOpen(kRecordsetSource);
    if (cursorType != adOpenUnspecified) d.cursorType = cursorType;
    if (lockType != adLockUnspecified) d.lockType = lockType;

    std::shared_ptr<Connection> connection = source.ActiveConnection();
    if (!connection || !connection->impl().open)
        Raise(adErrInvalidConnection, kRecordsetSource,
              "The connection cannot be used to perform this operation. It is either closed or "
              "invalid in this "
              "context.");
    if (source.CommandText().empty())
        Raise(kErrNoCommandText, kRecordsetSource,
              "Command text was not set for the command object.");
    switch (source.CommandType()) {
        case adCmdTable:
            d.sql = QStringLiteral("SELECT * FROM ") + QString::fromStdString(source.CommandText());
            break;
        case adCmdStoredProc:
            Raise(adErrInvalidArgument, kRecordsetSource,
                  "Arguments are of the wrong type, are out of acceptable range, or are in "
                  "conflict with one another.");
        default:
            d.sql = QString::fromStdString(source.CommandText());
            break;
    }

    d.connection = connection;
    try {
        d.Execute();
    } catch (...) {
        d.connection.reset();
        throw;
    }
    if (!d.query->isSelect()) {
        // A statement that returns no rows leaves the recordset closed, as in ADO.
        d.query.reset();
        d.connection.reset();
        return;
    }
    connection->impl().recordsets.push_back(&d);
    d.open = true;
}

int Recordset::State() const { return impl_->open ? adStateOpen : adStateClosed; }

bool Recordset::IsEOF() const {
    if (!impl_->open) RaiseClosed(kRecordsetSource);
    return impl_->eof;
}

void Recordset::MoveFirst() {
    Impl& d = *impl_;
    if (!d.open) RaiseClosed(kRecordsetSource);
    if (d.position == 0) return;  // already on the first row (or the result is empty)
    // Forward-only results cannot go back: the statement runs again.
    try {
        d.Execute();
    } catch (...) {
        d.Detach();
        throw;
    }
}

void Recordset::MoveNext() {
    Impl& d = *impl_;
    if (!d.open) RaiseClosed(kRecordsetSource);
    if (d.eof)
        Raise(adErrNoCurrentRecord, kRecordsetSource,
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a "
              "current record.");
    ++d.position;
    if (!d.query->next()) {
        d.eof = true;
        if (d.query->lastError().isValid()) {
            QSqlError error = d.query->lastError();
            std::shared_ptr<Connection> keep = d.connection;
            keep->impl().CheckLost();
            RaiseDriverError(kRecordsetSource, error);
        }
    }
}

Field Recordset::Fields(const std::string& name) const {
    Impl& d = *impl_;
    if (!d.open) RaiseClosed(kRecordsetSource);
    int index = d.ColumnIndex(name);
    if (index < 0)
        Raise(adErrItemNotFound, kFieldsSource,
              "Item cannot be found in the collection corresponding to the requested name or "
              "ordinal.");
    if (d.eof)
        Raise(adErrNoCurrentRecord, kRecordsetSource,
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a "
              "current record.");
    return Field(d.names[static_cast<size_t>(index)], ToVariant(d.query->value(index)));
}

const std::vector<std::string>& Recordset::FieldNames() const {
    if (!impl_->open) RaiseClosed(kRecordsetSource);
    return impl_->names;
}

void Recordset::Close() {
    if (!impl_->open) RaiseClosed(kRecordsetSource);
    impl_->Detach();
}

void OpenTextQuery(Recordset& recordset, const std::shared_ptr<Connection>& connection,
                   const std::string& sql) {
    Command command;
    command.SetActiveConnection(connection);
    command.SetCommandText(sql);
    command.SetCommandType(adCmdText);
    recordset.SetCursorType(adOpenStatic);
    recordset.SetCursorLocation(adUseServer);
    recordset.SetLockType(adLockReadOnly);
    recordset.Open(command, adOpenUnspecified, adLockUnspecified, -1);
}

std::shared_ptr<Connection> OpenConnection(const std::string& connectionString,
                                           int commandTimeout) {
    auto connection = std::make_shared<Connection>();
    connection->SetConnectionString(connectionString);
    connection->SetCommandTimeout(commandTimeout);
    connection->SetCursorLocation(adUseServer);
    connection->Open({}, {}, {}, adConnectUnspecified);
    return connection;
}

// ---------------------------------------------------------------------------------------
// Canceller

void Connection::Impl::ArmCanceller() {
    Canceller::State& c = *canceller.state;
    const QVariant handle = db.driver()->handle();
    const char* type = handle.typeName();
    std::lock_guard lock(c.mutex);
    c.engine = engine;
    if (!type) return;
    if (engine == Engine::SQLite && qstrcmp(type, "sqlite3*") == 0) {
        c.sqlite = *static_cast<sqlite3* const*>(handle.constData());
    } else if (engine == Engine::PostgreSQL &&
               (qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0)) {
        PGconn* conn = *static_cast<PGconn* const*>(handle.constData());
        c.pgCancel.reset(PQgetCancel(conn), PQfreeCancel);
        c.pgSocket = PQsocket(conn);
    } else if (engine == Engine::ODBC && handle.metaType() == QMetaType::fromType<SQLHANDLE>()) {
        c.odbc = *static_cast<const SQLHANDLE*>(handle.constData());
    }
}

void Canceller::Cancel() const {
    if (!state) return;
    State& c = *state;
    std::shared_ptr<PGcancel> pgCancel;
    {
        std::lock_guard lock(c.mutex);
        if (c.sqlite) sqlite3_interrupt(c.sqlite);
        if (c.odbc) SQLCancelHandle(SQL_HANDLE_DBC, c.odbc);
        pgCancel = c.pgCancel;
    }
    // Outside the lock: the request waits for the server, which may not answer.
    if (pgCancel) {
        char error[256];
        PQcancel(pgCancel.get(), error, sizeof error);
    }
}

void Canceller::Abort() const {
    if (!state) return;
    State& c = *state;
    {
        std::lock_guard lock(c.mutex);
        if (c.pgSocket >= 0) {
            // The blocked read on the client's side ends at once; libpq then sees the
            // connection as lost.
            shutdown(c.pgSocket, SHUT_RDWR);
            return;
        }
    }
    Cancel();
}

}  // namespace ado
