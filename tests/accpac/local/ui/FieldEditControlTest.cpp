#include "accpac/local/ui/FieldEditControl.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "accpac/Twips.h"
#include "accpac/local/ui/FrameControl.h"

namespace accpac::local {
namespace {

using test::FakeDataSource;

TEST(FieldEditControlTest, ShowsNumbersRightAlignedWithTheDecimalsOfProperty17) {
    struct Case {
        Variant value;
        int decimals;
        QString text;
        bool right;
    } cases[] = {
        {Variant(1250.5), 2, "1,250.50", true},
        {Variant(std::string("-999999999999")), 0, "-999999999999", false},  // text stays text
        {Variant(-999999999999.0), 0, "-999,999,999,999", true},
        {Variant(-999999999999.0), 4, "-999,999,999,999.0000", true},
        {Variant(int32_t{7}), 3, "7.000", true},
        {Variant(0.125), -1, "0.125", true},
        {Variant(std::string("Sample")), 2, "Sample", false},
        {Variant(), 2, "", false},
    };
    for (const Case& c : cases) {
        FakeDataSource source;
        source.Add(3, "QTONHAND", c.value);
        FieldEditControl control(&source, "QTONHAND");
        if (c.decimals >= 0) control.SetNumberedProperty(FieldEditDecimals, Variant(int16_t(c.decimals)));
        EXPECT_EQ(control.DisplayText(), c.text) << c.text.toStdString();
        EXPECT_EQ(bool(control.Editor()->alignment() & Qt::AlignRight), c.right) << c.text.toStdString();
        EXPECT_EQ(control.Value(), c.value);
    }
}

TEST(FieldEditControlTest, FollowsTheRecordOfItsDataSource) {
    FakeDataSource source;
    auto& field = source.Add(4, "qtonorder", Variant(0.0), true);
    FieldEditControl control(&source, "QTONORDER");  // field names ignore case
    control.SetNumberedProperty(FieldEditDecimals, Variant(int16_t{2}));
    field.SetValue(Variant(std::string("-999999999999")));  // text written to a numeric field
    EXPECT_EQ(control.DisplayText(), "-999,999,999,999.00");
    EXPECT_LT(control.Value().ToDouble(), 0);
    field.PutWithoutVerification(Variant(12.0));
    EXPECT_EQ(control.DisplayText(), "-999,999,999,999.00");  // no event yet
    emit source.OnRecordChanged(ReasonRecordChanged, nullptr, nullptr);
    EXPECT_EQ(control.DisplayText(), "12.00");
    source.ClearRecord();
    EXPECT_EQ(control.DisplayText(), "0.00");
}

TEST(FieldEditControlTest, ZoomButtonRaisesClickedOnlyWhenEnabledAndSetUp) {
    FakeDataSource source;
    FieldEditControl button(&source, "");
    SetTwipsGeometry(&button, 4950, 375, 270, 315);
    button.show();
    QSignalSpy clicked(&button, &FieldEdit::Clicked);
    EXPECT_FALSE(button.ZoomButton()->isVisible());
    EXPECT_FALSE(button.Editor()->isVisible());

    button.Invoke(FieldEditSetupZoomButton, {Variant(int32_t{0}), Variant(int32_t{3}), Variant("")});
    ASSERT_TRUE(button.ZoomButton()->isVisible());
    EXPECT_FALSE(button.ZoomButton()->icon().isNull());
    EXPECT_EQ(button.ZoomButton()->size(), button.size());
    QTest::mouseClick(button.ZoomButton(), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    button.setEnabled(false);
    QTest::mouseClick(button.ZoomButton(), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    button.setEnabled(true);
    button.SetNumberedProperty(FieldEditZoomStyle, Variant(int32_t{0}));
    EXPECT_FALSE(button.ZoomButton()->isVisible());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button.NumberedProperty(FieldEditZoomStyle).ToLong(), 0);
}

TEST(FieldEditControlTest, RejectsUnknownPropertiesAndBadArguments) {
    FakeDataSource source;
    FieldEditControl control(&source, "");
    auto number = [](auto call) {
        try {
            call();
        } catch (const lumaro::RuntimeError& e) {
            return e.Number();
        }
        return 0;
    };
    EXPECT_EQ(number([&] { control.SetNumberedProperty(99, Variant(int32_t{1})); }), 438);
    EXPECT_EQ(number([&] { control.NumberedProperty(99); }), 438);
    EXPECT_EQ(number([&] { control.Invoke(61, {}); }), 438);
    EXPECT_EQ(number([&] { control.Invoke(FieldEditSetupZoomButton, {Variant(int32_t{0})}); }), 5);
    EXPECT_EQ(number([&] { control.SetNumberedProperty(FieldEditDecimals, Variant(int32_t{70000})); }), 6);
    EXPECT_EQ(number([&] { control.SetNumberedProperty(FieldEditDecimals, Variant(int16_t{-1})); }), 380);
    EXPECT_FALSE(control.IsZoomButton());
}

TEST(FieldEditControlTest, EditableControlWritesTheFieldAndRevertsRefusedText) {
    FakeDataSource source;
    auto& field = source.Add(5, "QTY", Variant(1.0), true);
    FieldEditControl control(&source, "QTY");
    control.SetNumberedProperty(FieldEditDecimals, Variant(int16_t{2}));
    control.SetEditable(true);
    control.show();
    control.Editor()->setFocus();
    control.Editor()->selectAll();
    QTest::keyClicks(control.Editor(), "1,500.5");
    QTest::keyClick(control.Editor(), Qt::Key_Return);
    EXPECT_EQ(field.value.ToDouble(), 1500.5);
    EXPECT_EQ(control.DisplayText(), "1,500.50");

    control.Editor()->selectAll();
    QTest::keyClicks(control.Editor(), "abc");
    QTest::keyClick(control.Editor(), Qt::Key_Return);
    EXPECT_EQ(field.value.ToDouble(), 1500.5);
    EXPECT_EQ(control.DisplayText(), "1,500.50");
}

TEST(FrameControlTest, CaptionAndTwipsGeometry) {
    FrameControl frame;
    frame.SetCaption("Warehouse One");
    SetTwipsGeometry(&frame, 120, 836, 11055, 840);
    EXPECT_EQ(frame.Caption(), "Warehouse One");
    TwipsRect r = TwipsGeometry(&frame);
    EXPECT_NEAR(r.left, 120, 15);
    EXPECT_NEAR(r.width, 11055, 15);
    EXPECT_NEAR(r.height, 840, 15);
    QWidget label(&frame);
    EXPECT_EQ(frame.childAt(label.geometry().center()), &label);
    frame.SetCaption("");
    EXPECT_EQ(frame.Caption(), "");
}

}  // namespace
}  // namespace accpac::local
