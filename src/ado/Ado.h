#pragma once
// ADO-shaped database objects on Qt SQL: Connection, Command, Recordset. The connection
// string is an ADO connection string; its Provider picks the engine (see
// ConnectionString.h). Failures raise lumaro::RuntimeError whose description is the
// driver's own message.
//
// Note: ADO's Recordset.EOF is IsEOF() here, since EOF is a macro of <cstdio>.

#include <memory>
#include <string>
#include <vector>

#include "common/Variant.h"

namespace ado {

enum CursorLocationEnum { adUseNone = 1, adUseServer = 2, adUseClient = 3 };
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };
enum CommandTypeEnum { adCmdUnspecified = -1, adCmdText = 1, adCmdTable = 2, adCmdStoredProc = 4 };
enum CursorTypeEnum {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3
};
enum ConnectOptionEnum { adConnectUnspecified = -1 };

// Error numbers: a provider error is raised as adErrProvider (0x80004005, "E_FAIL", as ADO
// reports provider failures); a missing provider as adErrProviderNotFound. The others are
// ADO's own: an argument out of range, an object closed or open for the operation, a
// command whose connection is closed or missing, no current row, no such column.
enum : int32_t {
    adErrProvider = static_cast<int32_t>(0x80004005),
    adErrProviderNotFound = 3706,
    adErrInvalidArgument = 3001,
    adErrObjectClosed = 3704,
    adErrObjectOpen = 3705,
    adErrInvalidConnection = 3709,
    adErrNoCurrentRecord = 3021,
    adErrItemNotFound = 3265,
};

// Stops what a connection is running, from any thread, for as long as the connection stays
// open; once it is closed, or opened again, the calls do nothing. Copies share one state.
class Canceller {
public:
    // Asks the engine to stop the running statement, which then fails: PostgreSQL's cancel
    // request, SQLite's interrupt, ODBC's SQLCancelHandle. The connection stays usable. May
    // wait for the server (PostgreSQL's request is a round trip): call it off the GUI thread.
    void Cancel() const;
    // Drops the connection to a server at once, without waiting for it: the running
    // statement fails and the connection reports itself closed. SQLite: as Cancel.
    void Abort() const;

    struct State;
    std::shared_ptr<State> state;
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& ConnectionString() const;
    void SetConnectionString(const std::string& connectionString);
    int CursorLocation() const;
    void SetCursorLocation(int cursorLocation);
    int ConnectionTimeout() const;  // seconds, default 15
    void SetConnectionTimeout(int seconds);
    // Seconds a statement may take (default 30; 0: no limit), applied from the next Open:
    // PostgreSQL's statement timeout, SQLite's wait for a locked file, ODBC's request timeout.
    int CommandTimeout() const;
    void SetCommandTimeout(int seconds);

    // An empty connectionString keeps the ConnectionString property.
    void Open(const std::string& connectionString = {}, const std::string& userId = {},
              const std::string& password = {}, int options = adConnectUnspecified);
    // adStateClosed or adStateOpen; a connection whose server has gone (seen by the client
    // library, or by a statement that failed for it) is closed, and Open may be called again.
    int State() const;
    void Close();
    // What stops this connection's statements from another thread (see Canceller).
    Canceller GetCanceller() const;

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

class Command {
public:
    Command();
    ~Command();
    std::shared_ptr<Connection> ActiveConnection() const { return connection_; }
    void SetActiveConnection(std::shared_ptr<Connection> connection) {
        connection_ = std::move(connection);
    }
    const std::string& CommandText() const { return text_; }
    void SetCommandText(const std::string& text) { text_ = text; }
    int CommandType() const { return type_; }
    void SetCommandType(int type) { type_ = type; }

private:
    std::shared_ptr<Connection> connection_;
    std::string text_;
    int type_ = adCmdUnspecified;
};

class Field {
public:
    Field(std::string name, lumaro::Variant value)
        : name_(std::move(name)), value_(std::move(value)) {}
    const std::string& Name() const { return name_; }
    const lumaro::Variant& Value() const { return value_; }  // a SQL NULL is a Null Variant

private:
    std::string name_;
    lumaro::Variant value_;
};

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    int CursorType() const;
    void SetCursorType(int cursorType);
    int CursorLocation() const;
    void SetCursorLocation(int cursorLocation);
    int LockType() const;
    void SetLockType(int lockType);

    // Runs the command on its active connection (activeConnection omitted, as the program
    // always does); -1 for cursor type, lock type and options keeps the properties.
    void Open(const Command& source, int cursorType = adOpenUnspecified,
              int lockType = adLockUnspecified, int options = -1);
    int State() const;
    bool IsEOF() const;  // ADO's EOF
    void MoveFirst();
    void MoveNext();
    // The named column of the current row, name compared ignoring case; raises
    // adErrItemNotFound when there is no such column and adErrNoCurrentRecord at EOF.
    Field Fields(const std::string& name) const;
    // The names of the result's columns, in order (also before the first row and at EOF).
    const std::vector<std::string>& FieldNames() const;
    void Close();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Runs a text statement on the connection the way the program reads its results: one
// Command (adCmdText) and a static, server-side, read-only Recordset opened from it.
void OpenTextQuery(Recordset& recordset, const std::shared_ptr<Connection>& connection,
                   const std::string& sql);

// Opens a connection the way the program opens its external database: server-side cursors,
// no user ID or password beside the string's, options unspecified, and the command timeout
// given (seconds, Connection's default when omitted). Raises what Open raises.
std::shared_ptr<Connection> OpenConnection(const std::string& connectionString,
                                           int commandTimeout = 30);

}  // namespace ado
