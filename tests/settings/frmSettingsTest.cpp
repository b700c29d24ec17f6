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

// The dialog's side of the settings test: the hourglass, the message boxes, OK storing or
// staying. Each refusal of the test itself (blank entries, placeholders, columns, unknown
// locations) is proved once here and through lumaro-admin in tests/admin.

namespace lumaro {
namespace {

const char kQueryOnIcloc[] =
    "SELECT QTYONHAND AS QTONHAND,QTYONORDER AS QTONORDER,QTYSALORDR AS QTSALORDR,0 AS QTAVAIL,"
    "QTYCOMMIT AS QTCOMMIT FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'";

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Test Connection and then OK with one set of entries: the message shown (empty: passes;
// `part`: a part of the driver's text), a part of the warning after a passing test, whether
// OK asks before storing.
struct Entry {
    std::string location, query, message;
    bool part = false;
    std::string warning = {};
    bool asks = false;
    std::optional<std::vector<std::string>> locations = {};
    std::string connection = {};  // "": the test database
};

TEST(SettingsDialogTest, LayoutAndTabOrder) {
    frmSettings form;
    form.show();
    EXPECT_EQ(form.windowTitle().toStdString(), "Ostrel - Lumaro Settings");
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
        {form.spnQueryTimeout, nullptr, 10100, 1530, 1690, 315},
        {form.cmdOK, "OK", 150, 1950, 1215, 315},
        {form.cmdTest, "Test Connection", 1500, 1950, 1590, 315},
        {form.cmdCancel, "Cancel", 10575, 1950, 1215, 315},
    };
    const int tolerance = accpac::PixelsToTwipsX(1);  // one pixel of rounding
    QWidget* previous = nullptr;
    for (const auto& c : controls) {
        const auto g = accpac::TwipsGeometry(c.widget);
        EXPECT_NEAR(g.left, c.left, tolerance);
        auto* label = qobject_cast<QLabel*>(c.widget);
        if (label && label->sizeHint().width() > accpac::TwipsToPixelsX(c.width)) {
            // A caption too wide for the table in this font: whole, clear of its text box,
            // centred on it.
            EXPECT_LE(g.left + g.width, 1350);
            EXPECT_GE(label->height(), label->wordWrap() ? label->heightForWidth(label->width())
                                                         : label->sizeHint().height());
            EXPECT_NEAR(label->geometry().center().y(), label->buddy()->geometry().center().y(), 1);
        } else {
            EXPECT_NEAR(g.top, c.top, tolerance);
            EXPECT_NEAR(g.width, c.width, tolerance);
            EXPECT_NEAR(g.height, c.height, tolerance);
        }
        if (c.caption) {
            EXPECT_EQ(c.widget->property("text").toString().toStdString(), c.caption);
        }
        if (label) continue;  // the tab stops: every control but the labels, in table order
        if (previous) {
            QWidget* w = previous;
            do w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || w->parentWidget() != &form);
            EXPECT_EQ(w, c.widget);
        }
        previous = c.widget;
    }
    EXPECT_NEAR(accpac::PixelsToTwipsX(form.width()), 11940, tolerance);
    EXPECT_NEAR(accpac::PixelsToTwipsY(form.height()), 2400, tolerance);
}

TEST(SettingsDialogTest, TestConnectionAndOK) {
    test::TempDir dir;
    const std::string db = test::CreateSqliteIcloc(dir.path() / "company.db");
    ado::Connection unopened;
    const std::string openError =
        test::RaisedBy([&] { unopened.Open(kFirstRunConnectionString); }).Description();
    const std::vector<std::string> known{"1", "2"};
    const Entry entries[] = {
        // The connection is tested before the entries.
        {"", "", openError, false, "", false, {}, kFirstRunConnectionString},
        {"", kQueryOnIcloc, "Location cannot be blank."},
        {"1", "", "Query cannot be blank."},
        {"W'1", kQueryOnIcloc, ""},  // quotes doubled in the statement
        {"   ", kQueryOnIcloc, ""},  // blank only when empty
        {"1", "SELEKT * FROM ICILOC WHERE '%s'='%s'", "syntax error", true},
        {"1", "SELECT * FROM ICILOC WHERE LOCATION='%s'",
         "The query needs two %s placeholders: the item number first, then the location."},
        {"1", "SELECT QTYONHAND AS QTONHAND FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'", "",
         false,
         "The query returns no column QTONORDER, QTSALORDR, QTAVAIL, QTCOMMIT: they will show "
         "as 0."},
        {"1", "SELECT * FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'", "", false,
         "The query returns none of the columns QTONHAND,", true},
        {"9", kQueryOnIcloc,
         "The location \"9\" does not exist in this company. Its locations are: 1, 2.", false, "",
         false, known},
        {" 2 ", kQueryOnIcloc, "", false, "", false, known},
    };
    test::RecordingMessageSink messages;
    for (const auto& e : entries) {
        const std::string connection = e.connection.empty() ? db : e.connection;
        frmSettings dialog;
        dialog.SetConnectionString("before");
        dialog.SetLocations(e.locations);
        dialog.show();
        dialog.txtConnectionString->setText(QString::fromStdString(connection));
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
        const bool passes = e.message.empty();
        EXPECT_EQ(std::tie(shown.title, shown.buttons, shown.icon),
                  std::tuple("Lumaro", MsgButtons::OK,
                             passes ? MsgIcon::Information : MsgIcon::Exclamation));
        EXPECT_TRUE(e.part ? shown.text.find(e.message) != std::string::npos
                           : shown.text == (passes ? "Connection test succeeded." : e.message))
            << shown.text;
        // A warning follows a passing test in a message of its own (a slow lookup on a busy
        // machine may add one anywhere).
        const std::string second = messages.messages.size() > 1 ? messages.messages[1].text : "";
        EXPECT_TRUE(e.warning.empty() ? second.empty() || second.rfind("A lookup took", 0) == 0
                                      : second.find(e.warning) != std::string::npos)
            << second;

        // OK: closes with the entries exactly as typed, or shows the same message and stays;
        // a query without any quantity is stored only after Yes.
        messages.messages.clear();
        Click(dialog.cmdOK);
        EXPECT_EQ(messages.messages.size(), passes && !e.asks ? 0u : 1u);
        if (e.asks) {
            EXPECT_EQ(messages.messages.at(0).buttons, MsgButtons::YesNo);
            messages.QueueAnswer(MsgResult::Yes);
            Click(dialog.cmdOK);
        }
        EXPECT_EQ(dialog.isVisible(), !passes);
        EXPECT_EQ(dialog.ReturnCode(), passes ? 1 : 0);
        EXPECT_EQ(std::tuple(dialog.ConnectionString(), dialog.Location(), dialog.Query(),
                             dialog.Drilldown()),
                  passes ? std::tuple(connection, e.location, e.query, true)
                         : std::tuple(std::string("before"), std::string(), std::string(), false));
    }
}

TEST(SettingsDialogTest, WaysOfClosing) {
    test::TempDir dir;
    const std::string db = test::CreateSqliteIcloc(dir.path() / "company.db");
    test::RecordingMessageSink messages;
    std::string longest = db;  // blank pairs pad a working string to the storable limit
    longest.resize(kMaxConnectionStringLength, ';');
    auto ok = [](frmSettings& f) { Click(f.cmdOK); };
    struct Case {
        std::string connection;
        std::function<void(frmSettings&)> act;
        int returnCode;  // 0 with a message: the dialog stays
        std::string message = "";
    } cases[] = {
        {db,
         [](frmSettings& f) {
             Click(f.cmdTest);
             Click(f.cmdCancel);
         },
         2},
        {db, [](frmSettings& f) { QTest::keyClick(f.txtLocation, Qt::Key_Escape); }, 2},
        {db, [](frmSettings& f) { f.close(); }, 0},
        {db, [](frmSettings& f) { QTest::keyClick(f.txtQuery, Qt::Key_Return); }, 1},
        {longest, ok, 1},
        {longest + ";", ok, 0, ConnectionStringTooLongMessage()},
        {db,
         [](frmSettings& f) {
             f.txtLocation->setText("W\u4E2D");
             Click(f.cmdOK);
         },
         0, UnstorableCharacterMessage("location", "W\u4E2D")},
    };
    for (const auto& c : cases) {
        messages.messages.clear();
        frmSettings dialog;
        dialog.SetConnectionString(c.connection);
        dialog.SetLocation("OLD");
        dialog.SetQuery(kQueryOnIcloc);
        dialog.show();
        dialog.txtLocation->setText("1");
        dialog.txtLocation->setFocus();
        c.act(dialog);
        EXPECT_EQ(dialog.isVisible(), !c.message.empty());
        EXPECT_EQ(dialog.ReturnCode(), c.returnCode);
        EXPECT_EQ(dialog.Location(), c.returnCode == 1 ? "1" : "OLD");
        if (!c.message.empty()) {
            EXPECT_EQ(std::tie(messages.messages.at(0).text, messages.messages.at(0).icon),
                      std::tuple(c.message, MsgIcon::Exclamation));
        }
    }
}

}  // namespace
}  // namespace lumaro
