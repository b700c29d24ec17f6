// lumaro-admin settings: what set writes is what show, and the program's own settings
// code, read back; test runs the query on the demo company.

#include <QJsonArray>
#include <QJsonObject>

#include "AdminTestSupport.h"
#include "ado/AdoTestUtil.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"

namespace lumaro::test {
namespace {

class SettingsCommandTest : public AdminDemo {};

// Quoting and trimming are the settings file's (ProgramSettingsTest); here each option reaches
// its own key, a second call changes only what it is given, and drilldown texts are read as
// the tool reads them.
TEST_F(SettingsCommandTest, SetThenShowRoundTripsEverySetting) {
    std::string connection = "Provider=SQLite;Data Source=\"/tmp/a;b=c.db\";Pwd='x''y\"z';Extra=";
    for (const std::string filler = "abc=;\"'é "; connection.size() < 1000;)
        connection += filler[connection.size() % filler.size()];
    connection.resize(1000);
    const std::string query = "SELECT 1 AS QTONHAND FROM T WHERE A='%s' AND B=\"%s\"; -- ü=;";
    AdminRun first = RunAdmin({"settings", "set", "--company", "test", "--connection", connection,
                               "--query", query, "--no-test"});
    ASSERT_EQ(first.code, 0) << Describe(first);
    AccpacPaths paths;
    ProgramSettings program([] { return std::string("TEST"); },
                            [&]() -> const AccpacPaths& { return paths; });
    ASSERT_TRUE(program.CreateINIFile());
    EXPECT_EQ(program.QueryTimeout(), kDefaultQueryTimeout);  // a file without the key
    ASSERT_EQ(RunAdmin({"settings", "set", "--company", "test", "--timeout", "42"}).code, 0);
    EXPECT_EQ(program.QueryTimeout(), 42);
    EXPECT_EQ(RunAdmin({"settings", "set", "--company", "test", "--timeout", "0"}).code, 2);
    for (const auto& [text, drilldown] : {std::pair{"TRUE", true}, {"no", false}}) {
        AdminRun set = RunAdmin({"settings", "set", "--company", "test", "--location",
                                 "  Entrepôt Zürich  ", "--drilldown", text, "--no-test"});
        ASSERT_EQ(set.code, 0) << Describe(set);
        AdminRun show = RunAdmin({"settings", "show", "--company", "TEST", "--json", "--reveal"});
        ASSERT_EQ(show.code, 0) << Describe(show);
        const QJsonObject o = show.Json().object();
        const auto expected =
            std::tuple(connection, query, std::string("Entrepôt Zürich"), drilldown);
        EXPECT_EQ(std::tuple(o["connectionString"].toString().toStdString(),
                             o["query"].toString().toStdString(),
                             o["location"].toString().toStdString(), o["drilldown"].toBool()),
                  expected);
        EXPECT_EQ(std::tuple(program.ConnectionString(), program.Query(), program.Location(),
                             program.Drilldown()),
                  expected);  // the program reads the same
    }
}

TEST_F(SettingsCommandTest, ShowMasksPasswordsUnlessRevealed) {
    AdminRun set = RunAdmin({"settings", "set", "--company", "TEST", "--connection",
                             "Server=s;PWD=hunter2;Uid=u", "--no-test"});
    ASSERT_EQ(set.code, 0) << Describe(set);
    AdminRun masked = RunAdmin({"settings", "show", "--company", "TEST"});
    EXPECT_NE(masked.out.find("ConnectionString=Server=s;PWD=****;Uid=u"), std::string::npos)
        << masked.out;
    AdminRun revealed = RunAdmin({"settings", "show", "--company", "TEST", "--reveal"});
    EXPECT_NE(revealed.out.find("PWD=hunter2"), std::string::npos) << revealed.out;

    // All companies: the demo's SAMLTD set up by the installation (ProgramSettingsDemoTest
    // holds its values), SAMINC not set up.
    AdminRun all = RunAdmin({"settings", "show", "--json"});
    ASSERT_EQ(all.code, 0) << Describe(all);
    std::map<std::string, QJsonObject> byCompany;
    for (const QJsonValue& v : all.Json().array())
        byCompany[v["company"].toString().toStdString()] = v.toObject();
    ASSERT_EQ(byCompany.size(), 3u) << all.out;
    EXPECT_FALSE(byCompany["SAMINC"]["configured"].toBool());
    EXPECT_EQ(byCompany["SAMLTD"]["location"].toString(), "WH1");
}

TEST_F(SettingsCommandTest, TestPrintsTheQuantitiesOfAnItem) {
    const std::string item = "A11030";
    AdminRun run = RunAdmin({"settings", "test", "--company", "SAMLTD", "--item", item, "--json"});
    ASSERT_EQ(run.code, 0) << Describe(run);
    QJsonObject o = run.Json().object();
    EXPECT_TRUE(o["found"].toBool());

    // The same statement straight on the database.
    auto connection = std::make_shared<ado::Connection>();
    connection->Open("Provider=SQLite;Data Source=" + DemoDatabase().string());
    auto rs = ado::test::OpenQuery(connection, o["statement"].toString().toStdString());
    ASSERT_FALSE(rs->IsEOF());
    QJsonObject quantities = o["quantities"].toObject();
    ASSERT_EQ(quantities.size(), 5);
    for (const char* column : {"QTONHAND", "QTONORDER", "QTSALORDR", "QTAVAIL", "QTCOMMIT"})
        EXPECT_EQ(quantities[column].toString().toDouble(), rs->Fields(column).Value().ToDouble())
            << column;

    AdminRun text = RunAdmin({"settings", "test", "--company", "SAMLTD", "--item", item});
    ASSERT_EQ(text.code, 0) << Describe(text);
    EXPECT_NE(text.out.find("WHERE ITEMNO='A11030' AND LOCATION='WH1'"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Lookup took "), std::string::npos);
}

// The warnings themselves are the dialog's test too; the slow lookup only shows here.
TEST_F(SettingsCommandTest, TestWarnsAboutSlowLookups) {
    const std::string query =
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<3000000) SELECT "
        "COUNT(*) AS QTONHAND,0 AS QTONORDER,0 AS QTSALORDR,0 AS QTAVAIL,0 AS QTCOMMIT FROM c "
        "WHERE '%s'<>'?' AND '%s'<>'?'";
    AdminRun set = RunAdmin({"settings", "set", "--company", "SAMINC", "--connection",
                             "Provider=SQLite;Data Source=" + DemoDatabase().string(), "--location",
                             "WH1", "--query", query});
    ASSERT_EQ(set.code, 0) << Describe(set);
    AdminRun run = RunAdmin({"settings", "test", "--company", "SAMINC"});
    EXPECT_EQ(run.code, 0) << Describe(run);
    EXPECT_NE(
        run.err.find("more than 20.0 ms for each line change: the query scans C: add an index"),
        std::string::npos)
        << Describe(run);
}

// Each refusal's message is the dialog's test; here the location list of the company read by
// the tool, and --force for a query without any quantity.
TEST_F(SettingsCommandTest, SetRefusesSettingsThatCannotGiveFigures) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;  // a part of it
    } cases[] = {
        {{"--location", "NOPE"}, 1, "Its locations are: WH1"},
        {{"--query", "SELECT 1 AS X WHERE '%s'<>'%s'"}, 1, "--force stores it anyway"},
        {{"--query", "SELECT 1 AS X WHERE '%s'<>'%s'", "--force"}, 0, "none of the columns"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"settings", "set", "--company", "SAMLTD"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        AdminRun run = RunAdmin(args);
        EXPECT_EQ(run.code, c.code) << Describe(run);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << Describe(run);
    }
}

}  // namespace
}  // namespace lumaro::test
