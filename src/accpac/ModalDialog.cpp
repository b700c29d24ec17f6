#include "accpac/ModalDialog.h"

#include <utility>

namespace accpac {

namespace {
ModalHandler& Handler() {
    static ModalHandler handler;
    return handler;
}
}  // namespace

ModalHandler SetModalHandler(ModalHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

int RunModal(QDialog& dialog) {
    if (!Handler()) return dialog.exec();
    // A copy: the handler may install another one while it runs.
    ModalHandler handler = Handler();
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    handler(dialog);
    if (dialog.isVisible()) dialog.reject();
    return dialog.result();
}

QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::Question, parent ? parent->window()->windowTitle() : QString(),
                    text, buttons, parent);
    RunModal(box);
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    if (pressed != QMessageBox::NoButton && box.clickedButton()) return pressed;
    return buttons & QMessageBox::Cancel ? QMessageBox::Cancel : QMessageBox::No;
}

}  // namespace accpac
