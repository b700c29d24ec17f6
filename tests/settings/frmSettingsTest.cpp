#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <optional>

#include "accpac/Twips.h"
#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "common/WaitCursor.h"
#include "settings/ProgramSettings.h"
#include "settings/frmSettings.h"
#include "support/IclocFixture.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

const char kQueryOnIcloc[] =
    "SELECT QTYONHAND AS QTONHAND,QTYONORDER AS QTONORDER,QTYSALORDR AS QTSALORDR,0 AS QTAVAIL,"
    "QTYCOMMIT AS QTCOMMIT FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'";

// The description ADO gives when the connection string is opened directly.
std::string OpenError(const std::string& connectionString) {
    ado::Connection connection;
    return test::RaisedBy([&] { connection.Open(connectionString); }).Description();
}

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// What Test Connection and then OK do with one set of entries: the message shown (empty:
// the check passes), compared whole or as a part of the driver's text; after a passing
// test, a part of the warning shown next; whether OK asks before storing.
struct Entry {
    const char* label;
    std::string connection, location, query;
    std::string message;
    bool messageIsPart = false;
    std::string warning = {};
    bool asks = false;
    std::optional<std::vector<std::string>> locations = {};
};

void CheckEntries(const std::vector<Entry>& entries) {
    test::RecordingMessageSink messages;
    for (const auto& e : entries) {
        SCOPED_TRACE(e.label);
        frmSettings dialog;
        dialog.SetConnectionString("before");
        dialog.SetLocations(e.locations);
        dialog.show();
        dialog.txtConnectionString->setText(QString::fromStdString(e.connection));
        dialog.txtLocation->setText(QString::fromStdString(e.location));
        dialog.txtQuery->setText(QString::fromStdString(e.query));
        dialog.chkDrilldown->setChecked(true);

        // The test runs under the hourglass with the dialog disabled, and ends both.
        messages.messages.clear();
        std::vector<bool> enabledUnderHourglass;
        int depth = 0;
        WaitCursor::SetHooks([&] { ++depth, enabledUnderHourglass.push_back(dialog.isEnabled()); },
                             [&] { --depth; });
        Click(dialog.cmdTest);
        WaitCursor::SetHooks({}, {});
        EXPECT_EQ(enabledUnderHourglass, std::vector<bool>{false});
        EXPECT_EQ(depth, 0);
        ASSERT_GE(messages.messages.size(), 1u);
        const Message shown = messages.messages[0];
        EXPECT_EQ(shown.title, "Lumaro");
        EXPECT_EQ(shown.buttons, MsgButtons::OK);
        EXPECT_EQ(shown.icon, e.message.empty() ? MsgIcon::Information : MsgIcon::Exclamation);
        if (e.message.empty() || !e.messageIsPart) {
            EXPECT_EQ(shown.text, e.message.empty() ? "Connection test succeeded." : e.message);
        } else {
            EXPECT_NE(shown.text.find(e.message), std::string::npos) << shown.text;
        }
        // A warning follows a passing test in a message of its own (a slow lookup on a busy
        // machine may add one anywhere).
        const std::string second = messages.messages.size() > 1 ? messages.messages[1].text : "";
        if (!e.warning.empty()) {
            EXPECT_NE(second.find(e.warning), std::string::npos) << second;
        } else if (!second.empty()) {
            EXPECT_EQ(second.rfind("A lookup took", 0), 0u) << second;
        }
        EXPECT_TRUE(dialog.isVisible() && dialog.isEnabled());

        // OK: closes with the entries exactly as typed, or shows the same message and stays;
        // a query without any quantity is stored only after Yes.
        messages.messages.clear();
        Click(dialog.cmdOK);
        bool passes = e.message.empty();
        EXPECT_EQ(messages.messages.size(), passes && !e.asks ? 0u : 1u);
        if (e.asks && passes) {
            EXPECT_EQ(messages.messages.at(0).buttons, MsgButtons::YesNo);
            EXPECT_TRUE(dialog.isVisible());
            messages.QueueAnswer(MsgResult::Yes);
            Click(dialog.cmdOK);
        }
        EXPECT_EQ(dialog.isVisible(), !passes);
        EXPECT_EQ(dialog.ReturnCode(), passes ? 1 : 0);
        EXPECT_EQ(dialog.ConnectionString(), passes ? e.connection : "before");
        if (passes) {
            EXPECT_EQ(dialog.Location(), e.location);
            EXPECT_EQ(dialog.Query(), e.query);
            EXPECT_TRUE(dialog.Drilldown());
        } else {
            EXPECT_EQ(dialog.txtLocation->text().toStdString(), e.location);
        }
    }
}

TEST(SettingsDialogTest, LayoutCaptionsTabOrderAndActivation) {
    frmSettings form;
    form.SetConnectionString("Provider=SQLite;Data Source=x;");
    form.SetLocation(" WH1 ");
    form.SetQuery("SELECT 1");
    form.SetDrilldown(true);
    form.show();
    EXPECT_EQ(form.windowTitle().toStdString(), "Ostrel - Lumaro Settings");
    EXPECT_EQ(form.txtConnectionString->text().toStdString(), "Provider=SQLite;Data Source=x;");
    EXPECT_EQ(form.txtLocation->text().toStdString(), " WH1 ");
    EXPECT_EQ(form.txtQuery->text().toStdString(), "SELECT 1");
    EXPECT_TRUE(form.chkDrilldown->isChecked());
    EXPECT_TRUE(form.cmdOK->isDefault());

    struct Control {
        QWidget* widget;
        const char* caption;
        int left, top, width, height;
    } controls[] = {
        {form.lblConnection, "Connection String", 150, 180, 915, 225},
        {form.txtConnectionString, nullptr, 1350, 150, 10440, 315},
        {form.lblLocation, "Location", 150, 645, 915, 225},
        {form.txtLocation, nullptr, 1350, 600, 10440, 315},
        {form.lblQuery, "Query", 150, 1170, 915, 225},
        {form.txtQuery, nullptr, 1350, 1125, 10440, 315},
        {form.chkDrilldown, "Quantity Drilldown", 150, 1575, 11640, 225},
        {form.cmdOK, "OK", 150, 1950, 1215, 315},
        {form.cmdTest, "Test Connection", 1500, 1950, 1590, 315},
        {form.cmdCancel, "Cancel", 10575, 1950, 1215, 315},
    };
    const int tolerance = accpac::PixelsToTwipsX(1);  // one pixel of rounding
    for (const auto& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        const auto g = accpac::TwipsGeometry(c.widget);
        EXPECT_NEAR(g.left, c.left, tolerance);
        auto* label = qobject_cast<QLabel*>(c.widget);
        if (label && label->sizeHint().width() > accpac::TwipsToPixelsX(c.width)) {
            // A caption too wide for the table in this font: whole, clear of its text box,
            // centred on it.
            EXPECT_LE(g.left + g.width, 1350);
            EXPECT_GE(label->height(), label->wordWrap() ? label->heightForWidth(label->width())
                                                         : label->sizeHint().height());
            const QRect box = label->buddy()->geometry();
            EXPECT_NEAR(label->geometry().center().y(), box.center().y(), 1);
        } else {
            EXPECT_NEAR(g.top, c.top, tolerance);
            EXPECT_NEAR(g.width, c.width, tolerance);
            EXPECT_NEAR(g.height, c.height, tolerance);
        }
        if (c.caption) {
            EXPECT_EQ(c.widget->property("text").toString().toStdString(), c.caption);
        }
    }
    EXPECT_NEAR(accpac::PixelsToTwipsX(form.width()), 11940, tolerance);
    EXPECT_NEAR(accpac::PixelsToTwipsY(form.height()), 2400, tolerance);

    const QWidget* tabStops[] = {
        form.txtConnectionString, form.txtLocation, form.txtQuery, form.chkDrilldown,
        form.spnQueryTimeout,     form.cmdOK,       form.cmdTest,  form.cmdCancel};
    QWidget* w = form.txtConnectionString;
    for (size_t i = 1; i < std::size(tabStops); ++i) {
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || w->parentWidget() != &form);
        EXPECT_EQ(w, tabStops[i]) << "tab stop " << i;
    }
}

TEST(SettingsDialogTest, ValidationOnSqlite) {
    test::TempDir dir;
    const std::string db = test::CreateSqliteIcloc(dir.path() / "company.db");
    const std::string missing =
        "Provider=SQLite;Data Source=" + (dir.path() / "none" / "x.db").string() + ";";
    CheckEntries({
        {"first-run template", kFirstRunConnectionString, "1", kFirstRunQuery,
         OpenError(kFirstRunConnectionString)},
        {"missing database, blank location", missing, "", "", OpenError(missing)},
        {"blank location", db, "", kQueryOnIcloc, "Location cannot be blank."},
        {"blank query", db, "1", "", "Query cannot be blank."},
        {"location with a quote", db, "W'1", kQueryOnIcloc, ""},
        {"location of spaces", db, "   ", kQueryOnIcloc, ""},
        {"location with spaces", db, " 1 ", kQueryOnIcloc, ""},
        {"first-run query, no rows", db, "NOWHERE", kFirstRunQuery, ""},
        {"syntax error", db, "1", "SELEKT * FROM ICILOC WHERE '%s'='%s'", "syntax error", true},
        {"unknown table", db, "1", "SELECT * FROM NOTABLE WHERE '%s'='%s'", "no such table", true},
        {"one placeholder", db, "1", "SELECT * FROM ICILOC WHERE LOCATION='%s'",
         "The query needs two %s placeholders: the item number first, then the location."},
        {"four quantities missing", db, "1",
         "SELECT QTYONHAND AS QTONHAND FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'", "", false,
         "The query returns no column QTONORDER, QTSALORDR, QTAVAIL, QTCOMMIT: they will show "
         "as 0."},
        {"no quantity at all", db, "1", "SELECT * FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'",
         "", false, "The query returns none of the columns QTONHAND,", true},
        {"unknown location", db, "9", kQueryOnIcloc,
         "The location \"9\" does not exist in this company. Its locations are: 1, 2.", false, "",
         false, std::vector<std::string>{"1", "2"}},
        {"known location, blanks around it", db, " 2 ", kQueryOnIcloc, "", false, "", false,
         std::vector<std::string>{"1", "2"}},
    });
}

TEST(SettingsDialogTest, ValidationOnPostgres) {
    if (!test::TestPgServer()) GTEST_SKIP() << test::kNoPgReason;
    test::PgIclocDatabase server;
    const std::string db = server.OdbcConnectionString();
    CheckEntries({
        {"blank location", db, "", kQueryOnIcloc, "Location cannot be blank."},
        {"location with a quote", db, "W'1", kQueryOnIcloc, ""},
        {"first-run query", db, "1", kFirstRunQuery, ""},
        {"syntax error", db, "1", "SELEKT 1 WHERE '%s'='%s'", "syntax error", true},
    });
}

TEST(SettingsDialogTest, WaysOfClosing) {
    test::TempDir dir;
    const std::string db = test::CreateSqliteIcloc(dir.path() / "company.db");
    test::RecordingMessageSink messages;
    std::string longest = db;  // blank pairs pad a working string to the storable limit
    longest.resize(kMaxConnectionStringLength, ';');
    struct Case {
        const char* label;
        std::string connection;
        std::function<void(frmSettings&)> act;
        int returnCode;
        bool visible;
        std::string message = "";
    } cases[] = {
        {"Cancel after a successful test", db,
         [](frmSettings& f) {
             Click(f.cmdTest);
             Click(f.cmdCancel);
         },
         2, false},
        {"Esc", db, [](frmSettings& f) { QTest::keyClick(f.txtLocation, Qt::Key_Escape); }, 2,
         false},
        {"window closed", db, [](frmSettings& f) { f.close(); }, 0, false},
        {"Enter", db, [](frmSettings& f) { QTest::keyClick(f.txtQuery, Qt::Key_Return); }, 1,
         false},
        {"OK at the longest storable connection string", longest,
         [](frmSettings& f) { Click(f.cmdOK); }, 1, false},
        {"OK beyond it", longest + ";", [](frmSettings& f) { Click(f.cmdOK); }, 0, true,
         ConnectionStringTooLongMessage()},
        {"OK with a character the settings file cannot hold", db,
         [](frmSettings& f) {
             f.txtLocation->setText("W\u4E2D");
             Click(f.cmdOK);
         },
         0, true, UnstorableCharacterMessage("location", "W\u4E2D")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        messages.messages.clear();
        frmSettings dialog;
        dialog.SetConnectionString(c.connection);
        dialog.SetLocation("OLD");
        dialog.SetQuery(kQueryOnIcloc);
        dialog.show();
        dialog.txtLocation->setText("1");
        dialog.txtLocation->setFocus();
        c.act(dialog);
        EXPECT_EQ(dialog.isVisible(), c.visible);
        EXPECT_EQ(dialog.ReturnCode(), c.returnCode);
        if (!c.visible) {
            EXPECT_EQ(dialog.Location(), c.returnCode == 1 ? "1" : "OLD");
        }
        EXPECT_EQ(dialog.ConnectionString(), c.connection);
        if (c.visible) {
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, c.message);
            EXPECT_EQ(messages.messages[0].icon, MsgIcon::Exclamation);
        }
    }
}

}  // namespace
}  // namespace lumaro
