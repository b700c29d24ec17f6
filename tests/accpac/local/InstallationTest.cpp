#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdlib>
#include <set>
#include <gtest/gtest.h>

#include "LocalTestSupport.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Registry.h"
#include "accpac/local/Site.h"
#include "ado/Ado.h"

using namespace accpac::local;
using lumaro::test::RaisedBy;
using lumaro::test::TempMachine;

namespace {

constexpr const char* kFirstRunQuery =
    "SELECT (QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST) AS QTONHAND,QTYONORDER AS QTONORDER,QTYSALORDR AS "
    "QTSALORDR,(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST-QTYCOMMIT) AS QTAVAIL,QTYCOMMIT AS QTCOMMIT FROM ICILOC "
    "WHERE ITEMNO='%s' AND LOCATION='%s'";

std::string FirstRunQuery(const std::string& item, const std::string& location) {
    std::string sql = kFirstRunQuery;
    sql.replace(sql.find("%s"), 2, item);
    sql.replace(sql.find("%s"), 2, location);
    return sql;
}

std::string CompanyFile(const std::string& id) {
    Site site = Site::Load();
    return site.DatabaseFile(*site.FindCompany(id));
}

// Every row of the tables that make up the demo data, as text.
std::string Dump(const std::string& file) {
    CompanyDatabase db("DUMP", file);
    std::string text;
    for (const char* table : {"ICITEM", "ICLOC", "ICILOC", "ARCUS", "OEORDH", "OEORDD", "POPORH", "POPORL"}) {
        QSqlQuery q = db.Exec(std::string("SELECT * FROM ") + table + " ORDER BY 1, 2");
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i) text += q.value(i).toString().toStdString() + "|";
            text += "\n";
        }
    }
    return text;
}

double Sum(const std::vector<InquiryDocument>& documents) {
    double total = 0;
    for (const auto& d : documents) total += d.quantity;
    return total;
}

}  // namespace

class DemoInstallationTest : public lumaro::test::SharedDemo {};

TEST_F(DemoInstallationTest, CreatesConfigurationRuntimeSiteAndRememberedSignon) {
    Installation installation;
    ASSERT_TRUE(installation.Exists());
    const PlatformConfiguration configuration = PlatformConfiguration::Read();
    EXPECT_EQ(configuration.programs, installation.ProgramsFolder());
    EXPECT_EQ(configuration.sharedData, installation.SharedDataFolder());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(configuration.RuntimeFolder() + "/a4wapi.dll")));

    const Site site = Site::Load();
    ASSERT_NE(site.FindUser("ADMIN"), nullptr);
    ASSERT_NE(site.FindUser("sysop"), nullptr);
    EXPECT_TRUE(site.CheckPassword("ADMIN", kDemoAdminPassword));
    EXPECT_TRUE(site.CheckPassword("SYSOP", kDemoSysopPassword));
    EXPECT_FALSE(site.CheckPassword("SYSOP", "sysop"));
    // The site keeps salted hashes only: two users with their own salts.
    EXPECT_NE(site.FindUser("ADMIN")->salt, site.FindUser("SYSOP")->salt);
    EXPECT_EQ(lumaro::test::ReadFile(site.FileName()).find("\"password\""), std::string::npos);

    const SiteCompany* samltd = site.FindCompany("SAMLTD");
    ASSERT_NE(samltd, nullptr);
    EXPECT_EQ(samltd->name, "Sample Company Ltd.");
    ASSERT_NE(site.FindCompany("SAMINC"), nullptr);

    auto remembered = LocalSessionManager::RememberedSignon();
    ASSERT_TRUE(remembered.has_value());
    EXPECT_EQ(remembered->userID, "SYSOP");
    EXPECT_EQ(remembered->companyID, "SAMLTD");
    EXPECT_TRUE(remembered->password.empty());

    EXPECT_EQ(RaisedBy([] { Installation().InstallDemo(false); }).Number(), kErrInstallation);
}

TEST_F(DemoInstallationTest, FirstRunQueryReturnsTheFiveQuantitiesOfTheDemoItem) {
    auto connection = std::make_shared<ado::Connection>();
    connection->SetConnectionString(CompanyDatabase::ConnectionString(CompanyFile("SAMLTD")));
    connection->Open();
    ado::Command command;
    command.SetActiveConnection(connection);
    command.SetCommandText(FirstRunQuery(kDemoItemStored, "WH1"));
    command.SetCommandType(ado::adCmdText);
    ado::Recordset rs;
    rs.SetCursorType(ado::adOpenStatic);
    rs.SetLockType(ado::adLockReadOnly);
    rs.Open(command);
    ASSERT_FALSE(rs.IsEOF());
    rs.MoveFirst();
    const double onHand = rs.Fields("QTONHAND").Value().ToDouble();
    const double onOrder = rs.Fields("QTONORDER").Value().ToDouble();
    const double salesOrder = rs.Fields("QTSALORDR").Value().ToDouble();
    const double available = rs.Fields("QTAVAIL").Value().ToDouble();
    const double committed = rs.Fields("QTCOMMIT").Value().ToDouble();
    rs.Close();
    connection->Close();

    // The demo item has stock, receipts, adjustments and shipments not yet costed, active
    // and future orders and open purchase orders at WH1.
    EXPECT_EQ(onHand, 140 + 12 - 2 - 5);
    EXPECT_EQ(available, onHand - committed);
    EXPECT_GT(onOrder, 0);
    EXPECT_GT(committed, 0);
    EXPECT_GT(salesOrder, committed);  // a future order is on order but not committed

    // The figures are the documents behind them.
    CompanyDatabase db("SAMLTD", CompanyFile("SAMLTD"));
    EXPECT_EQ(salesOrder, Sum(db.InquiryDocuments(kDemoItemFormatted, "WH1", kDocSalesOrders)));
    EXPECT_EQ(committed, Sum(db.InquiryDocuments(kDemoItemFormatted, "WH1", kDocCommitted)));
    EXPECT_EQ(onOrder, Sum(db.InquiryDocuments(kDemoItemFormatted, "WH1", kDocPurchaseOrders)));
}

TEST_F(DemoInstallationTest, EveryLocationQuantityMatchesItsDocuments) {
    CompanyDatabase db("SAMLTD", CompanyFile("SAMLTD"));
    std::vector<std::pair<std::string, std::string>> rows;
    {
        QSqlQuery q = db.Exec("SELECT ITEMNO, LOCATION FROM ICILOC");
        while (q.next()) rows.emplace_back(q.value(0).toString().toStdString(), q.value(1).toString().toStdString());
    }
    EXPECT_GT(rows.size(), 300u);
    std::set<std::string> items, locations;
    for (const auto& [itemNo, location] : rows) {
        items.insert(itemNo);
        locations.insert(location);
        auto quantities = db.FindItemLocation(itemNo, location);
        ASSERT_TRUE(quantities.has_value());
        ASSERT_EQ(quantities->qtySalesOrder, Sum(db.InquiryDocuments(itemNo, location, kDocSalesOrders))) << itemNo;
        ASSERT_EQ(quantities->qtyCommitted, Sum(db.InquiryDocuments(itemNo, location, kDocCommitted))) << itemNo;
        ASSERT_EQ(quantities->qtyOnOrder, Sum(db.InquiryDocuments(itemNo, location, kDocPurchaseOrders))) << itemNo;
    }
    EXPECT_GT(items.size(), 200u);
    EXPECT_EQ(locations, (std::set<std::string>{"WH1", "WH2", "WH3"}));
    EXPECT_EQ(db.QuantityDecimals(), 2);
}

TEST(InstallationTest, DemoDataIsTheSameOnEveryRun) {
    std::string first, second;
    {
        TempMachine machine;
        Installation().InstallDemo(false);
        first = Dump(CompanyFile("SAMLTD"));
    }
    {
        TempMachine machine;
        Installation().InstallDemo(false);
        second = Dump(CompanyFile("SAMLTD"));
    }
    EXPECT_GT(first.size(), 10000u);
    EXPECT_EQ(first, second);
}

TEST(InstallationTest, ForceStartsAgainFromNothing) {
    TempMachine machine;
    Installation installation;
    installation.InstallDemo(false);
    installation.CreateCompany({"EXTRA", "Extra Ltd.", {}});
    ASSERT_NE(Site::Load().FindCompany("EXTRA"), nullptr);
    installation.InstallDemo(true);
    const Site site = Site::Load();
    EXPECT_EQ(site.FindCompany("EXTRA"), nullptr);
    EXPECT_NE(site.FindCompany("SAMLTD"), nullptr);
    EXPECT_FALSE(QDir(QString::fromStdString(installation.SharedDataFolder() + "/COMPANY/EXTRA")).exists());
}

TEST(InstallationTest, CreatesCompaniesWithTheirApplications) {
    TempMachine machine;
    Installation installation;
    installation.CreateCompany({"new1", "New Company", {"ic"}});  // creates the platform too
    ASSERT_TRUE(installation.Exists());
    const Site site = Site::Load();
    const SiteCompany* company = site.FindCompany("NEW1");
    ASSERT_NE(company, nullptr);
    EXPECT_EQ(company->name, "New Company");
    for (const accpac::ActiveApplication& app : company->applications) EXPECT_EQ(app.active, app.appId != "IC") << app.appId;
    CompanyDatabase db("NEW1", site.DatabaseFile(*company));
    EXPECT_EQ(db.DefaultLocation(), "WH1");

    struct Case {
        CompanyOptions options;
        const char* reason;
    };
    const Case cases[] = {
        {{"NEW1", "Again", {}}, "exists already"},
        {{"TOOLONG", "x", {}}, "1 to 6 letters or digits"},
        {{"A B", "x", {}}, "1 to 6 letters or digits"},
        {{"", "x", {}}, "1 to 6 letters or digits"},
        {{"OK2", "x", {"GL"}}, "no application"},
    };
    for (const Case& c : cases) {
        auto error = RaisedBy([&] { installation.CreateCompany(c.options); });
        EXPECT_EQ(error.Number(), kErrInstallation) << c.options.id;
        EXPECT_NE(error.Description().find(c.reason), std::string::npos) << error.Description();
    }
    EXPECT_EQ(Site::Load().Companies().size(), 1u);
}

TEST(InstallationTest, AdminCommandInstallsTheDemo) {
    const char* build = std::getenv("LUMARO_BUILD_DIR");
    const QString program = QString(build ? build : "") + "/tools/admin/lumaro-admin";
    if (!build || !QFile::exists(program)) GTEST_SKIP() << "lumaro-admin is not built";
    lumaro::test::TempDir folder;
    QProcess admin;
    admin.start(program, {"--machine", QString::fromStdString(folder.str()), "install", "demo"});
    ASSERT_TRUE(admin.waitForFinished(30000));
    EXPECT_EQ(admin.exitCode(), 0) << admin.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder.str() + "/AccpacData/COMPANY/SAMLTD/SAMLTD.sqlite")));

    admin.start(program, {"--machine", QString::fromStdString(folder.str()), "install", "demo"});
    ASSERT_TRUE(admin.waitForFinished(30000));
    EXPECT_EQ(admin.exitCode(), 1);
    EXPECT_TRUE(admin.readAllStandardError().contains("--force"));

    admin.start(program, {"--machine", QString::fromStdString(folder.str()), "install", "nothing"});
    ASSERT_TRUE(admin.waitForFinished(30000));
    EXPECT_EQ(admin.exitCode(), 2);
}
