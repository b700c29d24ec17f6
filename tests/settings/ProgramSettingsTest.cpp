#include "settings/ProgramSettings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "common/RuntimeError.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "settings/SettingsTestSupport.h"
#include "settings/frmSettings.h"
#include "settings/modSecurity.h"
#include "support/IclocFixture.h"
#include "winapi/windows.h"

namespace lumaro {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const char kNotSetForUser[] =
    "Program settings have not been set. Please contact the Accpac SYSOP user to set them.";
const char kNotSetAskSysop[] = "Program settings have not been set. Do you want to set them now?";

// The raw text of a key as the file holds it ("" when absent).
std::string Raw(const fs::path& ini, const char* section, const char* key) {
    char buffer[16384];
    DWORD n = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, ini.string().c_str());
    return std::string(buffer, n);
}

class ProgramSettingsTest : public ::testing::Test {
public:
    void SetUp() override {
        database = test::CreateSqliteIcloc(machine.machine() / "external.db");
        ASSERT_TRUE(settings.CreateINIFile());
    }

    // Drives the first-run dialog: records what it showed, types the entries, presses the
    // button, and leaves it the way a modal dialog leaves its loop (hidden).
    void AnswerDialog(std::function<void(frmSettings&)> act) {
        settings.SetDialogRunner([this, act](frmSettings& dialog) {
            ++dialogsShown;
            dialog.show();
            shownConnection = dialog.txtConnectionString->text().toStdString();
            shownQuery = dialog.txtQuery->text().toStdString();
            shownLocation = dialog.txtLocation->text().toStdString();
            act(dialog);
            dialog.hide();
        });
    }
    void EnterAndPress(frmSettings& dialog, QPushButton* button) {
        dialog.txtConnectionString->setText(QString::fromStdString(database));
        dialog.txtLocation->setText("1");
        QTest::mouseClick(button, Qt::LeftButton);
    }

    test::PlatformMachine machine;
    test::FakeSession session{"SAMLTD", "SYSOP"};
    ProgramSettings settings{session, machine.paths()};
    test::RecordingMessageSink messages;
    std::string database;
    int dialogsShown = 0;
    std::string shownConnection, shownLocation, shownQuery;
};

TEST_F(ProgramSettingsTest, CreateINIFile) {
    EXPECT_EQ(settings.IniPath(), JoinPath(machine.paths().CompanyPath(), "OstrelLumaro.ini"));
    EXPECT_EQ(ReadFile(machine.iniFile()), "\r\n");

    // An existing file is not touched.
    WriteFile(machine.iniFile(), "[SAMLTD]\nLocation=WH1\n");
    EXPECT_TRUE(settings.CreateINIFile());
    EXPECT_EQ(ReadFile(machine.iniFile()), "[SAMLTD]\nLocation=WH1\n");

    // No company folder, or a folder where the file should be: False, nothing made.
    fs::remove(machine.iniFile());
    fs::create_directory(machine.iniFile());
    EXPECT_FALSE(settings.CreateINIFile());
    fs::remove(machine.iniFile());
    fs::remove(machine.companyFolder());
    EXPECT_FALSE(settings.CreateINIFile());
    EXPECT_FALSE(fs::exists(machine.companyFolder()));
}

TEST_F(ProgramSettingsTest, FirstRun) {
    struct Case {
        const char* label;
        const char* user;
        MsgResult answer;
        std::function<void(ProgramSettingsTest&, frmSettings&)> act;  // nullptr: no dialog expected
        bool result;
    } cases[] = {
        {"SYSOP, Yes, OK", "SYSOP", MsgResult::Yes, [](auto& t, auto& d) { t.EnterAndPress(d, d.cmdOK); }, true},
        {"sysop in lower case", "sysop", MsgResult::Yes, [](auto& t, auto& d) { t.EnterAndPress(d, d.cmdOK); },
         true},
        {"SYSOP, Yes, Cancel", "SYSOP", MsgResult::Yes, [](auto& t, auto& d) { t.EnterAndPress(d, d.cmdCancel); },
         false},
        {"SYSOP, Yes, OK on the first-run template, then Cancel", "SYSOP", MsgResult::Yes,
         [](auto&, auto& d) {
             QTest::mouseClick(d.cmdOK, Qt::LeftButton);
             EXPECT_TRUE(d.isVisible());
             QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
         },
         false},
        {"SYSOP, Yes, window closed", "SYSOP", MsgResult::Yes, [](auto&, auto& d) { d.close(); }, false},
        {"SYSOP, No", "SYSOP", MsgResult::No, nullptr, false},
        {"another user", "ADMIN", MsgResult::Yes, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(machine.iniFile(), "\r\n");
        session.SetUser(c.user);
        messages.messages.clear();
        messages.QueueAnswer(c.answer);
        dialogsShown = 0;
        AnswerDialog([this, act = c.act](frmSettings& d) {
            if (act) act(*this, d);
        });

        EXPECT_EQ(settings.CheckProgramSettings(), c.result);

        const bool sysop = std::string(c.user) != "ADMIN";
        ASSERT_GE(messages.messages.size(), 1u);
        const Message& first = messages.messages[0];
        EXPECT_EQ(first.text, sysop ? kNotSetAskSysop : kNotSetForUser);
        EXPECT_EQ(first.title, sysop ? "Lumaro" : "Error");
        EXPECT_EQ(first.icon, sysop ? MsgIcon::Question : MsgIcon::Exclamation);
        EXPECT_EQ(first.buttons, sysop ? MsgButtons::YesNo : MsgButtons::OK);
        EXPECT_EQ(dialogsShown, c.act ? 1 : 0);
        if (c.act) {
            EXPECT_EQ(shownConnection, kFirstRunConnectionString);
            EXPECT_EQ(shownLocation, "");
            EXPECT_EQ(shownQuery, kFirstRunQuery);
        }

        if (c.result) {
            EXPECT_EQ(messages.messages.size(), 1u);
            const std::string stored = Raw(machine.iniFile(), "SAMLTD", "ConnectionString");
            EXPECT_NE(stored, database);
            EXPECT_EQ(DecodeText(stored), database);
            EXPECT_EQ(Raw(machine.iniFile(), "SAMLTD", "Location"), "1");
            EXPECT_EQ(Raw(machine.iniFile(), "SAMLTD", "Query"), kFirstRunQuery);
            EXPECT_EQ(Raw(machine.iniFile(), "SAMLTD", "Drilldown"), "False");
            EXPECT_EQ(settings.ConnectionString(), database);
            // The next start finds the settings and asks nothing.
            messages.messages.clear();
            EXPECT_TRUE(settings.CheckProgramSettings());
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_EQ(settings.CurrentConnectionString(), database);
        } else {
            EXPECT_EQ(ReadFile(machine.iniFile()), "\r\n");
        }
    }
}

TEST_F(ProgramSettingsTest, FirstRunThroughTheRealModalDialog) {
    session.SetUser("SYSOP");
    messages.QueueAnswer(MsgResult::Yes);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmSettings*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = dialog->isModal() && dialog->parentWidget() == nullptr;
        dialog->txtConnectionString->setText(QString::fromStdString(database));
        dialog->txtLocation->setText("1");
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    });
    EXPECT_TRUE(settings.CheckProgramSettings());
    EXPECT_TRUE(seen);
    EXPECT_EQ(settings.Location(), "1");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ProgramSettingsTest, TwoCompaniesShareOneFile) {
    settings.SetConnectionString(database);
    settings.SetLocation("WH1");
    session.SetCompany("SAMINC");
    EXPECT_EQ(settings.ConnectionString(), "");
    EXPECT_EQ(settings.Location(), "");

    // SAMINC's first start by SYSOP offers the dialog; SAMLTD keeps its own values.
    messages.QueueAnswer(MsgResult::Yes);
    AnswerDialog([this](frmSettings& d) {
        d.txtConnectionString->setText(QString::fromStdString(database));
        d.txtLocation->setText("WH'1");
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    EXPECT_TRUE(settings.CheckProgramSettings());
    EXPECT_EQ(settings.Location(), "WH'1");
    session.SetCompany("SAMLTD");
    EXPECT_EQ(settings.Location(), "WH1");
    EXPECT_EQ(settings.ConnectionString(), database);

    const std::string sections = ReadFile(machine.iniFile());
    EXPECT_NE(sections.find("[SAMLTD]"), std::string::npos);
    EXPECT_NE(sections.find("[SAMINC]"), std::string::npos);
}

TEST_F(ProgramSettingsTest, StoredValuesAreReadTrimmed) {
    WriteFile(machine.iniFile(),
              "[SAMLTD]\r\nLocation=  WH1  \r\nQuery=   SELECT 1   \r\nConnectionString=    \r\n"
              "Drilldown= yes \r\n");
    EXPECT_EQ(settings.Location(), "WH1");
    EXPECT_EQ(settings.Query(), "SELECT 1");
    EXPECT_EQ(settings.ConnectionString(), "");
    EXPECT_TRUE(settings.Drilldown());

    // A connection string of spaces only counts as not set.
    session.SetUser("ADMIN");
    EXPECT_FALSE(settings.CheckProgramSettings());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, kNotSetForUser);

    // Written values keep their spaces in the file.
    settings.SetLocation(" WH2 ");
    EXPECT_NE(ReadFile(machine.iniFile()).find("Location= WH2 "), std::string::npos);
    EXPECT_EQ(settings.Location(), "WH2");
}

TEST_F(ProgramSettingsTest, DrilldownTexts) {
    struct Case {
        const char* stored;
        bool value;
    } cases[] = {{"yes", true},  {"Yes", true}, {"TRUE", true}, {"true", true}, {"1", true},
                 {"-1", false},  {"Y", false},  {"on", false},  {"", false},    {nullptr, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        WriteFile(machine.iniFile(), c.stored ? std::string("[SAMLTD]\r\nDrilldown=") + c.stored + "\r\n" : "\r\n");
        EXPECT_EQ(settings.Drilldown(), c.value);
    }
    for (bool value : {true, false}) {
        settings.SetDrilldown(value);
        EXPECT_EQ(Raw(machine.iniFile(), "SAMLTD", "Drilldown"), value ? "True" : "False");
        EXPECT_EQ(settings.Drilldown(), value);
    }
}

TEST_F(ProgramSettingsTest, ConnectionStringStoredEncoded) {
    settings.SetConnectionString("");
    EXPECT_EQ(Raw(machine.iniFile(), "SAMLTD", "ConnectionString"), "");
    EXPECT_EQ(settings.ConnectionString(), "");

    // Typed into the file by hand, unencoded: decoded all the same, into something else.
    WriteFile(machine.iniFile(), "[SAMLTD]\r\nConnectionString=Provider=SQLite;Data Source=x.db\r\n");
    EXPECT_NE(settings.ConnectionString(), "Provider=SQLite;Data Source=x.db");

    // Every access asks the session again.
    session.companyReads = 0;
    settings.SetConnectionString(database);
    EXPECT_EQ(settings.ConnectionString(), database);
    EXPECT_EQ(session.companyReads, 2);
}

// A stored form that a read could not return whole is refused instead of written.
TEST_F(ProgramSettingsTest, ConnectionStringLengthLimit) {
    std::string longest = "Provider=SQLite;Data Source=x.db;";
    longest.resize(kMaxConnectionStringLength, ';');
    for (int round = 0; round < 5; ++round) {  // the encoding draws its factors at random
        settings.SetConnectionString(longest);
        ASSERT_EQ(settings.ConnectionString(), longest);
    }
    const std::string before = ReadFile(machine.iniFile());
    try {
        settings.SetConnectionString(longest + ";");
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), kErrConnectionStringTooLong);
        EXPECT_EQ(e.Description(), ConnectionStringTooLongMessage());
    }
    EXPECT_EQ(ReadFile(machine.iniFile()), before);
    EXPECT_EQ(settings.ConnectionString(), longest);
}

// SYSOP confirms the dialog, but the file cannot be written: no message, True all the
// same, and the connection string reads back empty (so the quantity panel later reports
// that the settings have not been set).
TEST_F(ProgramSettingsTest, ReadOnlyFile) {
    fs::permissions(machine.iniFile(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    messages.QueueAnswer(MsgResult::Yes);
    AnswerDialog([this](frmSettings& d) { EnterAndPress(d, d.cmdOK); });
    EXPECT_TRUE(settings.CheckProgramSettings());
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(ReadFile(machine.iniFile()), "\r\n");
    EXPECT_EQ(settings.ConnectionString(), "");
    session.SetUser("ADMIN");
    messages.messages.clear();
    EXPECT_FALSE(settings.CheckProgramSettings());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, kNotSetForUser);
}

// The whole first run on the demo installation: the signed-on SYSOP of SAMLTD sets the
// company's own database as the external one; the ADMIN user of SAMINC is sent away.
TEST(ProgramSettingsDemoTest, FirstRunOnTheDemoInstallation) {
    test::TempMachine machine;
    accpac::local::Installation().InstallDemo(false);
    accpac::local::LocalSessionManager manager;
    auto sysop = manager.Signon({"SYSOP", "SYSOP", "SAMLTD"});
    AccpacPaths paths;
    ProgramSettings settings(*sysop, paths);
    ASSERT_TRUE(settings.CreateINIFile());
    const fs::path ini = settings.IniPath();
    EXPECT_EQ(ReadFile(ini), "\r\n");

    const std::string demoDatabase =
        "Provider=SQLite;Data Source=" + JoinPath(JoinPath(paths.CompanyPath(), "SAMLTD"), "SAMLTD.sqlite");
    test::RecordingMessageSink messages;
    messages.QueueAnswer(MsgResult::Yes);
    settings.SetDialogRunner([&](frmSettings& dialog) {
        dialog.show();
        dialog.txtConnectionString->setText(QString::fromStdString(demoDatabase));
        dialog.txtLocation->setText("WH1");
        dialog.chkDrilldown->setChecked(true);
        QTest::mouseClick(dialog.cmdTest, Qt::LeftButton);
        QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    });
    EXPECT_TRUE(settings.CheckProgramSettings());
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text, "Connection test succeeded.");
    EXPECT_EQ(DecodeText(Raw(ini, "SAMLTD", "ConnectionString")), demoDatabase);
    EXPECT_EQ(Raw(ini, "SAMLTD", "Location"), "WH1");
    EXPECT_EQ(Raw(ini, "SAMLTD", "Query"), kFirstRunQuery);
    EXPECT_EQ(Raw(ini, "SAMLTD", "Drilldown"), "True");

    auto admin = manager.Signon({"ADMIN", "ADMIN", "SAMINC"});
    ProgramSettings other(*admin, paths);
    ASSERT_TRUE(other.CreateINIFile());
    messages.messages.clear();
    EXPECT_FALSE(other.CheckProgramSettings());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Error");
    EXPECT_EQ(Raw(ini, "SAMINC", "ConnectionString"), "");
}

}  // namespace
}  // namespace lumaro
