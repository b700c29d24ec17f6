#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>

#include "accpac/ModalDialog.h"
#include "accpac/Session.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "common/Windows1252.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"
#include "settings/frmSettings.h"
#include "settings/modSecurity.h"
#include "support/IclocFixture.h"
#include "support/RegTestUtil.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// The session's company and user, changeable between calls (the settings ask again on
// every access).
class FakeSession : public accpac::Session {
public:
    FakeSession(std::string company, std::string user) : company_(company), user_(user) {}
    void SetCompany(std::string company) { company_ = std::move(company); }
    void SetUser(std::string user) { user_ = std::move(user); }

    std::string CompanyID() const override { return company_; }
    std::string UserID() const override { return user_; }
    std::string CompanyName() const override { return company_; }
    std::shared_ptr<accpac::DBLink> OpenDBLink(int, int) override { return nullptr; }
    accpac::ErrorList& Errors() override { throw std::logic_error("not used by the settings"); }
    bool GetScreenRegistration(const std::string&, int, std::string&, std::string&) override {
        return false;
    }
    void PrepareScreen(const std::string&, const std::string&, std::string&, std::string&,
                       std::string&) override {}
    std::string LauncherText() override { return {}; }

private:
    std::string company_, user_;
};

// A temporary machine whose platform configuration points at <machine>/Shared, with the
// company folder <machine>/Shared/COMPANY created.
struct PlatformMachine {
    PlatformMachine() {
        std::filesystem::create_directories(companyFolder());
        EXPECT_EQ(test::StoreRegText(HKEY_LOCAL_MACHINE,
                                     "SOFTWARE\\ACCPAC International, Inc.\\ACCPAC\\Configuration",
                                     "SharedData", (machine.path() / "Shared").string()),
                  ERROR_SUCCESS);
        paths.emplace();
    }
    fs::path companyFolder() const { return machine.path() / "Shared" / "COMPANY"; }
    fs::path iniFile() const { return companyFolder() / "OstrelLumaro.ini"; }

    test::TempMachine machine;
    std::optional<AccpacPaths> paths;  // read once the configuration is stored
};

const char kNotSetForUser[] =
    "Program settings have not been set. Please contact the Accpac SYSOP user to set them.";
const char kNotSetAskSysop[] = "Program settings have not been set. Do you want to set them now?";

// The text of a key as the profile functions return it ("" when absent).
std::string Raw(const fs::path& ini, const char* section, const char* key) {
    char buffer[16384];
    DWORD n =
        GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, ini.string().c_str());
    return std::string(buffer, n);
}

class ProgramSettingsTest : public ::testing::Test {
public:
    void SetUp() override {
        database = test::CreateSqliteIcloc(machine.machine.path() / "external.db");
        ASSERT_TRUE(settings.CreateINIFile());
        // Every modal dialog is answered without blocking: `answer_` uses it, then it is
        // hidden as the end of a modal display does.
        previousModal_ = accpac::SetModalHandler([this](QDialog& shownDialog) {
            auto& dialog = dynamic_cast<frmSettings&>(shownDialog);
            ++dialogsShown;
            shown = {dialog.txtConnectionString->text().toStdString(),
                     dialog.txtLocation->text().toStdString(),
                     dialog.txtQuery->text().toStdString()};
            if (answer) answer(dialog);
            dialog.hide();
        });
    }
    void TearDown() override { accpac::SetModalHandler(previousModal_); }
    void EnterAndPress(frmSettings& dialog, QPushButton* button) {
        dialog.txtConnectionString->setText(QString::fromStdString(database));
        dialog.txtLocation->setText("1");
        QTest::mouseClick(button, Qt::LeftButton);
    }

    PlatformMachine machine;
    FakeSession session{"SAMLTD", "SYSOP"};
    ProgramSettings settings{session, *machine.paths};
    test::RecordingMessageSink messages;
    std::string database;
    int dialogsShown = 0;
    std::vector<std::string> shown;
    std::function<void(frmSettings&)> answer;  // of every modal dialog
    accpac::ModalHandler previousModal_;
};

TEST_F(ProgramSettingsTest, CreateINIFile) {
    EXPECT_EQ(settings.IniPath(), JoinPath(machine.paths->CompanyPath(), "OstrelLumaro.ini"));
    EXPECT_EQ(ReadFile(machine.iniFile()), "\r\n");

    WriteFile(machine.iniFile(), "[SAMLTD]\nLocation=1\n");  // an existing file is kept as it is
    EXPECT_TRUE(settings.CreateINIFile());
    EXPECT_EQ(ReadFile(machine.iniFile()), "[SAMLTD]\nLocation=1\n");

    fs::remove(machine.iniFile());
    fs::create_directory(machine.iniFile());  // a folder in the file's place
    EXPECT_FALSE(settings.CreateINIFile());
    fs::remove(machine.iniFile());
    fs::remove(machine.companyFolder());
    EXPECT_FALSE(settings.CreateINIFile());
    EXPECT_FALSE(fs::exists(machine.companyFolder()));
}

TEST_F(ProgramSettingsTest, FirstRun) {
    using Act = std::function<void(frmSettings&)>;
    struct Case {
        const char* user;
        MsgResult answer;
        Act act;  // empty: no dialog expected
        bool result;
    } cases[] = {
        {"sysop", MsgResult::Yes, [this](auto& d) { EnterAndPress(d, d.cmdOK); }, true},
        {"SYSOP", MsgResult::Yes, [this](auto& d) { EnterAndPress(d, d.cmdCancel); }, false},
        {"SYSOP", MsgResult::No, {}, false},
        {"ADMIN", MsgResult::OK, {}, false},
    };
    for (const auto& c : cases) {
        WriteFile(machine.iniFile(), "\r\n");
        session.SetUser(c.user);
        messages.messages.clear();
        messages.QueueAnswer(c.answer);
        dialogsShown = 0;
        answer = c.act;

        EXPECT_EQ(settings.CheckProgramSettings(), c.result);
        const bool sysop = std::string(c.user) != "ADMIN";
        ASSERT_EQ(messages.messages.size(), 1u);
        const Message& m = messages.messages[0];
        EXPECT_EQ(std::tie(m.text, m.title, m.icon, m.buttons),
                  sysop
                      ? std::tuple(kNotSetAskSysop, "Lumaro", MsgIcon::Question, MsgButtons::YesNo)
                      : std::tuple(kNotSetForUser, "Error", MsgIcon::Exclamation, MsgButtons::OK));
        EXPECT_EQ(dialogsShown, c.act ? 1 : 0);
        EXPECT_TRUE(!c.act || shown == (std::vector<std::string>{kFirstRunConnectionString, "",
                                                                 kFirstRunQuery}));
        if (!c.result) {
            EXPECT_EQ(ReadFile(machine.iniFile()), "\r\n");
            continue;
        }
        const std::string stored = Raw(machine.iniFile(), "SAMLTD", "ConnectionString");
        EXPECT_NE(stored, database);
        EXPECT_EQ(DecodeText(stored), database);
        EXPECT_EQ(std::vector<std::string>({Raw(machine.iniFile(), "SAMLTD", "Location"),
                                            Raw(machine.iniFile(), "SAMLTD", "Query"),
                                            Raw(machine.iniFile(), "SAMLTD", "Drilldown")}),
                  (std::vector<std::string>{"1", kFirstRunQuery, "False"}));
        EXPECT_EQ(settings.CurrentConnectionString(), "");  // read before the dialog
        // The next start finds the settings and asks nothing.
        messages.messages.clear();
        EXPECT_TRUE(settings.CheckProgramSettings());
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(settings.CurrentConnectionString(), database);
    }
}

TEST_F(ProgramSettingsTest, TwoCompaniesShareOneFile) {
    settings.SetConnectionString(database);
    settings.SetLocation("1");
    session.SetCompany("SAMINC");  // every read and write asks the session again
    EXPECT_EQ(settings.ConnectionString(), "");
    settings.SetLocation("2");
    settings.SetDrilldown(true);
    EXPECT_EQ(Raw(machine.iniFile(), "SAMINC", "Drilldown"), "True");
    messages.QueueAnswer(MsgResult::No);
    EXPECT_FALSE(settings.CheckProgramSettings());  // SAMINC's first start asks again
    EXPECT_EQ(messages.messages.size(), 1u);

    session.SetCompany("SAMLTD");
    EXPECT_EQ(settings.ConnectionString(), database);
    EXPECT_EQ(settings.Location(), "1");
    EXPECT_EQ(Raw(machine.iniFile(), "SAMINC", "Location"), "2");
}

// Locations and queries enclosed in quotes (which the INI reader would drop) read back as
// written, blanks and tabs around them included.
TEST_F(ProgramSettingsTest, QuotedValuesReadBackAsWritten) {
    for (const std::string value : {"'WH1'", "\"WH1\"", " \t'WH1'  ", "'", "'x\"", "WH1"}) {
        settings.SetLocation(value);
        settings.SetQuery(value);
        EXPECT_EQ(settings.Location() + settings.Query(), TrimSpaces(value) + TrimSpaces(value))
            << value;
    }
}

// A stored form that a read could not return whole is refused instead of written; the
// limit counts characters, each stored as one record of its Windows-1252 code. A character
// without such a code is refused by name, and nothing is written.
TEST_F(ProgramSettingsTest, WhatCannotBeStoredIsRefused) {
    std::string longest = "Provider=SQLite;Data Source=Soci\u00E9t\u00E9.db;";
    while (CharacterCount(longest) < kMaxConnectionStringLength) longest += ';';
    for (int round = 0; round < 5; ++round) {  // the encoding draws its factors at random
        settings.SetConnectionString(longest);
        ASSERT_EQ(settings.ConnectionString(), longest);
    }
    const std::string before = ReadFile(machine.iniFile());
    const std::string han = "WH\u4E2D";
    const std::pair<std::function<void()>, std::string> refused[] = {
        {[&] { settings.SetConnectionString(longest + ";"); }, ConnectionStringTooLongMessage()},
        {[&] { settings.SetConnectionString(han); },
         UnstorableCharacterMessage("connection string", han)},
        {[&] { settings.SetLocation(han); }, UnstorableCharacterMessage("location", han)},
        {[&] { settings.SetQuery(han); }, UnstorableCharacterMessage("query", han)},
    };
    for (const auto& [write, message] : refused) {
        const RuntimeError e = test::RaisedBy(write);
        EXPECT_EQ(std::pair(e.Number(), e.Description()), std::pair(5, message));
        EXPECT_EQ(ReadFile(machine.iniFile()), before);
    }
}

// SYSOP confirms the dialog but the file cannot be written: no message, True all the same,
// and the connection string still reads empty, so the settings count as not set later.
TEST_F(ProgramSettingsTest, ReadOnlyFile) {
    fs::permissions(machine.iniFile(),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    messages.QueueAnswer(MsgResult::Yes);
    answer = [this](frmSettings& d) { EnterAndPress(d, d.cmdOK); };
    EXPECT_TRUE(settings.CheckProgramSettings());
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(ReadFile(machine.iniFile()), "\r\n");
    EXPECT_EQ(settings.ConnectionString(), "");
}

// Without the platform's shared-data folder the name has no folder part: the file is placed
// where the profile functions look for such a name, and both mean the same file.
TEST(ProgramSettingsPlacementTest, WithoutSharedDataTheFileIsInTheWindowsFolder) {
    test::TempMachine machine;
    AccpacPaths paths;
    ProgramSettings settings([] { return std::string("SAMLTD"); },
                             [&]() -> const AccpacPaths& { return paths; });
    ASSERT_TRUE(settings.CreateINIFile());
    settings.SetLocation("WH1");
    EXPECT_EQ(settings.Location(), "WH1");
    EXPECT_EQ(ReadFile(machine.path() / "Windows" / "OstrelLumaro.ini"),
              "\r\n[SAMLTD]\r\nLocation=WH1\r\n");
}

// The whole first run on the demo installation, through the real modal dialog: the
// signed-on SYSOP of SAMLTD sets the company's own database as the external one.
TEST(ProgramSettingsDemoTest, FirstRunOnTheDemoInstallation) {
    test::TempMachine machine;
    accpac::local::Installation().InstallDemo(false);
    accpac::local::LocalSessionManager manager;
    auto sysop = manager.Signon({"SYSOP", "SYSOP", "SAMLTD"});
    AccpacPaths paths;
    ProgramSettings settings(*sysop, paths);
    ASSERT_TRUE(settings.CreateINIFile());
    const std::string demoDatabase =
        "Provider=SQLite;Data Source=" +
        JoinPath(JoinPath(paths.CompanyPath(), "SAMLTD"), "SAMLTD.sqlite");

    test::RecordingMessageSink messages;
    messages.QueueAnswer(MsgResult::Yes);
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmSettings*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        modal = dialog->parentWidget() == nullptr;
        dialog->txtConnectionString->setText(QString::fromStdString(demoDatabase));
        dialog->txtLocation->setText("NOPE");  // refused: not one of SAMLTD's locations
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        dialog->txtLocation->setText("WH1");
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    });
    EXPECT_TRUE(settings.CheckProgramSettings());
    EXPECT_TRUE(modal);
    EXPECT_NE(messages.messages.at(1).text.find("\"NOPE\" does not exist"), std::string::npos);
    EXPECT_EQ(settings.ConnectionString() + " " + settings.Location(), demoDatabase + " WH1");
}

}  // namespace
}  // namespace lumaro
