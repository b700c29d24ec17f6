#include "settings/frmSettings.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>

#include "accpac/ModalDialog.h"
#include "accpac/Twips.h"
#include "common/MessageBox.h"
#include "common/RuntimeError.h"
#include "common/VersionInfo.h"
#include "common/WaitCursor.h"
#include "common/Windows1252.h"
#include "globals/Globals.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsTest.h"

namespace lumaro {

namespace {

// Client area and control positions, in twips.
constexpr int kClientWidth = 11940;
constexpr int kClientHeight = 2400;
constexpr int kLabelLeft = 150;
constexpr int kLabelWidth = 915;
constexpr int kLabelHeight = 225;
constexpr int kLabelGap = 60;  // least space between a label and its text box
constexpr int kTextLeft = 1350;
constexpr int kTextWidth = 10440;
constexpr int kTextHeight = 315;
constexpr int kButtonTop = 1950;
constexpr int kButtonHeight = 315;

std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QLineEdit* buddy) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// A label takes its place from the layout table. Where its caption is wider than the
// table allows in the current font, the label uses the room up to the text box it names
// and, if that is still too narrow, wraps its caption and grows to show every line,
// centred on the text box, so the caption is never cut.
void PlaceLabel(QLabel* label, int top, const QWidget* textBox) {
    accpac::SetTwipsGeometry(label, kLabelLeft, top, kLabelWidth, kLabelHeight);
    if (label->sizeHint().width() <= label->width()) return;
    const int room = accpac::TwipsToPixelsX(kTextLeft - kLabelLeft - kLabelGap);
    if (label->sizeHint().width() <= room) {
        label->resize(room, label->height());
        return;
    }
    label->setWordWrap(true);
    const int height = std::max(label->height(), label->heightForWidth(room));
    const int centre = textBox->geometry().center().y();
    label->setGeometry(label->x(), std::max(0, centre - height / 2), room, height);
}

}  // namespace

frmSettings::frmSettings(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    // A fixed dialog: no resizing, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    txtConnectionString = MakeTextBox(this, "txtConnectionString");
    txtLocation = MakeTextBox(this, "txtLocation");
    txtQuery = MakeTextBox(this, "txtQuery");
    lblConnection = MakeLabel(this, "lblConnection", "Connection String", txtConnectionString);
    lblLocation = MakeLabel(this, "lblLocation", "Location", txtLocation);
    lblQuery = MakeLabel(this, "lblQuery", "Query", txtQuery);
    chkDrilldown = new QCheckBox(QStringLiteral("Quantity Drilldown"), this);
    chkDrilldown->setObjectName(QStringLiteral("chkDrilldown"));
    chkDrilldown->setChecked(false);
    // Beside the drilldown box, at the right of its row.
    spnQueryTimeout = new QSpinBox(this);
    spnQueryTimeout->setObjectName(QStringLiteral("spnQueryTimeout"));
    spnQueryTimeout->setRange(1, kMaxQueryTimeout);
    spnQueryTimeout->setSuffix(QStringLiteral(" s"));
    spnQueryTimeout->setToolTip(
        QStringLiteral("How long a quantity lookup may take before it is cancelled"));
    lblQueryTimeout = new QLabel(QStringLiteral("Query timeout"), this);
    lblQueryTimeout->setObjectName(QStringLiteral("lblQueryTimeout"));
    lblQueryTimeout->setBuddy(spnQueryTimeout);
    lblQueryTimeout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cmdOK = MakeButton(this, "cmdOK", "OK");
    cmdTest = MakeButton(this, "cmdTest", "Test Connection");
    cmdCancel = MakeButton(this, "cmdCancel", "Cancel");
    cmdOK->setDefault(true);

    accpac::SetTwipsGeometry(txtConnectionString, kTextLeft, 150, kTextWidth, kTextHeight);
    accpac::SetTwipsGeometry(txtLocation, kTextLeft, 600, kTextWidth, kTextHeight);
    accpac::SetTwipsGeometry(txtQuery, kTextLeft, 1125, kTextWidth, kTextHeight);
    PlaceLabel(lblConnection, 180, txtConnectionString);
    PlaceLabel(lblLocation, 645, txtLocation);
    PlaceLabel(lblQuery, 1170, txtQuery);
    accpac::SetTwipsGeometry(chkDrilldown, 150, 1575, 11640, 225);
    accpac::SetTwipsGeometry(lblQueryTimeout, 7800, 1530, 2200, 315);
    accpac::SetTwipsGeometry(spnQueryTimeout, 10100, 1530, 1690, 315);
    lblQueryTimeout->raise();
    spnQueryTimeout->raise();
    accpac::SetTwipsGeometry(cmdOK, 150, kButtonTop, 1215, kButtonHeight);
    accpac::SetTwipsGeometry(cmdTest, 1500, kButtonTop, 1590, kButtonHeight);
    accpac::SetTwipsGeometry(cmdCancel, 10575, kButtonTop, 1215, kButtonHeight);
    setFixedSize(accpac::TwipsToPixelsX(kClientWidth), accpac::TwipsToPixelsY(kClientHeight));

    // Tab order: the labels take no focus; the focusable controls follow the table.
    QWidget::setTabOrder(txtConnectionString, txtLocation);
    QWidget::setTabOrder(txtLocation, txtQuery);
    QWidget::setTabOrder(txtQuery, chkDrilldown);
    QWidget::setTabOrder(chkDrilldown, spnQueryTimeout);
    QWidget::setTabOrder(spnQueryTimeout, cmdOK);
    QWidget::setTabOrder(cmdOK, cmdTest);
    QWidget::setTabOrder(cmdTest, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdTest, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

frmSettings::~frmSettings() = default;

void frmSettings::ShowModal() { accpac::RunModal(*this); }

void frmSettings::showEvent(QShowEvent* event) {
    setWindowTitle(QString::fromStdString(CompanyName() + " - " + ProductName() + " Settings"));
    txtConnectionString->setText(QString::fromStdString(connectionString_));
    txtLocation->setText(QString::fromStdString(location_));
    txtQuery->setText(QString::fromStdString(query_));
    chkDrilldown->setChecked(drilldown_);
    spnQueryTimeout->setValue(queryTimeout_);
    // Long texts show their beginning.
    for (QLineEdit* box : {txtConnectionString, txtLocation, txtQuery}) box->setCursorPosition(0);
    txtConnectionString->setFocus();
    QDialog::showEvent(event);
}

void frmSettings::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmSettings::cmdOK_Click() {
    // A connection string that could not be read back whole is refused before anything
    // is tested: it would be stored cut and decode to garbage.
    if (CharacterCount(Text(txtConnectionString)) > kMaxConnectionStringLength) {
        MsgBox(ConnectionStringTooLongMessage(), MsgIcon::Exclamation);
        txtConnectionString->setFocus();
        return;
    }
    // A character the settings file cannot hold is named, and nothing is stored.
    const std::pair<const char*, QLineEdit*> boxes[] = {
        {"connection string", txtConnectionString}, {"location", txtLocation}, {"query", txtQuery}};
    for (const auto& [what, box] : boxes) {
        const std::string message = UnstorableCharacterMessage(what, Text(box));
        if (message.empty()) continue;
        MsgBox(message, MsgIcon::Exclamation);
        box->setFocus();
        return;
    }
    SettingsTestOutcome outcome;
    if (!ValidateSettings(outcome)) return;
    // A query that gives no quantity at all is stored only when the user says so.
    if (outcome.AllColumnsMissing() &&
        MsgBox(outcome.Warnings().front() + "\n\nStore these settings anyway?", MsgIcon::Question,
               MsgButtons::YesNo) != MsgResult::Yes)
        return;

    connectionString_ = Text(txtConnectionString);
    location_ = Text(txtLocation);
    query_ = Text(txtQuery);
    // Only a plain check counts; a greyed box does not.
    drilldown_ = chkDrilldown->checkState() == Qt::Checked;
    queryTimeout_ = spnQueryTimeout->value();
    returnCode_ = kReturnOK;
    done(QDialog::Accepted);
}

void frmSettings::cmdTest_Click() {
    SettingsTestOutcome outcome;
    if (!ValidateSettings(outcome)) return;
    MsgBox(kTestSucceeded, MsgIcon::Information, MsgButtons::OK);
    // What will not work well is told after the success, in a message of its own.
    std::string warnings;
    for (const std::string& line : outcome.Warnings())
        warnings += (warnings.empty() ? "" : "\n") + line;
    if (!warnings.empty()) MsgBox(warnings, MsgIcon::Exclamation, MsgButtons::OK);
}

void frmSettings::cmdCancel_Click() {
    returnCode_ = kReturnCancel;
    done(QDialog::Rejected);
}

bool frmSettings::ValidateSettings(SettingsTestOutcome& outcome) {
    QPointer<QWidget> focus = focusWidget();
    setEnabled(false);
    {
        WaitCursor hourglass;
        // Nothing stays open once the test is over.
        outcome = TestQuantitySettings(
            {Text(txtConnectionString), Text(txtLocation), Text(txtQuery), {}, locations_});
    }
    // The dialog is usable again, with the normal pointer, before any message appears.
    setEnabled(true);
    if (focus) focus->setFocus();

    if (!outcome.passed) MsgBox(outcome.message, MsgIcon::Exclamation, MsgButtons::OK);
    return outcome.passed;
}

}  // namespace lumaro
