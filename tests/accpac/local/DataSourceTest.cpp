#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>

#include "LocalTestSupport.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/LocalPlatform.h"

using namespace accpac::local;
using accpac::Field;
using lumaro::Variant;
using lumaro::test::RaisedBy;
using lumaro::test::Raises;
using lumaro::test::SignOn;

namespace {

// Runs the statements on a connection of its own to the database file, waiting for no lock;
// the first value the last one gives.
QString OnOtherConnection(const std::string& file, const std::vector<QString>& statements) {
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "datasource.test.other");
        db.setDatabaseName(QString::fromStdString(file));
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& sql : statements)
            EXPECT_TRUE(q.exec(sql))
                << sql.toStdString() << ": " << q.lastError().text().toStdString();
        if (q.next()) value = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("datasource.test.other");
    return value;
}

}  // namespace

class DataSourceTest : public lumaro::test::SharedDemo {
protected:
    void SetUp() override {
        session_ = SignOn();
        link_ = session_->OpenDBLink(1, 1);
    }
    std::unique_ptr<accpac::DataSource> Open(const std::string& viewId,
                                             std::shared_ptr<accpac::DBLink> link = nullptr) {
        std::unique_ptr<accpac::DataSource> source(platform_.CreateDataSource(viewId, nullptr));
        source->SetDBLink(link ? link : link_);
        source->SetActive(true);
        return source;
    }

    LocalPlatform platform_;
    std::shared_ptr<LocalSession> session_;
    std::shared_ptr<accpac::DBLink> link_;
};

TEST_F(DataSourceTest, LocationAndQuantityRecordsAreReadByKey) {
    auto location = Open("IC0370");
    location->Fields().Item(1).PutWithoutVerification(Variant("wh1"));
    ASSERT_TRUE(location->Read());
    EXPECT_EQ(location->Fields().Item(2).Value().ToString(), "Central Warehouse");

    auto quantities = Open("IC0374");
    quantities->Fields().Item(1).PutWithoutVerification(Variant("A1-103/0"));
    quantities->Fields().Item(2).PutWithoutVerification(Variant("WH1"));
    ASSERT_TRUE(quantities->Read());
    auto value = [&](int index) { return quantities->Fields().Item(index).Value().ToDouble(); };
    EXPECT_EQ(value(3), 145);
    EXPECT_EQ(value(6), value(3) - value(12));

    auto options = Open("IC0380");
    ASSERT_TRUE(options->Read());
    EXPECT_EQ(options->Fields().Item(62).Value().ToInteger(), 2);
}

TEST_F(DataSourceTest, QuantityFieldsConvertTextToNumbers) {
    auto quantities = Open("IC0374");
    const std::pair<Variant, double> cases[] = {
        {Variant(" 3.25 "), 3.25},
        {Variant(""), 0},
        {Variant(int32_t{7}), 7},
        {Variant(), 0},
    };
    for (int index : {3, 4, 5, 6, 12}) {
        for (const auto& [written, stored] : cases) {
            quantities->Fields().Item(index).SetValue(written);
            const Variant value = quantities->Fields().Item(index).Value();
            EXPECT_EQ(value.type(), Variant::Type::Double);
            EXPECT_EQ(value.ToDouble(), stored) << index;
        }
    }
    EXPECT_EQ(session_->Errors().Count(), 0);

    EXPECT_TRUE(Raises([&] { quantities->Fields().Item(4).SetValue(Variant("twelve")); },
                       lumaro::kErrTypeMismatch,
                       "\"twelve\" is not a number for field QTONORDER (4) of view IC0374."));
    EXPECT_EQ(RaisedBy([&] {
                  quantities->Fields().Item(4).PutWithoutVerification(Variant::Null());
              }).Number(),
              lumaro::kErrTypeMismatch);
    EXPECT_EQ(quantities->Fields().Item(4).Value().ToDouble(),
              0);  // unchanged by the failed writes
    EXPECT_EQ(session_->Errors().Count(), 2);
}

TEST_F(DataSourceTest, RecordChangedEventsCarryTheirReason) {
    auto item = Open("IC0310");
    std::vector<std::pair<int, int>> events;  // reason and field (0 when none)
    QObject::connect(item.get(), &accpac::DataSource::OnRecordChanged,
                     [&](int reason, Field* field, QObject* fields) {
                         events.push_back({reason, field ? field->Index() : 0});
                         EXPECT_EQ(fields, nullptr);
                     });
    item->ClearRecord();
    item->Fields().Item(1).PutWithoutVerification(Variant("A11030"));  // no event
    ASSERT_TRUE(item->Read());
    item->Fields().Item(11).SetValue(Variant("Changed"));
    item->Fields().Item(1).PutWithoutVerification(Variant("NONE"));
    EXPECT_FALSE(item->Read());  // no event when nothing was found
    static_cast<LocalDataSource&>(*item).LoadRecord({{1, Variant("A11030")}},
                                                    accpac::ReasonRecordRefreshed);
    EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{2, 0}, {0, 0}, {7, 11}, {15, 0}}));
}

TEST_F(DataSourceTest, BadViewsFieldsAndLinksRaiseClearErrors) {
    std::unique_ptr<accpac::DataSource> unknown(platform_.CreateDataSource("XX0000", nullptr));
    unknown->SetDBLink(link_);
    EXPECT_EQ(RaisedBy([&] { unknown->SetActive(true); }).Number(), kErrViewNotFound);
    EXPECT_EQ(RaisedBy([&] { unknown->Fields().Item(1); }).Number(), kErrViewNotFound);
    EXPECT_FALSE(unknown->Active());

    auto item = Open("IC0310");
    EXPECT_TRUE(Raises([&] { item->Fields().Item(99); }, kErrFieldNotFound,
                       "View IC0310 has no field 99."));
    EXPECT_EQ(RaisedBy([&] { item->Fields().FieldList({1, 7, 98}); }).Number(), kErrFieldNotFound);
    item->Fields().FieldList({1, 7, 11});
    EXPECT_EQ(session_->Errors().Count(), 4);

    std::unique_ptr<accpac::DataSource> unlinked(platform_.CreateDataSource("IC0310", nullptr));
    EXPECT_EQ(RaisedBy([&] { unlinked->SetActive(true); }).Number(), kErrNotActive);
    item->SetActive(false);
    EXPECT_EQ(RaisedBy([&] { item->Read(); }).Number(), kErrNotActive);
}

// Item keys: the stored number wins over another item's formatted number written the same
// way, in the item record, the quantity record (whose table holds stored numbers) and the
// item lookup; a quantity row of a number the item table does not know is read as given.
// An item not found keeps the key and empties the rest (no stale item to compare with); a
// quote in a key is data, not SQL.
TEST_F(DataSourceTest, StoredItemNumberWinsOverTheSameFormattedNumber) {
    auto local = session_->OpenLocalDBLink();
    QSqlDatabase& db = local->Database().Database();
    ASSERT_TRUE(db.transaction());
    struct Rollback {
        QSqlDatabase& db;
        ~Rollback() { db.rollback(); }
    } rollback{db};
    local->Database().Exec(
        "INSERT INTO ICITEM (ITEMNO, FMTITEMNO, \"DESC\") VALUES ('ZZ1', 'ZZ2', 'one'), ('ZZ2', "
        "'ZZ-2', 'two')");
    local->Database().Exec(
        "INSERT INTO ICILOC (ITEMNO, LOCATION, QTYONHAND) VALUES ('ZZ1', 'WH1', 1), ('ZZ2', 'WH1', "
        "2), ('ORPHAN', 'WH1', 3)");
    auto item = Open("IC0310", local);
    auto quantities = Open("IC0374", local);
    const struct {
        std::string key, itemNo, desc;  // itemNo "": not found
        double onHand;
    } cases[] = {{"ZZ2", "ZZ2", "two", 2}, {"zz-2", "ZZ2", "two", 2},
                 {"zz1", "ZZ1", "one", 1}, {"ORPHAN", "", "", 3},
                 {"ZZ3", "", "", 0},       {"O'N' OR '1'='1", "", "", 0}};
    for (const auto& c : cases) {
        item->Fields().Item(1).PutWithoutVerification(Variant(c.key));
        EXPECT_EQ(item->Read(), !c.itemNo.empty()) << c.key;
        EXPECT_EQ(item->Fields().Item(1).Value().ToString() + "|" +
                      item->Fields().Item(11).Value().ToString(),
                  (c.itemNo.empty() ? c.key : c.itemNo) + "|" + c.desc);
        auto found = local->Database().FindItem(c.key);
        EXPECT_EQ(found ? found->itemNo : "", c.itemNo) << c.key;

        quantities->Fields().Item(1).PutWithoutVerification(Variant(c.key));
        quantities->Fields().Item(2).PutWithoutVerification(Variant("WH1"));
        EXPECT_EQ(quantities->Read(), c.onHand != 0) << c.key;
        EXPECT_EQ(quantities->Fields().Item(7).Value().ToDouble(), c.onHand) << c.key;
    }
    EXPECT_EQ(session_->Errors().Count(), 0);
}

// Reads by key run statements the company database keeps prepared: a kept statement holds
// no lock between reads, one in use is prepared afresh for an inner lookup, and one that
// cannot be prepared raises and is not kept. The formatted item number has its index.
TEST_F(DataSourceTest, KeptStatementsHoldNoLockAndNest) {
    auto local = session_->OpenLocalDBLink();
    CompanyDatabase& company = local->Database();
    auto item = Open("IC0310");
    item->Fields().Item(1).PutWithoutVerification(Variant(kDemoItemFormatted));
    ASSERT_TRUE(item->Read());
    ASSERT_TRUE(company.FindItem(kDemoItemFormatted));
    OnOtherConnection(company.FileName(), {"UPDATE ICOPT SET QTYDECS = QTYDECS"});

    const std::string sql = "SELECT LOCATION FROM ICLOC ORDER BY LOCATION";
    std::vector<QString> outer, inner;
    {
        CompanyDatabase::KeptQuery first(company, sql, {});
        while (first.Query().next()) {
            outer.push_back(first.Query().value(0).toString());
            if (outer.size() != 1) continue;
            CompanyDatabase::KeptQuery second(company, sql, {});
            while (second.Query().next()) inner.push_back(second.Query().value(0).toString());
        }
    }
    EXPECT_GE(outer.size(), 2u);
    EXPECT_EQ(outer, inner);

    for (int attempt = 0; attempt < 2; ++attempt) {  // not kept: the second raises too
        auto bad = [&] { CompanyDatabase::KeptQuery q(company, "SELECT NOSUCH FROM ICLOC", {}); };
        EXPECT_EQ(RaisedBy(bad).Number(), kErrCompanyDatabase);
    }

    QSqlQuery plan = company.Exec(
        "EXPLAIN QUERY PLAN SELECT ITEMNO FROM ICITEM WHERE FMTITEMNO = ?", {"A1-103/0"});
    ASSERT_TRUE(plan.next());
    const QString detail = plan.value(3).toString();
    EXPECT_TRUE(detail.startsWith("SEARCH") && detail.contains("INDEX") &&
                detail.contains("FMTITEMNO=?"))
        << detail.toStdString();
}

// Items read again are remembered by the company database while it is unchanged: a
// description changed by another connection, or through this one, is read at once, in
// rollback-journal mode and after the file was switched to WAL mode.
TEST_F(DataSourceTest, RememberedItemsAreReadAgainAfterAnyChange) {
    auto local = session_->OpenLocalDBLink();
    CompanyDatabase& company = local->Database();
    auto item = Open("IC0310");
    auto description = [&] {
        item->Fields().Item(1).PutWithoutVerification(Variant(kDemoItemFormatted));
        EXPECT_TRUE(item->Read());
        return item->Fields().Item(11).Value().ToString();
    };
    const std::string original = description();
    EXPECT_EQ(description(), original);

    auto otherConnection = [&](const std::string& text) {
        OnOtherConnection(company.FileName(),
                          {QString("UPDATE ICITEM SET \"DESC\" = '%1' WHERE "
                                   "FMTITEMNO = '%2'")
                               .arg(QString::fromStdString(text), kDemoItemFormatted)});
    };
    otherConnection("Changed elsewhere");
    EXPECT_EQ(description(), "Changed elsewhere");
    company.Exec("UPDATE ICITEM SET \"DESC\" = 'Changed here' WHERE FMTITEMNO = ?",
                 {kDemoItemFormatted});
    EXPECT_EQ(description(), "Changed here");
    EXPECT_EQ(OnOtherConnection(company.FileName(), {"PRAGMA journal_mode=WAL"}).toUpper(), "WAL");
    otherConnection("Changed in WAL mode");
    EXPECT_EQ(description(), "Changed in WAL mode");
    otherConnection(original);  // for the other tests of the shared demo
}
