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

}  // namespace accpac
