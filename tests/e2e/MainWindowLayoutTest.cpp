// The whole window on a demo order: the panel sits under the screen's buttons and no
// caption of the panel is cut. With LUMARO_SCREENSHOT_DIR set, the window is also saved
// there as main-window.png.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTest>

#include "accpac/local/ui/OrderEntryScreen.h"
#include "app/AppTestSupport.h"
#include "app/frmOEEntry.h"
#include "panel/QuantityPanel.h"

namespace lumaro {
namespace {

TEST(MainWindowLayoutTest, PanelCaptionsFitOnADemoOrder) {
    test::DemoMachine demo;
    test::DemoMachine::WriteSettings("SAMLTD", test::DemoMachine::SQLiteConnection("SAMLTD"));
    frmOEEntry window("");
    window.Load();
    ASSERT_EQ(window.State(), frmOEEntry::StartState::Running);
    window.show();
    QuantityPanel& panel = window.Panel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.adsOEORDD() != nullptr; }));

    // The clerk opens a saved order; its first line's item is looked up.
    auto* screen = qobject_cast<accpac::local::OrderEntryScreen*>(window.ctlDynamic()->Object());
    ASSERT_GT(screen->OrderNumberCombo()->count(), 1);
    ASSERT_TRUE(screen->OpenOrder(screen->OrderNumberCombo()->itemText(1)));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return panel.RememberedItemKey() != "~" && !panel.RememberedItemKey().empty(); }));

    for (QLabel* label : {panel.lblQtyOnHand, panel.lblQtyOnSalesOrder, panel.lblQtyOnPurchase,
                          panel.lblQtyCommitted, panel.lblQtyAvailable}) {
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        EXPECT_TRUE(label->geometry().right() < panel.frmQTY->width())
            << label->text().toStdString();
    }
    EXPECT_TRUE(panel.frmQTY->isVisible());
    EXPECT_LE(panel.frmQTY->geometry().bottom(), window.centralWidget()->height())
        << "the panel is inside the window";

    const QString folder = qEnvironmentVariable("LUMARO_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    EXPECT_TRUE(window.grab().save(folder + "/main-window.png"));
}

}  // namespace
}  // namespace lumaro
