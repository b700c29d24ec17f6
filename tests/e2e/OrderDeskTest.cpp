// The whole program on a fresh demo installation, walked as a clerk walks it, and each
// way start-up can fail with its message and its ending.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "accpac/Twips.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/Installation.h"
#include "accpac/local/Registry.h"
#include "accpac/local/ui/DetailList.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "accpac/local/ui/OrderEntryScreen.h"
#include "ado/AdoTestUtil.h"
#include "app/AppTestSupport.h"
#include "app/frmOEEntry.h"
#include "panel/QuantityPanel.h"
#include "winapi/MachineFolder.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

namespace lumaro {
namespace {

using accpac::local::OrderEntryScreen;
using accpac::local::OrderLinesModel;

const std::string kRegistryMessage =
    "System Error. The current user does not have permission to add or remove registry keys to "
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes. Please grant the current user 'Full Control' "
    "permissions to "
    "registry key HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes in order to use Lumaro.";

class OrderDeskTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::DemoMachine::WriteSettings("SAMLTD", test::DemoMachine::SQLiteConnection("SAMLTD"));
    }

    // Types into the cell editor open on the current line and hands the text over.
    static void Type(OrderEntryScreen& screen, const QString& text) {
        QLineEdit* editor = nullptr;
        for (auto* edit : screen.DetailList()->viewport()->findChildren<QLineEdit*>())
            if (edit->isVisible()) editor = edit;
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    test::DemoMachine demo;
};

// One walk through the program: each step checks only how the window, the hosted screen
// and the panel are wired together; the panel's own tests hold what it shows and why.
TEST_F(OrderDeskTest, AClerkLooksUpQuantitiesAndZoomsToTheInquiry) {
    auto window = std::make_unique<frmOEEntry>("");  // as main() starts it
    window->Load();
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Panel().adsOEORDD() != nullptr; }));
    // The temporary registration for the hosted screen is gone once it runs.
    EXPECT_FALSE(accpac::local::registry::KeyExists(
        HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + accpac::local::kOE1100ProgID +
                                "." + std::to_string(window->SessionID())));
    EXPECT_EQ(window->windowTitle(), "SAMLTD - Lumaro");
    EXPECT_TRUE(demo.messages.messages.empty());
    auto* screen = qobject_cast<OrderEntryScreen*>(window->ctlDynamic()->Object());
    ASSERT_NE(screen, nullptr);
    QuantityPanel& panel = window->Panel();

    // An item typed on a new line reaches the panel; F5 reads it again after another user
    // changed it; Alt+3 opens the committed inquiry.
    QTest::mouseClick(screen->AddLineButton(), Qt::LeftButton);
    Type(*screen, accpac::local::kDemoItemFormatted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.RememberedItemKey() != "~"; }));
    const double onOrder = panel.afeICLOCIqtyonorder->Value().ToDouble();
    ado::test::OpenQuery(panel.ExternalConnection(),
                         std::string("UPDATE ICILOC SET QTYONORDER = QTYONORDER + 7 WHERE "
                                     "LOCATION = 'WH1' AND ITEMNO = '") +
                             accpac::local::kDemoItemStored + "'");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(panel.afeICLOCIqtyonorder->Value().ToDouble(), onOrder + 7);
    EXPECT_EQ(panel.btnCommittedZoom->toolTip(),
              QString("Committed quantities of %1 at WH1 (Alt+3)")
                  .arg(accpac::local::kDemoItemFormatted));
    QTest::keyClick(window.get(), Qt::Key_3, Qt::AltModifier);
    accpac::local::InquiryScreen* inquiry = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<accpac::local::InquiryScreen*>(w)) inquiry = s;
    ASSERT_NE(inquiry, nullptr);
    EXPECT_TRUE(inquiry->ItemText().contains(accpac::local::kDemoItemFormatted));
    inquiry->close();

    // A quantity typed beyond what is available shows the order's shortage at once.
    const int available = static_cast<int>(panel.afeICLOCIqtyavail->Value().ToDouble());
    auto* list = screen->DetailList();
    list->EditCell(list->currentIndex().row(), OrderLinesModel::ColQuantity);
    Type(*screen, QString::number(available + 18));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.ShortageText().empty(); }));
    EXPECT_NE(panel.ShortageText().find(": short 18.00"), std::string::npos)
        << panel.ShortageText();

    // The window gave the panel the order header: another order reads the item again.
    screen->HeaderSource()->RaiseRecordChanged(accpac::ReasonRecordChanged);
    EXPECT_EQ(panel.RememberedItemKey(), "~");

    // File > Close shuts down.
    auto connection = panel.ExternalConnection();
    window->mnuFile_Close()->trigger();
    EXPECT_EQ(window->State(), frmOEEntry::StartState::Closed);
    EXPECT_EQ(connection->State(), ado::adStateClosed);
}

TEST_F(OrderDeskTest, WindowSizeAndPanelPlacement) {
    auto window = std::make_unique<frmOEEntry>("");
    window->Load();
    ASSERT_EQ(window->State(), frmOEEntry::StartState::Running);
    QuantityPanel& panel = window->Panel();
    // Before the first resize handling fits the screen to it.
    const accpac::TwipsRect screen = accpac::TwipsGeometry(window->ctlDynamic());
    const int panelHeight = accpac::TwipsGeometry(panel.frmQTY).height;
    EXPECT_NEAR(window->OuterHeightTwips(), screen.height + 1020 + panelHeight, 30);
    EXPECT_NEAR(window->OuterWidthTwips(), screen.width + 100, 30);

    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.adsOEORDD() != nullptr; }));
    auto* orders = qobject_cast<OrderEntryScreen*>(window->ctlDynamic()->Object());
    ASSERT_NE(orders, nullptr);
    auto at = [&](QWidget* w) { return QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size()); };
    // Under the Save button, from its left edge to the Close button's right edge; no
    // caption cut.
    const QRect frame = at(panel.frmQTY), save = at(orders->SaveButton());
    EXPECT_NEAR(frame.top(), save.bottom() + accpac::TwipsToPixelsY(100), 2);
    EXPECT_NEAR(frame.left(), save.left(), 2);
    EXPECT_NEAR(frame.right(), at(orders->CloseButton()).right(), 2);
    for (QLabel* label : {panel.lblQtyOnHand, panel.lblQtyOnSalesOrder, panel.lblQtyOnPurchase,
                          panel.lblQtyCommitted, panel.lblQtyAvailable})
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();

    // Squeezed, the window keeps every button and the whole panel; enlarged, the extra
    // room goes to the lines.
    const QSize start = window->size();
    const int linesHeight = orders->DetailList()->height();
    for (QSize size : {QSize(10, 10), start + QSize(0, 200)}) {
        window->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == size.expandedTo(start); }));
        for (QWidget* w : std::initializer_list<QWidget*>{orders->SaveButton(),
                                                          orders->CloseButton(), panel.frmQTY})
            EXPECT_TRUE(window->rect().contains(at(w))) << w->objectName().toStdString();
    }
    EXPECT_EQ(window->minimumSize(), start);
    EXPECT_EQ(orders->DetailList()->height(), linesHeight + 200);
}

TEST(CommandLineTest, LoginSwitchIsAWholeWordIgnoringCase) {
    EXPECT_TRUE(frmOEEntry::HasLoginSwitch("x /LOGIN y"));
    EXPECT_FALSE(frmOEEntry::HasLoginSwitch("/login2 -login /log"));
}

// ---- Start-up endings -------------------------------------------------------------------------

// Each way start-up ends without the order screen: the window's state, the exit code the
// program gives, and the last message box (title, icon and a part of its text; none when
// the text is empty).
TEST(StartupEndingTest, EachEndingSaysWhyWithItsExitCode) {
    using State = frmOEEntry::StartState;
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        std::function<void(test::DemoMachine&)> arrange;
        const char* commandLine;
        State state;
        int exitCode;
        std::string message, title = "Lumaro";
        MsgIcon icon = MsgIcon::Critical;
        std::string shownError = "";  // the last entry of the platform's error display
    } cases[] = {
        {"cancelled sign-on", [](auto& d) { d.modal = [](QDialog& q) { q.reject(); }; }, "/login",
         State::Closed, 0, ""},
        {"three refused passwords",
         [](auto& d) {
             d.modal = [](QDialog& q) {
                 for (int i = 0; i < accpac::local::kMaxSignonAttempts; ++i) q.accept();
             };
         },
         "/login", State::Ended, 1, "too many attempts"},
        {"no machine folder", [](auto&) { fs::remove_all(winapi::MachineFolder()); }, "",
         State::Ended, 1, "Cannot sign on to Sage Accpac. The platform is not installed"},
        {"platform not installed",
         [](auto&) {
             fs::remove(accpac::local::Installation().ProgramsFolder() + "/runtime/a4wapi.dll");
         },
         "", State::Ended, 1, "Sage Accpac is not installed."},
        {"settings file cannot be created",
         [](auto&) {
             const fs::path ini = fs::path(accpac::local::Installation().SharedDataFolder()) /
                                  "COMPANY/OstrelLumaro.ini";
             fs::remove(ini);
             // A link into a folder that does not exist: neither found nor created.
             fs::create_symlink("/nonexistent-folder/OstrelLumaro.ini", ini);
         },
         "", State::Ended, 1,
         "OstrelLumaro.ini cannot be created: it is a link to /nonexistent-folder/"},
        {"SYSOP answers No to the first-run question",
         [](auto&) { test::DemoMachine::WriteSettings("SAMLTD", ""); }, "", State::Ended, 1,
         "lumaro-admin settings set --company SAMLTD", "Lumaro", MsgIcon::Information},
        {"Order Entry not active",
         [](auto&) {
             accpac::local::Installation().CreateCompany({"NOOE", "No Order Entry Ltd.", {"OE"}});
             test::DemoMachine::WriteSettings("NOOE",
                                              test::DemoMachine::SQLiteConnection("SAMLTD"));
             accpac::local::LocalSessionManager::RememberSignon("SYSOP", "NOOE");
         },
         "", State::Closed, 1, "Sage Accpac Order Entry is not active.", "Error"},
        {"Inventory Control not active",
         [](auto&) {
             test::DemoMachine::WriteSettings("SAMINC",
                                              test::DemoMachine::SQLiteConnection("SAMLTD"));
             accpac::local::LocalSessionManager::RememberSignon("SYSOP", "SAMINC");
         },
         "", State::Closed, 1, "Sage Accpac Inventory Control is not active."},
        {"unreachable external database",
         [](auto&) {
             test::DemoMachine::WriteSettings(
                 "SAMLTD", "Provider=SQLite;Data Source=/nonexistent/folder/quantities.db");
         },
         "", State::Ended, 1, " ", "Lumaro", MsgIcon::Exclamation},
        // The registration failure is shown through the platform's error display instead.
        {"read-only classes hive",
         [](auto&) {
             fs::permissions(winapi::HiveFilePath(HKEY_CLASSES_ROOT), fs::perms::owner_read);
         },
         "", State::Ended, 1, "", "", MsgIcon::Critical, kRegistryMessage},
    };
    for (const Case& c : cases) {
        test::DemoMachine demo;
        test::DemoMachine::WriteSettings("SAMLTD", test::DemoMachine::SQLiteConnection("SAMLTD"));
        c.arrange(demo);
        frmOEEntry window(c.commandLine);
        window.Load();
        EXPECT_EQ(window.State(), c.state) << c.what;
        EXPECT_EQ(window.StartupExitCode(), c.exitCode);
        EXPECT_EQ(demo.shownErrors.empty() ? "" : demo.shownErrors.back(), c.shownError);
        if (c.message.empty()) {
            EXPECT_TRUE(demo.messages.messages.empty()) << demo.messages.messages[0].text;
            continue;
        }
        ASSERT_FALSE(demo.messages.messages.empty());
        const Message& m = demo.messages.messages.back();
        EXPECT_NE(m.text.find(c.message), std::string::npos) << m.text;
        EXPECT_EQ(m.title, c.title);
        EXPECT_EQ(m.icon, c.icon);
    }
}

}  // namespace
}  // namespace lumaro
