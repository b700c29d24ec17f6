#pragma once
// The sign-on dialog of the session manager: user ID, password and company, OK and Cancel.
// OK is offered only when a user ID is typed and a company chosen. An optional check runs
// on OK: a refused sign-on shows its reason in the dialog, which stays open for another try;
// the third refusal closes it as cancelled.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace accpac::local {

struct SignonCompany {
    std::string id;
    std::string name;
};

struct SignonAnswer {
    std::string userId;
    std::string password;
    std::string companyId;
};

class SignonDialog : public QDialog {
    Q_OBJECT
public:
    // Returns "" when the sign-on is accepted, otherwise the reason shown to the user.
    using Check = std::function<std::string(const SignonAnswer&)>;

    SignonDialog(const std::vector<SignonCompany>& companies, const std::string& userId,
                 const std::string& companyId, QWidget* parent = nullptr);

    void SetCheck(Check check) { check_ = std::move(check); }
    SignonAnswer Answer() const;

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

}  // namespace accpac::local
