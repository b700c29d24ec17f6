#pragma once
// Helpers shared by the database-layer tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ado/Ado.h"
#include "common/Variant.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"

namespace ado::test {

// Runs `sql` the way the quantity lookup does and returns the open recordset.
inline std::unique_ptr<Recordset> OpenQuery(const std::shared_ptr<Connection>& connection,
                                            const std::string& sql) {
    auto rs = std::make_unique<Recordset>();
    OpenTextQuery(*rs, connection, sql);
    return rs;
}

using lumaro::test::RaisedBy;

}  // namespace ado::test
