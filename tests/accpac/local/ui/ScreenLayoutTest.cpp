// The screens on the demo data: every text fits its control. With LUMARO_SCREENSHOT_DIR
// set, the screens are also saved there as order-entry.png and inquiry.png.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "UiTestSupport.h"
#include "accpac/LateBound.h"
#include "accpac/Platform.h"
#include "accpac/Twips.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/ui/DetailList.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/InquiryScreen.h"
#include "accpac/local/ui/OrderEntryScreen.h"

namespace accpac::local {
namespace {

using test::DemoPlatform;

// The controls under root whose text does not fit them.
std::vector<std::string> ClippedTexts(QWidget* root) {
    std::vector<std::string> clipped;
    auto check = [&](bool fits, const QString& what) {
        if (!fits) clipped.push_back(what.toStdString());
    };
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->isVisible() && !l->wordWrap() && !l->text().isEmpty())
            check(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
                  "label " + l->text());
    for (QPushButton* b : root->findChildren<QPushButton*>())
        if (b->isVisible()) check(b->sizeHint().width() <= b->width(), "button " + b->text());
    for (QGroupBox* g : root->findChildren<QGroupBox*>())
        if (g->isVisible())
            check(g->minimumSizeHint().width() <= g->width(), "group " + g->title());
    for (QLineEdit* e : root->findChildren<QLineEdit*>())
        if (e->isVisible() && e->isReadOnly())
            check(e->fontMetrics().horizontalAdvance(e->text()) + 8 <= e->width(),
                  "field " + e->text());
    for (FieldEditControl* f : root->findChildren<FieldEditControl*>())
        if (f->isVisible() && !f->FieldName().empty() && !f->Editor()->isVisible()) {
            const int width =
                f->width() - (f->IsZoomButton() ? std::min(f->width(), f->height()) : 0);
            check(f->fontMetrics().horizontalAdvance(f->DisplayText()) + 8 <= width,
                  "field " + f->DisplayText());
        }
    for (QAbstractItemView* v : root->findChildren<QAbstractItemView*>()) {
        if (!v->isVisible()) continue;
        QAbstractItemModel* m = v->model();
        QHeaderView* header = nullptr;
        if (auto* table = qobject_cast<QTableView*>(v)) header = table->horizontalHeader();
        if (auto* tree = qobject_cast<QTreeView*>(v)) header = tree->header();
        for (int c = 0; c < m->columnCount(); ++c) {
            const int width = header ? header->sectionSize(c) : v->width();
            const QString title = m->headerData(c, Qt::Horizontal).toString();
            if (header) {
                const int margin =
                    header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
                QFont bold = header->font();
                bold.setBold(true);  // some styles embolden headings
                check(QFontMetrics(bold).horizontalAdvance(title) + 2 * margin + 4 <= width,
                      "heading " + title);
            }
            for (int r = 0; r < m->rowCount(); ++r) {
                const QString text = m->index(r, c).data().toString();
                QFont font = v->font();
                if (auto f = m->index(r, c).data(Qt::FontRole); f.isValid())
                    font = f.value<QFont>();
                check(QFontMetrics(font).horizontalAdvance(text) + 12 <= width, title + " " + text);
            }
        }
    }
    return clipped;
}

void Save(QWidget* window, const char* file) {
    const QString folder = qEnvironmentVariable("LUMARO_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    EXPECT_TRUE(window->grab().save(folder + "/" + file));
}

TEST(ScreenLayoutTest, TextsFitOnTheDemoData) {
    DemoPlatform demo;

    // The Order Entry screen hosted in a window as the program hosts it, on the demo
    // order with the most lines.
    QWidget window;
    window.setWindowTitle("SAMLTD - Lumaro");
    ControlExtender* host =
        Platform::Get().AddControl(kOE1100ProgID, "AccpacWrappedControl", &window);
    SetProperty(host->Object(), "sessionID", demo.session->SessionID());
    auto* screen = qobject_cast<OrderEntryScreen*>(host->Object());
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->IsOpen(); }));
    QSqlQuery most = screen->Order()->Database().Exec(
        "SELECT h.ORDNUMBER FROM OEORDH h JOIN OEORDD d ON d.ORDUNIQ = h.ORDUNIQ GROUP BY "
        "h.ORDNUMBER"
        " ORDER BY COUNT(*) DESC, h.ORDNUMBER LIMIT 1");
    ASSERT_TRUE(most.next());
    ASSERT_TRUE(screen->OpenOrder(most.value(0).toString()));
    screen->Order()->GoToLine(1);
    window.resize(TwipsToPixelsX(screen->PreferredWidth()), TwipsToPixelsY(6600));
    host->setGeometry(window.rect());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    screen->DetailList()->setFocus();
    EXPECT_EQ(ClippedTexts(&window), std::vector<std::string>{});
    Save(&window, "order-entry.png");

    // The inquiry into the sales orders behind the same item's figure.
    InquiryScreen* inquiry = test::LaunchInquiry(
        *demo.session, "ITEMNO=" + std::string(kDemoItemFormatted) + "\nLOCATION=WH1\nDOCTYPE=1\n");
    ASSERT_NE(inquiry, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(inquiry));
    EXPECT_EQ(ClippedTexts(inquiry), std::vector<std::string>{});
    Save(inquiry, "inquiry.png");
    delete inquiry;
}

}  // namespace
}  // namespace accpac::local
