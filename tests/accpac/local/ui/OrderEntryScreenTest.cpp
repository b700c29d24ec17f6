// The Order Entry screen driven as a clerk drives it, on the demo company.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

#include "UiTestSupport.h"
#include "accpac/LateBound.h"
#include "accpac/Platform.h"
#include "accpac/Twips.h"
#include "accpac/local/ClassTable.h"
#include "accpac/local/ui/DetailList.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/OrderEntryScreen.h"
#include "accpac/local/ui/OrderNumberList.h"

namespace accpac::local {
namespace {

using test::DemoPlatform;
using test::ScopedModalHandler;

class OrderEntryScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        screen.SetSessionID(demo.session->SessionID());
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.IsOpen(); }));
        screen.resize(TwipsToPixelsX(screen.PreferredWidth()),
                      TwipsToPixelsY(screen.PreferredHeight()));
        screen.show();
    }

    DetailListControl& List() { return *screen.DetailList(); }
    // The editor the list opened for the cell being typed.
    QLineEdit* CellEditor() {
        for (auto* edit : List().viewport()->findChildren<QLineEdit*>())
            if (edit->isVisible()) return edit;
        return nullptr;
    }
    // Types into the cell editor and presses Enter; the list writes the cell once the
    // event loop runs.
    void TypeIntoCell(const QString& text) {
        QLineEdit* editor = CellEditor();
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return CellEditor() == nullptr; }));
    }
    // Opens the first saved order with three lines or more, choosing orders in the
    // order number box.
    void OpenOrderWithLines() {
        screen.OrderNumberCombo()->setFocus();
        for (int i = 0; i < 20 && (screen.Order()->LineCount() < 3); ++i)
            QTest::keyClick(screen.OrderNumberCombo(), Qt::Key_Down);
        ASSERT_NE(screen.HeaderSource()->FieldValue(orderheader::ORDUNIQ).ToLong(), 0);
        ASSERT_GE(screen.Order()->LineCount(), 3);
    }

    DemoPlatform demo;
    OrderEntryScreen screen;
};

TEST_F(OrderEntryScreenTest, HostedByProgIDItOpensOnTheSignonAndAnswersByName) {
    QWidget window;
    ControlExtender* host =
        Platform::Get().AddControl(kOE1100ProgID, "AccpacWrappedControl", &window);
    std::vector<QString> events;  // name and the size asked for, if any
    QObject::connect(host, &ControlExtender::ObjectEvent, [&](QString name, const QVariantMap& p) {
        if (!p.isEmpty())
            name += QString(" %1x%2").arg(p["sNewWidth"].toInt()).arg(p["sNewHeight"].toInt());
        events.push_back(name);
    });
    QObject* inner = host->Object();
    auto control = [&](const char* list, const char* name) {
        return CallObject(CallObject(inner, list, {name}), "GetControl");
    };
    SetProperty(inner, "sessionID", demo.session->SessionID());
    SetProperty(inner, "ServerName", "");
    EXPECT_TRUE(events.empty());  // the host connects first; the screen opens afterwards
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() >= 2; }));
    EXPECT_EQ(events, (std::vector<QString>{"OnUIForceSize 11400x8700", "OnUIAppOpened"}));
    auto view = [&](const char* name) {
        auto* source = qobject_cast<DataSource*>(control("UIDSControls", name));
        return source ? source->ViewID() : "";
    };
    EXPECT_EQ(view("adsOEORDH") + view("adsOEORDD"), "OE0520OE0500");
    EXPECT_EQ(CallByName(control("UIAppControls", "avlOEORDDdetail1"), "IsListEmpty"),
              QVariant(true));

    host->resize(TwipsToPixelsX(11400), TwipsToPixelsY(8700));
    host->show();
    window.show();
    QObject* save = control("UIAppControls", "APP_Save_Button");
    QObject* close = control("UIAppControls", "APP_Close_Button");
    const int saveTop = GetProperty(save, "Top").toInt(),
              saveLeft = GetProperty(save, "Left").toInt();
    EXPECT_EQ(GetProperty(close, "Top").toInt(), saveTop);
    EXPECT_GT(GetProperty(close, "Left").toInt(), saveLeft + GetProperty(save, "width").toInt());
    // The buttons end inside the band of controls; the host's panel goes under them.
    EXPECT_LE(saveTop + GetProperty(save, "height").toInt() + 100 + 840, 8700 - 1020);
    EXPECT_LE(GetProperty(close, "Left").toInt() + GetProperty(close, "width").toInt(), 11400);
    // Under the band the window's own controls stay reachable.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host->mask().isEmpty(); }));
    EXPECT_FALSE(host->mask().contains(QPoint(10, host->height() - 10)));
    EXPECT_TRUE(host->mask().contains(QPoint(10, 10)));
    EXPECT_THROW(control("UIAppControls", "APP_Delete_Button"), lumaro::RuntimeError);

    // On the demo order with the most lines every text fits its control.
    auto* hosted = qobject_cast<OrderEntryScreen*>(inner);
    QSqlQuery most = hosted->Order()->Database().Exec(
        "SELECT h.ORDNUMBER FROM OEORDH h JOIN OEORDD d ON d.ORDUNIQ = h.ORDUNIQ GROUP BY "
        "h.ORDNUMBER ORDER BY COUNT(*) DESC, h.ORDNUMBER LIMIT 1");
    ASSERT_TRUE(most.next() && hosted->OpenOrder(most.value(0).toString()));
    hosted->Order()->GoToLine(1);
    window.resize(host->size());
    hosted->DetailList()->setFocus();
    EXPECT_EQ(test::ClippedTexts(&window), std::vector<std::string>{});
}

// Arrows and clicks move the order's current line; each move raises reason 0 once the
// line's record is loaded.
TEST_F(OrderEntryScreenTest, ArrowsAndClicksMoveBetweenLines) {
    OpenOrderWithLines();
    std::vector<std::string> events;  // reason and the line's item at the event
    QObject::connect(screen.DetailSource(), &DataSource::OnRecordChanged, [&](int reason) {
        events.push_back(std::to_string(reason) + " " +
                         screen.DetailSource()->FieldValue(orderdetail::ITEM).ToString());
    });
    auto item = [&](int line) {
        return "0 " + screen.Order()->LineValue(line, orderdetail::ITEM).ToString();
    };
    List().setFocus();
    ASSERT_EQ(List().currentIndex().row(), 0);
    QTest::keyClick(&List(), Qt::Key_Down);
    QTest::keyClick(&List(), Qt::Key_Up);
    QTest::keyClick(&List(), Qt::Key_Up);  // already on the first line: nothing
    const QRect row1 = List().visualRect(List().Lines()->index(1, OrderLinesModel::ColDescription));
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_EQ(events, (std::vector<std::string>{item(1), item(0), item(1)}));
    EXPECT_EQ(screen.Order()->CurrentLine(), 1);
}

// What a save stores and the events it raises are OrderEntryTest's; here, that what the clerk
// types and clicks gets there.
TEST_F(OrderEntryScreenTest, TypedCustomerItemAndQuantityAreSavedByTheButton) {
    QTest::mouseClick(screen.CustomerEdit()->Editor(), Qt::LeftButton);
    QTest::keyClicks(screen.CustomerEdit()->Editor(), "1120");
    QTest::keyClick(screen.CustomerEdit()->Editor(), Qt::Key_Return);
    QTest::mouseClick(screen.AddLineButton(), Qt::LeftButton);
    TypeIntoCell("a1-103/0");
    EXPECT_EQ(List().Lines()->index(0, OrderLinesModel::ColStockItem).data().toString(), "Yes");
    // Over to the quantity and type it.
    List().setFocus();
    for (int i = OrderLinesModel::ColItem; i < OrderLinesModel::ColQuantity; ++i)
        QTest::keyClick(&List(), Qt::Key_Right);
    QTest::keyClick(&List(), Qt::Key_5);
    TypeIntoCell("0");
    QTest::mouseClick(screen.SaveButton(), Qt::LeftButton);

    const QString number = screen.OrderNumberCombo()->currentText();
    std::optional<Order> stored =
        screen.Order()->Database().LoadOrderByNumber(number.toStdString());
    ASSERT_TRUE(stored && stored->lines.size() == 1u) << number.toStdString();
    EXPECT_EQ(stored->header.customer, "1120");
    EXPECT_EQ(stored->lines[0].itemNo, kDemoItemStored);
    EXPECT_EQ(stored->lines[0].quantityOrdered, 50.0);
}

TEST_F(OrderEntryScreenTest, RefusedSaveShowsThePlatformsErrorsOnce) {
    ScopedModalHandler errors([](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
    QTest::mouseClick(screen.AddLineButton(), Qt::LeftButton);
    TypeIntoCell("NO-SUCH-ITEM");
    QTest::mouseClick(screen.SaveButton(), Qt::LeftButton);  // no customer, an unknown item
    EXPECT_EQ(errors.shown, 1);                    // what a refused save keeps is OrderEntryTest's
    EXPECT_EQ(demo.session->Errors().Count(), 0);  // shown, then cleared
}

// Answers the message box that asks with the given button; remembers its text.
struct Answer : ScopedModalHandler {
    explicit Answer(QMessageBox::StandardButton button)
        : ScopedModalHandler([this, button](QDialog& dialog) {
              auto* box = qobject_cast<QMessageBox*>(&dialog);
              ASSERT_TRUE(box && box->button(button)) << dialog.windowTitle().toStdString();
              asked = box->text();
              box->button(button)->click();
          }) {}
    QString asked;
};

TEST_F(OrderEntryScreenTest, UnsavedChangesAreAskedAboutOnCloseNewAndAnotherOrder) {
    OpenOrderWithLines();
    const QString number = screen.OrderNumberCombo()->currentText();
    int events = 0;
    QObject::connect(&screen, &OrderEntryScreen::ObjectEvent, [&] { ++events; });
    enum Action { Close, New, Other };
    const QMessageBox::StandardButton answers[] = {QMessageBox::Yes, QMessageBox::No,
                                                   QMessageBox::Cancel};
    int n = 0;
    for (Action action : {Close, New, Other}) {
        for (QMessageBox::StandardButton button : answers) {
            ASSERT_TRUE(screen.OpenOrder(number));
            const std::string reference = "Changed " + std::to_string(++n);
            screen.Order()->SetHeaderValue(orderheader::REFERENCE, Variant(reference));
            events = 0;
            Answer answer(button);
            if (action == Other) {
                screen.OrderNumberCombo()->setFocus();
                QTest::keyClick(screen.OrderNumberCombo(), Qt::Key_Down);
            } else {
                QTest::mouseClick(action == Close ? screen.CloseButton() : screen.NewButton(),
                                  Qt::LeftButton);
            }
            EXPECT_EQ(answer.asked, "Save changes to order " + number + "?");
            const bool stays = button == QMessageBox::Cancel;
            const auto stored = screen.Order()->Database().LoadOrderByNumber(number.toStdString());
            EXPECT_EQ(stored->header.reference == reference, button == QMessageBox::Yes);
            EXPECT_EQ(screen.OrderNumberCombo()->currentText() == number, stays || action == Close);
            EXPECT_EQ(events, action == Close && !stays ? 1 : 0);
            EXPECT_EQ(screen.Order()->Modified(), stays);
        }
    }
}

// The host window closing asks and saves nothing, but keeps the order for the next start.
TEST_F(OrderEntryScreenTest, UnsavedOrderIsKeptWhenTheHostClosesAndOfferedBackOnce) {
    auto open = [&] {
        auto other = std::make_unique<OrderEntryScreen>();
        other->SetSessionID(demo.session->SessionID());
        EXPECT_TRUE(QTest::qWaitFor([&] { return other->IsOpen(); }));
        return other;
    };
    for (QMessageBox::StandardButton button : {QMessageBox::Yes, QMessageBox::No}) {
        auto first = open();
        first->Order()->SetHeaderValue(orderheader::CUSTOMER, Variant("1120"));
        first->Order()->SetLineValue(first->Order()->AddLine(), orderdetail::ITEM,
                                     Variant("A1-103/0"));
        const QString file = first->UnsavedOrderFile();
        first.reset();
        ASSERT_TRUE(QFile::exists(file));
        Answer answer(button);
        auto next = open();
        EXPECT_EQ(answer.shown, 1);
        const QRegularExpression question("^Restore the unsaved order from \\d\\d:\\d\\d\\?$");
        EXPECT_TRUE(answer.asked.contains(question)) << answer.asked.toStdString();
        EXPECT_FALSE(QFile::exists(file));
        const bool restored = button == QMessageBox::Yes;
        EXPECT_EQ(next->Order()->LineCount(), restored ? 1 : 0);
        EXPECT_EQ(next->Order()->HeaderValue(orderheader::CUSTOMER).ToString(),
                  restored ? "1120" : "");
        EXPECT_EQ(next->Order()->Modified(), restored);
        next->Order()->SetModified(false);
    }
}

TEST_F(OrderEntryScreenTest, KeyboardInTheLines) {
    OpenOrderWithLines();
    const int lines = screen.Order()->LineCount();
    screen.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen));
    List().setFocus();
    // Delete on a line that holds an item asks first.
    for (QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
        Answer answer(button);
        QTest::keyClick(&List(), Qt::Key_Delete);
        EXPECT_TRUE(answer.asked.startsWith("Delete line 1 (")) << answer.asked.toStdString();
    }
    EXPECT_EQ(screen.Order()->LineCount(), lines - 1);

    // The location cell: typing replaces the location; one the company lacks is refused.
    const QModelIndex location = List().Lines()->index(0, OrderLinesModel::ColLocation);
    for (const char* typed : {"wh2", "wh9"}) {
        List().setCurrentIndex(location);
        QTest::keyClick(&List(), typed[0]);  // starts the edit
        auto* combo = List().viewport()->findChild<QComboBox*>();
        ASSERT_NE(combo, nullptr);
        QTest::keyClicks(combo, typed + 1);
        QTest::keyClick(combo, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !List().viewport()->findChild<QComboBox*>(); }));
        EXPECT_EQ(location.data().toString(), "WH2");
    }
    // The unit cell offers the units of the line's item, the stocking unit first.
    screen.Order()->SetLineValue(0, orderdetail::ITEM, Variant(kDemoItemFormatted));
    const QModelIndex unit = List().Lines()->index(0, OrderLinesModel::ColUnit);
    List().edit(unit);
    auto* units = List().viewport()->findChild<QComboBox*>();
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units->count(), 2);
    units->setCurrentText("CASE");
    List().CommitEdit();
    EXPECT_EQ(screen.Order()->LineValue(0, orderdetail::UNIT).ToString(), "CASE");

    // Enter on the last line's last column adds a line; Tab and Shift+Tab leave the list.
    List().setCurrentIndex(List().Lines()->index(lines - 2, OrderLinesModel::ColumnCount - 1));
    QTest::keyClick(&List(), Qt::Key_Return);
    EXPECT_EQ(screen.Order()->LineCount(), lines);
    List().CommitEdit();
    for (auto modifier : {Qt::NoModifier, Qt::ShiftModifier}) {
        List().setFocus();
        QTest::keyClick(&List(), Qt::Key_Tab, modifier);
        EXPECT_FALSE(List().isAncestorOf(QApplication::focusWidget()) ||
                     QApplication::focusWidget() == &List());
    }
    screen.Order()->SetModified(false);
}

// The order numbers are read a page at a time; a number shown before its page was read
// is not listed twice.
TEST(OrderNumberListTest, ReadsPagesAndKeepsAddedNumbersInPlace) {
    std::vector<std::string> all;
    for (int n = 1; n <= 250; ++n)
        all.push_back(QString("ORD%1").arg(n, 6, 10, QChar('0')).toStdString());
    int reads = 0;
    OrderNumberList list;
    list.Reset([&](const std::string& after, int limit) {
        ++reads;
        auto from = std::upper_bound(all.begin(), all.end(), after);
        return std::vector<std::string>(from, std::min(from + limit, all.end()));
    });
    EXPECT_EQ(list.rowCount(), 1 + OrderNumberList::kPageSize);
    EXPECT_EQ(list.Add("ORD000240"), 1 + OrderNumberList::kPageSize);  // before its page
    EXPECT_EQ(list.Add("ORD000050"), 50);                              // already there
    while (list.canFetchMore({})) list.fetchMore({});
    EXPECT_EQ(reads, 3);
    ASSERT_EQ(list.rowCount(), 251);
    std::vector<std::string> shown;
    for (int row = 0; row <= 250; ++row)
        shown.push_back(list.index(row).data().toString().toStdString());
    all.insert(all.begin(), "*** NEW ***");
    EXPECT_EQ(shown, all);
}

}  // namespace
}  // namespace accpac::local
