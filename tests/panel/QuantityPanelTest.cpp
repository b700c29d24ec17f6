// The Quantity panel on the local platform: the demo company, its database as the external
// database (or ICILOC on the PostgreSQL test server), and an order detail line driven by
// the test.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QLabel>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <atomic>
#include <cstring>

#include "accpac/local/Installation.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/OrderEntry.h"
#include "accpac/local/Registry.h"
#include "accpac/local/Views.h"
#include "accpac/local/ui/DetailList.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "panel/LaunchUI.h"
#include "panel/LocationTable.h"
#include "panel/QuantityLookup.h"
#include "panel/QuantityPanel.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"
#include "winapi/windows.h"

namespace lumaro {
namespace {

using accpac::local::kDemoItemFormatted;
using accpac::local::kDemoItemStored;
using accpac::local::LocalDataSource;
namespace detail = accpac::local::orderdetail;
using Texts = std::vector<std::string>;
using Flags = std::vector<bool>;
using Control = accpac::local::FieldEditControl;
const Texts kMarker(5, kNotFoundMarker);

// The hosted screen's detail list.
class TestDetailList : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QVariant IsListEmpty() const { return empty; }
    QVariant empty = false;
};

// The platform with a screen launcher that records each launch;
// onRun runs inside Run (a second click delivered while the platform starts the screen).
class TestPlatform : public accpac::local::LocalGuiPlatform {
public:
    std::shared_ptr<accpac::ScreenLauncher> CreateScreenLauncher() override {
        struct Launcher : accpac::ScreenLauncher {
            TestPlatform& p;
            std::shared_ptr<accpac::ScreenLauncher> real;
            Launcher(TestPlatform& p, std::shared_ptr<accpac::ScreenLauncher> r)
                : p(p), real(std::move(r)) {}
            void Prepare(const std::string& a, const std::string& b, const std::string& c,
                         const std::string& d, const std::string& parameters) override {
                p.launched.push_back(parameters);
                real->Prepare(a, b, c, d, parameters);
            }
            std::string Run(int32_t owner) override {
                ++p.runs;
                if (auto onRun = std::exchange(p.onRun, nullptr)) onRun();
                return real->Run(owner);
            }
            void Close() override { real->Close(); }
        };
        return std::make_shared<Launcher>(*this, LocalGuiPlatform::CreateScreenLauncher());
    }
    Texts launched;  // parameter strings
    int runs = 0;
    std::function<void()> onRun;
};

// Counts the quantity statements SQLite starts, on every connection opened after Register
// (the lookup worker's included, whatever its thread).
class StatementCounter {
public:
    static void Register() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&Attach)); }
    int Count() const { return total - start_; }

private:
    static int Attach(sqlite3* db, const char**, const sqlite3_api_routines*) {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Trace, nullptr);
        return SQLITE_OK;
    }
    static int Trace(unsigned, void*, void*, void* sql) {
        if (std::strstr(static_cast<const char*>(sql), "QTONHAND")) ++total;
        return 0;
    }
    static inline std::atomic<int> total{0};
    int start_ = total;
};

class QuantityPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        StatementCounter::Register();  // before any connection is opened
        machine_ = new test::TempMachine;
        accpac::local::Installation().InstallDemo(false);
    }
    static void TearDownTestSuite() { delete machine_; }

    void SetUp() override {
        accpac::Platform::Install(&platform);
        session = accpac::local::LocalSessionManager().Signon({"SYSOP", "SYSOP", "SAMLTD"});
        link = session->OpenLocalDBLink();
        settings = std::make_unique<ProgramSettings>(
            [] { return std::string("SAMLTD"); }, [this]() -> const AccpacPaths& { return paths; });
        ASSERT_TRUE(settings->CreateINIFile());
        settings->SetConnectionString("Provider=SQLite;Data Source=" + link->Database().FileName());
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
        panel = NewPanel();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<accpac::local::InquiryScreen*>(w)) delete w;
        for (auto& p : panels_) p->CloseQuantitySources();
        panels_.clear();
        window.reset();
        accpac::Platform::Install(nullptr);
    }

    QuantityPanel* NewPanel() {
        panels_.push_back(std::make_unique<QuantityPanel>(window.get()));
        QuantityPanel* p = panels_.back().get();
        p->SetSession(session);
        p->SetDBLink(link);
        p->SetSettings(settings.get());
        p->SetEndProgram([this] { ++programEnded; });
        p->SetWindowHandle([] { return 0; });
        return p;
    }
    // Start-up of the panel, then the hosted screen connects its sources (to this panel only).
    void Start(QuantityPanel* p = nullptr) {
        p = p ? p : panel;
        ASSERT_TRUE(p->OpenQuantitySources());
        p->SetupQuantityControls();
        for (auto& other : panels_) other->ReleaseOrderSources();
        p->ConnectOrderSources(header, line, &list);
    }
    void MoveToLine(const std::string& item, bool stockItem = true, const char* location = "") {
        LocalDataSource::Record record{{detail::ITEM, Variant(item)},
                                       {detail::STOCKITEM, Variant(stockItem)}};
        if (*location) record[detail::LOCATION] = Variant(location);
        line->LoadRecord(record, accpac::ReasonRecordChanged);
    }
    // The connection strings a test runs on: the SQLite database given and, where the test
    // server runs, a PostgreSQL database of the same rows.
    std::vector<std::string> Engines(const std::string& sqlite,
                                     const std::vector<test::IclocRow>& rows) {
        if (!test::TestPgServer()) return {sqlite};
        pg = std::make_unique<test::PgIclocDatabase>(rows);
        return {sqlite, pg->AdoConnectionString()};
    }
    // The five quantity controls in the order of the query's columns; the three zoom buttons.
    static Texts Shown(QuantityPanel* p) {
        Texts shown;
        for (accpac::FieldEdit* c :
             {p->afeICLOCIaqtyonhand, p->afeICLOCIqtyonorder, p->afeICLOCIqtysalordr,
              p->afeICLOCIqtyavail, p->afeICLOCIqtycommitted})
            shown.push_back(c->Value().ToString());
        return shown;
    }
    Texts Shown() const { return Shown(panel); }
    Flags Zooms() const {
        return {panel->btnSalesOrderZoom->isEnabled(), panel->btnPurchaseOrderZoom->isEnabled(),
                panel->btnCommittedZoom->isEnabled()};
    }
    std::string Caption() const { return panel->lblLocation->text().toStdString(); }

    // An item of the company (stored and formatted number alike) and its quantities at WH1.
    void AddItem(const std::string& itemNo, const std::string& description,
                 std::vector<double> q = {0, 0, 0, 0}) {
        const QString item = QString::fromStdString(itemNo);
        link->Database().Exec(
            "INSERT OR REPLACE INTO ICITEM (ITEMNO, FMTITEMNO, \"DESC\", CATEGORY, STOCKITEM, "
            "STOCKUNIT, UNITPRICE) VALUES (?, ?, ?, 'A1', 1, 'EA', 1)",
            {item, item, QString::fromStdString(description)});
        link->Database().Exec(
            "INSERT OR REPLACE INTO ICILOC (ITEMNO, LOCATION, QTYONHAND, QTYRENOCST, QTYADNOCST, "
            "QTYSHNOCST, QTYONORDER, QTYSALORDR, QTYCOMMIT) VALUES (?, 'WH1', ?, 0, 0, 0, ?, ?, ?)",
            {item, q[0], q[1], q[2], q[3]});
    }
    // Another demo item stocked at WH1: formatted and stored number.
    std::pair<std::string, std::string> OtherItem() {
        QSqlQuery q = link->Database().Exec(
            "SELECT I.FMTITEMNO, I.ITEMNO FROM ICITEM I JOIN ICILOC L ON L.ITEMNO = I.ITEMNO AND "
            "L.LOCATION = 'WH1' "
            "WHERE I.ITEMNO NOT IN (?) AND I.ITEMNO NOT LIKE 'PNL%' ORDER BY I.ITEMNO LIMIT 1",
            {QString(kDemoItemStored)});
        EXPECT_TRUE(q.next());
        return {q.value(0).toString().toStdString(), q.value(1).toString().toStdString()};
    }

    static test::TempMachine* machine_;
    TestPlatform platform;
    AccpacPaths paths;
    std::shared_ptr<accpac::local::LocalSession> session;
    std::shared_ptr<accpac::local::LocalDBLink> link;
    std::unique_ptr<ProgramSettings> settings;
    std::unique_ptr<QWidget> window;
    LocalDataSource* header = nullptr;
    LocalDataSource* line = nullptr;
    TestDetailList list;
    std::vector<std::unique_ptr<QuantityPanel>> panels_;
    QuantityPanel* panel = nullptr;
    int programEnded = 0;
    test::RecordingMessageSink messages;
    std::unique_ptr<test::PgIclocDatabase> pg;
};

test::TempMachine* QuantityPanelTest::machine_ = nullptr;

TEST_F(QuantityPanelTest, SetUpAndShutdown) {
    for (bool drilldown : {true, false}) {
        settings->SetDrilldown(drilldown);
        QuantityPanel* p = NewPanel();
        Start(p);
        EXPECT_TRUE(p->adsICLOCQT->Active() && p->adsICITEM->Active() && p->adsICLOC->Active());
        EXPECT_FALSE(p->btnCommittedZoom->isEnabled());  // no line yet
        EXPECT_EQ(static_cast<Control*>(p->btnCommittedZoom)->IsZoomButton(), drilldown);
        MoveToLine(kDemoItemFormatted);  // the figures show the company's decimals
        auto* available = static_cast<Control*>(p->afeICLOCIqtyavail);
        EXPECT_EQ(available->DisplayText(),
                  accpac::local::FormatNumber(available->Value().ToDouble(),
                                              link->Database().QuantityDecimals()));
        p->CloseQuantitySources();
        EXPECT_EQ(p->ExternalConnection()->State(), ado::adStateClosed);
        EXPECT_FALSE(p->adsICLOCQT->Active() || p->adsICITEM->Active());
    }
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(programEnded, 0);
}

TEST_F(QuantityPanelTest, SetUpFailuresTellTheUserAndEndTheProgram) {
    struct Case {
        std::string connection, location, query, message;
    } cases[] = {
        {"", "WH1", "q",
         "Program settings have not been set. Please contact the Accpac SYSOP user to set them."},
        {"x", "", "q",
         "There is no location specified in the [SAMLTD] section of the application .INI file."},
        {"x", "WH1", "",
         "There is no query specified in the [SAMLTD] section of the application .INI file."},
        // Filled but unusable (the first-run template): Open raises, its description is shown.
        {kFirstRunConnectionString, "WH1", "q", ""},
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
        const auto& m = messages.messages[0];
        EXPECT_TRUE(c.message.empty() || m.text == c.message) << m.text;
        EXPECT_EQ(m.text.find("Pwd=?"), std::string::npos);
        EXPECT_EQ(std::tuple(m.icon, m.title, programEnded),
                  std::tuple(MsgIcon::Exclamation, ProductName(), 1));
        EXPECT_FALSE(panel->adsICLOCQT->Active());
    }
    // Errors the platform has recorded are shown, and cleared, through its error display.
    Texts shown;
    platform.SetErrorDisplayHook(
        [&](accpac::Session& s) { shown.push_back(s.Errors().Item(0).message); });
    session->Errors().Add({3, "platform trouble", "test", 1});
    messages.messages.clear();
    EXPECT_FALSE(panel->OpenQuantitySources());
    EXPECT_EQ(shown, Texts{"platform trouble"});
    EXPECT_EQ(session->Errors().Count(), 0);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(QuantityPanelTest, RefreshAndTheRememberedItem) {
    Start();
    StatementCounter queries;
    const auto [other, otherStored] = OtherItem();
    auto setItem = [&](const char* item) {
        line->Fields().Item(detail::ITEM).SetValue(Variant(item));
    };
    // Each step and the statements it runs.
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { MoveToLine(kDemoItemFormatted); }, 1},                // first line of the item
        {[&] { MoveToLine(kDemoItemFormatted); }, 0},                // same item again
        {[&] { MoveToLine(ToLowerAscii(kDemoItemFormatted)); }, 0},  // in other letter case
        {[&] { line->RaiseRecordChanged(accpac::ReasonRecordRefreshed); }, 1},  // after a save
        {[&] {  // another order with the same item
             header->RaiseRecordChanged(accpac::ReasonRecordChanged);
             MoveToLine(kDemoItemFormatted);
         },
         1},
        {[&] { panel->btnRefresh->click(); }, 1},
        {[&] { line->Fields().Item(detail::QTYORDERED).SetValue(Variant(3.0)); }, 0},
        {[&] { setItem(kDemoItemFormatted); }, 0},                        // written again
        {[&] { line->RaiseRecordChanged(accpac::ReasonNewRecord); }, 0},  // a new line
        {[&] { MoveToLine(kDemoItemFormatted); }, 1},                     // then the same item
        {[&] { MoveToLine(other); }, 1},
        {[&] { setItem(kDemoItemStored); }, 1},    // typed on the line
        {[&] { MoveToLine("NO-SUCH-ITEM"); }, 0},  // unknown item: no external query
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        const int before = queries.Count();
        step.first();
        EXPECT_EQ(queries.Count() - before, step.second);
    }

    // Which figure goes to which control: QueryShapes.
    MoveToLine(kDemoItemFormatted);
    EXPECT_EQ(Caption(),
              "Location WH1 (" + link->Database().FindItem(kDemoItemStored)->description + ")");

    // A line without an item, and a new order without lines, show no figures and turn
    // every zoom off; the item and the text go and the item is forgotten.
    for (int reason : {accpac::ReasonRecordChanged, accpac::ReasonNewRecord}) {
        MoveToLine(kDemoItemFormatted);
        list.empty = reason == accpac::ReasonNewRecord;
        header->RaiseRecordChanged(reason);
        line->LoadRecord({}, reason);
        EXPECT_EQ(Caption(), "Location WH1");
        EXPECT_EQ(panel->adsICITEM->Fields().Item(1).Value().ToString(), "");
        EXPECT_EQ(panel->RememberedItemKey(), reason == accpac::ReasonNewRecord ? "~" : "");
        EXPECT_FALSE(panel->afeICLOCIaqtyonhand->isVisibleTo(window.get()));
        EXPECT_EQ(Zooms(), (Flags{false, false, false}));
    }
}

TEST_F(QuantityPanelTest, ZoomButtonsFollowTheLineAndTheQuantities) {
    AddItem("PNL-ZERO", "", {5, 0, 1, 0});
    AddItem("PNL-BLANKDESC", "   ", {1, 2, 3, 4});
    Start();
    struct Case {
        const char* item;
        bool stockItem;
        Texts shown;  // empty: not checked
        Flags zooms;
    } cases[] = {
        // nothing on order or committed
        {"PNL-ZERO", true, {"5", "0", "1", "5", "0"}, {true, false, false}},
        {"PNL-BLANKDESC", true, {"1", "2", "3", "-3", "4"}, {true, true, true}},
        {"NO-SUCH-ITEM", true, kMarker, {true, false, false}},  // unknown: the marker is below 0
        {"   ", true, kMarker, {false, false, false}},          // looked up, but blank for the zoom
        {kDemoItemFormatted, false, {}, {false, false, false}},  // not a stock item
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        MoveToLine(c.item, c.stockItem);
        if (!c.shown.empty()) {
            EXPECT_EQ(Shown(), c.shown);
        }
        EXPECT_EQ(Zooms(), c.zooms);
    }
    MoveToLine("PNL-BLANKDESC");
    EXPECT_EQ(Caption(), "Location WH1");  // a blank text: no parentheses

    // The header's events: an order without lines turns every zoom off.
    const std::pair<QVariant, Flags> answers[] = {{true, {false, false, false}},
                                                  {QVariant(), {false, false, false}},
                                                  {false, {true, true, true}}};
    for (const auto& [empty, zooms] : answers) {
        list.empty = empty;
        header->RaiseRecordChanged(accpac::ReasonFieldChanged);  // ignored
        header->RaiseRecordChanged(empty.isValid() ? accpac::ReasonRecordChanged
                                                   : accpac::ReasonRecordRefreshed);
        EXPECT_EQ(Zooms(), zooms);
    }
}

// Which column goes to which control; a failing query, and one the formatter refuses, say
// why in the status line (the database's first line, or the formatter's reason: cause).
TEST_F(QuantityPanelTest, QueryShapes) {
    const std::string where = " WHERE '%s' <> '%s'";
    const struct {
        std::string query;
        Texts shown;
        const char* cause = nullptr;
    } cases[] = {
        {"SELECT 1 AS QTONHAND, 2 AS qtonorder, 3 AS QTSALORDR, 4 AS QTAVAIL" + where,
         {"1", "2", "3", "4", "0"}},  // no QTCOMMIT
        {"SELECT * FROM (SELECT 5 AS QTONHAND, NULL AS QTONORDER, 7 AS QTSALORDR, 8 AS QTAVAIL, "
         "9 AS QTCOMMIT UNION ALL SELECT 1, 1, 1, 1, 1)" +
             where + " ORDER BY QTONHAND DESC",
         {"5", "0", "7", "8", "9"}},                          // two rows: the first; NULL is 0
        {"SELECT 1 AS QTONHAND WHERE '%s' = '%s'", kMarker},  // no row
        {"SELECT 'many' AS QTONHAND, 1 AS QTONORDER" + where, kMarker},  // not a number
        {"SELECT * FROM no_such_table" + where, kMarker, "no_such_table"},
        {"SELECT 1 AS QTONHAND WHERE '%s' <> ''", kMarker, "Mismatch of parameters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        settings->SetQuery(c.query);
        QuantityPanel* p = NewPanel();
        Start(p);
        MoveToLine(kDemoItemFormatted);
        EXPECT_EQ(Shown(p), c.shown);
        if (c.cause) {
            EXPECT_EQ(p->StatusText().rfind("The quantity query failed: ", 0), 0u)
                << p->StatusText();
            EXPECT_NE(p->StatusText().find(c.cause), std::string::npos) << p->StatusText();
            EXPECT_EQ(p->StatusText().find('\n'), std::string::npos);
        }
    }
}

// The status line (and the controls' tooltip) says why the marker is shown, on each engine:
// an unknown item, no row at the location, a database that cannot be reached (a failing
// query: QueryShapes). Good figures leave it empty; the marker is never shown cut.
TEST_F(QuantityPanelTest, StatusSaysWhyAFigureIsMissing) {
    const test::IclocRow stocked{kDemoItemStored, "WH1", 4};
    test::TempDir dir;
    const std::string other = OtherItem().first;
    // SQLite's unreachable case is the lookup worker's (a file that cannot be opened): an
    // open SQLite file stays readable whatever happens to its folder.
    const Texts engines =
        Engines(test::CreateSqliteIcloc(dir.path() / "ext.sqlite", {stocked}), {stocked});
    for (const std::string& connection : engines) {
        SCOPED_TRACE(connection);
        settings->SetConnectionString(connection);
        QuantityPanel* p = NewPanel();
        Start(p);
        auto status = [&](const std::string& item) {
            MoveToLine(item);
            for (accpac::FieldEdit* c : {p->afeICLOCIaqtyonhand, p->afeICLOCIqtyavail}) {
                EXPECT_EQ(c->toolTip().toStdString(), p->StatusText());
                auto* control = static_cast<Control*>(c);
                const QString shown = control->FittedText(c->width());
                EXPECT_TRUE(shown == control->DisplayText() || shown == QString::fromUtf8("\u2013"))
                    << shown.toStdString();
            }
            EXPECT_EQ(p->lblQtyStatus->text().toStdString(), p->StatusText());
            return p->StatusText();
        };
        EXPECT_EQ(status(kDemoItemFormatted), "");
        EXPECT_EQ(status("NO-SUCH-ITEM"), "Item NO-SUCH-ITEM is not in the item file.");
        EXPECT_EQ(status(other), "Not stocked at WH1.");
        EXPECT_EQ(Shown(p), kMarker);
        if (connection == engines[0]) continue;
        // PostgreSQL: the database closed to newcomers and the panel's connection ended.
        std::string server = connection;  // on the server's own database
        server.replace(server.find("Database=" + pg->Name()), 9 + pg->Name().size(),
                       "Database=" + pg->Server().dbname);
        auto admin = std::make_shared<ado::Connection>();
        admin->Open(server);
        for (const std::string& sql :
             {"ALTER DATABASE \"" + pg->Name() + "\" ALLOW_CONNECTIONS false",
              "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" +
                  pg->Name() + "' AND pid <> pg_backend_pid()"}) {
            ado::Recordset r;
            ado::OpenTextQuery(r, admin, sql);
        }
        EXPECT_EQ(
            status(kDemoItemFormatted)
                .rfind("The quantity database cannot be reached (last successful lookup at ", 0),
            0u)
            << p->StatusText();
        EXPECT_EQ(Shown(p), kMarker);
    }
    if (!pg) GTEST_SKIP() << "SQLite only: " << test::kNoPgReason;
}

// A slow database never holds up the window: past the budget the panel says it is looking
// up, shows no figures and no zooms, and shows the answer when it comes, only for the item
// still on the line; the superseded lookup gives nothing.
TEST_F(QuantityPanelTest, SlowLookupsShowTheirAnswerLaterForTheCurrentItemOnly) {
    if (!test::TestPgServer()) GTEST_SKIP() << test::kNoPgReason;
    const auto [other, otherStored] = OtherItem();
    test::PgIclocDatabase pg(
        {{kDemoItemStored, "WH1", 1, 0, 0, 0, 2, 3, 4}, {otherStored, "WH1", 5, 0, 0, 0, 6, 7, 8}});
    settings->SetConnectionString(pg.AdoConnectionString());
    settings->SetQuery(
        "SELECT QTYONHAND AS QTONHAND, QTYONORDER AS QTONORDER FROM ICILOC, "
        "pg_sleep(0.4) WHERE ITEMNO='%s' AND LOCATION='%s'");
    Start();
    for (const std::string& item : {std::string(kDemoItemFormatted), other}) {
        MoveToLine(item);  // how long the window waits: LookupWorkerTest
        EXPECT_TRUE(panel->LookupPending());
        EXPECT_EQ(panel->StatusText(), "Looking up the quantities\u2026");
        EXPECT_FALSE(panel->afeICLOCIqtyavail->isVisible());
        EXPECT_EQ(Zooms(), (Flags{false, false, false}));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->LookupPending(); }, 3000));
    EXPECT_EQ(Shown(), (Texts{"5", "6", "0", "0", "0"}));
    EXPECT_EQ(panel->StatusText(), "");
    EXPECT_TRUE(panel->btnPurchaseOrderZoom->isEnabled());
    // The line moves on to an item that needs no lookup: the late answer is not shown.
    MoveToLine(kDemoItemFormatted);
    MoveToLine("NO-SUCH-ITEM");
    QTest::qWait(700);
    EXPECT_EQ(Shown(), kMarker);
}

// On an order of the demo company: the order's need at WH1 follows typing on the line with
// no query, adds the order's unsaved lines up in stocking units, and leaves the saved ones
// to the figures; a line shipping from elsewhere names its location and what is available
// there, while the controls keep WH1's figures.
TEST_F(QuantityPanelTest, ShortageOfTheOrderAndTheLineLocation) {
    AddItem("PNL-SHORT", "", {12, 0, 0, 0});
    for (const char* sql : {"INSERT OR REPLACE INTO ICILOC (ITEMNO, LOCATION, QTYONHAND) VALUES "
                            "('PNL-SHORT', 'WH2', 7)",
                            "INSERT OR REPLACE INTO ICITEMU (ITEMNO, UNIT, CONVERSION) VALUES "
                            "('PNL-SHORT', 'CASE', 12)"})
        link->Database().Exec(sql);
    accpac::local::OrderEntry order(*header, *line);
    accpac::local::DetailListControl rows(window.get());
    rows.SetOrder(&order, 2, {"WH1", "WH2", "WH3"});
    Start();
    panel->ConnectOrderSources(header, line, &rows);
    order.NewOrder();
    order.SetHeaderValue(accpac::local::orderheader::CUSTOMER, Variant("1100"));
    auto type = [&](int field, const char* value) {
        line->Fields().Item(field).SetValue(Variant(value));
    };
    auto newLine = [&](const char* quantity) {
        order.AddLine();
        type(detail::ITEM, "PNL-SHORT");
        type(detail::QTYORDERED, quantity);
    };
    auto inError = [&] {
        return panel->afeICLOCIqtyavail->palette().color(QPalette::Text) !=
               panel->afeICLOCIaqtyonhand->palette().color(QPalette::Text);
    };
    StatementCounter queries;
    const std::string wh2 = "line ships from WH2: 7.00 available";
    const std::string caseShort = "This order needs 91.00, -5.00 available: short 91.00";
    const struct Step {
        std::function<void()> action;
        int queries;
        std::string shortage, hint;
    } steps[] = {
        {[&] { newLine("30"); }, 1, "This order needs 30.00, 12.00 available: short 18.00", ""},
        {[&] { type(detail::QTYORDERED, "12"); }, 0, "", ""},  // typed: it just fits
        {[&] { newLine("5"); }, 1, "This order needs 17.00, 12.00 available: short 5.00", ""},
        {[&] { order.Save(); }, 1, "", ""},  // the figures hold the order: available -5
        // a saved line counts by its change
        {[&] { type(detail::QTYORDERED, "8"); }, 0,
         "This order needs 3.00, -5.00 available: short 3.00", ""},
        {[&] { type(detail::UNIT, "CASE"); }, 0, caseShort, ""},  // in cases of 12
        {[&] { type(detail::LOCATION, "WH2"); }, 1, "", wh2},     // its saved 5 given back at WH1
        {[&] { type(detail::LOCATION, "WH3"); }, 1, "", "line ships from WH3: not stocked there"},
        {[&] { type(detail::LOCATION, "wh1"); }, 0, caseShort, ""},
        {[&] { type(detail::LOCATION, "WH2"); }, 1, "", wh2},
        {[&] { order.AddLine(); }, 0, "", ""},  // a new line without an item
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(&step - steps);
        const int before = queries.Count();
        step.action();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->LineLocationPending(); }, 3000));
        EXPECT_EQ(queries.Count() - before, step.queries);
        EXPECT_EQ(panel->lblShortage->text().toStdString(), step.shortage);
        EXPECT_EQ(inError(), !step.shortage.empty() || Shown()[3] == "-5");  // or none left
        const QLabel* hint = panel->lblLineLocation;
        EXPECT_EQ(hint->isHidden() ? "" : hint->text().toStdString(), step.hint);
        if (!step.hint.empty()) {
            EXPECT_EQ(Shown()[0], "12");  // the controls keep WH1's figures
        }
    }
}

TEST_F(QuantityPanelTest, EachZoomButtonSendsItsParameters) {
    Start();
    MoveToLine(kDemoItemFormatted);
    emit panel->btnSalesOrderZoom->Clicked();
    emit panel->btnCommittedZoom->Clicked();
    emit panel->btnPurchaseOrderZoom->Clicked();
    const std::string lines = "ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=";
    EXPECT_EQ(platform.launched, (Texts{lines + "1\n", lines + "2\n", lines + "3\n"}));

    // The line's item is sent as it stands, escaped; a line without an item starts nothing.
    platform.launched.clear();
    line->LoadRecord({{detail::ITEM, Variant("A=B\\ ")}}, accpac::ReasonNewRecord);
    EXPECT_THROW(panel->ZoomIC("W=1", 2), RuntimeError);  // the inquiry does not know the item
    line->LoadRecord({}, accpac::ReasonNewRecord);
    panel->ZoomIC("WH1", 1);
    EXPECT_EQ(platform.launched, Texts{"ITEMNO=A\\eqB\\\\ \nLOCATION=W\\eq1\nDOCTYPE=2\n"});

    // A second click while the platform starts the inquiry starts nothing.
    MoveToLine(kDemoItemFormatted);
    platform.runs = 0;
    platform.onRun = [&] { emit panel->btnSalesOrderZoom->Clicked(); };
    emit panel->btnSalesOrderZoom->Clicked();
    EXPECT_EQ(platform.runs, 1);
    emit panel->btnSalesOrderZoom->Clicked();  // the guard is down again
    EXPECT_EQ(platform.runs, 2);
    EXPECT_TRUE(messages.messages.empty());
}

// ---------------------------------------------------------------------------------------
// The location table

// The table's rows as they show: the location cell, then the five figures or the text in
// their place ("" where a cell is covered by the one spanning it).
std::vector<Texts> TableRows(const LocationTable* table) {
    std::vector<Texts> rows;
    const QTableWidget* grid = table->grid;
    for (int r = 0; r < grid->rowCount(); ++r) {
        Texts row;
        for (int c = 0; c < LocationTable::kColumnCount; ++c) {
            const bool covered = c > 1 && c < 1 + grid->columnSpan(r, 1);
            row.push_back(grid->item(r, c) && !covered ? grid->item(r, c)->text().toStdString()
                                                       : "");
        }
        rows.push_back(row);
    }
    return rows;
}

// The table of the line's item equals the inquiry's totals at every location on each
// engine, in the controls' format, and follows the line to another item; the panel's and
// the line's locations are marked; a location without the item says so.
TEST_F(QuantityPanelTest, LocationTableEqualsTheInquiryAtEveryLocation) {
    accpac::local::CompanyDatabase& db = link->Database();
    AddItem("PNL-WH1ONLY", "", {3, 0, 0, 0});  // not stocked at WH2 and WH3
    const std::pair<std::string, std::string> items[] = {{kDemoItemFormatted, kDemoItemStored},
                                                         {"PNL-WH1ONLY", "PNL-WH1ONLY"}};
    auto expected = [&](const std::string& item) {
        std::vector<Texts> rows;
        for (const std::string at : {"WH1", "WH2", "WH3"}) {
            Texts row{at + (at == "WH1" ? " \u00b7 panel" : at == "WH2" ? " \u00b7 line" : "")};
            const auto stock = db.FindItemLocation(item, at);
            auto total = [&](int kind) {
                double sum = 0;
                for (const auto& document : db.InquiryDocuments(item, at, kind))
                    sum += document.quantity;
                return sum;
            };
            const double onHand = stock ? stock->qtyOnHand + stock->qtyRenOCost +
                                              stock->qtyAdNOCost - stock->qtyShNOCost
                                        : 0;
            for (double figure :
                 {onHand, total(accpac::local::kDocSalesOrders),
                  total(accpac::local::kDocPurchaseOrders), total(accpac::local::kDocCommitted),
                  onHand - total(accpac::local::kDocCommitted)})
                row.push_back(
                    accpac::local::FormatNumber(figure, db.QuantityDecimals()).toStdString());
            if (!stock) row = {row[0], "not stocked", "", "", "", ""};
            rows.push_back(row);
        }
        return rows;
    };

    std::vector<test::IclocRow> rows;
    for (const auto& [shown, stored] : items)
        for (const char* at : {"WH1", "WH2", "WH3"})
            if (const auto s = db.FindItemLocation(stored, at))
                rows.push_back({stored, at, s->qtyOnHand, s->qtyRenOCost, s->qtyAdNOCost,
                                s->qtyShNOCost, s->qtyOnOrder, s->qtySalesOrder, s->qtyCommitted});
    for (const std::string& connection : Engines(settings->ConnectionString(), rows)) {
        SCOPED_TRACE(connection);
        settings->SetConnectionString(connection);
        QuantityPanel* p = NewPanel();
        Start(p);
        for (const auto& [shown, stored] : items) {
            MoveToLine(shown, true, "WH2");
            if (!p->LocationTableWindow()) p->OpenLocationTable();  // then it follows the line
            const LocationTable* table = p->LocationTableWindow();
            ASSERT_TRUE(table && table->isVisible());
            ASSERT_TRUE(QTest::qWaitFor([&] { return table->Filled(); }, 5000));
            EXPECT_EQ(TableRows(table), expected(stored));
        }
    }
    if (!pg) GTEST_SKIP() << "SQLite only: " << test::kNoPgReason;
}

// The marks follow the line's location with no query; a double-click on a figure opens
// the inquiry at that row's location for that kind of figure, as the zoom buttons do
// (on-hand and available quantities open nothing); a line without an item, or with an
// unknown one, says so; Esc closes the table.
TEST_F(QuantityPanelTest, LocationTableFollowsTheLineClosesAndOpensTheInquiry) {
    Start();
    MoveToLine(kDemoItemFormatted);
    panel->OpenLocationTable();
    LocationTable* table = panel->LocationTableWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->Filled(); }, 5000));
    StatementCounter statements;
    MoveToLine(kDemoItemFormatted, true, "WH3");
    EXPECT_EQ(TableRows(table)[2][0], "WH3 \u00b7 line");
    // The one statement is the line-location hint's; the table reads nothing again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->LineLocationPending(); }, 5000));
    EXPECT_EQ(statements.Count(), 1);

    const struct {
        int row, column;
        Texts launched;
    } clicks[] = {
        {0, LocationTable::kOnHandColumn, {}},
        {1, LocationTable::kSalesOrderColumn, {"ITEMNO=A1-103/0\nLOCATION=WH2\nDOCTYPE=1\n"}},
        {0, LocationTable::kPurchaseOrderColumn, {"ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=3\n"}},
        {0, LocationTable::kCommittedColumn, {"ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=2\n"}},
        {0, LocationTable::kAvailableColumn, {}},
    };
    for (const auto& click : clicks) {
        platform.launched.clear();
        emit table->grid->cellDoubleClicked(click.row, click.column);
        EXPECT_EQ(platform.launched, click.launched);
    }

    const std::pair<std::string, std::string> captions[] = {
        {"", "No item on the line."}, {"ZZ-NONE", "Item ZZ-NONE is not in the item file."}};
    for (const auto& [item, caption] : captions) {
        MoveToLine(item);
        EXPECT_EQ(table->lblCaption->text().toStdString(), caption);
        EXPECT_EQ(table->grid->rowCount(), 0);
    }

    QTest::keyClick(table->grid, Qt::Key_Escape);
    EXPECT_FALSE(table->isVisible());
    panel->OpenLocationTable();
    EXPECT_TRUE(table->isVisible());
}

TEST_F(QuantityPanelTest, InquiryThatCannotStartIsReportedAndOrderEntryGoesOn) {
    Start();
    MoveToLine(kDemoItemFormatted);
    namespace registry = accpac::local::registry;
    const std::string key = std::string(accpac::local::kScreensKey) + "\\IC1900";
    const auto clsid = registry::ReadString(HKEY_LOCAL_MACHINE, key, "ClassID");
    const auto codeBase = registry::ReadString(HKEY_LOCAL_MACHINE, key, "CodeBase");
    ASSERT_TRUE(clsid && codeBase);
    ASSERT_TRUE(registry::DeleteTree(HKEY_LOCAL_MACHINE, key));

    emit panel->btnCommittedZoom->Clicked();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Internal error.\r\nCannot start \"IC1900\"!");
    const RuntimeError e = test::RaisedBy([&] { LaunchUI(session.get(), "IC1900", "", 0); });
    EXPECT_EQ(e.Number(), -2147221503);
    EXPECT_EQ(e.Source(), "Globals.LaunchUI");

    registry::WriteString(HKEY_LOCAL_MACHINE, key, "ClassID", *clsid);
    registry::WriteString(HKEY_LOCAL_MACHINE, key, "CodeBase", *codeBase);
    emit panel->btnCommittedZoom->Clicked();
    EXPECT_EQ(platform.runs, 1);
    EXPECT_EQ(messages.messages.size(), 1u);
    // The launcher's own failure (no session) gives the same error.
    EXPECT_THROW(LaunchUI(nullptr, "IC1900", "", 0), RuntimeError);
}

}  // namespace
}  // namespace lumaro

#include "QuantityPanelTest.moc"
