// The GUI platform as the program uses it: sign-on with the dialog, the error display,
// the quantity controls of the panel on a real data source.

#include "accpac/local/ui/LocalGuiPlatform.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "accpac/local/ui/FrameControl.h"
#include "accpac/local/ui/SignonDialog.h"

namespace accpac::local {
namespace {

using test::DemoPlatform;
using test::ScopedModalHandler;

// Signs on with the prompt option set, answering the dialog with the typed password
// (empty: Cancel). Returns the session, nullptr when none came back.
std::shared_ptr<Session> SignOn(const QString& password, int* dialogs, QString* companyShown = nullptr) {
    ScopedModalHandler handler([&](QDialog& dialog) {
        auto* signon = dynamic_cast<SignonDialog*>(&dialog);
        ASSERT_NE(signon, nullptr);
        if (companyShown) *companyShown = signon->CompanyCombo()->currentData().toString();
        if (password.isEmpty()) {
            QTest::mouseClick(signon->CancelButton(), Qt::LeftButton);
            return;
        }
        for (int attempt = 0; attempt < 3 && dialog.isVisible(); ++attempt) {
            QTest::keyClicks(signon->PasswordEdit(), password);
            QTest::keyClick(signon->PasswordEdit(), Qt::Key_Return);
        }
    });
    std::shared_ptr<SessionManager> manager = Platform::Get().CreateSessionManager();
    manager->SetSignonPrompt(true);
    int32_t id = -1;
    std::shared_ptr<Session> session;
    manager->CreateSession("", id, session);
    *dialogs = handler.shown;
    EXPECT_EQ(id != 0, session != nullptr);
    return session;
}

TEST(GuiPlatformTest, SignonDialogGivesASessionOnlyForTheRightPassword) {
    DemoPlatform demo;
    int dialogs = 0;
    QString company;
    std::shared_ptr<Session> session = SignOn(kDemoSysopPassword, &dialogs, &company);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(company, "SAMLTD");  // the remembered sign-on is proposed
    EXPECT_EQ(session->UserID(), "SYSOP");
    EXPECT_EQ(session->CompanyID(), "SAMLTD");

    EXPECT_EQ(SignOn("", &dialogs), nullptr);  // Cancel
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(SignOn("wrong", &dialogs), nullptr);  // refused three times
    EXPECT_EQ(dialogs, 1);
}

TEST(GuiPlatformTest, ErrorDisplayShowsAndClearsTheSessionsList) {
    DemoPlatform demo;
    std::vector<QString> shown;
    ScopedModalHandler handler([&](QDialog& dialog) {
        auto* errors = dynamic_cast<ErrorDisplayDialog*>(&dialog);
        ASSERT_NE(errors, nullptr);
        for (int i = 0; i < errors->List()->topLevelItemCount(); ++i)
            shown.push_back(errors->List()->topLevelItem(i)->text(0) + ": " + errors->List()->topLevelItem(i)->text(1));
        dialog.accept();
    });
    std::shared_ptr<ErrorDisplay> display = Platform::Get().CreateErrorDisplay();
    display->AddError(*demo.session, "", 3, "System Error. Registration failed.", "", "", 0);
    // A platform operation that fails records its own error.
    EXPECT_THROW(demo.session->OpenLocalDBLink()->ReadViewFields("XX9999", {1}), lumaro::RuntimeError);
    display->ShowErrors(*demo.session);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Error: System Error. Registration failed.");
    EXPECT_TRUE(shown[1].startsWith("Error: View \"XX9999\"")) << shown[1].toStdString();
    display->ClearErrors(*demo.session);
    display->ShowErrors(*demo.session);
    EXPECT_EQ(handler.shown, 1);
}

TEST(GuiPlatformTest, QuantityControlsOnTheItemLocationRecord) {
    DemoPlatform demo;
    Platform& platform = Platform::Get();
    QWidget window;
    Frame* frame = platform.CreateFrame(&window);
    EXPECT_NE(dynamic_cast<FrameControl*>(frame), nullptr);
    DataSource* quantities = platform.CreateDataSource("IC0374", &window);
    std::shared_ptr<DBLink> link = demo.session->OpenDBLink(1, 1);
    quantities->SetDBLink(link);
    quantities->SetActive(true);
    FieldEdit* onOrder = platform.CreateFieldEdit(quantities, "QTONORDER", frame);
    FieldEdit* zoom = platform.CreateFieldEdit(quantities, "", frame);
    const int16_t decimals = link->ReadViewFields("IC0380", {62}).at(0).ToInteger();
    onOrder->SetNumberedProperty(FieldEditDecimals, Variant(decimals));
    zoom->Invoke(FieldEditSetupZoomButton, {Variant(int32_t{0}), Variant(int32_t{3}), Variant("")});

    auto* control = static_cast<FieldEditControl*>(onOrder);
    const QString marker = "-999,999,999,999" + (decimals > 0 ? "." + QString(decimals, '0') : QString());
    quantities->Fields().Item(4).SetValue(Variant("-999999999999"));
    EXPECT_EQ(control->DisplayText(), marker);
    EXPECT_LT(onOrder->Value().ToDouble(), 0);
    EXPECT_TRUE(control->Editor()->alignment() & Qt::AlignRight);

    quantities->Fields().Item(1).PutWithoutVerification(Variant(kDemoItemFormatted));
    quantities->Fields().Item(2).PutWithoutVerification(Variant("WH1"));
    ASSERT_TRUE(quantities->Read());
    EXPECT_GT(onOrder->Value().ToDouble(), 0);
    EXPECT_EQ(control->DisplayText().remove(',').toDouble(), onOrder->Value().ToDouble());
    quantities->ClearRecord();
    EXPECT_EQ(onOrder->Value().ToDouble(), 0);
    EXPECT_EQ(control->DisplayText(), FormatNumber(0, decimals));
    EXPECT_TRUE(static_cast<FieldEditControl*>(zoom)->IsZoomButton());
}

}  // namespace
}  // namespace accpac::local
