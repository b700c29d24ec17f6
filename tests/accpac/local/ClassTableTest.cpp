#include <gtest/gtest.h>

#include "LocalTestSupport.h"
#include "accpac/LateBound.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/LocalPlatform.h"
#include "accpac/local/Registry.h"
#include "accpac/local/SpyTarget.h"
#include "winapi/ComText.h"

using namespace accpac::local;
using lumaro::test::RaisedBy;

namespace {

// Stands in for the Order Entry screen control, whose factory the GUI library registers.
struct FakeScreen : QObject {
    using QObject::QObject;
};

}  // namespace

class ClassTableTest : public lumaro::test::SharedDemo {
protected:
    void SetUp() override { SpyTarget::ClearCalls(); }
    void TearDown() override { Installation::RegisterTraceTarget(false); }
    LocalPlatform platform_;
};

// The calls a trace target records are checked where the registration helper traces its steps.
TEST_F(ClassTableTest, TraceTargetIsCreatedOnlyWhileRegisteredAndLogsItsCalls) {
    Installation::RegisterTraceTarget(true);
    std::unique_ptr<QObject> spy(platform_.CreateObject("Accpac.SpyTarget", nullptr));
    ASSERT_NE(spy, nullptr);
    accpac::CallByName(spy.get(), "ReportEvent", {"sClsID : {X}", QVariant()});
    EXPECT_NE(lumaro::test::ReadFile(SpyTarget::LogFile().toStdString())
                  .find("ReportEvent(sClsID : {X})"),
              std::string::npos);
    Installation::RegisterTraceTarget(false);
    EXPECT_TRUE(lumaro::test::Raises([&] { platform_.CreateObject("Accpac.SpyTarget", nullptr); },
                                     429, "ActiveX component can't create object"));
}

TEST_F(ClassTableTest, ScreenControlsAreCreatedThroughATemporaryProgID) {
    ClassTable::Instance().Register(kOE1100Clsid, kOE1100ProgID, [](QObject* parent) -> QObject* {
        return new FakeScreen(parent);
    });
    // The installation registered the class: its ProgID is known from its class ID.
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromString(winapi::Widen(kOE1100Clsid).c_str(), &clsid), S_OK);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(clsid, &progId), S_OK);
    EXPECT_EQ(winapi::Narrow(progId), kOE1100ProgID);
    CoTaskMemFree(progId);

    // A temporary ProgID pointing at the class creates it while it is registered.
    const std::string temporary = std::string(kOE1100ProgID) + ".42";
    EXPECT_EQ(RaisedBy([&] { platform_.CreateObject(temporary, nullptr); }).Number(), 429);
    registry::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + temporary, "", kOE1100ProgID);
    registry::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + temporary + "\\Clsid", "",
                          kOE1100Clsid);
    std::unique_ptr<QObject> screen(platform_.CreateObject(temporary, nullptr));
    EXPECT_NE(dynamic_cast<FakeScreen*>(screen.get()), nullptr);
    registry::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + temporary);
    EXPECT_EQ(RaisedBy([&] { platform_.CreateObject(temporary, nullptr); }).Number(), 429);
}

TEST_F(ClassTableTest, ControlInstallerAcceptsOnlyClassesThePlatformKnows) {
    auto installer = platform_.CreateControlInstaller();
    installer->Install(kSpyTargetClsid, "x.ocx", 0);
    installer->Install("{d9cfdca0-7d0c-4df8-a8da-8236499834c1}", "", 0);  // class IDs ignore case
    EXPECT_EQ(RaisedBy([&] {
                  installer->Install("{00000000-0000-0000-0000-000000000001}", "x.ocx", 0);
              }).Number(),
              429);
}
