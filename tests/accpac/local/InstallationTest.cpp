#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlQuery>

#include "LocalTestSupport.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Registry.h"
#include "accpac/local/Site.h"

using namespace accpac::local;
using lumaro::test::CompanyFile;
using lumaro::test::RaisedBy;
using lumaro::test::Raises;
using lumaro::test::TempMachine;

class DemoInstallationTest : public lumaro::test::SharedDemo {};

TEST_F(DemoInstallationTest, CreatesConfigurationRuntimeSiteAndRememberedSignon) {
    Installation installation;
    const PlatformConfiguration configuration = PlatformConfiguration::Read();
    EXPECT_EQ(configuration.programs, installation.ProgramsFolder());
    EXPECT_EQ(configuration.sharedData, installation.SharedDataFolder());
    EXPECT_TRUE(
        QFile::exists(QString::fromStdString(configuration.RuntimeFolder() + "/a4wapi.dll")));

    // Users, companies and the remembered sign-on are those the sign-on tests use. The site
    // keeps salted hashes only: two users with their own salts, no password.
    const Site site = Site::Load();
    ASSERT_TRUE(site.FindUser("ADMIN") && site.FindUser("SYSOP"));
    EXPECT_NE(site.FindUser("ADMIN")->salt, site.FindUser("SYSOP")->salt);
    EXPECT_EQ(lumaro::test::ReadFile(site.FileName()).find("\"password\""), std::string::npos);

    EXPECT_EQ(RaisedBy([] { Installation().InstallDemo(false); }).Number(), kErrInstallation);
}

TEST_F(DemoInstallationTest, EveryLocationQuantityMatchesItsDocuments) {
    CompanyDatabase db("SAMLTD", CompanyFile("SAMLTD"));
    std::vector<std::pair<std::string, std::string>> rows;
    {
        QSqlQuery q = db.Exec("SELECT ITEMNO, LOCATION FROM ICILOC");
        while (q.next())
            rows.emplace_back(q.value(0).toString().toStdString(),
                              q.value(1).toString().toStdString());
    }
    EXPECT_GT(rows.size(), 300u);
    for (const auto& [itemNo, location] : rows) {
        auto quantities = db.FindItemLocation(itemNo, location);
        ASSERT_TRUE(quantities.has_value());
        auto sum = [&](InquiryDocType kind) {
            double total = 0;
            for (const auto& d : db.InquiryDocuments(itemNo, location, kind)) total += d.quantity;
            return total;
        };
        ASSERT_EQ(quantities->qtySalesOrder, sum(kDocSalesOrders)) << itemNo;
        ASSERT_EQ(quantities->qtyCommitted, sum(kDocCommitted)) << itemNo;
        ASSERT_EQ(quantities->qtyOnOrder, sum(kDocPurchaseOrders)) << itemNo;
    }
    EXPECT_EQ(db.QuantityDecimals(), 2);
}

// The company file comes out byte for byte the same on every run.
TEST(InstallationTest, DemoDataIsTheSameOnEveryRun) {
    std::string files[2];
    for (std::string& file : files) {
        TempMachine machine;
        Installation().InstallDemo(false);
        file = lumaro::test::ReadFile(CompanyFile("SAMLTD"));
    }
    EXPECT_GT(files[0].size(), 10000u);
    EXPECT_TRUE(files[0] == files[1]);
}

TEST(InstallationTest, ForceStartsAgainFromNothing) {
    TempMachine machine;
    Installation installation;
    installation.InstallDemo(false);
    installation.CreateCompany({"EXTRA", "Extra Ltd.", {}});
    installation.InstallDemo(true);
    const Site site = Site::Load();
    EXPECT_EQ(site.FindCompany("EXTRA"), nullptr);
    EXPECT_NE(site.FindCompany("SAMLTD"), nullptr);
    EXPECT_FALSE(
        QDir(QString::fromStdString(installation.SharedDataFolder() + "/COMPANY/EXTRA")).exists());
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
    for (const accpac::ActiveApplication& app : company->applications)
        EXPECT_EQ(app.active, app.appId != "IC") << app.appId;
    CompanyDatabase db("NEW1", site.DatabaseFile(*company));
    EXPECT_EQ(db.DefaultLocation(), "WH1");

    const std::pair<CompanyOptions, const char*> cases[] = {
        {{"NEW1", "Again", {}}, "exists already"},
        {{"TOOLONG", "x", {}}, "1 to 6 letters or digits"},
        {{"A B", "x", {}}, "1 to 6 letters or digits"},
        {{"", "x", {}}, "1 to 6 letters or digits"},
        {{"OK2", "x", {"GL"}}, "no application"},
    };
    for (const auto& [options, reason] : cases)
        EXPECT_TRUE(Raises([&] { installation.CreateCompany(options); }, kErrInstallation, reason));
    EXPECT_EQ(Site::Load().Companies().size(), 1u);
}
