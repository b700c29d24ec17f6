// The Quantity panel on the local platform: the demo company, its database as the external
// database, and an order detail line driven by the test.

#include "panel/QuantityPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSqlQuery>
#include <QUuid>

#include "accpac/local/Installation.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/Views.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "accpac/local/Site.h"
#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "common/VersionInfo.h"
#include "common/TextUtil.h"
#include "panel/LaunchUI.h"
#include "panel/PanelTestSupport.h"
#include "panel/QuantityLookup.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"
#include "support/TestSupport.h"
#include "winapi/windows.h"

namespace lumaro {
namespace {

using accpac::local::LocalDataSource;
namespace detail = accpac::local::orderdetail;

// The hosted screen's detail list, answering "IsListEmpty".
class TestDetailList : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QVariant IsListEmpty() const { return empty; }
    QVariant empty = false;
};

// The platform's field edit control, recording the numbered properties and operations.
class RecordingFieldEdit : public accpac::local::FieldEditControl {
public:
    using FieldEditControl::FieldEditControl;
    void SetNumberedProperty(int id, const Variant& value) override {
        calls.push_back("set " + std::to_string(id) + "=" + value.ToString());
        FieldEditControl::SetNumberedProperty(id, value);
    }
    void Invoke(int operation, const std::vector<Variant>& args) override {
        std::string call = "invoke " + std::to_string(operation) + "(";
        for (size_t i = 0; i < args.size(); ++i) call += (i ? "," : "") + args[i].ToString();
        calls.push_back(call + ")");
        FieldEditControl::Invoke(operation, args);
    }
    std::vector<std::string> calls;
};

// The platform's screen launcher, recording each launch; onRun runs inside Run, before the
// screen starts (a second click delivered while the platform starts the screen).
struct LaunchLog {
    std::vector<std::string> parameters;
    int runs = 0;
    std::function<void()> onRun;
};

class RecordingLauncher : public accpac::ScreenLauncher {
public:
    RecordingLauncher(LaunchLog& log, std::shared_ptr<accpac::ScreenLauncher> real) : log_(log), real_(std::move(real)) {}
    void Prepare(const std::string& t1, const std::string& t2, const std::string& t3, const std::string& t4,
                 const std::string& parameters) override {
        log_.parameters.push_back(parameters);
        real_->Prepare(t1, t2, t3, t4, parameters);
    }
    std::string Run(int32_t owner) override {
        ++log_.runs;
        if (auto onRun = std::exchange(log_.onRun, nullptr)) onRun();
        return real_->Run(owner);
    }
    void Close() override { real_->Close(); }

private:
    LaunchLog& log_;
    std::shared_ptr<accpac::ScreenLauncher> real_;
};

class TestPlatform : public accpac::local::LocalGuiPlatform {
public:
    accpac::FieldEdit* CreateFieldEdit(accpac::DataSource* source, const std::string& fieldName,
                                       QWidget* parent) override {
        return new RecordingFieldEdit(source, fieldName, parent);
    }
    std::shared_ptr<accpac::ScreenLauncher> CreateScreenLauncher() override {
        return std::make_shared<RecordingLauncher>(launches, LocalGuiPlatform::CreateScreenLauncher());
    }
    LaunchLog launches;
};

const std::vector<std::string> kMarker(5, kNotFoundMarker);

class QuantityPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        machine_ = new test::TempMachine;
        accpac::local::Installation().InstallDemo(false);
    }
    static void TearDownTestSuite() {
        delete machine_;
        machine_ = nullptr;
    }

    void SetUp() override {
        accpac::Platform::Install(&platform);
        session = accpac::local::LocalSessionManager().Signon({"SYSOP", "SYSOP", "SAMLTD"});
        link = session->OpenLocalDBLink();
        paths = std::make_unique<AccpacPaths>();
        settings = std::make_unique<ProgramSettings>([] { return std::string("SAMLTD"); },
                                                     [this]() -> const AccpacPaths& { return *paths; });
        ASSERT_TRUE(settings->CreateINIFile());
        settings->SetConnectionString(test::SqliteConnectionString(link->Database().FileName()));
        settings->SetLocation("WH1");
        settings->SetQuery(kFirstRunQuery);
        settings->SetDrilldown(true);

        window = std::make_unique<QWidget>();
        header = new LocalDataSource(accpac::local::kViewOrderHeader, window.get());
        line = new LocalDataSource(accpac::local::kViewOrderDetail, window.get());
        for (LocalDataSource* source : {header, line}) {
            source->SetDBLink(link);
            source->SetActive(true);
        }
        panel = new QuantityPanel(window.get());
        panel->SetSession(session);
        panel->SetDBLink(link);
        panel->SetSettings(settings.get());
        panel->SetEndProgram([this] { ++programEnded; });
        panel->SetWindowHandle([] { return 0; });
    }

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<accpac::local::InquiryScreen*>(w)) delete w;
        if (panel) panel->CloseQuantitySources();
        window.reset();
        accpac::Platform::Install(nullptr);
    }

    // Start-up of the panel, then the hosted screen connects its sources.
    void Start() {
        ASSERT_TRUE(panel->OpenQuantitySources());
        panel->SetupQuantityControls();
        panel->ConnectOrderSources(header, line, &list);
    }

    void MoveToLine(const std::string& item, bool stockItem = true) {
        line->LoadRecord({{detail::ITEM, Variant(item)}, {detail::STOCKITEM, Variant(stockItem)}},
                         accpac::ReasonRecordChanged);
    }

    // What the five quantity controls show, in the order of the query's columns.
    std::vector<std::string> Shown() const {
        std::vector<std::string> shown;
        for (accpac::FieldEdit* control : {panel->afeICLOCIaqtyonhand, panel->afeICLOCIqtyonorder,
                                           panel->afeICLOCIqtysalordr, panel->afeICLOCIqtyavail,
                                           panel->afeICLOCIqtycommitted})
            shown.push_back(control->Value().ToString());
        return shown;
    }
    // Enabled state of the sales-order, purchase-order and committed zoom buttons.
    std::vector<bool> Zooms() const {
        return {panel->btnSalesOrderZoom->isEnabled(), panel->btnPurchaseOrderZoom->isEnabled(),
                panel->btnCommittedZoom->isEnabled()};
    }
    std::string LocationCaption() const { return panel->lblLocation->text().toStdString(); }

    // An item of the company (stored and formatted number alike) with its quantities at WH1,
    // stored under quantityKey (default: the item number).
    void AddItem(const std::string& itemNo, const std::string& description, double onHand, double onOrder,
                 double salesOrder, double committed, std::string quantityKey = {}) {
        if (quantityKey.empty()) quantityKey = itemNo;
        auto& db = link->Database();
        db.Exec("INSERT OR REPLACE INTO ICITEM (ITEMNO, FMTITEMNO, \"DESC\", CATEGORY, STOCKITEM, STOCKUNIT, UNITPRICE) "
                "VALUES (?, ?, ?, 'A1', 1, 'EA', 1)",
                {QString::fromStdString(itemNo), QString::fromStdString(itemNo), QString::fromStdString(description)});
        db.Exec("INSERT OR REPLACE INTO ICILOC (ITEMNO, LOCATION, QTYONHAND, QTYRENOCST, QTYADNOCST, QTYSHNOCST, "
                "QTYONORDER, QTYSALORDR, QTYCOMMIT) VALUES (?, 'WH1', ?, 0, 0, 0, ?, ?, ?)",
                {QString::fromStdString(quantityKey), onHand, onOrder, salesOrder, committed});
    }

    // A formatted item number of the demo company, other than the showcase item, stocked at WH1.
    std::string OtherItem() {
        QSqlQuery q = link->Database().Exec(
            "SELECT I.FMTITEMNO FROM ICITEM I JOIN ICILOC L ON L.ITEMNO = I.ITEMNO AND L.LOCATION = 'WH1' "
            "WHERE I.ITEMNO <> ? ORDER BY I.ITEMNO LIMIT 1",
            {QString(accpac::local::kDemoItemStored)});
        EXPECT_TRUE(q.next());
        return q.value(0).toString().toStdString();
    }

    // The five quantities of the first-run query for a stored item number at WH1.
    std::vector<std::string> Expected(const std::string& itemNo) {
        auto q = link->Database().FindItemLocation(itemNo, "WH1");
        EXPECT_TRUE(q.has_value());
        const double onHand = q->qtyOnHand + q->qtyRenOCost + q->qtyAdNOCost - q->qtyShNOCost;
        std::vector<std::string> expected;
        for (double v : {onHand, q->qtyOnOrder, q->qtySalesOrder, onHand - q->qtyCommitted, q->qtyCommitted})
            expected.push_back(Variant(v).ToString());
        return expected;
    }

    static test::TempMachine* machine_;
    TestPlatform platform;
    std::shared_ptr<accpac::local::LocalSession> session;
    std::shared_ptr<accpac::local::LocalDBLink> link;
    std::unique_ptr<AccpacPaths> paths;
    std::unique_ptr<ProgramSettings> settings;
    std::unique_ptr<QWidget> window;
    LocalDataSource* header = nullptr;
    LocalDataSource* line = nullptr;
    TestDetailList list;
    QuantityPanel* panel = nullptr;
    int programEnded = 0;
    test::RecordingMessageSink messages;
};

test::TempMachine* QuantityPanelTest::machine_ = nullptr;

TEST_F(QuantityPanelTest, SetUpReadsSettingsOpensSourcesAndForgetsTheItem) {
    Start();
    EXPECT_EQ(panel->LocationCode(), "WH1");
    EXPECT_EQ(panel->LocationDescription(), link->Database().FindLocation("WH1")->description);
    EXPECT_EQ(panel->ExternalConnection()->State(), ado::adStateOpen);
    EXPECT_TRUE(panel->adsICLOCQT->Active() && panel->adsICITEM->Active() && panel->adsICLOC->Active());
    EXPECT_EQ(panel->RememberedItemKey(), "~");
    EXPECT_EQ(Zooms(), (std::vector<bool>{false, false, false}));  // no line yet
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(programEnded, 0);

    const std::string decimals = "set 17=" + std::to_string(link->Database().QuantityDecimals());
    for (accpac::FieldEdit* control : {panel->afeICLOCIaqtyonhand, panel->afeICLOCIqtysalordr,
                                       panel->afeICLOCIqtyonorder, panel->afeICLOCIqtyavail,
                                       panel->afeICLOCIqtycommitted})
        EXPECT_EQ(static_cast<RecordingFieldEdit*>(control)->calls, std::vector<std::string>{decimals});

    panel->CloseQuantitySources();
    EXPECT_EQ(panel->ExternalConnection()->State(), ado::adStateClosed);
    EXPECT_FALSE(panel->adsICLOCQT->Active() || panel->adsICITEM->Active() || panel->adsICLOC->Active());
}

TEST_F(QuantityPanelTest, DrilldownChoosesHowZoomButtonsAreSetUp) {
    for (bool drilldown : {true, false}) {
        SCOPED_TRACE(drilldown);
        settings->SetDrilldown(drilldown);
        QuantityPanel other(window.get());
        other.SetSession(session);
        other.SetDBLink(link);
        other.SetSettings(settings.get());
        ASSERT_TRUE(other.OpenQuantitySources());
        other.SetupQuantityControls();
        const std::vector<std::string> expected{drilldown ? "invoke 60(0,3,)" : "set 57=0"};
        for (accpac::FieldEdit* button : {other.btnSalesOrderZoom, other.btnPurchaseOrderZoom, other.btnCommittedZoom})
            EXPECT_EQ(static_cast<RecordingFieldEdit*>(button)->calls, expected);
        other.CloseQuantitySources();
    }
}

TEST_F(QuantityPanelTest, MissingSettingsEndTheProgramWithTheirMessage) {
    struct Case {
        const char* connection;
        const char* location;
        const char* query;
        const char* message;
    } cases[] = {
        {"", "WH1", "q", "Program settings have not been set. Please contact the Accpac SYSOP user to set them."},
        {"Provider=SQLite;Data Source=x", "", "q",
         "There is no location specified in the [SAMLTD] section of the application .INI file."},
        {"Provider=SQLite;Data Source=x", "WH1", "",
         "There is no query specified in the [SAMLTD] section of the application .INI file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        settings->SetConnectionString(c.connection);
        settings->SetLocation(c.location);
        settings->SetQuery(c.query);
        messages.messages.clear();
        programEnded = 0;
        EXPECT_FALSE(panel->OpenQuantitySources());
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, c.message);
        EXPECT_EQ(messages.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(messages.messages[0].title, ProductName());
        EXPECT_EQ(programEnded, 1);
        EXPECT_EQ(panel->ExternalConnection(), nullptr);
        EXPECT_FALSE(panel->adsICLOCQT->Active());
    }
}

TEST_F(QuantityPanelTest, ConnectionThatCannotOpenShowsTheErrorAndEndsTheProgram) {
    // The first-run template: filled, but unusable.
    settings->SetConnectionString(kFirstRunConnectionString);
    EXPECT_FALSE(panel->OpenQuantitySources());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_FALSE(messages.messages[0].text.empty());
    EXPECT_EQ(messages.messages[0].text.find("Pwd=?"), std::string::npos);
    EXPECT_EQ(programEnded, 1);
    EXPECT_FALSE(panel->adsICLOCQT->Active());

    // Errors the platform has recorded are shown through its error display instead.
    std::vector<std::string> shown;
    platform.SetErrorDisplayHook([&](accpac::Session& s) {
        for (int i = 0; i < s.Errors().Count(); ++i) shown.push_back(s.Errors().Item(i).message);
    });
    session->Errors().Add({3, "platform trouble", "test", 1});
    messages.messages.clear();
    EXPECT_FALSE(panel->OpenQuantitySources());
    EXPECT_EQ(shown, std::vector<std::string>{"platform trouble"});
    EXPECT_EQ(session->Errors().Count(), 0);  // cleared after showing
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(programEnded, 2);
}

TEST_F(QuantityPanelTest, RefreshShowsTheLineItemsQuantitiesAndText) {
    Start();
    MoveToLine(accpac::local::kDemoItemFormatted);
    EXPECT_EQ(Shown(), Expected(accpac::local::kDemoItemStored));
    EXPECT_EQ(panel->RememberedItemKey(), accpac::local::kDemoItemFormatted);
    auto item = link->Database().FindItem(accpac::local::kDemoItemStored);
    EXPECT_EQ(LocationCaption(), "Location WH1 (" + item->description + ")");
    EXPECT_EQ(Zooms(), (std::vector<bool>{true, true, true}));

    // A line without an item clears the records and the text, and forgets the item.
    MoveToLine("");
    EXPECT_EQ(LocationCaption(), "Location WH1");
    EXPECT_EQ(panel->adsICITEM->Fields().Item(1).Value().ToString(), "");
    EXPECT_EQ(panel->RememberedItemKey(), "");
}

TEST_F(QuantityPanelTest, RememberedItemSavesQueries) {
    Start();
    test::StatementCounter queries;
    ASSERT_TRUE(queries.Attached());
    struct Step {
        const char* what;
        std::function<void()> action;
        int queries;  // run by the step
    } steps[] = {
        {"first line of the item", [&] { MoveToLine("A1-103/0"); }, 1},
        {"second line of the same item", [&] { MoveToLine("A1-103/0"); }, 0},
        {"same item in other letter case", [&] { MoveToLine("a1-103/0"); }, 0},
        {"record re-read after a save", [&] { line->RaiseRecordChanged(accpac::ReasonRecordRefreshed); }, 0},
        {"another field changed", [&] { line->Fields().Item(detail::QTYORDERED).SetValue(Variant(3.0)); }, 0},
        {"item field written again", [&] { line->Fields().Item(detail::ITEM).SetValue(Variant("A1-103/0")); }, 0},
        {"new line started", [&] { line->RaiseRecordChanged(accpac::ReasonNewRecord); }, 0},
        {"back on the same item after a new line", [&] { MoveToLine("A1-103/0"); }, 1},
        {"another item", [&] { MoveToLine(OtherItem()); }, 1},
        {"item typed on the line", [&] { line->Fields().Item(detail::ITEM).SetValue(Variant("A1-103/0")); }, 1},
        {"unknown item: no external query", [&] { MoveToLine("NO-SUCH-ITEM"); }, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const int before = queries.Count();
        step.action();
        EXPECT_EQ(queries.Count() - before, step.queries);
    }
}

TEST_F(QuantityPanelTest, LookupEdgeCases) {
    AddItem("PNL-ZERO", "", 5, 0, 1, 0);
    AddItem("PNL-BLANKDESC", "   ", 1, 2, 3, 4);
    Start();

    // A blank item text: no parentheses. Nothing on order or committed: those zooms off.
    MoveToLine("PNL-ZERO");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"5", "0", "1", "5", "0"}));
    EXPECT_EQ(LocationCaption(), "Location WH1");
    EXPECT_EQ(Zooms(), (std::vector<bool>{true, false, false}));
    MoveToLine("PNL-BLANKDESC");
    EXPECT_EQ(LocationCaption(), "Location WH1");
    EXPECT_EQ(Zooms(), (std::vector<bool>{true, true, true}));

    // Unknown item: the marker, and the zooms that need a positive quantity are off.
    MoveToLine("NO-SUCH-ITEM");
    EXPECT_EQ(Shown(), kMarker);
    EXPECT_EQ(Zooms(), (std::vector<bool>{true, false, false}));

    // Spaces only: looked up (the marker), but no zoom.
    MoveToLine("   ");
    EXPECT_EQ(Shown(), kMarker);
    EXPECT_EQ(Zooms(), (std::vector<bool>{false, false, false}));

    // A line of a non-stock item: no zoom.
    MoveToLine("A1-103/0", false);
    EXPECT_EQ(Zooms(), (std::vector<bool>{false, false, false}));

    // An order without lines: every zoom off, also after a header event.
    MoveToLine("PNL-BLANKDESC");
    list.empty = true;
    header->RaiseRecordChanged(accpac::ReasonFieldChanged);  // ignored
    EXPECT_EQ(Zooms(), (std::vector<bool>{true, true, true}));
    header->RaiseRecordChanged(accpac::ReasonRecordChanged);
    EXPECT_EQ(Zooms(), (std::vector<bool>{false, false, false}));
    list.empty = QVariant();  // no answer counts as empty
    header->RaiseRecordChanged(accpac::ReasonRecordRefreshed);
    EXPECT_EQ(Zooms(), (std::vector<bool>{false, false, false}));
    list.empty = false;
    header->RaiseRecordChanged(accpac::ReasonRecordRefreshed);
    EXPECT_EQ(Zooms(), (std::vector<bool>{true, true, true}));
}

TEST_F(QuantityPanelTest, QueryShapes) {
    struct Case {
        const char* what;
        const char* query;
        std::vector<std::string> shown;
    } cases[] = {
        {"no QTCOMMIT column", "SELECT 1 AS QTONHAND, 2 AS qtonorder, 3 AS QTSALORDR, 4 AS QTAVAIL WHERE '%s' <> '%s'",
         {"1", "2", "3", "4", "0"}},
        {"null column",
         "SELECT 1 AS QTONHAND, NULL AS QTONORDER, 3 AS QTSALORDR, 4 AS QTAVAIL, 5 AS QTCOMMIT WHERE '%s' <> '%s'",
         {"1", "0", "3", "4", "5"}},
        {"two rows", "SELECT * FROM (SELECT 5 AS QTONHAND, 6 AS QTONORDER, 7 AS QTSALORDR, 8 AS QTAVAIL, 9 AS QTCOMMIT "
                     "UNION ALL SELECT 1, 1, 1, 1, 1) WHERE '%s' <> '%s' ORDER BY QTONHAND DESC",
         {"5", "6", "7", "8", "9"}},
        {"no row", "SELECT 1 AS QTONHAND WHERE '%s' = '%s'", kMarker},
        {"syntax error", "SELEC 1 WHERE '%s' = '%s'", kMarker},
        {"one placeholder", "SELECT 1 AS QTONHAND WHERE '%s' <> ''", kMarker},
        {"single percent sign", "SELECT 1 AS QTONHAND WHERE '%s' LIKE 'A%' AND '%s' <> ''", kMarker},
        {"not a number", "SELECT 'many' AS QTONHAND, 1 AS QTONORDER WHERE '%s' <> '%s'", kMarker},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings->SetQuery(c.query);
        QuantityPanel other(window.get());
        other.SetSession(session);
        other.SetDBLink(link);
        other.SetSettings(settings.get());
        ASSERT_TRUE(other.OpenQuantitySources());
        other.SetupQuantityControls();
        other.ConnectOrderSources(header, line, &list);
        MoveToLine("A1-103/0");
        std::vector<std::string> shown;
        for (accpac::FieldEdit* control : {other.afeICLOCIaqtyonhand, other.afeICLOCIqtyonorder,
                                           other.afeICLOCIqtysalordr, other.afeICLOCIqtyavail,
                                           other.afeICLOCIqtycommitted})
            shown.push_back(control->Value().ToString());
        EXPECT_EQ(shown, c.shown);
        other.CloseQuantitySources();
    }
}

// Item numbers that try to leave their literal, known to the platform and to the external
// database: each shows its own quantities, or the marker when refused. The query looks an
// item up with its escapes expanded ("\\'" as a quote).
struct HostileItem {
    const char* itemNo;       // in the platform
    const char* quantityKey;  // in the external database
    const char* onHand;       // shown
};
const HostileItem kHostileItems[] = {
    {"PNL'Q", "PNL'Q", "7"},
    {"PNL' OR '1'='1", "PNL' OR '1'='1", "8"},
    {"PNL'; DELETE FROM ICILOC; --", "PNL'; DELETE FROM ICILOC; --", "9"},
    {"PNL\\'X", "PNL'X", "10"},
    {"PNL--\\", "PNL--", "11"},
    {"PNL\\\\' OR 1=1 --", "PNL\\' OR 1=1 --", kNotFoundMarker},  // a backslash would reach the literal
};

TEST_F(QuantityPanelTest, HostileItemNumbersOnSqlite) {
    double onHand = 7;
    for (const HostileItem& item : kHostileItems) AddItem(item.itemNo, "", onHand++, 0, 0, 0, item.quantityKey);
    Start();
    for (const HostileItem& item : kHostileItems) {
        SCOPED_TRACE(item.itemNo);
        MoveToLine(item.itemNo);
        EXPECT_EQ(Shown()[0], item.onHand);
    }
    QSqlQuery rows = link->Database().Exec("SELECT COUNT(*) FROM ICILOC");
    ASSERT_TRUE(rows.next());
    EXPECT_GT(rows.value(0).toInt(), 0);
}

// The same against a table on the PostgreSQL test server.
TEST_F(QuantityPanelTest, HostileItemNumbersOnPostgres) {
    auto pg = test::PostgresDatabase::Create();
    if (!pg) GTEST_SKIP() << "LUMARO_TEST_PG not set";
    const std::string table = pg->Table("iciloc");
    std::vector<std::string> statements{test::IclocTable(table)};
    double onHand = 7;
    for (const HostileItem& item : kHostileItems) {
        AddItem(item.itemNo, "", 0, 0, 0, 0);
        statements.push_back("INSERT INTO " + table + " VALUES ('" + ReplaceAll(item.quantityKey, "'", "''") +
                             "', 'WH1', " + std::to_string(onHand++) + ", 0, 0, 0, 0, 0, 0)");
    }
    pg->Run(statements);
    settings->SetConnectionString(pg->ConnectionString());
    settings->SetQuery(ReplaceAll(kFirstRunQuery, "FROM ICILOC", "FROM " + table));
    Start();
    for (const HostileItem& item : kHostileItems) {
        SCOPED_TRACE(item.itemNo);
        MoveToLine(item.itemNo);
        EXPECT_EQ(Shown()[0], item.onHand);
    }
}

// After the external database has dropped the connection (a restart), the next lookup
// connects again and shows the quantities.
TEST_F(QuantityPanelTest, RecoversWhenTheDatabaseDropsTheConnection) {
    auto pg = test::PostgresDatabase::Create();
    if (!pg) GTEST_SKIP() << "LUMARO_TEST_PG not set";
    const std::string table = pg->Table("iciloc");
    const std::string application = "lumaro_panel_" + QUuid::createUuid().toString(QUuid::Id128).toStdString();
    const std::string other = OtherItem();
    const std::string otherStored = link->Database().FindItem(other)->itemNo;
    pg->Run({test::IclocTable(table),
             "INSERT INTO " + table + " VALUES ('" + accpac::local::kDemoItemStored + "', 'WH1', 1, 0, 0, 0, 2, 3, 4)",
             "INSERT INTO " + table + " VALUES ('" + otherStored + "', 'WH1', 5, 0, 0, 0, 6, 7, 8)"});
    settings->SetConnectionString(pg->ConnectionString() + "ConnSettings={SET application_name='" + application + "'};");
    settings->SetQuery(ReplaceAll(kFirstRunQuery, "FROM ICILOC", "FROM " + table));
    Start();
    MoveToLine(accpac::local::kDemoItemFormatted);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"1", "2", "3", "-3", "4"}));

    pg->Run({"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" + application + "'"});
    MoveToLine(other);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"5", "6", "7", "-3", "8"}));
    EXPECT_EQ(panel->ExternalConnection()->State(), ado::adStateOpen);

    // A statement that fails on a sound connection is not run again, and the connection
    // is kept: the marker.
    const std::string backend = "SELECT pid FROM pg_stat_activity WHERE application_name = '" + application + "'";
    const std::string pid = pg->Run({backend});
    ASSERT_FALSE(pid.empty());
    settings->SetQuery("SELECT * FROM no_such_table_here WHERE '%s' <> '%s'");
    panel->CloseQuantitySources();
    ASSERT_TRUE(panel->OpenQuantitySources());
    const std::string pidBad = pg->Run({backend});
    MoveToLine(accpac::local::kDemoItemFormatted);
    EXPECT_EQ(Shown(), kMarker);
    EXPECT_EQ(pg->Run({backend}), pidBad);
}

// ---------------------------------------------------------------------------------------
// Zoom

TEST_F(QuantityPanelTest, EachZoomButtonSendsItsDocumentKind) {
    Start();
    MoveToLine(accpac::local::kDemoItemFormatted);
    struct Case {
        accpac::FieldEdit* button;
        const char* docType;
    } cases[] = {{panel->btnSalesOrderZoom, "1"}, {panel->btnCommittedZoom, "2"}, {panel->btnPurchaseOrderZoom, "3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.docType);
        platform.launches.parameters.clear();
        emit c.button->Clicked();
        ASSERT_EQ(platform.launches.parameters.size(), 1u);
        EXPECT_EQ(platform.launches.parameters[0],
                  std::string("ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=") + c.docType + "\n");
    }
    EXPECT_EQ(platform.launches.parameters[0].size(), 39u);  // the committed example
    EXPECT_TRUE(messages.messages.empty()) << messages.messages[0].text;

    // The inquiry is on screen for the item.
    int inquiries = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* inquiry = qobject_cast<accpac::local::InquiryScreen*>(w)) {
            ++inquiries;
            EXPECT_NE(inquiry->ItemText().toStdString().find("A1-103/0"), std::string::npos);
        }
    EXPECT_EQ(inquiries, 3);

    // Escapes and trailing blanks of the line's item are sent as they are.
    line->LoadRecord({{detail::ITEM, Variant("A=B\\ ")}, {detail::STOCKITEM, Variant(true)}}, 2);
    platform.launches.parameters.clear();
    EXPECT_THROW(panel->ZoomIC("W=1", 2), RuntimeError);  // the inquiry does not know the item
    ASSERT_EQ(platform.launches.parameters.size(), 1u);
    EXPECT_EQ(platform.launches.parameters[0], "ITEMNO=A\\eqB\\\\ \nLOCATION=W\\eq1\nDOCTYPE=2\n");

    // A line without an item starts nothing.
    line->LoadRecord({}, 2);
    platform.launches.parameters.clear();
    panel->ZoomIC("WH1", 1);
    EXPECT_TRUE(platform.launches.parameters.empty());
}

TEST_F(QuantityPanelTest, SecondClickDuringALaunchStartsNothing) {
    Start();
    MoveToLine(accpac::local::kDemoItemFormatted);
    platform.launches.onRun = [&] { emit panel->btnSalesOrderZoom->Clicked(); };
    emit panel->btnSalesOrderZoom->Clicked();
    EXPECT_EQ(platform.launches.runs, 1);
    EXPECT_TRUE(messages.messages.empty());
    // The guard is down again afterwards.
    emit panel->btnSalesOrderZoom->Clicked();
    EXPECT_EQ(platform.launches.runs, 2);
}

TEST_F(QuantityPanelTest, UnregisteredInquiryIsReportedAndOrderEntryGoesOn) {
    Start();
    MoveToLine(accpac::local::kDemoItemFormatted);
    const std::string key = std::string(accpac::local::kScreensKey) + "\\IC1900";
    HKEY hkey = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &hkey), ERROR_SUCCESS);
    auto value = [&](const char* name) {
        char buffer[512] = {};
        DWORD size = sizeof buffer, type = 0;
        RegQueryValueExA(hkey, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
        return std::string(buffer);
    };
    const std::string clsid = value("ClassID"), codeBase = value("CodeBase");
    RegCloseKey(hkey);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()), ERROR_SUCCESS);

    emit panel->btnCommittedZoom->Clicked();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Internal error.\r\nCannot start \"IC1900\"!");
    EXPECT_EQ(platform.launches.runs, 0);

    // Registered again, the next click starts the inquiry.
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hkey, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, text] : {std::pair{"ClassID", clsid}, std::pair{"CodeBase", codeBase}})
        RegSetValueExA(hkey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(hkey);
    emit panel->btnCommittedZoom->Clicked();
    EXPECT_EQ(platform.launches.runs, 1);
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(QuantityPanelTest, LaunchUIFailureCarriesItsNumberAndSource) {
    struct Case {
        const char* what;
        accpac::Session* session;
        const char* screen;
    } cases[] = {
        {"unknown screen", session.get(), "XX9999"},
        {"no session", nullptr, "IC1900"},
        {"screen refuses its parameters", session.get(), "IC1900"},  // the launcher's own error
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            LaunchUI(c.session, c.screen, "", 0);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), -2147221503);
            EXPECT_EQ(e.Source(), "Globals.LaunchUI");
            EXPECT_EQ(e.Description(), std::string("Internal error.\r\nCannot start \"") + c.screen + "\"!");
        }
    }
    session->Errors().Clear();
}

}  // namespace
}  // namespace lumaro

#include "QuantityPanelTest.moc"
