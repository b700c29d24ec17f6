// The sign-on dialog and the error display, answered as a user would.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "accpac/local/ui/SignonDialog.h"

namespace accpac::local {
namespace {

using test::FakeSession;
using test::ScopedModalHandler;

const std::vector<CompanyInfo> kCompanies = {{"SAMINC", "Sample Company Inc."}, {"SAMLTD", "Sample Company Ltd."}};

TEST(SignonDialogTest, TypedAnswerWithRememberedUserAndCompany) {
    SignonDialog dialog(kCompanies, "ADMIN", "SAMLTD");
    EXPECT_EQ(dialog.CompanyCombo()->currentData().toString(), "SAMLTD");
    dialog.show();
    QTest::keyClicks(dialog.PasswordEdit(), "secret");
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    SignonCredentials answer = dialog.Answer();
    EXPECT_EQ(answer.userID, "ADMIN");
    EXPECT_EQ(answer.password, "secret");
    EXPECT_EQ(answer.companyID, "SAMLTD");
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
}

TEST(SignonDialogTest, UserIdIsUpperCasedAndRequiredForOk) {
    SignonDialog dialog(kCompanies, "", "NOSUCH");
    dialog.show();
    EXPECT_EQ(dialog.CompanyCombo()->currentData().toString(), "SAMINC");
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    QTest::keyClicks(dialog.UserIdEdit(), "sysop");
    EXPECT_EQ(dialog.UserIdEdit()->text(), "SYSOP");
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    QTest::keyClicks(dialog.UserIdEdit(), " x-1");  // blanks and punctuation are refused
    EXPECT_EQ(dialog.UserIdEdit()->text(), "SYSOPX1");
}

TEST(SignonDialogTest, RefusedSignonKeepsTheDialogOpenThenGivesUp) {
    SignonDialog dialog(kCompanies, "ADMIN", "SAMLTD");
    int checks = 0;
    dialog.SetCheck([&](const SignonCredentials&) {
        ++checks;
        return std::string("Invalid password.");
    });
    dialog.show();
    QTest::keyClicks(dialog.PasswordEdit(), "wrong");
    QTest::keyClick(dialog.PasswordEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.MessageLabel()->text(), "Invalid password.");
    EXPECT_TRUE(dialog.PasswordEdit()->text().isEmpty());
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(checks, 3);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(ErrorDisplayTest, ShowsTheSessionsErrorsWithTheirLevels) {
    FakeSession session;
    std::vector<std::pair<QString, QString>> rows;
    ScopedModalHandler handler([&](QDialog& dialog) {
        auto* errors = dynamic_cast<ErrorDisplayDialog*>(&dialog);
        ASSERT_NE(errors, nullptr);
        EXPECT_EQ(dialog.windowTitle(), "SAMLTD - Errors");
        for (int i = 0; i < errors->List()->topLevelItemCount(); ++i)
            rows.emplace_back(errors->List()->topLevelItem(i)->text(0), errors->List()->topLevelItem(i)->text(1));
        QTest::keyClick(&dialog, Qt::Key_Return);
    });

    ShowSessionErrors(session);  // nothing to show
    EXPECT_EQ(handler.shown, 0);

    session.Add({3, "Cannot open the company database.", "", 0});
    session.Add({2, "Item A1-103/0 is inactive.", "IC0310", 0});
    session.Add({9, "Odd level.", "", 0});
    ShowSessionErrors(session);
    ASSERT_EQ(handler.shown, 1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], std::make_pair(QString("Error"), QString("Cannot open the company database.")));
    EXPECT_EQ(rows[1], std::make_pair(QString("Warning"), QString("Item A1-103/0 is inactive.")));
    EXPECT_EQ(rows[2].first, "Error 9");
    EXPECT_EQ(session.Count(), 3);  // showing does not clear
}

}  // namespace
}  // namespace accpac::local
