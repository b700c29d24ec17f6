#include <gtest/gtest.h>

#include "LocalTestSupport.h"
#include "accpac/local/OrderEntry.h"
#include "accpac/local/Site.h"

using namespace accpac::local;
using accpac::Field;
using lumaro::Variant;
using lumaro::test::RaisedBy;
using lumaro::test::Raises;
using lumaro::test::SignOn;
using lumaro::test::TempMachine;

namespace {

// The events of both data sources, in order, as "H<reason>" / "D<reason>[:field]".
struct EventLog {
    void Watch(accpac::DataSource& source, const std::string& prefix) {
        QObject::connect(
            &source, &accpac::DataSource::OnRecordChanged,
            [this, prefix](int eReason, Field* pField, QObject*) {
                entries.push_back(prefix + std::to_string(eReason) +
                                  (pField ? ":" + std::to_string(pField->Index()) : ""));
            });
    }
    std::vector<std::string> Take() { return std::exchange(entries, {}); }
    std::vector<std::string> entries;
};

using Entries = std::vector<std::string>;

}  // namespace

class OrderEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Installation().InstallDemo(false);
        session_ = SignOn();
        auto link = session_->OpenDBLink(1, 1);
        header_.SetDBLink(link);
        detail_.SetDBLink(link);
        header_.SetActive(true);
        detail_.SetActive(true);
        order_ = std::make_unique<OrderEntry>(header_, detail_);
        log_.Watch(header_, "H");
        log_.Watch(detail_, "D");
    }
    CompanyDatabase& Db() { return order_->Database(); }
    // The demo item's quantities on sales orders and committed at WH1.
    std::pair<double, double> Figures() {
        const auto q = *Db().FindItemLocation("A11030", "WH1");
        return {q.qtySalesOrder, q.qtyCommitted};
    }

    TempMachine machine_;
    std::shared_ptr<LocalSession> session_;
    LocalDataSource header_{kViewOrderHeader};
    LocalDataSource detail_{kViewOrderDetail};
    std::unique_ptr<OrderEntry> order_;
    EventLog log_;
};

TEST_F(OrderEntryTest, AClerksActionsRaiseTheirReasons) {
    order_->NewOrder();
    EXPECT_EQ(log_.Take(), (Entries{"H2", "D2"}));
    EXPECT_TRUE(order_->IsListEmpty());
    order_->SetHeaderValue(orderheader::CUSTOMER, Variant("1100"));
    EXPECT_EQ(order_->HeaderValue(orderheader::BILNAME).ToString(), "Bayside Dental Clinic");

    EXPECT_EQ(order_->AddLine(), 0);
    detail_.Fields().Item(orderdetail::ITEM).SetValue(Variant("a11030"));  // typed in stored form
    std::string line;  // with the default location
    for (int field : {orderdetail::ITEM, orderdetail::DESC, orderdetail::LOCATION})
        line += detail_.FieldValue(field).ToString() + "|";
    EXPECT_EQ(line, "A1-103/0|Fluorescent Desk Lamp, Black|WH1|");
    EXPECT_TRUE(detail_.FieldValue(orderdetail::STOCKITEM).ToBool());
    order_->SetLineValue(0, orderdetail::QTYORDERED, Variant("3"));
    EXPECT_EQ(order_->AddLine(), 1);
    order_->SetLineValue(1, orderdetail::ITEM, Variant("S1-101/0"));  // a service: not a stock item
    EXPECT_FALSE(detail_.FieldValue(orderdetail::STOCKITEM).ToBool());
    order_->SetLineValue(1, orderdetail::QTYORDERED, Variant(int32_t{2}));
    order_->SetLineValue(0, orderdetail::QTYORDERED, Variant(int32_t{4}));  // moves to line 1 first
    order_->GoToLine(0);  // already there: nothing
    EXPECT_EQ(log_.Take(),
              (Entries{"H7:3", "D2", "D7:4", "D7:7", "D2", "D7:4", "D7:7", "D0", "D7:7"}));
    EXPECT_EQ(order_->LineValue(1, orderdetail::ITEM).ToString(), "S1-101/0");
    EXPECT_EQ(order_->LineValue(0, orderdetail::QTYORDERED).ToDouble(), 4);

    const auto [sales, committed] = Figures();
    const std::string number = order_->Save();
    EXPECT_EQ(log_.Take(), (Entries{"H15", "D15"}));
    EXPECT_EQ(order_->HeaderValue(orderheader::ORDNUMBER).ToString(), number);
    EXPECT_EQ(order_->CurrentLine(), 0);
    EXPECT_EQ(detail_.FieldValue(orderdetail::QTYCOMMIT).ToDouble(), 4);  // active order: committed
    EXPECT_EQ(Figures(), std::pair(sales + 4, committed + 4));
    // The inquiry lists the saved order, and its documents still add up to the figures.
    auto documentsAddUp = [&](double ofTheOrder) {
        const auto [salesNow, committedNow] = Figures();
        for (auto [kind, figure] :
             {std::pair{kDocSalesOrders, salesNow}, {kDocCommitted, committedNow}}) {
            double sum = 0, listed = 0;
            for (const InquiryDocument& d : Db().InquiryDocuments("A11030", "WH1", kind))
                sum += d.quantity, listed += d.documentNumber == number ? d.quantity : 0;
            EXPECT_EQ(sum, figure) << kind;
            EXPECT_EQ(listed, ofTheOrder) << kind;
        }
    };
    documentsAddUp(4);

    // Changing and saving again replaces the order's share instead of adding to it; a line
    // in cases of 12 counts in the stocking unit. Until saved, the saved line stays as it was.
    order_->SetLineValue(0, orderdetail::QTYORDERED, Variant(int32_t{10}));
    order_->SetLineValue(0, orderdetail::UNIT, Variant("CASE"));
    EXPECT_EQ(order_->SavedLineValue(0, orderdetail::QTYORDERED).ToDouble(), 4);
    EXPECT_EQ(order_->Save(), number);
    EXPECT_EQ(order_->SavedLineValue(0, orderdetail::UNIT).ToString(), "CASE");
    EXPECT_EQ(Figures().second, committed + 120);
    documentsAddUp(120);
    order_->DeleteLine(0);
    EXPECT_EQ(order_->CurrentLine(), 0);
    EXPECT_EQ(detail_.FieldValue(orderdetail::ITEM).ToString(), "S1-101/0");
    order_->Save();
    EXPECT_EQ(Figures(), std::pair(sales, committed));

    // Opened again, the order shows its saved lines.
    log_.Take();
    order_->NewOrder();
    ASSERT_TRUE(order_->OpenOrder(number));
    EXPECT_EQ(log_.Take(), (Entries{"H2", "D2", "H0", "D0"}));
    EXPECT_EQ(order_->LineCount(), 1);
    EXPECT_FALSE(order_->OpenOrder("ORD999999"));
}

TEST_F(OrderEntryTest, DeletingTheLastLineStartsAnEmptyRecord) {
    order_->NewOrder();
    order_->AddLine();
    order_->AddLine();
    order_->GoToLine(0);
    log_.Take();
    order_->DeleteLine(1);  // not the current line: nothing to show
    EXPECT_EQ(log_.Take(), Entries{});
    order_->DeleteLine(0);
    EXPECT_EQ(log_.Take(), (Entries{"D2"}));
    EXPECT_TRUE(order_->IsListEmpty());
    EXPECT_EQ(order_->CurrentLine(), -1);
    EXPECT_EQ(RaisedBy([&] { order_->GoToLine(0); }).Number(), 9);
}

TEST_F(OrderEntryTest, OrdersThatCannotBeSavedChangeNothing) {
    const auto before = Figures();
    const size_t orders = Db().OrderNumbers().size();
    struct Case {
        const char* customer;
        const char* item;
        const char* location;
        double quantity;
        const char* reason;
        int blankLines = 0;  // before the line; a line deleted before them all
    };
    const Case cases[] = {
        {"", "A1-103/0", "WH1", 1, "no customer"},
        {"9999", "A1-103/0", "WH1", 1, "Customer \"9999\" does not exist"},
        {"1100", "ZZ-999/9", "WH1", 1, "item \"ZZ-999/9\" does not exist"},
        {"1100", "A1-103/0", "WH9", 1, "location \"WH9\" does not exist"},
        {"1100", "A1-103/0", "", 1, "needs a location"},
        {"1100", "A1-103/0", "WH1", 0, "greater than zero"},
        {"1100", "A1-103/0", "WH1", -5, "greater than zero"},
        {"1100", "ZZ-999/9", "WH1", 1, "Line 3: item", 2},  // as the clerk counts lines
    };
    for (const Case& c : cases) {
        order_->NewOrder();
        order_->SetHeaderValue(orderheader::CUSTOMER, Variant(c.customer));
        order_->AddLine();
        order_->DeleteLine(0);
        for (int i = 0; i <= c.blankLines; ++i) order_->AddLine();
        order_->SetLineValue(c.blankLines, orderdetail::ITEM, Variant(c.item));
        order_->SetLineValue(c.blankLines, orderdetail::LOCATION, Variant(c.location));
        order_->SetLineValue(c.blankLines, orderdetail::QTYORDERED, Variant(c.quantity));
        session_->Errors().Clear();
        EXPECT_TRUE(Raises([&] { order_->Save(); }, kErrRecordInvalid, c.reason));
        EXPECT_EQ(session_->Errors().Count(), 1) << c.reason;
        EXPECT_EQ(order_->LineCount(), c.blankLines + 1);  // the clerk can correct the order
    }
    EXPECT_EQ(Db().OrderNumbers().size(), orders);
    EXPECT_EQ(Figures(), before);
}

// A future order is on order but not committed; its lines without an item are not kept.
TEST_F(OrderEntryTest, FutureOrderWithBlankLines) {
    const auto [sales, committed] = Figures();
    order_->NewOrder();
    order_->SetHeaderValue(orderheader::CUSTOMER, Variant("1110"));
    order_->SetHeaderValue(orderheader::TYPE, Variant(int32_t{2}));
    order_->AddLine();
    order_->AddLine();
    order_->SetLineValue(1, orderdetail::ITEM, Variant("A11030"));
    order_->SetLineValue(1, orderdetail::QTYORDERED, Variant(int32_t{6}));
    order_->AddLine();
    order_->GoToLine(1);
    order_->Save();
    EXPECT_EQ(order_->LineCount(), 1);
    EXPECT_EQ(order_->CurrentLine(), 0);
    EXPECT_EQ(detail_.FieldValue(orderdetail::ITEM).ToString(), "A1-103/0");
    EXPECT_EQ(detail_.FieldValue(orderdetail::LINENUM).ToLong(), 1);
    EXPECT_EQ(Figures(), std::pair(sales + 6, committed));
}

TEST_F(OrderEntryTest, NeedsActiveOrderDataSources) {
    LocalDataSource wrong{kViewItem};
    EXPECT_EQ(RaisedBy([&] { OrderEntry(wrong, detail_); }).Number(), kErrViewNotFound);
    LocalDataSource inactive{kViewOrderDetail};
    EXPECT_EQ(RaisedBy([&] { OrderEntry(header_, inactive); }).Number(), kErrNotActive);
}
