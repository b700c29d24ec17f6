#pragma once
// The sign-on dialog of the session manager: user ID, password and company, OK and Cancel.
// OK is offered only when a user ID is typed and a company chosen. An optional check runs
// on OK: a refused sign-on shows its reason in the dialog, which stays open for another try;
// the third refusal closes it as cancelled.

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "accpac/local/LocalSession.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace accpac::local {

class SignonDialog : public QDialog {
    Q_OBJECT
public:
    // Returns "" when the sign-on is accepted, otherwise the reason shown to the user.
    using Check = std::function<std::string(const SignonCredentials&)>;

    SignonDialog(const std::vector<CompanyInfo>& companies, const std::string& userId,
                 const std::string& companyId, QWidget* parent = nullptr);

    void SetCheck(Check check) { check_ = std::move(check); }
    SignonCredentials Answer() const;

    QLineEdit* UserIdEdit() const { return userId_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QComboBox* CompanyCombo() const { return company_; }
    QPushButton* OkButton() const;
    QPushButton* CancelButton() const;
    QLabel* MessageLabel() const { return message_; }

    void accept() override;

private:
    void UpdateOk();

    QLineEdit* userId_;
    QLineEdit* password_;
    QComboBox* company_;
    QLabel* message_;
    QDialogButtonBox* buttons_;
    Check check_;
    int refused_ = 0;
};

// The sign-on prompt of the session manager: shows the dialog for the request (modal,
// through RunModal) and gives the credentials entered, or nullopt when cancelled.
std::optional<SignonCredentials> PromptSignon(const SignonPromptRequest& request);

}  // namespace accpac::local
