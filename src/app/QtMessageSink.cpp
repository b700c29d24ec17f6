#include "app/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>

#include "common/WaitCursor.h"

namespace lumaro {

MsgResult QtMessageSink::Show(const Message& message) {
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(message.title));
    box.setText(QString::fromStdString(message.text));
    switch (message.icon) {
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::None:
            break;
    }
    switch (message.buttons) {
        case MsgButtons::OK:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OKCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    // A message box always shows the normal pointer, even inside a long operation.
    const bool overridden = QApplication::overrideCursor() != nullptr;
    if (overridden) QApplication::setOverrideCursor(Qt::ArrowCursor);
    int answer = box.exec();
    if (overridden) QApplication::restoreOverrideCursor();
    switch (answer) {
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            return message.buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::OK;
    }
}

void InstallGuiSeams() {
    static QtMessageSink sink;
    SetMessageSink(&sink);
    WaitCursor::SetHooks([] { QApplication::setOverrideCursor(Qt::WaitCursor); },
                         [] { QApplication::restoreOverrideCursor(); });
}

}  // namespace lumaro
