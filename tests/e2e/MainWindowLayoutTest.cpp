// The whole window on a demo order: the panel sits under the screen's buttons and no
// caption of the panel is cut. With LUMARO_SCREENSHOT_DIR set, the window is also saved
// there as main-window.png.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "accpac/local/ui/DetailList.h"
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

    // Squeezed, the window keeps every button and the whole panel; enlarged, the extra
    // room goes to the lines.
    auto inside = [&](QWidget* w) {
        return window.rect().contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size()));
    };
    const QSize start = window.size();
    const int linesHeight = screen->DetailList()->height();
    for (QSize size : {QSize(10, 10), start + QSize(0, 200)}) {
        window.resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == size.expandedTo(start); }));
        for (QWidget* w : std::initializer_list<QWidget*>{screen->SaveButton(),
                                                          screen->CloseButton(), panel.frmQTY})
            EXPECT_TRUE(inside(w)) << w->objectName().toStdString();
    }
    EXPECT_EQ(window.minimumSize(), start);
    EXPECT_EQ(screen->DetailList()->height(), linesHeight + 200);
    window.resize(start);

    const QString folder = qEnvironmentVariable("LUMARO_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    EXPECT_TRUE(window.grab().save(folder + "/main-window.png"));
}

}  // namespace
}  // namespace lumaro
