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

// The sample rows of the ICILOC fixture read back through the first-run query: each row's
// five quantities, a NULL QTYCOMMIT giving Null in the columns computed from it. The columns
// are found ignoring case (PostgreSQL names them in lower case).
inline void ExpectSampleQuantities(const std::shared_ptr<Connection>& connection) {
    for (const lumaro::test::IclocRow& row : lumaro::test::SampleIclocRows()) {
        SCOPED_TRACE(row.itemNo + "/" + row.location);
        std::string item = row.itemNo;
        for (size_t p = item.find('\''); p != std::string::npos; p = item.find('\'', p + 2))
            item.insert(p, "'");
        auto rs = OpenQuery(connection, lumaro::test::FirstRunQuery(item, row.location));
        ASSERT_FALSE(rs->IsEOF());
        rs->MoveFirst();
        EXPECT_DOUBLE_EQ(rs->Fields("QTONHAND").Value().ToDouble(), row.QtOnHand());
        EXPECT_DOUBLE_EQ(rs->Fields("qtonorder").Value().ToDouble(), row.qtyOnOrder);
        EXPECT_DOUBLE_EQ(rs->Fields("QtSalOrdr").Value().ToDouble(), row.qtySalOrdr);
        if (row.qtyCommit) {
            EXPECT_DOUBLE_EQ(rs->Fields("QTAVAIL").Value().ToDouble(), row.QtAvail());
            EXPECT_EQ(rs->Fields("QTCOMMIT").Value().ToString(),
                      lumaro::DoubleToText(*row.qtyCommit));
        } else {
            EXPECT_TRUE(rs->Fields("QTCOMMIT").Value().IsNull());
            EXPECT_TRUE(rs->Fields("QTAVAIL").Value().IsNull());
        }
    }
}

}  // namespace ado::test
