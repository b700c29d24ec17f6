// The field edit control and the frame, on the quantity record of the demo company.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <random>

#include "UiTestSupport.h"
#include "accpac/Twips.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/ui/FieldEditControl.h"

namespace accpac::local {
namespace {

class FieldEditControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { demo = new test::DemoPlatform; }
    static void TearDownTestSuite() { delete demo; }
    void SetUp() override { quantities = Open("IC0374"); }
    DataSource* Open(const std::string& view) {
        DataSource* source = Platform::Get().CreateDataSource(view, &window);
        source->SetDBLink(demo->session->OpenDBLink(1, 1));
        source->SetActive(true);
        return source;
    }
    static int Number(const std::function<void()>& call) {
        return lumaro::test::RaisedBy(call).Number();
    }

    static test::DemoPlatform* demo;
    QWidget window;
    DataSource* quantities = nullptr;
};
test::DemoPlatform* FieldEditControlTest::demo = nullptr;

TEST_F(FieldEditControlTest, ShowsTheFieldNumbersRightAlignedWithTheDecimalsOfProperty17) {
    struct Case {
        const char* field;
        int index;
        const char* written;
        int decimals;
        QString shown;
    } cases[] = {
        {"QTONHAND", 3, "1250.5", 2, "1,250.50"},
        {"qtonorder", 4, "-999999999999", 0, "-999,999,999,999"},  // names ignore case
        {"QTSALORDR", 5, "0.125", -1, "0.125"},
        {"LOCATION", 2, "wh1", 2, "WH1"},
    };
    for (const Case& c : cases) {
        FieldEdit* control = Platform::Get().CreateFieldEdit(quantities, c.field, &window);
        auto* edit = static_cast<FieldEditControl*>(control);
        if (c.decimals >= 0)
            control->SetNumberedProperty(FieldEditDecimals, Variant(int16_t(c.decimals)));
        quantities->Fields().Item(c.index).SetValue(Variant(c.written));  // reason 7 refreshes
        EXPECT_EQ(edit->DisplayText(), c.shown) << c.written;
        EXPECT_EQ(bool(edit->Editor()->alignment() & Qt::AlignRight), c.index != 2) << c.written;
        EXPECT_EQ(control->Value(), quantities->Fields().Item(c.index).Value());
    }
    EXPECT_TRUE(Platform::Get().CreateFieldEdit(quantities, "NOSUCH", &window)->Value().IsEmpty());
}

// Numbers are written as the en-US locale writes them, halfway values (rounded away from
// zero), a negative zero, carries into a new group and values past the quick way included.
TEST(FormatNumberTest, WritesNumbersAsTheLocaleDoes) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    std::vector<double> values = {0.125,  -2.5, 999.995, 9.99996,   999999.5, -0.0,
                                  -0.001, 1e15, 1e20,    -1e15 + 1, 0.05,     1234567.125};
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i)
        values.push_back(
            std::ldexp(double(int64_t(random() >> 14) - (int64_t(1) << 49)), -int(random() % 40)));
    for (double value : values)
        for (int decimals = 0; decimals < 7; ++decimals)
            ASSERT_EQ(FormatNumber(value, decimals).toStdString(),
                      locale.toString(value, 'f', decimals).toStdString())
                << value << " " << decimals;
}

// A control that only shows paints its text (no line edit); made editable, the line edit
// takes over the text, and back again.
TEST_F(FieldEditControlTest, DisplayOnlyControlPaintsItsTextAndHandsItToTheEditor) {
    FieldEditControl description(quantities, "LOCATION");
    SetTwipsGeometry(&description, 120, 120, 600, 315);
    description.show();
    quantities->Fields().Item(2).SetValue(Variant("wh1"));
    EXPECT_FALSE(description.Editor()->isVisible());
    description.SetEditable(true);
    EXPECT_TRUE(description.Editor()->isVisible());
    EXPECT_EQ(description.Editor()->text(), "WH1");
    quantities->Fields().Item(2).SetValue(Variant("wh2"));
    description.SetEditable(false);
    EXPECT_FALSE(description.Editor()->isVisible());
    EXPECT_EQ(description.DisplayText(), "WH2");  // the editor's text goes back to the display
}

TEST_F(FieldEditControlTest, ZoomButtonRaisesClickedOnlyWhenEnabledAndSetUp) {
    FieldEditControl button(quantities, "");
    SetTwipsGeometry(&button, 4950, 375, 270, 315);
    button.show();
    QSignalSpy clicked(&button, &FieldEdit::Clicked);
    EXPECT_FALSE(button.ZoomButton()->isVisible());
    EXPECT_FALSE(button.Editor()->isVisible());

    button.Invoke(FieldEditSetupZoomButton,
                  {Variant(int32_t{0}), Variant(int32_t{3}), Variant("")});
    ASSERT_TRUE(button.ZoomButton()->isVisible());
    EXPECT_FALSE(button.ZoomButton()->icon().isNull());
    EXPECT_EQ(button.ZoomButton()->size(), button.size());
    QTest::mouseClick(button.ZoomButton(), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    button.setEnabled(false);
    QTest::mouseClick(button.ZoomButton(), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    button.setEnabled(true);
    button.SetNumberedProperty(FieldEditZoomStyle, Variant(int32_t{0}));  // plain and inert
    EXPECT_FALSE(button.ZoomButton()->isVisible());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(FieldEditControlTest, RejectsUnknownPropertiesAndBadArguments) {
    FieldEditControl control(quantities, "");
    EXPECT_EQ(Number([&] { control.SetNumberedProperty(99, Variant(int32_t{1})); }), 438);
    EXPECT_EQ(Number([&] { control.NumberedProperty(99); }), 438);
    EXPECT_EQ(Number([&] { control.Invoke(61, {}); }), 438);
    EXPECT_EQ(Number([&] { control.Invoke(FieldEditSetupZoomButton, {Variant(int32_t{0})}); }), 5);
    EXPECT_EQ(
        Number([&] { control.SetNumberedProperty(FieldEditDecimals, Variant(int32_t{70000})); }),
        6);
    for (int16_t decimals : {-1, 16})  // 0 to 15 decimals
        EXPECT_EQ(
            Number([&] { control.SetNumberedProperty(FieldEditDecimals, Variant(decimals)); }),
            380);
    EXPECT_FALSE(control.IsZoomButton());
}

TEST_F(FieldEditControlTest, EditableControlWritesTheFieldAndShowsRefusals) {
    test::ScopedModalHandler errors([](QDialog& dialog) { dialog.accept(); });
    FieldEditControl control(quantities, "QTONHAND");
    control.SetNumberedProperty(FieldEditDecimals, Variant(int16_t{2}));
    control.SetEditable(true);
    control.show();
    for (const char* typed : {"1,500.5", "abc"}) {
        control.Editor()->selectAll();
        QTest::keyClicks(control.Editor(), typed);
        QTest::keyClick(control.Editor(), Qt::Key_Return);
        EXPECT_EQ(quantities->Fields().Item(3).Value().ToDouble(), 1500.5) << typed;
        EXPECT_EQ(control.DisplayText(), "1,500.50") << typed;
    }
    EXPECT_EQ(errors.shown, 1);  // the platform's refusal of "abc"
    EXPECT_EQ(demo->session->Errors().Count(), 0);
}

// A control shows its field again after any event once the field has been written: a
// verified write of the item fills the description too, and a write without an event shows
// at the next event, whichever field that names.
TEST_F(FieldEditControlTest, ShowsItsFieldWrittenBesideTheFieldOfTheEvent) {
    DataSource* line = Open("OE0500");
    FieldEditControl item(line, "ITEM"), description(line, "DESC"), ordered(line, "QTYORDERED");
    line->Fields().Item(4).SetValue(Variant("a11030"));
    EXPECT_EQ(item.DisplayText(), "A1-103/0");
    EXPECT_EQ(description.DisplayText(), "Fluorescent Desk Lamp, Black");

    line->Fields().Item(7).PutWithoutVerification(Variant("3"));
    EXPECT_EQ(ordered.DisplayText(), "0");
    line->Fields().Item(6).SetValue(Variant("WH1"));
    EXPECT_EQ(ordered.DisplayText(), "3");
    static_cast<LocalDataSource*>(line)->LoadRecord({{7, Variant(5.5)}}, ReasonRecordRefreshed);
    EXPECT_EQ(ordered.DisplayText(), "5.5");
    EXPECT_EQ(description.DisplayText(), "");
}

// A handler of a record-changed event that clears the record and writes its fields (as the
// quantity panel does) has each control show its last value once the event is handled,
// with one change of text; asked in between, a control shows the value of that moment. A
// control deleted by the handler is left alone.
TEST_F(FieldEditControlTest, EventsHandledTogetherShowTheLastValueOnce) {
    FieldEditControl onHand(quantities, "QTONHAND");
    onHand.SetNumberedProperty(FieldEditDecimals, Variant(int16_t{2}));
    onHand.SetEditable(true);  // its line edit counts the changes of text
    auto* doomed = new FieldEditControl(quantities, "QTONORDER");
    quantities->Fields().Item(3).SetValue(Variant("5"));
    QSignalSpy changes(onHand.Editor(), &QLineEdit::textChanged);

    LocalDataSource line("OE0500");
    std::function<void()> handler;
    QObject::connect(&line, &DataSource::OnRecordChanged, [&] { handler(); });
    handler = [&] {
        quantities->ClearRecord();
        quantities->Fields().Item(3).SetValue(Variant("12"));
        quantities->Fields().Item(3).SetValue(Variant("1250.5"));
        quantities->Fields().Item(4).SetValue(Variant("7"));
        delete doomed;
    };
    line.RaiseRecordChanged(ReasonRecordChanged);
    EXPECT_EQ(onHand.Editor()->text(), "1,250.50");
    EXPECT_EQ(changes.count(), 1);

    handler = [&] {
        quantities->ClearRecord();
        EXPECT_EQ(onHand.DisplayText(), "0.00");
        quantities->Fields().Item(3).SetValue(Variant("2"));
    };
    line.RaiseRecordChanged(ReasonRecordChanged);
    EXPECT_EQ(onHand.Editor()->text(), "2.00");
}

}  // namespace
}  // namespace accpac::local
