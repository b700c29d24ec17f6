#pragma once
// The one way a modal dialog is run: the platform's (sign-on, error list) and the program's
// own (the settings dialog). By default a dialog runs its own event loop (exec); tests
// install a handler that answers the dialog (types, clicks OK or Cancel) instead, so no
// modal dialog ever blocks a test run. Message boxes go through MsgBox (common/MessageBox.h),
// which code without Qt can call too.

#include <QDialog>
#include <QMessageBox>
#include <functional>

namespace accpac {

// Called with the dialog already shown; it answers the dialog (accept or reject).
// A dialog still open when the handler returns is rejected.
using ModalHandler = std::function<void(QDialog&)>;

// Installs the handler for the whole process (empty: back to exec). Returns the previous one.
ModalHandler SetModalHandler(ModalHandler handler);

// Runs the dialog modally and returns its result (QDialog::Accepted or QDialog::Rejected).
int RunModal(QDialog& dialog);

// Asks a question in a message box run through RunModal; the button the user pressed
// (the box's escape answer when it was closed without one: Cancel, or else No).
QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                QMessageBox::StandardButtons buttons);

}  // namespace accpac
