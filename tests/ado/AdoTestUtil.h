#pragma once
// Helpers shared by the database-layer tests.

#include <memory>
#include <string>

#include "ado/Ado.h"
#include "common/RuntimeError.h"

namespace ado::test {

// Runs `sql` the way the quantity lookup does (a text command, a static read-only
// server-side recordset) and returns the open recordset.
inline std::unique_ptr<Recordset> OpenQuery(const std::shared_ptr<Connection>& connection,
                                            const std::string& sql) {
    Command command;
    command.SetActiveConnection(connection);
    command.SetCommandText(sql);
    command.SetCommandType(adCmdText);
    auto rs = std::make_unique<Recordset>();
    rs->SetCursorType(adOpenStatic);
    rs->SetCursorLocation(adUseServer);
    rs->SetLockType(adLockReadOnly);
    rs->Open(command);
    return rs;
}

// The error a call raises (number 0 when none).
template <typename F>
lumaro::RuntimeError ErrorOf(F&& call) {
    try {
        call();
    } catch (const lumaro::RuntimeError& e) {
        return e;
    }
    return lumaro::RuntimeError(0, "", "");
}

}  // namespace ado::test
