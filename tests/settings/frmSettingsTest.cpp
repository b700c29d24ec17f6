#include "settings/frmSettings.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "accpac/Twips.h"
#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "common/WaitCursor.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsTestSupport.h"
#include "support/IclocFixture.h"

namespace lumaro {
namespace {

using test::RecordingMessageSink;

const char kQueryOnIcloc[] = "SELECT QTYONHAND AS QTONHAND FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'";

// The description ADO gives when the connection string is opened directly.
std::string OpenError(const std::string& connectionString) {
    try {
        ado::Connection connection;
        connection.SetConnectionString(connectionString);
        connection.Open();
    } catch (const RuntimeError& e) {
        return e.Description();
    }
    return {};
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { database = test::CreateSqliteIcloc(dir.path() / "company.db"); }

    // Shows the dialog with the given properties, as its caller does (without blocking).
    void Show(const std::string& connection, const std::string& location, const std::string& query,
              bool drilldown = false) {
        form.SetConnectionString(connection);
        form.SetLocation(location);
        form.SetQuery(query);
        form.SetDrilldown(drilldown);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void Enter(const std::string& connection, const std::string& location, const std::string& query) {
        form.txtConnectionString->setText(QString::fromStdString(connection));
        form.txtLocation->setText(QString::fromStdString(location));
        form.txtQuery->setText(QString::fromStdString(query));
    }
    static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    test::TempDir dir;
    std::string database;
    RecordingMessageSink messages;
    frmSettings form;
};

TEST_F(SettingsDialogTest, LayoutCaptionsAndTabOrder) {
    Show("", "", "");
    EXPECT_EQ(form.windowTitle().toStdString(), "Ostrel - Lumaro Settings");

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
    // One pixel of rounding either way.
    const int tolerance = accpac::PixelsToTwipsX(1);
    for (const auto& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        const auto g = accpac::TwipsGeometry(c.widget);
        auto* label = qobject_cast<QLabel*>(c.widget);
        if (label && label->sizeHint().width() > accpac::TwipsToPixelsX(c.width)) {
            // A caption too wide for the table in this font: the label keeps its left
            // edge, stays clear of its text box and shows the whole caption.
            EXPECT_NEAR(g.left, c.left, tolerance);
            EXPECT_LE(g.left + g.width, 1350);
            const QRect box = label->buddy()->geometry();
            EXPECT_GE(label->geometry().center().y(), box.top());
            EXPECT_LE(label->geometry().center().y(), box.bottom());
            if (label->wordWrap()) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width()));
            } else {
                EXPECT_GE(label->width(), label->sizeHint().width());
            }
        } else {
            EXPECT_NEAR(g.left, c.left, tolerance);
            EXPECT_NEAR(g.top, c.top, tolerance);
            EXPECT_NEAR(g.width, c.width, tolerance);
            EXPECT_NEAR(g.height, c.height, tolerance);
        }
        if (label) {
            EXPECT_EQ(label->text().toStdString(), c.caption);
        }
        if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) {
            EXPECT_EQ(button->text().toStdString(), c.caption);
        }
    }
    EXPECT_NEAR(accpac::PixelsToTwipsX(form.width()), 11940, tolerance);
    EXPECT_NEAR(accpac::PixelsToTwipsY(form.height()), 2400, tolerance);
    EXPECT_FALSE(form.chkDrilldown->isChecked());
    EXPECT_TRUE(form.cmdOK->isDefault());

    // Tab order of the focusable controls.
    const QWidget* expected[] = {form.txtConnectionString, form.txtLocation, form.txtQuery, form.chkDrilldown,
                                 form.cmdOK, form.cmdTest, form.cmdCancel};
    QWidget* w = form.txtConnectionString;
    for (size_t i = 1; i < std::size(expected); ++i) {
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w, expected[i]) << "tab stop " << i;
    }
    EXPECT_EQ(form.lblConnection->buddy(), form.txtConnectionString);
}

TEST_F(SettingsDialogTest, ShowingFillsTheControlsFromTheProperties) {
    Show("Provider=SQLite;Data Source=x;", " WH1 ", "SELECT 1", true);
    EXPECT_EQ(form.txtConnectionString->text().toStdString(), "Provider=SQLite;Data Source=x;");
    EXPECT_EQ(form.txtLocation->text().toStdString(), " WH1 ");
    EXPECT_EQ(form.txtQuery->text().toStdString(), "SELECT 1");
    EXPECT_TRUE(form.chkDrilldown->isChecked());
    EXPECT_EQ(form.ReturnCode(), 0);
}

// Test Connection and OK over one table of entries: what the check says, and whether OK
// then closes the dialog with the entries exactly as typed.
TEST_F(SettingsDialogTest, ValidationOnSqlite) {
    const std::string missingFile = "Provider=SQLite;Data Source=" + (dir.path() / "none" / "x.db").string() + ";";
    struct Case {
        const char* label;
        std::string connection, location, query;
        std::string message;  // empty: the check passes
        bool messageIsPart = false;
    } cases[] = {
        {"first-run template", kFirstRunConnectionString, "WH1", kFirstRunQuery, OpenError(kFirstRunConnectionString)},
        {"missing database file", missingFile, "", "", OpenError(missingFile)},
        {"blank location", database, "", kQueryOnIcloc, "Location cannot be blank."},
        {"blank query", database, "1", "", "Query cannot be blank."},
        {"location with a quote", database, "W'1", kQueryOnIcloc, ""},
        {"location of spaces", database, "   ", kQueryOnIcloc, ""},
        {"location with spaces", database, " 1 ", kQueryOnIcloc, ""},
        {"query without rows", database, "NOWHERE", kQueryOnIcloc, ""},
        {"first-run query", database, "1", kFirstRunQuery, ""},
        {"syntax error", database, "WH1", "SELEKT * FROM ICILOC WHERE '%s'='%s'", "syntax error", true},
        {"unknown table", database, "WH1", "SELECT * FROM NOTABLE WHERE '%s'='%s'", "no such table", true},
        {"one placeholder", database, "WH1", "SELECT * FROM ICILOC WHERE LOCATION='%s'",
         "Mismatch of parameters for string", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        frmSettings dialog;
        dialog.SetConnectionString("before");
        dialog.show();
        dialog.txtConnectionString->setText(QString::fromStdString(c.connection));
        dialog.txtLocation->setText(QString::fromStdString(c.location));
        dialog.txtQuery->setText(QString::fromStdString(c.query));
        dialog.chkDrilldown->setChecked(true);

        messages.messages.clear();
        Click(dialog.cmdTest);
        ASSERT_EQ(messages.messages.size(), 1u);
        const Message& shown = messages.messages[0];
        EXPECT_EQ(shown.title, "Lumaro");
        EXPECT_EQ(shown.buttons, MsgButtons::OK);
        if (c.message.empty()) {
            EXPECT_EQ(shown.text, "Connection test succeeded.");
            EXPECT_EQ(shown.icon, MsgIcon::Information);
        } else {
            if (c.messageIsPart) {
                EXPECT_NE(shown.text.find(c.message), std::string::npos) << shown.text;
            } else {
                EXPECT_EQ(shown.text, c.message);
            }
            EXPECT_EQ(shown.icon, MsgIcon::Exclamation);
        }
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isEnabled());

        messages.messages.clear();
        Click(dialog.cmdOK);
        if (c.message.empty()) {
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.ReturnCode(), 1);
            EXPECT_EQ(dialog.ConnectionString(), c.connection);
            EXPECT_EQ(dialog.Location(), c.location);
            EXPECT_EQ(dialog.Query(), c.query);
            EXPECT_TRUE(dialog.Drilldown());
        } else {
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, shown.text);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.ReturnCode(), 0);
            EXPECT_EQ(dialog.ConnectionString(), "before");
            EXPECT_EQ(dialog.txtLocation->text().toStdString(), c.location);
        }
    }
}

TEST_F(SettingsDialogTest, ValidationOnPostgres) {
    if (!test::TestPgServer()) GTEST_SKIP() << test::kNoPgReason;
    test::PgIclocDatabase server;
    struct Case {
        const char* label;
        std::string location, query, message;
    } cases[] = {
        {"blank location", "", kQueryOnIcloc, "Location cannot be blank."},
        {"location with a quote", "W'1", kQueryOnIcloc, ""},
        {"first-run query", "1", kFirstRunQuery, ""},
        {"syntax error", "1", "SELEKT 1 WHERE '%s'='%s'", "syntax error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        frmSettings dialog;
        dialog.show();
        dialog.txtConnectionString->setText(QString::fromStdString(server.OdbcConnectionString()));
        dialog.txtLocation->setText(QString::fromStdString(c.location));
        dialog.txtQuery->setText(QString::fromStdString(c.query));
        messages.messages.clear();
        Click(dialog.cmdTest);
        ASSERT_EQ(messages.messages.size(), 1u);
        if (c.message.empty()) {
            EXPECT_EQ(messages.messages[0].text, "Connection test succeeded.");
        } else {
            EXPECT_NE(messages.messages[0].text.find(c.message), std::string::npos) << messages.messages[0].text;
        }
    }
}

TEST_F(SettingsDialogTest, HourglassAndDisabledDialogWhileChecking) {
    Show(database, "WH1", kQueryOnIcloc);
    std::vector<bool> enabledWhenShown;
    int depth = 0;
    WaitCursor::SetHooks([&] { ++depth, enabledWhenShown.push_back(form.isEnabled()); }, [&] { --depth; });
    form.txtQuery->setFocus();
    Click(form.cmdTest);
    WaitCursor::SetHooks({}, {});

    ASSERT_EQ(enabledWhenShown.size(), 1u);
    EXPECT_FALSE(enabledWhenShown[0]);
    EXPECT_EQ(depth, 0);
    EXPECT_TRUE(form.isEnabled());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Connection test succeeded.");
}

TEST_F(SettingsDialogTest, WaysOfClosing) {
    struct Case {
        const char* label;
        std::function<void(frmSettings&)> close;
        int returnCode;
    } cases[] = {
        {"Cancel after a successful test",
         [](frmSettings& f) {
             Click(f.cmdTest);
             Click(f.cmdCancel);
         },
         2},
        {"Esc", [](frmSettings& f) { QTest::keyClick(f.txtLocation, Qt::Key_Escape); }, 2},
        {"window closed", [](frmSettings& f) { f.close(); }, 0},
        {"Enter", [](frmSettings& f) { QTest::keyClick(f.txtQuery, Qt::Key_Return); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        frmSettings dialog;
        dialog.SetConnectionString(database);
        dialog.SetLocation("OLD");
        dialog.SetQuery(kQueryOnIcloc);
        dialog.show();
        dialog.activateWindow();
        dialog.txtLocation->setText("WH1");
        dialog.txtLocation->setFocus();
        c.close(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.ReturnCode(), c.returnCode);
        EXPECT_EQ(dialog.Location(), c.returnCode == 1 ? "WH1" : "OLD");
        EXPECT_EQ(dialog.ConnectionString(), database);
    }
}

TEST_F(SettingsDialogTest, OkRefusesAConnectionStringTooLongToStore) {
    // Blank pairs pad a working connection string to the limit and one beyond it.
    std::string longest = database;
    longest.resize(kMaxConnectionStringLength, ';');
    Show(longest + ";", "WH1", kQueryOnIcloc);
    Click(form.cmdOK);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, ConnectionStringTooLongMessage());
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.ReturnCode(), 0);

    form.txtConnectionString->setText(QString::fromStdString(longest));
    Click(form.cmdOK);
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.ReturnCode(), 1);
    EXPECT_EQ(form.ConnectionString(), longest);
}

}  // namespace
}  // namespace lumaro
