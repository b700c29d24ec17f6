// The temporary control registration, on the registry store of a demo machine.

#include <gtest/gtest.h>

#include <algorithm>

#include "AppTestSupport.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/Registry.h"
#include "accpac/local/SpyTarget.h"
#include "app/AccpacOcxRegHelper.h"
#include "common/RuntimeError.h"
#include "winapi/MachineFolder.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

namespace lumaro {
namespace {

using accpac::local::kOE1100Clsid;
using accpac::local::kOE1100ProgID;

std::string DefaultValue(const std::string& path) {
    return accpac::local::registry::ReadString(HKEY_LOCAL_MACHINE, path, "").value_or("<none>");
}

TEST(AccpacOcxRegHelperTest, RegistersTheTemporaryProgIDAndRemovesItAgain) {
    test::DemoMachine demo;
    AccpacOcxRegHelper helper;
    std::string id;
    const unsigned long writes = winapi::RegistryBatch::WriteCount();
    ASSERT_TRUE(helper.SetProgID("42", kOE1100Clsid, id));
    EXPECT_EQ(winapi::RegistryBatch::WriteCount() - writes, 1u);  // one write of the hive
    const std::string temp = std::string(kOE1100ProgID) + ".42";
    EXPECT_EQ(id, temp);
    EXPECT_EQ(DefaultValue("Software\\Classes\\" + temp), kOE1100ProgID);
    EXPECT_EQ(DefaultValue("Software\\Classes\\" + temp + "\\Clsid"), kOE1100Clsid);

    // Resolved like any other ProgID while it exists.
    CLSID clsid{};
    std::u16string wide(temp.begin(), temp.end());
    EXPECT_EQ(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(wide.c_str()), &clsid), S_OK);

    helper.ClearProgID(id);
    EXPECT_EQ(winapi::RegistryBatch::WriteCount() - writes, 2u);
    EXPECT_EQ(DefaultValue("Software\\Classes\\" + temp), "<none>");
    EXPECT_EQ(DefaultValue("Software\\Classes\\" + temp + "\\Clsid"), "<none>");
    helper.ClearProgID(id);  // again: only failing deletions, no error
}

TEST(AccpacOcxRegHelperTest, FailuresGiveFalseAndLeaveTheIDAlone) {
    test::DemoMachine demo;
    AccpacOcxRegHelper helper;
    std::string id;
    // A class without a registered ProgID would register ".<session>" alone.
    EXPECT_FALSE(helper.SetProgID("7", "{00000000-0000-0000-0000-000000000001}", id));
    EXPECT_FALSE(helper.SetProgID("7", "not a class id", id));
    EXPECT_EQ(id, "");
    EXPECT_THROW(helper.SetProgID("seven", kOE1100Clsid, id), RuntimeError);

    // An empty code base needs no installer; an unknown class cannot be installed.
    EXPECT_TRUE(helper.InstallControl("{00000000-0000-0000-0000-000000000001}", "", 0));
    EXPECT_FALSE(
        helper.InstallControl("{00000000-0000-0000-0000-000000000001}", "http://x/y.cab", 0));
    EXPECT_TRUE(helper.InstallControl(kOE1100Clsid, "a4wOE.cab", 0));
}

TEST(AccpacOcxRegHelperTest, TracesEveryStepWhenATraceTargetIsRegistered) {
    test::DemoMachine demo;
    auto registrationOf = [&](bool traced) {
        accpac::local::Installation::RegisterTraceTarget(traced);
        accpac::local::SpyTarget::ClearCalls();
        std::string clsid, codeBase, id;
        {
            AccpacOcxRegHelper helper;
            auto session =
                accpac::local::LocalSessionManager().Signon({"SYSOP", "SYSOP", "SAMLTD"});
            EXPECT_TRUE(helper.GetClsID(*session, "OE1100", clsid, codeBase));
            EXPECT_TRUE(helper.InstallControl(clsid, codeBase, 0));
            EXPECT_TRUE(helper.SetProgID("9", clsid, id));
            helper.ClearProgID(id);
        }
        std::vector<std::string> calls;
        for (const auto& call : accpac::local::SpyTarget::Calls())
            calls.push_back(call.Text().toStdString());
        return calls;
    };
    EXPECT_TRUE(registrationOf(false).empty());
    const std::vector<std::string> traced = registrationOf(true);
    ASSERT_GE(traced.size(), 4u);
    EXPECT_EQ(traced.front(), "Init(a4wContainerCtrl, OcxRegHelper)");
    EXPECT_EQ(traced.back(), "Deactivate()");
    // Each step's context and the temporary ProgID it made and removed.
    const std::string temp = std::string(kOE1100ProgID) + ".9";
    for (const std::string& expected :
         std::vector<std::string>{"BeginContext(GetClsID)", "EndContext(CreateRegEntry)",
                                  "ReportEvent(ProgID : " + temp + ")",
                                  "ReportEvent(DeleteTempRegEntry : " + temp + ")"})
        EXPECT_NE(std::find(traced.begin(), traced.end(), expected), traced.end()) << expected;
}

}  // namespace
}  // namespace lumaro
