#include "accpac/local/ui/SignonDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include "accpac/ModalDialog.h"

namespace accpac::local {

SignonDialog::SignonDialog(const std::vector<CompanyInfo>& companies, const std::string& userId,
                           const std::string& companyId, QWidget* parent)
    : QDialog(parent),
      userId_(new QLineEdit(this)),
      password_(new QLineEdit(this)),
      company_(new QComboBox(this)),
      message_(new QLabel(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(tr("Sign On"));

    // User IDs are upper-case letters and digits, at most eight.
    userId_->setMaxLength(8);
    userId_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9_]*"), userId_));
    connect(userId_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const int cursor = userId_->cursorPosition();
        userId_->setText(text.toUpper());
        userId_->setCursorPosition(cursor);
    });
    userId_->setText(QString::fromStdString(userId));
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(64);

    for (const CompanyInfo& c : companies)
        company_->addItem(QString::fromStdString(c.id + "  " + c.name),
                          QString::fromStdString(c.id));
    const int current = company_->findData(QString::fromStdString(companyId));
    if (current >= 0) company_->setCurrentIndex(current);

    message_->setWordWrap(true);
    message_->setStyleSheet("color: #b00020;");
    message_->hide();

    auto* form = new QFormLayout;
    form->addRow(tr("&User ID:"), userId_);
    form->addRow(tr("&Password:"), password_);
    form->addRow(tr("&Company:"), company_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &SignonDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(userId_, &QLineEdit::textChanged, this, &SignonDialog::UpdateOk);
    UpdateOk();

    if (userId_->text().isEmpty())
        userId_->setFocus();
    else
        password_->setFocus();
    setMinimumWidth(360);
}

SignonCredentials SignonDialog::Answer() const {
    return {userId_->text().trimmed().toStdString(), password_->text().toStdString(),
            company_->currentData().toString().toStdString()};
}

QPushButton* SignonDialog::OkButton() const { return buttons_->button(QDialogButtonBox::Ok); }
QPushButton* SignonDialog::CancelButton() const {
    return buttons_->button(QDialogButtonBox::Cancel);
}

void SignonDialog::UpdateOk() {
    OkButton()->setEnabled(!userId_->text().trimmed().isEmpty() && company_->currentIndex() >= 0);
}

void SignonDialog::accept() {
    if (!OkButton()->isEnabled()) return;
    if (check_) {
        const std::string reason = check_(Answer());
        if (!reason.empty()) {
            if (++refused_ >= kMaxSignonAttempts) {
                // Said before the dialog closes, so the user knows why it went away.
                message_->setText(tr("Too many attempts."));
                message_->show();
                for (QWidget* w :
                     std::initializer_list<QWidget*>{userId_, password_, company_, OkButton()})
                    w->setEnabled(false);
                QTimer::singleShot(1500, this, &QDialog::reject);
                return;
            }
            message_->setText(QString::fromStdString(reason));
            message_->show();
            password_->clear();
            password_->setFocus();
            return;
        }
    }
    QDialog::accept();
}

std::optional<SignonCredentials> PromptSignon(const SignonPromptRequest& request) {
    SignonDialog dialog(request.companies, request.userID, request.companyID,
                        QApplication::activeWindow());
    dialog.SetCheck(request.check);
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.Answer();
}

}  // namespace accpac::local
