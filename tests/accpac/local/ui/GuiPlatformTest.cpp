// The GUI platform's session services as the program uses them: sign-on with the
// dialog, the error display.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "UiTestSupport.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "accpac/local/ui/SignonDialog.h"

namespace accpac::local {
namespace {

using test::DemoPlatform;
using test::ScopedModalHandler;

// Signs on with the prompt option set, answering the dialog with the typed password
// (empty: Cancel). Returns the session, nullptr when none came back.
std::shared_ptr<Session> SignOn(const QString& password, int* dialogs,
                                QString* companyShown = nullptr, QString* message = nullptr) {
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
        if (message && dialog.isVisible()) *message = signon->MessageLabel()->text();
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

    EXPECT_EQ(SignOn("", &dialogs), nullptr);  // Cancel
    EXPECT_EQ(dialogs, 1);
    QString message;
    EXPECT_EQ(SignOn("wrong", &dialogs, nullptr, &message), nullptr);  // refused three times
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(message, "Too many attempts.");  // said before the dialog closes
}

TEST(GuiPlatformTest, SignonDialogUpperCasesTheUserAndRequiresOne) {
    SignonDialog dialog({{"SAMINC", "Sample Company Inc."}, {"SAMLTD", "Sample Company Ltd."}}, "",
                        "NOSUCH");
    dialog.show();
    EXPECT_EQ(dialog.CompanyCombo()->currentData().toString(), "SAMINC");
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    QTest::keyClicks(dialog.UserIdEdit(), "sysop x-1");  // blanks and punctuation are refused
    EXPECT_EQ(dialog.UserIdEdit()->text(), "SYSOPX1");
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
}

TEST(GuiPlatformTest, ErrorDisplayShowsAndClearsTheSessionsList) {
    DemoPlatform demo;
    std::vector<QString> shown;
    ScopedModalHandler handler([&](QDialog& dialog) {
        auto* errors = dynamic_cast<ErrorDisplayDialog*>(&dialog);
        ASSERT_NE(errors, nullptr);
        for (int i = 0; i < errors->List()->topLevelItemCount(); ++i)
            shown.push_back(errors->List()->topLevelItem(i)->text(0) + ": " +
                            errors->List()->topLevelItem(i)->text(1));
        dialog.accept();
    });
    std::shared_ptr<ErrorDisplay> display = Platform::Get().CreateErrorDisplay();
    display->AddError(*demo.session, "", 3, "System Error. Registration failed.", "", "", 0);
    display->AddError(*demo.session, "", 2, "Item A1-103/0 is inactive.", "", "", 0);
    display->AddError(*demo.session, "", 9, "Odd level.", "", "", 0);
    display->ShowErrors(*demo.session);
    EXPECT_EQ(shown,
              (std::vector<QString>{"Error: System Error. Registration failed.",
                                    "Warning: Item A1-103/0 is inactive.", "Error 9: Odd level."}));
    EXPECT_EQ(demo.session->Errors().Count(), 3);  // showing does not clear
    display->ClearErrors(*demo.session);
    display->ShowErrors(*demo.session);
    EXPECT_EQ(handler.shown, 1);
}

}  // namespace
}  // namespace accpac::local
