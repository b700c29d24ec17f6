// The inventory inquiry started the way the program starts it: the session's screen
// registration and preparation, then the platform's screen launcher.

#include <gtest/gtest.h>

#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <array>

#include "UiTestSupport.h"
#include "accpac/Platform.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/ui/InquiryScreen.h"

namespace accpac::local {
namespace {

using test::DemoPlatform;
using test::OpenInquiries;

std::string Parameters(const std::string& item, const std::string& location,
                       const std::string& docType) {
    return "ITEMNO=" + item + "\nLOCATION=" + location + "\nDOCTYPE=" + docType + "\n";
}

class InquiryScreenTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (InquiryScreen* s : OpenInquiries()) delete s;
    }

    // The figure the panel shows for the demo item at WH1 (the location's quantity).
    double PanelFigure(int docType) {
        const auto q =
            *demo.session->OpenLocalDBLink()->Database().FindItemLocation(kDemoItemStored, "WH1");
        return std::array{q.qtySalesOrder, q.qtyCommitted, q.qtyOnOrder}[docType - 1];
    }

    DemoPlatform demo;
};

// That the documents add up to the panel's figures is InstallationTest's; here, that the
// screen asks for the documents of the kind launched, and shows and closes as a window.
TEST_F(InquiryScreenTest, ShowsTheDocumentsOfTheKindLaunched) {
    struct Case {
        std::string item, docType;
        QString kind;
    } cases[] = {
        {kDemoItemFormatted, "1", "Sales Orders"},
        {kDemoItemFormatted, "2", "Committed Quantities"},
        {kDemoItemStored, "3", "Purchase Orders"},  // the stored form finds the same item
    };
    QWidget owner;
    owner.show();
    for (const Case& c : cases) {
        InquiryScreen* screen =
            test::LaunchInquiry(*demo.session, Parameters(c.item, "WH1", c.docType), "IC1900",
                                static_cast<int32_t>(owner.winId()));
        ASSERT_NE(screen, nullptr) << c.docType;
        EXPECT_EQ(screen->parentWidget(), &owner);  // a window of its own, above its owner
        EXPECT_TRUE(screen->isWindow());
        EXPECT_EQ(screen->windowTitle(),
                  QString("%1 of %2 at WH1 - SAMLTD").arg(c.kind, kDemoItemFormatted));
        if (c.item == kDemoItemFormatted && c.docType == "1") {  // every text fits
            ASSERT_TRUE(QTest::qWaitForWindowExposed(screen));
            EXPECT_EQ(test::ClippedTexts(screen), std::vector<std::string>{});
        }
        screen->resize(1, 1);  // the minimum size keeps the Close button in the window
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return screen->rect().contains(screen->CloseButton()->geometry()); }));
        const double figure = PanelFigure(std::stoi(c.docType));
        // The total row shows the figure, in the quantity column.
        QTreeWidget* list = screen->Documents();
        QTreeWidgetItem* total = list->topLevelItem(list->topLevelItemCount() - 1);
        EXPECT_EQ(total->text(5).remove(','), QString::number(figure, 'f', 2).remove(','));
        QPointer<InquiryScreen> watch(screen);
        if (std::string(c.docType) == "2")
            QTest::keyClick(screen, Qt::Key_Escape);
        else
            QTest::mouseClick(screen->CloseButton(), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }));  // closing deletes it
    }
}

TEST_F(InquiryScreenTest, BadLaunchesRaiseClearErrorsAndOpenNothing) {
    struct Case {
        std::string parameters, screenId, fragment;
    } cases[] = {
        {"ITEMNO=A1-103/0\nLOCATION=WH1\n", "IC1900", "the key DOCTYPE is missing"},
        {Parameters(kDemoItemFormatted, "WH1", "4"), "IC1900", "DOCTYPE \"4\" is none of"},
        {Parameters("ZZ-999/9", "WH1", "1"), "IC1900", "Item \"ZZ-999/9\" does not exist"},
        {Parameters(kDemoItemFormatted, "WH9", "1"), "IC1900", "Location \"WH9\" does not exist"},
        {Parameters(kDemoItemFormatted, "WH1", "1"), "IC9999",
         "Screen \"IC9999\" is not registered"},
        {Parameters(kDemoItemFormatted, "WH1", "1"), "OE1100", "registered as"},
    };
    for (const Case& c : cases) {
        demo.session->Errors().Clear();
        const std::string error = lumaro::test::RaisedBy([&] {
                                      test::LaunchInquiry(*demo.session, c.parameters, c.screenId);
                                  }).Description();
        EXPECT_NE(error.find(c.fragment), std::string::npos) << error;
        EXPECT_TRUE(OpenInquiries().empty()) << error;
        EXPECT_EQ(demo.session->Errors().Count(), 1) << error;  // once, for the error display
    }

    std::shared_ptr<ScreenLauncher> launcher = Platform::Get().CreateScreenLauncher();
    EXPECT_THROW(launcher->Run(0), lumaro::RuntimeError);  // not prepared
    launcher->Prepare(kIC1900Clsid, "", "IC1900", "424242",
                      Parameters(kDemoItemFormatted, "WH1", "1"));
    EXPECT_THROW(launcher->Run(0), lumaro::RuntimeError);  // no such sign-on
    EXPECT_TRUE(OpenInquiries().empty());
}

}  // namespace
}  // namespace accpac::local
