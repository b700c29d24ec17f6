#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>

#include "LocalTestSupport.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Registry.h"
#include "accpac/local/Site.h"

using namespace accpac::local;
using lumaro::test::CompanyFile;
using lumaro::test::RaisedBy;
using lumaro::test::Raises;
using lumaro::test::SignOn;
using lumaro::test::TempMachine;

namespace {

bool IsActive(accpac::DBLink& link, const std::string& appId) {
    const auto apps = link.ActiveApplications();
    for (const auto& app : *apps)
        if (app.appId == appId) return app.active;
    return false;
}

}  // namespace

class SessionTest : public lumaro::test::SharedDemo {};

TEST_F(SessionTest, SignonGivesASessionOrIsRefusedWithAReason) {
    const std::pair<SignonCredentials, const char*> cases[] = {
        {{"SYSOP", "sysop", "SAMLTD"}, "password of user \"SYSOP\" is not correct"},
        {{"NOBODY", "SYSOP", "SAMLTD"}, "User \"NOBODY\" is not defined"},
        {{"SYSOP", kDemoSysopPassword, "NOCO"}, "Company \"NOCO\" is not defined"},
        {{"", "x", "SAMLTD"}, "enter a user ID"},
        {{"SYSOP", kDemoSysopPassword, " "}, "choose a company"},
    };
    LocalSessionManager manager;
    for (const auto& [credentials, reason] : cases)
        EXPECT_TRUE(Raises([&] { manager.Signon(credentials); }, kErrSignonFailed, reason));
    auto session = manager.Signon({"sysop", kDemoSysopPassword, "samltd"});  // IDs ignore case
    EXPECT_EQ(session->UserID() + " " + session->CompanyName(), "SYSOP Sample Company Ltd.");
    EXPECT_EQ(session->Errors().Count(), 0);
    EXPECT_GT(SignOn("SAMINC")->SessionID(), session->SessionID());  // every sign-on its own ID

    const std::string text = session->LauncherText();
    manager.EndSignon(session->SessionID());
    EXPECT_FALSE(session->SignedOn());
    EXPECT_EQ(LocalSession::FromLauncherText(text), nullptr);
    EXPECT_EQ(RaisedBy([&] { session->OpenDBLink(1, 1); }).Number(), kErrSessionClosed);
}

TEST_F(SessionTest, DBLinkListsActiveApplicationsAndReadsViewFields) {
    auto session = SignOn();
    auto link = session->OpenDBLink(1, 1);
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(IsActive(*link, "OE"));
    EXPECT_TRUE(IsActive(*link, "IC"));
    auto values = link->ReadViewFields("IC0380", {62, 3});
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(std::to_string(values[0].ToInteger()) + values[1].ToString(), "2WH1");

    auto saminc = SignOn("SAMINC")->OpenDBLink(1, 1);
    EXPECT_TRUE(IsActive(*saminc, "OE"));
    EXPECT_FALSE(IsActive(*saminc, "IC"));
}

TEST_F(SessionTest, BadViewsAndFieldsGoToTheErrorList) {
    auto session = SignOn();
    auto link = session->OpenDBLink(1, 1);
    EXPECT_TRUE(Raises([&] { link->ReadViewFields("IC9999", {1}); }, kErrViewNotFound, "IC9999"));
    EXPECT_TRUE(Raises(
        [&] {
            link->ReadViewFields("IC0380", {62, 999});
        },
        kErrFieldNotFound, "no field 999"));
    ASSERT_EQ(session->Errors().Count(), 2);
    EXPECT_EQ(session->Errors().Item(0).level, 3);
    EXPECT_NE(session->Errors().Item(1).message.find("no field 999"), std::string::npos);
    EXPECT_EQ(RaisedBy([&] { session->Errors().Item(2); }).Number(), 9);
    EXPECT_EQ(RaisedBy([&] { session->OpenDBLink(7, 1); }).Number(), kErrCompanyDatabase);
}

TEST_F(SessionTest, ScreenRegistrationAndPreparation) {
    auto session = SignOn();
    std::string clsid, codeBase;
    ASSERT_TRUE(session->GetScreenRegistration("OE1100", 1, clsid, codeBase));
    EXPECT_EQ(clsid, kOE1100Clsid);
    ASSERT_TRUE(session->GetScreenRegistration("IC1900", 0, clsid, codeBase));
    EXPECT_EQ(clsid, kIC1900Clsid);

    std::string none = "untouched";
    EXPECT_FALSE(session->GetScreenRegistration("XX9999", 0, none, none));
    EXPECT_EQ(none, "untouched");

    std::string t1, t2, t3;
    session->PrepareScreen("IC1900", "ITEMNO=A1-103/0\n", t1, t2, t3);
    EXPECT_EQ(t1 + " " + t2 + " " + t3, "IC1900 " + std::string(kIC1900Clsid) + " " + codeBase);
    EXPECT_EQ(RaisedBy([&] { session->PrepareScreen("XX9999", "", t1, t2, t3); }).Number(),
              kErrScreenNotRegistered);
    EXPECT_EQ(session->Errors().Count(), 1);

    EXPECT_EQ(LocalSession::FromLauncherText(session->LauncherText()), session);
    EXPECT_EQ(LocalSession::FromLauncherText("garbage"), nullptr);
}

// ---- CreateSession: remembered sign-on and the prompt -----------------------------------

class CreateSessionTest : public ::testing::Test {
protected:
    void SetUp() override { Installation().InstallDemo(false); }

    struct Result {
        int32_t id = -1;
        std::shared_ptr<accpac::Session> session;
    };
    Result Create(LocalSessionManager& manager) {
        Result r;
        manager.CreateSession("", r.id, r.session);
        return r;
    }

    TempMachine machine_;
};

// Without the prompt option: the remembered sign-on needs no prompt; a remembered user
// that is gone leads to the prompt; with nothing remembered and no prompt, no session.
TEST_F(CreateSessionTest, RememberedSignonOrThePrompt) {
    const struct {
        const char* remembered;  // the user remembered for SAMLTD; nullptr: none
        bool prompt;             // a prompt that answers SYSOP is installed
        int prompts;
        const char* user;  // of the session; "": none
    } cases[] = {{"SYSOP", true, 0, "SYSOP"}, {"GHOST", true, 1, "SYSOP"}, {nullptr, false, 0, ""}};
    for (const auto& c : cases) {
        if (c.remembered)
            LocalSessionManager::RememberSignon(c.remembered, "SAMLTD");
        else
            LocalSessionManager::ForgetSignon();
        int prompts = 0;
        SignonPromptHook prompt;
        if (c.prompt)
            prompt = [&](const SignonPromptRequest&) {
                ++prompts;
                return std::optional<SignonCredentials>({"SYSOP", kDemoSysopPassword, "SAMLTD"});
            };
        LocalSessionManager manager(prompt);
        Result r = Create(manager);
        EXPECT_EQ(prompts, c.prompts) << c.user;
        EXPECT_EQ(r.session ? r.session->UserID() : "", c.user);
        EXPECT_EQ(r.id > 0, r.session != nullptr);
        EXPECT_EQ(manager.LastError().empty(), r.session != nullptr);
        if (r.session) {
            EXPECT_NE(Create(manager).id, r.id);
        }
    }
}

TEST_F(CreateSessionTest, PromptWhenAskedOrNothingRemembered) {
    std::vector<SignonPromptRequest> requests;
    std::optional<SignonCredentials> answer;
    LocalSessionManager manager([&](const SignonPromptRequest& request) {
        requests.push_back(request);
        return answer;
    });
    manager.SetSignonPrompt(true);

    // Cancel: no session, no error.
    Result cancelled = Create(manager);
    EXPECT_TRUE(cancelled.session == nullptr && cancelled.id == 0);
    EXPECT_EQ(manager.LastError(), "");
    ASSERT_EQ(requests.size(), 1u);
    // The remembered sign-on is proposed.
    EXPECT_EQ(requests[0].userID + "@" + requests[0].companyID, "SYSOP@SAMLTD");
    ASSERT_EQ(requests[0].companies.size(), 2u);
    EXPECT_EQ(requests[0].check({"SYSOP", "bad", "SAMLTD"}),
              "The password of user \"SYSOP\" is not correct.");
    EXPECT_EQ(requests[0].check({"ADMIN", kDemoAdminPassword, "SAMINC"}), "");

    // A failed sign-on: no session, the reason kept.
    answer = SignonCredentials{"ADMIN", "bad", "SAMINC"};
    EXPECT_EQ(Create(manager).session, nullptr);
    EXPECT_NE(manager.LastError().find("not correct"), std::string::npos);

    // Success is remembered, without the password.
    answer = SignonCredentials{"admin", kDemoAdminPassword, "saminc"};
    Result ok = Create(manager);
    ASSERT_NE(ok.session, nullptr);
    EXPECT_EQ(ok.session->CompanyID(), "SAMINC");
    auto remembered = LocalSessionManager::RememberedSignon();
    ASSERT_TRUE(remembered);
    EXPECT_EQ(remembered->userID + "@" + remembered->companyID, "ADMIN@SAMINC");
    const std::string hive = lumaro::test::ReadFile(machine_.path() / "HKEY_CURRENT_USER.reg");
    // The sign-on key holds the user and the company, nothing else.
    const std::string key = hive.substr(hive.find("\\Signon]"));
    EXPECT_EQ(std::count(key.begin(), key.end(), '='), 2) << key;

    // Nothing remembered: the prompt is asked even without the option.
    LocalSessionManager::ForgetSignon();
    manager.SetSignonPrompt(false);
    requests.clear();
    EXPECT_NE(Create(manager).session, nullptr);
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].userID, "");
}

TEST_F(CreateSessionTest, DamagedSiteFileIsReportedClearly) {
    const std::string file = Site::Load().FileName();
    const std::pair<const char*, const char*> cases[] = {
        {"not json at all", "is damaged"},
        {"{\"users\": [{\"name\": \"no id\"}]}", "user entry 1 has no \"id\""},
        {"{\"users\": [{\"id\": \"X\", \"salt\": \"00\", \"hash\": \"00\"}]}",
         "no valid \"iterations\""},
        {"{\"companies\": [{\"id\": \"A\"}]}", "company A has no \"database\""},
    };
    LocalSessionManager manager;
    auto signon = [&] { manager.Signon({"SYSOP", kDemoSysopPassword, "SAMLTD"}); };
    for (const auto& [content, reason] : cases) {
        lumaro::test::WriteFile(file, content);
        EXPECT_TRUE(Raises(signon, kErrSiteDamaged, reason));
    }
    std::filesystem::remove(file);
    EXPECT_NE(RaisedBy(signon).Description().find("cannot be found"), std::string::npos);
}

// Missing, damaged or locked, the company's file is a clear error naming the company.
TEST_F(CreateSessionTest, UnusableCompanyDatabaseIsAClearErrorInTheSessionsList) {
    const std::string file = CompanyFile("SAMINC");
    const std::string saved = lumaro::test::ReadFile(file);
    QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { std::filesystem::remove(file); }, "does not exist"},
        {[&] { lumaro::test::WriteFile(file, std::string(4096, 'x')); }, "is not a database"},
        {[&] { lumaro::test::WriteFile(file, ""); }, "is not a company database"},
        {[&] {
             std::filesystem::remove(file);
             std::filesystem::create_directory(file);
         },
         "is not a database file"},
        {[&] {
             lumaro::test::WriteFile(file, saved);
             locker.setDatabaseName(QString::fromStdString(file));
             ASSERT_TRUE(locker.open() && QSqlQuery(locker).exec("BEGIN EXCLUSIVE"));
         },
         "locked"},
    };
    for (const auto& [spoil, reason] : cases) {
        spoil();
        auto session = SignOn("SAMINC");
        EXPECT_TRUE(Raises([&] { session->OpenDBLink(1, 1); }, kErrCompanyDatabase, reason));
        ASSERT_EQ(session->Errors().Count(), 1) << reason;  // naming the company
        EXPECT_NE(session->Errors().Item(0).message.find("SAMINC"), std::string::npos) << reason;
        std::filesystem::remove_all(file);
    }
    locker.close();
    locker = QSqlDatabase();
    QSqlDatabase::removeDatabase("locker");
    lumaro::test::WriteFile(file, saved);
    EXPECT_NE(SignOn("SAMINC")->OpenDBLink(1, 1), nullptr);
}
